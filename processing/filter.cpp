#include "processing/filter.h"

#include "core/channel_codes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace lumvex {
namespace {

// The section is designed at 2.0625 times the class: the constant the earlier
// stations used, which their files carry.
constexpr double kClassFactor = 2.0625;

// The single series' work sequence, sized at first use for the longest
// download and grown only for a longer series, so nothing is allocated per call.
float* workSequence(FilterWork& work, size_t values) {
  std::vector<float>& w = work.sequence;
  if (w.size() < values) w.resize(std::max(values, static_cast<size_t>(kMaxRecords + 2 * kButfiltPad)));
  return w.data();
}

// Every stored value is a float: each step is computed in double and rounded
// to single precision when it is stored, and later steps read it back.
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

// The state of the recurrence of many series filtered side by side, one lane
// per series: the last two inputs and outputs, each a float read back as
// double. A step takes one input value per lane and gives one output per lane,
// in the operation order of forwardBackward, so each lane rounds exactly as
// the series does alone.
struct LaneState {
  explicit LaneState(FilterWork& w) : x1(w.x1), x2(w.x2), y1(w.y1), y2(w.y2) {}
  int lanes = 0;  // padded to a multiple of 4
  std::vector<double>&x1, &x2, &y1, &y2;
  void reset(int n) {
    lanes = (n + 3) / 4 * 4;
    for (auto* v : {&x1, &x2, &y1, &y2}) v->assign(static_cast<size_t>(lanes), 0.0);
  }
};

using StepFn = void (*)(const float* x0, float* y, LaneState& s, const ButterworthCoefficients& c);

void stepPortable(const float* x0, float* y, LaneState& s, const ButterworthCoefficients& c) {
  for (int k = 0; k < s.lanes; ++k) {
    const double x = x0[k];
    const float r =
        static_cast<float>(c.a0 * x + c.a1 * s.x1[k] + c.a2 * s.x2[k] + c.b1 * s.y1[k] + c.b2 * s.y2[k]);
    y[k] = r;
    s.x2[k] = s.x1[k];
    s.x1[k] = x;
    s.y2[k] = s.y1[k];
    s.y1[k] = r;
  }
}

#if defined(__x86_64__)
void stepSse2(const float* x0, float* y, LaneState& s, const ButterworthCoefficients& c) {
  const __m128d a0 = _mm_set1_pd(c.a0), a1 = _mm_set1_pd(c.a1), a2 = _mm_set1_pd(c.a2);
  const __m128d b1 = _mm_set1_pd(c.b1), b2 = _mm_set1_pd(c.b2);
  double *X1 = s.x1.data(), *X2 = s.x2.data(), *Y1 = s.y1.data(), *Y2 = s.y2.data();
  for (int k = 0; k < s.lanes; k += 2) {
    double pair;
    std::memcpy(&pair, x0 + k, sizeof pair);
    const __m128d x = _mm_cvtps_pd(_mm_castpd_ps(_mm_set_sd(pair)));
    const __m128d x1 = _mm_loadu_pd(X1 + k), y1 = _mm_loadu_pd(Y1 + k);
    __m128d v = _mm_mul_pd(a0, x);
    v = _mm_add_pd(v, _mm_mul_pd(a1, x1));
    v = _mm_add_pd(v, _mm_mul_pd(a2, _mm_loadu_pd(X2 + k)));
    v = _mm_add_pd(v, _mm_mul_pd(b1, y1));
    v = _mm_add_pd(v, _mm_mul_pd(b2, _mm_loadu_pd(Y2 + k)));
    const __m128 r = _mm_cvtpd_ps(v);
    pair = _mm_cvtsd_f64(_mm_castps_pd(r));
    std::memcpy(y + k, &pair, sizeof pair);
    _mm_storeu_pd(X2 + k, x1);
    _mm_storeu_pd(X1 + k, x);
    _mm_storeu_pd(Y2 + k, y1);
    _mm_storeu_pd(Y1 + k, _mm_cvtps_pd(r));
  }
}

__attribute__((target("avx2"))) void stepAvx2(const float* x0, float* y, LaneState& s,
                                              const ButterworthCoefficients& c) {
  const __m256d a0 = _mm256_set1_pd(c.a0), a1 = _mm256_set1_pd(c.a1), a2 = _mm256_set1_pd(c.a2);
  const __m256d b1 = _mm256_set1_pd(c.b1), b2 = _mm256_set1_pd(c.b2);
  double *X1 = s.x1.data(), *X2 = s.x2.data(), *Y1 = s.y1.data(), *Y2 = s.y2.data();
  for (int k = 0; k < s.lanes; k += 4) {
    const __m256d x = _mm256_cvtps_pd(_mm_loadu_ps(x0 + k));
    const __m256d x1 = _mm256_loadu_pd(X1 + k), y1 = _mm256_loadu_pd(Y1 + k);
    __m256d v = _mm256_mul_pd(a0, x);
    v = _mm256_add_pd(v, _mm256_mul_pd(a1, x1));
    v = _mm256_add_pd(v, _mm256_mul_pd(a2, _mm256_loadu_pd(X2 + k)));
    v = _mm256_add_pd(v, _mm256_mul_pd(b1, y1));
    v = _mm256_add_pd(v, _mm256_mul_pd(b2, _mm256_loadu_pd(Y2 + k)));
    const __m128 r = _mm256_cvtpd_ps(v);
    _mm_storeu_ps(y + k, r);
    _mm256_storeu_pd(X2 + k, x1);
    _mm256_storeu_pd(X1 + k, x);
    _mm256_storeu_pd(Y2 + k, y1);
    _mm256_storeu_pd(Y1 + k, _mm256_cvtps_pd(r));
  }
}
#endif

StepFn stepFunction(FilterKernel kernel) {
#if defined(__x86_64__)
  const bool avx2 = __builtin_cpu_supports("avx2");
  if (kernel == FilterKernel::Best && avx2) return stepAvx2;
  if (kernel != FilterKernel::Portable) return stepSse2;
#endif
  return stepPortable;
}

// Runs of consecutive table columns, so a row's lanes move with a few copies.
struct Run {
  int column, lane, length;
};

std::vector<Run> runsOf(std::span<const int> cols) {
  std::vector<Run> runs;
  for (int lane = 0; lane < static_cast<int>(cols.size()); ++lane) {
    if (!runs.empty() && runs.back().column + runs.back().length == cols[lane])
      ++runs.back().length;
    else
      runs.push_back({cols[lane], lane, 1});
  }
  return runs;
}

void gatherRow(const float* row, const std::vector<Run>& runs, float* lanes) {
  for (const Run& r : runs) std::memcpy(lanes + r.lane, row + r.column, sizeof(float) * r.length);
}

void scatterRow(const float* lanes, const std::vector<Run>& runs, float* row) {
  for (const Run& r : runs) std::memcpy(row + r.column, lanes + r.lane, sizeof(float) * r.length);
}

// Sets the state as the first two values of a pass leave it: they act as
// their own outputs.
void startPass(LaneState& s, const float* second, const float* first) {
  for (int k = 0; k < s.lanes; ++k) {
    s.x1[k] = s.y1[k] = second[k];
    s.x2[k] = s.y2[k] = first[k];
  }
}

// How the conversion marks a lost LED: the group's values truncate to integers
// of one absolute value below 10 (for two-axis groups X and Y).
bool isErrorSample(const float* v, int size) {
  if (size < 2) return false;
  const double a = std::fabs(std::trunc(static_cast<double>(v[0])));
  if (!(a < 10.0)) return false;
  for (int i = 1; i < size; ++i)
    if (std::fabs(std::trunc(static_cast<double>(v[i]))) != a) return false;
  return true;
}

struct ColumnGroup {
  int first, size;
  bool zero, filter;
};

std::vector<ColumnGroup> columnGroups(const MeasurementData& d, int relative, int cfc) {
  const int columns = d.ChannelData.ChannelCount;
  const int axes = std::max(d.layout.AxesPerLed, 1);
  std::vector<ColumnGroup> groups;
  for (int g = 1; g < columns; g += axes) {
    ColumnGroup grp{g, std::min(axes, columns - g), false, false};
    bool sens = false, dsl = false;
    for (int j = g; j < g + grp.size && j - 1 < kCodeSlots; ++j) {
      std::string_view code = codeText(d.codes.ChannelCodes[j - 1]);
      sens = sens || code.find("SENS") != std::string_view::npos;
      dsl = dsl || code.find("DSL") != std::string_view::npos;
    }
    grp.zero = !sens && relative == 1 && d.AlreadyZeroed == 0;
    grp.filter = cfc > 0 && !sens && !dsl;
    groups.push_back(grp);
  }
  return groups;
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

void Butfilt(float* values, int cfc, int count, float intervalMs, FilterWork& work) {
  if (count < kButfiltMinCount) return;
  const int n = count + 2 * kButfiltPad;
  float* w = workSequence(work, static_cast<size_t>(n));
  std::fill(w, w + kButfiltPad, values[0]);
  std::copy(values, values + count, w + kButfiltPad);
  std::fill(w + kButfiltPad + count, w + n, values[count - 1]);
  forwardBackward(w, n, ButterworthDesign(cfc, intervalMs));
  std::copy(w + kButfiltPad, w + kButfiltPad + count, values);
}

// The padded sequence of each column is never built: the forward pass runs
// over the row-major table in row order, storing its results in place (and
// those of the end padding in a small buffer), and the backward pass runs back
// over them, so the table is read and written twice, whole rows at a time. The
// backward steps over the front padding are skipped: no stored value depends
// on them.
void ButfiltColumns(float* table, int stride, std::span<const int> cols, int rows, int cfc, float intervalMs,
                    FilterWork& work, FilterKernel kernel) {
  if (rows < kButfiltMinCount || cols.empty()) return;
  const ButterworthCoefficients c = ButterworthDesign(cfc, intervalMs);
  const StepFn step = stepFunction(kernel);
  const std::vector<Run> runs = runsOf(cols);
  LaneState s(work);
  s.reset(static_cast<int>(cols.size()));
  const size_t lanes = static_cast<size_t>(s.lanes);
  std::vector<float>&first = work.first, &last = work.last, &in = work.in, &out = work.out;
  for (auto* v : {&first, &last, &in, &out}) v->assign(lanes, 0.0f);
  std::vector<float>& endPad = work.endPad;
  endPad.assign(lanes * kButfiltPad, 0.0f);
  auto row = [&](int r) { return table + static_cast<size_t>(r) * stride; };
  gatherRow(row(0), runs, first.data());
  gatherRow(row(rows - 1), runs, last.data());

  // Forward: W[0], W[1] are the first value; steps 2 to 199 the rest of the
  // front padding, then the rows, then the end padding.
  startPass(s, first.data(), first.data());
  for (int j = 2; j < kButfiltPad; ++j) step(first.data(), out.data(), s, c);
  for (int r = 0; r < rows; ++r) {
    gatherRow(row(r), runs, in.data());
    step(in.data(), out.data(), s, c);
    scatterRow(out.data(), runs, row(r));
  }
  for (int p = 0; p < kButfiltPad; ++p) step(last.data(), endPad.data() + lanes * p, s, c);

  // Backward from W[n - 3]: W[n - 1] and W[n - 2] (the last end padding
  // results) act as their own outputs.
  startPass(s, endPad.data() + lanes * (kButfiltPad - 2), endPad.data() + lanes * (kButfiltPad - 1));
  for (int p = kButfiltPad - 3; p >= 0; --p) step(endPad.data() + lanes * p, out.data(), s, c);
  for (int r = rows - 1; r >= 0; --r) {
    gatherRow(row(r), runs, in.data());
    step(in.data(), out.data(), s, c);
    scatterRow(out.data(), runs, row(r));
  }
}

void FillExportData(MeasurementData& d, int relative, int cfc, bool diadem) {
  const ChannelTable& in = d.ChannelData;
  ChannelTable& out = d.ExportData;
  out.ChannelCount = in.ChannelCount;
  out.SampleCount = in.SampleCount;
  const int columns = in.ChannelCount;
  if (columns <= 0 || in.SampleCount <= 0) return;
  const std::vector<ColumnGroup> groups = columnGroups(d, relative, cfc);
  std::vector<float> offsets(static_cast<size_t>(columns), 0.0f);
  for (int j = 1; j < columns && j < kMaxChannels; ++j) offsets[j] = d.ChannelOffsets[j];

  // One pass over the rows: each row's groups are zeroed as the writer needs.
  for (int s = 0; s < in.SampleCount; ++s) {
    const float* src = &in.values[static_cast<size_t>(s) * columns];
    float* dst = &out.values[static_cast<size_t>(s) * columns];
    dst[0] = src[0];
    for (const ColumnGroup& g : groups) {
      const int end = g.first + g.size;
      if (!g.zero) {
        std::copy(src + g.first, src + end, dst + g.first);
        continue;
      }
      const bool error = isErrorSample(src + g.first, g.size);
      for (int j = g.first; j < end; ++j) {
        // DIAdem keeps absolute values (its header carries the offset), so
        // its error samples get the offset that reading subtracts again.
        if (diadem)
          dst[j] = error ? src[j] + offsets[j] : src[j];
        else
          dst[j] = error ? src[j] : src[j] - offsets[j];
      }
    }
  }

  std::vector<int> filtered;
  for (const ColumnGroup& g : groups)
    if (g.filter)
      for (int j = g.first; j < g.first + g.size; ++j) filtered.push_back(j);
  if (!filtered.empty())
    ButfiltColumns(out.values.data.get(), columns, filtered, in.SampleCount, cfc,
                   static_cast<float>(d.SampleIntervalMs), d.filterWork);
}

}  // namespace lumvex
