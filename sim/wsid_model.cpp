#include "sim/wsid_model.h"

#include "core/session.h"
#include "platform/paths.h"
#include "core/callayout.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <numbers>

namespace lumvex::sim {
namespace {

constexpr double kRatioEdge = 1.07;  // ratios used stay strictly inside the tables (+-1.08)
constexpr double kTableEdge = 1.08;
constexpr double kMargin = 0.3;  // mm: the conversion's last estimates lie this close to the truth

bool isC(int p) { return p == PlaneC1 || p == PlaneC2; }
bool isA(int p) { return p == PlaneA1 || p == PlaneA2; }
int headOfPlane(int p) { return p == PlaneC1 || p == PlaneA1 || p == PlaneB1 ? 1 : 2; }

// The detectors A and B aim at the middle of the rib cage (Y 70, Z 0 mm).
double aimSlope(const CalLayout& L, int p) {
  if (isC(p)) return 0;
  const HeadGeometry& g = L.head[headOfPlane(p) - 1];
  const double yv = isA(p) ? g.YA : g.YB, zv = isA(p) ? g.ZA : g.ZB;
  return (0 - zv) / (70 - yv);
}

// The calibration of one cell: mostly the optics (slope proportional to the
// spot position, with a cubic lens term), plus a small gain and offset that
// vary smoothly over the field, which is why the conversion must iterate.
double cellSlope(const CalLayout& L, int p, double y, double v, double r) {
  const double gain = (isC(p) ? 1.6 : 1.8) * (1 + 0.03 * std::sin(0.015 * v + 0.02 * y + p + L.id));
  const double offset = aimSlope(L, p) + 0.02 * std::sin(0.012 * v - 0.015 * y + 0.7 * p + 0.3 * L.id);
  return offset + gain * (r + 0.15 * r * r * r);
}

// Ratios of a table: +-1.08 at the ends, denser in the middle, strictly ascending.
float tableRatio(int k, int points) {
  const double u = 2.0 * k / (points - 1) - 1;
  return static_cast<float>(kTableEdge * (u + 0.1 * std::sin(std::numbers::pi * u)));
}

// Piecewise-linear value of a table at r (inside its range).
double tableValue(const float* t, int points, double r) {
  int lo = 0, hi = points - 1;
  while (hi - lo > 1) {
    const int mid = (lo + hi) / 2;
    (t[2 * mid] <= r ? lo : hi) = mid;
  }
  const double x0 = t[2 * lo], x1 = t[2 * hi], y0 = t[2 * lo + 1], y1 = t[2 * hi + 1];
  return y0 + (r - x0) * (y1 - y0) / (x1 - x0);
}

// The four cells around (y, v) and the bilinear weights.
struct Around {
  int row, col;
  double wy, wv;
};

bool cellsAround(const CalLayout& L, int p, double y, double v, Around& a) {
  const double* yr = L.rowY;
  const CalPlaneLayout& pl = L.plane[p];
  int row = 0;
  while (row < L.rows && yr[row] < y) ++row;
  if (row == L.rows || (row == 0 && y < yr[0])) return false;
  if (row == 0) row = 1;  // y on the first breakpoint
  int col = 0;
  while (col < pl.columns && pl.bp[col] < v) ++col;
  if (col == pl.columns || col == 0) return false;
  for (int i : {row - 1, row})
    for (int j : {col - 1, col})
      if (!L.hasTable(p, i, j)) return false;
  a = {row, col, (y - yr[row - 1]) / (yr[row] - yr[row - 1]),
       (v - pl.bp[col - 1]) / (pl.bp[col] - pl.bp[col - 1])};
  return true;
}

double bilinear(const CalLayout& L, const float* image, int p, const Around& a, double r) {
  auto at = [&](int i, int j) { return tableValue(image + L.offset[p][i][j], L.points(p, i), r); };
  return (1 - a.wy) * ((1 - a.wv) * at(a.row - 1, a.col - 1) + a.wv * at(a.row - 1, a.col)) +
         a.wy * ((1 - a.wv) * at(a.row, a.col - 1) + a.wv * at(a.row, a.col));
}

// Ratio giving slope s in the cells a; false when s lies outside +-1.07.
bool invert(const CalLayout& L, const float* image, int p, const Around& a, double s, double& ratio) {
  double lo = -kRatioEdge, hi = kRatioEdge;
  const double glo = bilinear(L, image, p, a, lo), ghi = bilinear(L, image, p, a, hi);
  if (!(s > glo && s < ghi)) {
    ratio = s <= glo ? -1.09 : 1.09;
    return false;
  }
  // The calibration rises with the ratio and is linear between table points:
  // halve the bracket until it is likely inside one piece, then interpolate.
  double gl = glo, gh = ghi;
  for (int k = 0; k < 24; ++k) {
    const double mid = (lo + hi) / 2, g = bilinear(L, image, p, a, mid);
    if (g < s) {
      lo = mid;
      gl = g;
    } else {
      hi = mid;
      gh = g;
    }
  }
  ratio = gh > gl ? lo + (s - gl) * (hi - lo) / (gh - gl) : (lo + hi) / 2;
  return true;
}

// ---------------------------------------------------------------- the pulse

struct HeadPlan {
  double restY[3], amp[3], restX[3], restZ[3];  // mm, per rib (Y, amp, Z) or per LED in a rib (X)
};

const HeadPlan& plan(int layout, int head) {
  static const HeadPlan k50th[2] = {
      {{92, 95, 90}, {30, 42, 36}, {-50, 0, 50}, {-52, 1, 42}},
      {{90, 93, 88}, {25, 33, 28}, {-50, 0, 50}, {-34, 0.5, 34}},
  };
  static const HeadPlan k5th[2] = {
      {{82, 85, 80}, {26, 34, 30}, {-42, 0, 42}, {-44, 0.5, 35}},
      {{80, 83, 78}, {22, 28, 25}, {-42, 0, 42}, {-30, 0.5, 30}},
  };
  return (layout == CalLayout50th ? k50th : k5th)[head == 1 ? 0 : 1];
}

// Deflection share of a rib at t: a sine-squared pulse, then a small rebound.
double pulse(int head, int rib, double t) {
  const double t0 = 2 + 2.5 * rib + (head == 2 ? 4 : 0);  // ms
  const double dur = 40 + 6 * rib + (head == 2 ? 5 : 0);  // ms
  const double tau = (t - t0) / dur;
  if (tau >= 0 && tau < 1) return std::pow(std::sin(std::numbers::pi * tau), 2);
  if (tau >= 1 && tau < 1.6) return -0.15 * std::pow(std::sin(std::numbers::pi * (tau - 1) / 0.6), 2);
  return 0;
}

constexpr double kLedShare[3] = {0.72, 1.0, 0.86};  // rear, middle, front

// The LED pushed out of the valid volume: head 1, slot 1, down to Y 18 mm.
constexpr int kOutHead = 1, kOutSlot = 1;
constexpr double kOutMinY = 18;  // mm

struct FaultWindow {
  int head, slot;
  double fromMs, toMs;
  int code;
};
// Weak detectors (C; A and C; all three while the LED is covered) and a
// saturated B word (code 2).
constexpr FaultWindow kFaults[] = {
    {2, 4, 12, 18, 4},
    {1, 6, 30, 34, 5},
    {2, 8, 20, 21.5, 2},
    {1, 8, 50, 51, 7},
};

long long sampleIndex(const WsidModel& m, double timeMs) { return std::llround(timeMs / m.sampleIntervalMs); }

int faultCode(const WsidModel& m, int head, int slot, long long j) {
  if (!m.faults) return 0;
  for (const auto& f : kFaults)
    if (f.head == head && f.slot == slot && j >= sampleIndex(m, f.fromMs) && j < sampleIndex(m, f.toMs))
      return f.code;
  return 0;
}

void positionAt(const WsidModel& m, int head, int slot, double t, double xyz[3]) {
  const HeadPlan& hp = plan(m.layout, head);
  const int rib = slot / 3, led = slot % 3;
  const double p = pulse(head, rib, t);
  double depth = hp.amp[rib] * kLedShare[led];  // mm
  if (m.faults && head == kOutHead && slot == kOutSlot) depth = hp.restY[rib] - kOutMinY;
  xyz[0] = hp.restX[led] + 4 * kLedShare[led] * p;  // the rib slides forward a little
  xyz[1] = hp.restY[rib] - depth * p;
  xyz[2] = hp.restZ[rib] - 3 * p;
}

// ---------------------------------------------------------------- words

uint64_t mix(uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

int noise(const WsidModel& m, long long j, int word) {
  if (m.noiseCounts <= 0) return 0;
  const uint64_t h = mix(mix(m.seed) ^ mix(static_cast<uint64_t>(j) * 131 + static_cast<uint64_t>(word)));
  return static_cast<int>(h % static_cast<uint64_t>(2 * m.noiseCounts + 1)) - m.noiseCounts;
}

uint16_t clampWord(long v) { return static_cast<uint16_t>(std::clamp<long>(v, 0, 65535)); }

// Counts above ambient of a detector: the LED looks dimmer from further away.
int signalTotal(int detector, double y) {
  constexpr double kShare[3] = {1.0, 0.97, 1.02};  // A, B, C
  const double t = std::clamp(58000 - 180 * (y - 25), 36000.0, 58000.0);
  return static_cast<int>(t * kShare[detector]);
}
constexpr int kWeakTotal = 12000;  // both words under 15000 counts above ambient

}  // namespace

// ---------------------------------------------------------------- operations

std::vector<float> wsidCalibrationImage(int layout) {
  const CalLayout& L = calLayout(layout);
  std::vector<float> image(static_cast<size_t>(L.floats));
  for (int p = 0; p < kCalPlanes; ++p)
    for (int row = 0; row < L.rows; ++row) {
      const TableRun run = L.plane[p].runs[row];
      for (int c = run.first; c <= run.last; ++c) {
        float* t = image.data() + L.offset[p][row][c];
        for (int k = 0; k < run.points; ++k) {
          t[2 * k] = tableRatio(k, run.points);
          t[2 * k + 1] = static_cast<float>(cellSlope(L, p, L.rowY[row], L.plane[p].bp[c], t[2 * k]));
        }
      }
    }
  return image;
}

WsidModel wsidModel(int dummyType, int isLX2, unsigned seed) {
  static std::mutex mu;
  static std::shared_ptr<const std::vector<float>> images[3];
  WsidModel m;
  m.dummyType = dummyType;
  m.isLX2 = isLX2;
  m.layout = calLayoutFor(dummyType, isLX2);
  m.seed = seed;
  std::lock_guard<std::mutex> lock(mu);
  if (!images[m.layout])
    images[m.layout] = std::make_shared<const std::vector<float>>(wsidCalibrationImage(m.layout));
  m.calibration = images[m.layout];
  return m;
}

void wsidLedPosition(const WsidModel& m, int head, int slot, double timeMs, double xyz[3]) {
  positionAt(m, head, slot, sampleIndex(m, timeMs) * m.sampleIntervalMs, xyz);
}

void wsidSlopes(int layout, int head, const double xyz[3], double slopes[3]) {
  const HeadGeometry& g = calLayout(layout).head[head == 1 ? 0 : 1];
  slopes[0] = (xyz[2] - g.ZA) / (xyz[1] - g.YA);
  slopes[1] = (xyz[2] - g.ZB) / (xyz[1] - g.YB);
  slopes[2] = xyz[0] / xyz[1];
}

bool wsidRatioForSlope(int layout, const float* image, int plane, double y, double v, double slope,
                       double& ratio) {
  const CalLayout& L = calLayout(layout);
  Around a;
  if (!cellsAround(L, plane, y, v, a)) return false;
  return invert(L, image, plane, a, slope, ratio);
}

bool wsidCalibratedInterior(int layout, int head, double x, double y, double z) {
  const CalLayout& L = calLayout(layout);
  const int planes[3] = {planeA(head), planeB(head), planeC(head)};
  for (int p : planes) {
    const double v = isC(p) ? z : x;
    for (double dy : {-kMargin, kMargin})
      for (double dv : {-kMargin, kMargin}) {
        Around a;
        // Rows: the conversion interpolates between rows only above the first.
        if (y + dy <= L.rowY[0] || !cellsAround(L, p, y + dy, v + dv, a)) return false;
      }
  }
  return true;
}

bool wsidHeadRatios(int layout, const float* image, int head, const double xyz[3], double ratios[3]) {
  const CalLayout& L = calLayout(layout);
  double s[3];
  wsidSlopes(layout, head, xyz, s);
  const int planes[3] = {planeA(head), planeB(head), planeC(head)};
  bool exact = wsidCalibratedInterior(layout, head, xyz[0], xyz[1], xyz[2]);
  for (int d = 0; d < 3; ++d) {
    const int p = planes[d];
    const double v = isC(p) ? xyz[2] : xyz[0];
    // Outside the calibrated field the first or last row and the middle
    // columns stand in, as the conversion's edge rules do.
    const double y = std::clamp(xyz[1], L.rowY[0], L.rowY[L.rows - 1]);
    Around a;
    if (!cellsAround(L, p, y, v, a)) {
      const int mid = (L.plane[p].columns + 1) / 2;
      exact = false;
      if (!cellsAround(L, p, y, L.plane[p].bp[mid] - 1, a)) {
        ratios[d] = 0;
        continue;
      }
    }
    if (!invert(L, image, p, a, s[d], ratios[d])) exact = false;
  }
  return exact;
}

WsidTruth wsidTruth(const WsidModel& m, int head, int slot, double timeMs) {
  const long long j = sampleIndex(m, timeMs);
  double xyz[3];
  positionAt(m, head, slot, j * m.sampleIntervalMs, xyz);
  WsidTruth t{xyz[0], xyz[1], xyz[2], 0};
  if (const int code = faultCode(m, head, slot, j)) {
    t.code = code;
    return t;
  }
  if (xyz[1] < 21.5) {  // mm: clearly below the valid volume
    t.code = 9;
    return t;
  }
  double r[3];
  if (!wsidHeadRatios(m.layout, m.calibration->data(), head, xyz, r)) t.code = -1;
  return t;
}

void wsidEncodeDetector(uint16_t* rec, int signalWord, int ambientWord, double ratio, int total, int noise1,
                        int noise2) {
  const long d1 = std::lround(total * (1 + ratio) / 2);
  const long d2 = total - d1;
  rec[signalWord] = clampWord(rec[ambientWord] + d1 + noise1);
  rec[signalWord + 1] = clampWord(rec[ambientWord + 1] + d2 + noise2);
}

void wsidFillRecords(const WsidModel& m, double startMs, int count, uint16_t* out) {
  const int words = m.isLX2 ? kRawRecordWordsLX2 : kRawRecordWords;
  const float* image = m.calibration->data();
  // At rest the positions repeat exactly, so their ratios are found once.
  struct Cache {
    double xyz[3] = {NAN, NAN, NAN};
    double r[3] = {0, 0, 0};
  } cache[2][9];
  const long long j0 = sampleIndex(m, startMs);
  for (int k = 0; k < count; ++k) {
    const long long j = j0 + k;
    const double t = j * m.sampleIntervalMs;  // ms
    uint16_t* rec = out + static_cast<size_t>(k) * words;
    std::fill(rec, rec + words, uint16_t{0});
    for (int a = 0; a < 6; ++a) {
      const int w = kAmbientWords[a];
      const double base = 2800 + 250 * std::sin(2 * std::numbers::pi * t / 700 + a);  // counts
      rec[w] = clampWord(std::lround(base) + noise(m, j, w));
      rec[w + 1] = clampWord(std::lround(base) + 23 + 5 * a + noise(m, j, w + 1));
    }
    for (int head = 1; head <= 2; ++head)
      for (int slot = 0; slot < 9; ++slot) {
        Cache& c = cache[head - 1][slot];
        double xyz[3];
        positionAt(m, head, slot, t, xyz);
        if (xyz[0] != c.xyz[0] || xyz[1] != c.xyz[1] || xyz[2] != c.xyz[2]) {
          wsidHeadRatios(m.layout, image, head, xyz, c.r);
          std::copy(xyz, xyz + 3, c.xyz);
        }
        const int code = faultCode(m, head, slot, j);
        const auto& sig = head == 1 ? kSignalWordsHead1[slot] : kSignalWordsHead2[slot];
        for (int d = 0; d < 3; ++d) {
          const bool weak = code != 2 && (code & (1 << d)) != 0;
          const int total = weak ? kWeakTotal : signalTotal(d, xyz[1]);
          wsidEncodeDetector(rec, sig[d], kAmbientWords[(head == 1 ? 0 : 3) + d], c.r[d], total,
                             noise(m, j, sig[d]), noise(m, j, sig[d] + 1));
        }
        if (code == 2) rec[sig[1]] = 65535;  // the B word saturates
      }
  }
}

int wsidWriteCalibrationFile(const std::string& dir, const std::string& serial, const std::string& calDate,
                             const std::string& side, int dummyType, int isLX2) {
  const WsidModel m = wsidModel(dummyType, isLX2);
  std::vector<float> image = *m.calibration;
  if constexpr (std::endian::native == std::endian::big) {
    for (float& f : image) {
      uint32_t u;
      std::memcpy(&u, &f, 4);
      u = __builtin_bswap32(u);
      std::memcpy(&f, &u, 4);
    }
  }
  SessionState s;
  s.SerialNumberText = serial;
  s.calDate = calDate;
  s.DirectionText = side;
  std::FILE* f = std::fopen(pathJoin(dir, calibrationFileName(s)).c_str(), "wb");
  if (!f) return -1;
  const bool ok = std::fwrite(image.data(), sizeof(float), image.size(), f) == image.size();
  return std::fclose(f) == 0 && ok ? 0 : -1;
}

int wsidWriteCalibrationFiles(const std::string& dir, const std::string& serial, const std::string& calDate,
                              int dummyType, int isLX2) {
  for (const char* side : {"Left Side", "Right Side"})
    if (wsidWriteCalibrationFile(dir, serial, calDate, side, dummyType, isLX2) != 0) return -1;
  return 0;
}

}  // namespace lumvex::sim
