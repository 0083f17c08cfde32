// Calibration evaluation of the raw conversion: table lookup, calibrated slope
// and the fixed-point iteration from three ratios to a position.
#include "processing/rawconv.h"

#include <cmath>
#include <limits>

namespace lumvex {

int searchcompare(float key, const float* point) {
  if (key < point[0]) return -1;
  if (key > point[2]) return 1;
  return 0;
}

namespace {

// The line through (xa, ya) and (xb, yb) at r, worked out in double and
// delivered in the tables' single precision.
float along(float r, float xa, float ya, float xb, float yb) {
  const double x = r, x1 = xa, y1 = ya;
  return static_cast<float>(y1 + (x - x1) * (static_cast<double>(yb) - y1) / (static_cast<double>(xb) - x1));
}

}  // namespace

// The ratio is compared in the tables' single precision; the interpolation is
// worked out in double and the slope rounded to single precision.
float Lookup(CalContext& cal, float ratio, const float* table, int points) {
  const float* x0 = table;
  const float* xl = table + 2 * (points - 1);
  if (!(ratio > x0[0])) {
    cal.LookupOutOfRange = true;
    return along(ratio, x0[0], x0[1], x0[2], x0[3]);
  }
  if (!(ratio < xl[0])) {
    cal.LookupOutOfRange = true;
    return along(ratio, xl[0], xl[1], xl[-2], xl[-1]);
  }
  int lo = 0, hi = points - 2;  // intervals
  while (lo <= hi) {
    const int mid = lo + (hi - lo) / 2;
    const float* p = table + 2 * mid;
    const int c = searchcompare(ratio, p);
    if (c < 0) {
      hi = mid - 1;
    } else if (c > 0) {
      lo = mid + 1;
    } else {
      return along(ratio, p[0], p[1], p[2], p[3]);
    }
  }
  // Not reached: the search keeps x[lo] <= ratio <= x[hi + 1] and ends on an
  // interval. Should it ever end without one, no slope can be trusted.
  cal.LookupOutOfRange = true;
  return x0[1];
}

namespace {

// Lookups of one plane within one conversion: the ratio is the same in every
// pass, so a table gives the same slope and the same flag again.
struct LookupMemo {
  static constexpr int kSize = 8;
  int offset[kSize];
  float value[kSize];
  bool flag[kSize];
  int n = 0, next = 0;
};

struct TableCell {
  CalContext& cal;
  int plane;
  float r;
  LookupMemo* memo;
  bool has(int row, int col) const { return cal.layout->hasTable(plane, row, col); }
  double L(int row, int col) const {
    const int off = cal.layout->offset[plane][row][col];
    const int points = cal.layout->points(plane, row);
    // A table the calibration file did not hold is never read: no slope.
    if (off + 2 * points > cal.floats) {
      cal.LookupOutOfRange = true;
      return std::numeric_limits<double>::quiet_NaN();
    }
    if (!memo) return Lookup(cal, r, cal.image + off, points);
    for (int k = 0; k < memo->n; ++k)
      if (memo->offset[k] == off) {
        cal.LookupOutOfRange |= memo->flag[k];
        return memo->value[k];
      }
    const bool before = cal.LookupOutOfRange;
    cal.LookupOutOfRange = false;
    const float value = Lookup(cal, r, cal.image + off, points);
    const int k = memo->n < LookupMemo::kSize ? memo->n++ : memo->next++ % LookupMemo::kSize;
    memo->offset[k] = off;
    memo->value[k] = value;
    memo->flag[k] = cal.LookupOutOfRange;
    cal.LookupOutOfRange |= before;
    return value;
  }
};

// First column whose breakpoint is at least v, or columns when none is (also
// for a NaN).
int firstColumnAtLeast(const double* bp, int columns, double v) {
  int lo = 0, hi = columns;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (bp[mid] >= v) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return lo;
}

double theta(CalContext& cal, LookupMemo* memo, double y, int row, int edgeRow, double v, double ratio,
             int plane, const double* bp, int columns) {
  const double* yr = cal.layout->rowY;
  const TableCell cell{cal, plane, static_cast<float>(ratio), memo};
  int c = firstColumnAtLeast(bp, columns, v);
  bool edgeCol = false;
  if (c == columns) {
    c = columns - 1;
    edgeCol = true;
  }
  if (c == 0) edgeCol = true;
  const int mid = (columns + 1) / 2;
  while (!cell.has(row, c)) c += c < mid ? 1 : -1;  // every run holds the middle column
  bool eRow = edgeRow != 0;
  if (c > 0 && !cell.has(row, c - 1)) edgeCol = true;
  if (row > 0 && !cell.has(row - 1, c)) eRow = true;
  if (!edgeCol && !eRow && row > 0 && c > 0 && !cell.has(row - 1, c - 1)) edgeCol = eRow = true;

  if (edgeCol && eRow) return cell.L(row, c);
  if (eRow) {
    const double q = cell.L(row, c - 1);
    return q + (v - bp[c - 1]) * (cell.L(row, c) - q) / (bp[c] - bp[c - 1]);
  }
  const double p0 = cell.L(row - 1, c);
  const double P = p0 + (y - yr[row - 1]) * (cell.L(row, c) - p0) / (yr[row] - yr[row - 1]);
  if (edgeCol) return P;
  const double q0 = cell.L(row - 1, c - 1);
  const double Q = q0 + (y - yr[row - 1]) * (cell.L(row, c - 1) - q0) / (yr[row] - yr[row - 1]);
  return Q + (v - bp[c - 1]) * (P - Q) / (bp[c] - bp[c - 1]);
}

constexpr double kTolerance = 0.01;  // mm
constexpr int kMaxPasses = 100;
constexpr double kErrorCode = 9;

bool insideValidVolume(double X, double Y, double Z) {
  // Written so that a NaN falls outside.
  return Y >= 22 && Y <= 130 && X >= -159 && X <= 159 && Z >= -162 && Z <= 114;  // mm
}

}  // namespace

void convert_to_eu(CalContext& cal, double& X, double& Y, double& Z, double ratioA, double ratioB,
                   double ratioC, int head) {
  const CalLayout& L = *cal.layout;
  const int h = head == 1 ? 1 : 2;
  const HeadGeometry& g = L.head[h - 1];
  const CalPlaneLayout& pa = L.plane[planeA(h)];
  const CalPlaneLayout& pb = L.plane[planeB(h)];
  const CalPlaneLayout& pc = L.plane[planeC(h)];
  double Xo = X, Yo = Y, Zo = Z;
  LookupMemo memoA, memoB, memoC;
  int passes = 0;
  do {
    Xo = X;
    Yo = Y;
    Zo = Z;
    cal.LookupOutOfRange = false;
    int row = 0;
    while (row < L.rows && !(L.rowY[row] >= Yo)) ++row;
    bool edge = false;
    if (row == L.rows) {
      row = L.rows - 1;
      edge = true;
    }
    if (row == 0) edge = true;
    const double SC = theta(cal, &memoC, Yo, row, edge, Zo, ratioC, planeC(h), pc.bp, pc.columns);
    X = SC * Yo;
    const double SA = theta(cal, &memoA, Yo, row, edge, X, ratioA, planeA(h), pa.bp, pa.columns);
    const double SB = theta(cal, &memoB, Yo, row, edge, X, ratioB, planeB(h), pb.bp, pb.columns);
    if (SA == SB) {
      X = Y = Z = 8;  // degenerate: the lines of sight are parallel
    } else {
      Y = (g.ZB - g.ZA + SA * g.YA - SB * g.YB) / (SA - SB);
      Z = g.ZB + SB * (Y - g.YB);
      X = SC * Y;
    }
    ++passes;
  } while (
      (std::fabs(Y - Yo) > kTolerance || std::fabs(Z - Zo) > kTolerance || std::fabs(X - Xo) > kTolerance) &&
      passes < kMaxPasses);
  if (passes == kMaxPasses) {
    X = (X + Xo) / 2;
    Y = (Y + Yo) / 2;
    Z = (Z + Zo) / 2;
  }
  if (cal.LookupOutOfRange || !insideValidVolume(X, Y, Z)) X = Y = Z = kErrorCode;
}

}  // namespace lumvex
