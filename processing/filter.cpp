#include "processing/filter.h"

#include "core/data.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace lumvex {
namespace {

// The section is designed at 2.0625 times the class: the constant the earlier
// stations used, which their files carry.
constexpr double kClassFactor = 2.0625;
// Columns filtered side by side; each lane is an independent recurrence.
constexpr int kLanes = 8;

typedef double LaneD __attribute__((vector_size(8 * kLanes)));
typedef float LaneF __attribute__((vector_size(4 * kLanes)));

// One work sequence per shape, sized at first use for the longest download
// and grown only for a longer series, so nothing is allocated per call.
std::vector<float>& workSequence(size_t values) {
  static std::vector<float> w;
  if (w.size() < values) w.resize(std::max(values, static_cast<size_t>(kMaxRecords + 2 * kButfiltPad)));
  return w;
}

std::vector<float>& laneWorkSequence(size_t values) {
  static std::vector<float> w;
  size_t least = static_cast<size_t>(kMaxRecords + 2 * kButfiltPad) * kLanes;
  if (w.size() < values) w.resize(std::max(values, least));
  return w;
}

// The stored values are floats: every step is computed in double and rounded
// to single precision when it is stored, and inputs are read back from them.
void forwardBackward(float* w, int n, const ButterworthCoefficients& c) {
  double x1 = w[1], x2 = w[0];
  double y1 = x1, y2 = x2;
  for (int j = 2; j < n; ++j) {
    double x0 = w[j];
    float y = static_cast<float>(c.a0 * x0 + c.a1 * x1 + c.a2 * x2 + c.b1 * y1 + c.b2 * y2);
    w[j] = y;
    y2 = y1;
    y1 = y;
    x2 = x1;
    x1 = x0;
  }
  x1 = w[n - 2];
  x2 = w[n - 1];
  y1 = x1;
  y2 = x2;
  for (int j = n - 3; j >= 1; --j) {
    double x0 = w[j];
    float y = static_cast<float>(c.a0 * x0 + c.a1 * x1 + c.a2 * x2 + c.b1 * y1 + c.b2 * y2);
    w[j] = y;
    y2 = y1;
    y1 = y;
    x2 = x1;
    x1 = x0;
  }
}

// Out parameter: a vector this wide may not be returned by value on this ABI.
inline void loadLane(const float* w, int j, LaneD& out) {
  LaneF f;
  std::memcpy(&f, w + static_cast<size_t>(j) * kLanes, sizeof f);
  out = __builtin_convertvector(f, LaneD);
}

// The same recurrence as forwardBackward on kLanes interleaved sequences, in
// the same operation order, so every lane rounds exactly as the single one.
void forwardBackwardLanes(float* w, int n, const ButterworthCoefficients& c) {
  LaneD x0, x1, x2;
  loadLane(w, 1, x1);
  loadLane(w, 0, x2);
  LaneD y1 = x1, y2 = x2;
  for (int j = 2; j < n; ++j) {
    loadLane(w, j, x0);
    LaneF y = __builtin_convertvector(c.a0 * x0 + c.a1 * x1 + c.a2 * x2 + c.b1 * y1 + c.b2 * y2, LaneF);
    std::memcpy(w + static_cast<size_t>(j) * kLanes, &y, sizeof y);
    y2 = y1;
    y1 = __builtin_convertvector(y, LaneD);
    x2 = x1;
    x1 = x0;
  }
  loadLane(w, n - 2, x1);
  loadLane(w, n - 1, x2);
  y1 = x1;
  y2 = x2;
  for (int j = n - 3; j >= 1; --j) {
    loadLane(w, j, x0);
    LaneF y = __builtin_convertvector(c.a0 * x0 + c.a1 * x1 + c.a2 * x2 + c.b1 * y1 + c.b2 * y2, LaneF);
    std::memcpy(w + static_cast<size_t>(j) * kLanes, &y, sizeof y);
    y2 = y1;
    y1 = __builtin_convertvector(y, LaneD);
    x2 = x1;
    x1 = x0;
  }
}

// Interleaves up to kLanes columns with their padding; unused lanes hold 0.
void gatherColumns(const float* table, int stride, const int* cols, int m, int rows, float* w) {
  const int n = rows + 2 * kButfiltPad;
  std::fill(w, w + static_cast<size_t>(n) * kLanes, 0.0f);
  for (int c = 0; c < m; ++c) {
    float first = table[cols[c]];
    float last = table[static_cast<size_t>(rows - 1) * stride + cols[c]];
    for (int k = 0; k < kButfiltPad; ++k) {
      w[static_cast<size_t>(k) * kLanes + c] = first;
      w[static_cast<size_t>(rows + kButfiltPad + k) * kLanes + c] = last;
    }
  }
  for (int r = 0; r < rows; ++r) {
    const float* row = table + static_cast<size_t>(r) * stride;
    float* dst = w + static_cast<size_t>(r + kButfiltPad) * kLanes;
    for (int c = 0; c < m; ++c) dst[c] = row[cols[c]];
  }
}

void scatterColumns(float* table, int stride, const int* cols, int m, int rows, const float* w) {
  for (int r = 0; r < rows; ++r) {
    float* row = table + static_cast<size_t>(r) * stride;
    const float* src = w + static_cast<size_t>(r + kButfiltPad) * kLanes;
    for (int c = 0; c < m; ++c) row[cols[c]] = src[c];
  }
}

}  // namespace

ButterworthCoefficients ButterworthDesign(int cfc, float intervalMs) {
  const double t = static_cast<double>(intervalMs) / 1000.0;  // s, computed in double
  const double wd = 2.0 * std::numbers::pi * cfc * kClassFactor;
  const double wa = std::sin(wd * t / 2.0) / std::cos(wd * t / 2.0);
  const double d = 1.0 + std::numbers::sqrt2 * wa + wa * wa;
  ButterworthCoefficients c{};
  c.a0 = wa * wa / d;
  c.a1 = 2.0 * c.a0;
  c.a2 = c.a0;
  c.b1 = -2.0 * (wa * wa - 1.0) / d;
  c.b2 = (-1.0 + std::numbers::sqrt2 * wa - wa * wa) / d;
  return c;
}

void Butfilt(float* values, int cfc, int count, float intervalMs) {
  if (count < kButfiltMinCount) return;
  const int n = count + 2 * kButfiltPad;
  float* w = workSequence(static_cast<size_t>(n)).data();
  std::fill(w, w + kButfiltPad, values[0]);
  std::copy(values, values + count, w + kButfiltPad);
  std::fill(w + kButfiltPad + count, w + n, values[count - 1]);
  forwardBackward(w, n, ButterworthDesign(cfc, intervalMs));
  std::copy(w + kButfiltPad, w + kButfiltPad + count, values);
}

void ButfiltColumns(float* table, int stride, std::span<const int> cols, int rows, int cfc,
                    float intervalMs) {
  if (rows < kButfiltMinCount || cols.empty()) return;
  const int n = rows + 2 * kButfiltPad;
  float* w = laneWorkSequence(static_cast<size_t>(n) * kLanes).data();
  const ButterworthCoefficients c = ButterworthDesign(cfc, intervalMs);
  for (size_t first = 0; first < cols.size(); first += kLanes) {
    int m = static_cast<int>(std::min<size_t>(kLanes, cols.size() - first));
    gatherColumns(table, stride, cols.data() + first, m, rows, w);
    forwardBackwardLanes(w, n, c);
    scatterColumns(table, stride, cols.data() + first, m, rows, w);
  }
}

}  // namespace lumvex
