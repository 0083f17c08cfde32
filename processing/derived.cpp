// IR-TRACC equivalents and length change of the WorldSID ribs.
//
// Precision: inputs are the single-precision table values and offsets; every
// geometric step is computed in double and rounded to single precision only
// where a value is stored (the table, and the A/B series of the length change).
#include "processing/derived.h"

#include "core/channel_codes.h"
#include "processing/filter.h"
#include "processing/assembly.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace lumvex {

namespace {

constexpr int kRibs = 6;
constexpr int kLeds = 18;
constexpr int kIrtFirstColumn = 61;
constexpr int kLengthFirstColumn = 73;
constexpr int kLengthFilterClass = 600;
constexpr float kLengthFilterIntervalMs = 0.1f;  // the derived channels are 10 kHz data
constexpr float kNoLengthChange = -10.0f;        // mm; marks an LED without a valid stretch

// Appends `extra` zero columns to every row in place. Rows move to higher
// addresses only, so walking from the last row down never overwrites a row that
// has still to move. -1 when the wider table would not fit.
int widenTable(ChannelTable& t, int extra) {
  const int oldCount = t.ChannelCount;
  const int newCount = oldCount + extra;
  if (newCount > kMaxChannels || static_cast<size_t>(t.SampleCount) * newCount > t.values.size) return -1;
  float* v = t.values.begin();
  for (int i = t.SampleCount - 1; i >= 0; --i) {
    float* dst = v + static_cast<size_t>(i) * newCount;
    std::memmove(dst, v + static_cast<size_t>(i) * oldCount, sizeof(float) * oldCount);
    std::fill(dst + oldCount, dst + newCount, 0.0f);
  }
  t.ChannelCount = newCount;
  return 0;
}

// Walks the samples 0..n-1 as the run table divides them: stretch(b, e) for
// each stretch of samples in no run (e exclusive, possibly empty), run(b, e,
// code) for each run. Returns the first sample not visited when the end marker
// was reached instead of a run, else n.
template <typename Stretch, typename Run>
int forEachSegment(const ErrorRunTable& runs, int n, Stretch stretch, Run run) {
  int begin = 0;
  for (const ErrorRun& r : runs) {
    if (r.first == kErrorRunEndMarker.first) return begin;
    if (r.first < 0) break;
    stretch(begin, r.first);
    const int end = r.last < 0 ? n : r.last + 1;
    run(r.first, end, r.code);
    if (r.last < 0) return n;
    begin = end;
  }
  stretch(begin, n);
  return n;
}

bool coversWholeRecord(const ErrorRunTable& runs) { return runs[0].first == 0 && runs[0].last == -1; }

// Anchor depth K[p] (mm) of rib p's IR-TRACC reference point.
double irtAnchorDepth(const SessionState& s, int rib) {
  if (s.DummyType == DummyWorldSID50th) return rib == 0 ? -32.6 : -21.0;
  if (s.DummyType == DummyWorldSID5th && !s.IsLX2) return rib == 0 ? -25.844 : -14.244;
  return rib == 0 ? -16.043 : -15.943;
}

// Anchor X position T[r] (mm, at Y = 0) of rib r's length-change reference.
double lengthAnchorX(const SessionState& s, int rib) {
  static constexpr double kWorldSid[kRibs] = {-19.86, 0, 4.72, -20.0, 0, 20.0};
  static constexpr double kFifthLx2[kRibs] = {-4.672, 0, 17.639, -15.43, 0, 15.43};
  static constexpr double kFifth[kRibs] = {-7.0883, 0, 14.2073, -20.0082, 0, 20.1067};
  if (s.DummyType == DummyWorldSID50th) return kWorldSid[rib];
  return s.IsLX2 ? kFifthLx2[rib] : kFifth[rib];
}

struct IrtReference {
  double x0, y0, z0;  // mm: pre-trigger position of the middle LED
  double g;           // mm: signed Y distance of the LED from the anchor at rest
};

struct IrtValues {
  float uncorrected, corrected;  // mm
};

IrtValues irtAt(const IrtReference& ref, double x, double y, double z) {
  const double dX = x - ref.x0;
  const double dZ = z - ref.z0;
  const double dY = ref.g - (y - ref.y0);
  const double length = std::sqrt(dY * dY + dX * dX + dZ * dZ);
  // At the anchor depth with no X motion there is no X part to leave out.
  const double slope = (dY == 0.0 && dX == 0.0) ? 0.0 : dX / dY;
  const double refLength = std::fabs(ref.g);
  return {static_cast<float>(refLength - length),
          static_cast<float>(refLength - length * std::cos(std::atan(slope)))};
}

void irtRib(Station& st, int rib) {
  ChannelTable& t = st.data.ChannelData;
  const int xc = 9 * rib + 4;  // X of the rib's middle LED
  const int uc = kIrtFirstColumn + rib;
  const int cc = uc + kRibs;
  const auto& off = st.data.ChannelOffsets;
  IrtReference ref{off[xc], off[xc + 1], off[xc + 2], 0.0};
  ref.g = -ref.y0 - irtAnchorDepth(st.session, rib);

  ErrorRunTable runs;
  BuildErrorCodeTable(runs, t, xc);
  if (coversWholeRecord(runs)) return;
  const bool noRuns = runs[0].first == -1;
  const int type = st.session.DummyType;
  const bool corrected = noRuns || type == DummyWorldSID50th || (type == DummyWorldSID5th && rib > 0);

  auto stretch = [&](int b, int e) {
    for (int i = b; i < e; ++i) {
      const IrtValues v = irtAt(ref, t.at(i, xc), t.at(i, xc + 1), t.at(i, xc + 2));
      t.at(i, uc) = v.uncorrected;
      if (corrected) t.at(i, cc) = v.corrected;
    }
  };
  auto run = [&](int b, int e, int code) {
    for (int i = b; i < e; ++i) t.at(i, uc) = t.at(i, cc) = static_cast<float>(code);
  };
  const int tail = forEachSegment(runs, t.SampleCount, stretch, run);
  stretch(tail, t.SampleCount);  // samples after a full table lie in no run
}

// The code an LED sample carries inside a run, from its X and Y only.
float lengthRunValue(float x, float y) {
  const float a = std::fabs(x);
  const float b = std::fabs(y);
  if (!(a < 10.0f) || !(b < 10.0f)) return 0.0f;
  const int ia = static_cast<int>(a);
  const int ib = static_cast<int>(b);
  return ia == ib ? static_cast<float>(ib) : 0.0f;
}

// The working series of the length change, sized once for the longest
// download and reused, like the filter's work sequence.
LengthWork& lengthScratch(LengthWork& s, int samples) {
  const size_t n = std::max<size_t>(static_cast<size_t>(samples), kMaxRecords);
  if (s.a.size() < n) {
    s.a.resize(n);
    s.b.resize(n);
    s.result.resize(n);
  }
  return s;
}

void lengthLed(Station& st, int led, LengthWork& s) {
  ChannelTable& t = st.data.ChannelData;
  const int n = t.SampleCount;
  const int xc = 3 * led + 1;
  const double anchorX = lengthAnchorX(st.session, led / 3);
  std::fill(s.result.begin(), s.result.begin() + n, kNoLengthChange);

  ErrorRunTable runs;
  BuildErrorCodeTable(runs, t, xc);
  if (!coversWholeRecord(runs)) {
    const double x0 = st.data.ChannelOffsets[xc];
    const double y0 = st.data.ChannelOffsets[xc + 1];
    const double refLength = std::sqrt((x0 - anchorX) * (x0 - anchorX) + y0 * y0);
    for (int i = 0; i < n; ++i) {
      s.a[i] = static_cast<float>(t.at(i, xc) - anchorX);
      s.b[i] = t.at(i, xc + 1);
    }
    auto stretch = [&](int b, int e) {
      if (e <= b) return;
      Butfilt(s.a.data() + b, kLengthFilterClass, e - b, kLengthFilterIntervalMs, st.data.filterWork);
      Butfilt(s.b.data() + b, kLengthFilterClass, e - b, kLengthFilterIntervalMs, st.data.filterWork);
      for (int i = b; i < e; ++i) {
        const double a = s.a[i], bb = s.b[i];
        s.result[i] = static_cast<float>(refLength - std::sqrt(a * a + bb * bb));
      }
    };
    // Inside a run the code is read from the LED's own X: X - T + T, once
    // rounded to single precision, can fall just below the code's integer.
    auto run = [&](int b, int e, int) {
      for (int i = b; i < e; ++i) s.result[i] = lengthRunValue(t.at(i, xc), t.at(i, xc + 1));
    };
    forEachSegment(runs, n, stretch, run);  // a stretch after a full table stays unavailable
  }
  const int col = kLengthFirstColumn + led;
  for (int i = 0; i < n; ++i) t.at(i, col) = s.result[i];
}

}  // namespace

int IRTraccCalcs(Station& st) {
  ChannelTable& t = st.data.ChannelData;
  // Any other width is not the assembled WorldSID layout (or already has its
  // IR-TRACC columns): writing columns 61..72 there would overwrite data.
  if (t.ChannelCount != kIrtFirstColumn || widenTable(t, 2 * kRibs) != 0) return -1;
  CalcChannelOffsets(st.data);
  for (int rib = 0; rib < kRibs; ++rib) irtRib(st, rib);
  AssignIrTraccCodes(st);
  AppendTypeNameSuffix(st, "IRT", " w/IRT");
  return 0;
}

int LengthCalcs(Station& st) {
  ChannelTable& t = st.data.ChannelData;
  if (t.ChannelCount != kLengthFirstColumn || widenTable(t, kLeds) != 0) return -1;
  LengthWork& s = lengthScratch(st.data.lengthWork, t.SampleCount);
  for (int led = 0; led < kLeds; ++led) lengthLed(st, led, s);
  AssignLengthChangeCodes(st);
  AppendTypeNameSuffix(st, "Length Change", " w/Length Change");
  CalcChannelOffsets(st.data);
  return 0;
}

}  // namespace lumvex
