// The conversion against the simulator's physical model: positions placed
// anywhere in the calibrated part of the valid volume come back within 0.05 mm
// for every layout and both heads, a simulated crash recording converts to
// its truth with the failures where the model made them, and spreading LEDs
// over threads changes no bit.
#include "processing/rawconv.h"
#include "support/scripted_operator.h"
#include "sim/wsid_model.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <vector>

using namespace lumvex;

namespace {

struct Family {
  int dummyType;
  int lx2;
};

std::string familyName(const ::testing::TestParamInfo<Family>& i) {
  return i.param.dummyType == DummyWorldSID50th ? "WorldSID50th"
         : i.param.lx2                          ? "WorldSID5thLX2"
                                                : "WorldSID5th";
}

class RoundTrip : public ::testing::TestWithParam<Family> {};

TEST_P(RoundTrip, PositionsOverTheValidVolumeComeBackWithin5Hundredths) {
  const sim::WsidModel m = sim::wsidModel(GetParam().dummyType, GetParam().lx2);
  const CalLayout& L = calLayout(m.layout);
  CalContext cal{&L, m.calibration->data(), L.floats, false};
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> ux(-159, 159), uy(22, 130), uz(-162, 114);
  for (int head = 1; head <= 2; ++head) {
    int checked = 0, slot = 0;
    double worst = 0;
    for (int n = 0; n < 20000 && checked < 400; ++n) {
      const double xyz[3] = {ux(rng), uy(rng), uz(rng)};
      double r[3];
      if (!sim::wsidHeadRatios(m.layout, cal.image, head, xyz, r)) continue;
      // Through the words of a record, from the start grid (nothing remembered).
      std::vector<uint16_t> rec(kRawRecordWords, 0);
      for (int a = 0; a < 6; ++a) rec[kAmbientWords[a]] = rec[kAmbientWords[a] + 1] = 2500;
      slot = (slot + 1) % 9;
      for (int d = 0; d < 3; ++d) {
        const int s = (head == 1 ? kSignalWordsHead1 : kSignalWordsHead2)[slot][d];
        sim::wsidEncodeDetector(rec.data(), s, kAmbientWords[(head == 1 ? 0 : 3) + d], r[d], 55000, 0, 0);
      }
      LastLedPosition last{};
      double out[9][6];
      uint16_t amb[6];
      process_data(cal, 1, rec.data(), kRawRecordWords, out, amb, last);
      const double* got = &out[slot][head == 1 ? 0 : 3];
      for (int a = 0; a < 3; ++a) {
        EXPECT_NEAR(got[a], xyz[a], 0.05)
            << "head " << head << " at " << xyz[0] << ", " << xyz[1] << ", " << xyz[2];
        worst = std::max(worst, std::fabs(got[a] - xyz[a]));
      }
      ++checked;
    }
    EXPECT_EQ(checked, 400) << "head " << head << ": too few calibrated positions";
    RecordProperty("worst_mm_head" + std::to_string(head), std::to_string(worst));
  }
}

// Converts a simulated recording from -20 to 130 ms through ConvertWSIDdata.
struct Recording {
  explicit Recording(const Family& f) : st(op), model(sim::wsidModel(f.dummyType, f.lx2)) {
    st.workDir = dir.path();
    st.session.DummyType = f.dummyType;
    st.session.IsLX2 = f.lx2;
    st.session.SerialNumberText = "2051";
    st.session.calDate = "2023-11-02";
    st.session.DirectionText = "Right Side";
    EXPECT_EQ(sim::wsidWriteCalibrationFiles(dir.path(), "2051", "2023-11-02", f.dummyType, f.lx2), 0);
    sim::wsidFillRecords(model, kStartMs, kSamples, st.data.RawWords.begin());
    st.data.ChannelData.SampleCount = kSamples;
    st.data.StartTimeMs = kStartMs;
    st.data.SampleIntervalMs = 0.1;
  }
  static constexpr int kSamples = 1500;
  static constexpr double kStartMs = -20;
  lumvex::testing::TempDir dir;
  ScriptedOperator op;
  Station st;
  sim::WsidModel model;
};

TEST_P(RoundTrip, ASimulatedCrashConvertsToItsTruthWithItsFailures) {
  Recording r(GetParam());
  ASSERT_EQ(ConvertWSIDdata(r.st, nullptr), 0) << (r.op.messages().empty() ? "" : r.op.messages()[0]);
  const ChannelTable& t = r.st.data.ChannelData;
  std::map<int, int> codes;  // code -> samples where the model expected it
  int positions = 0;
  double deepest = 1e9;
  for (int i = 0; i < Recording::kSamples; ++i)
    for (int head = 1; head <= 2; ++head)
      for (int slot = 0; slot < 9; ++slot) {
        const sim::WsidTruth w = sim::wsidTruth(r.model, head, slot, Recording::kStartMs + i * 0.1);
        const int col = 1 + (head == 1 ? 0 : 27) + 3 * slot;
        const float x = t.at(i, col), y = t.at(i, col + 1), z = t.at(i, col + 2);
        if (w.code > 0) {
          ++codes[w.code];
          EXPECT_TRUE(x == w.code && y == w.code && z == w.code)
              << "sample " << i << " head " << head << " slot " << slot << " expected " << w.code << " got "
              << x;
        } else if (w.code == 0) {
          ++positions;
          deepest = std::min(deepest, w.y);
          ASSERT_NEAR(x, w.x, 0.05) << "sample " << i << " head " << head << " slot " << slot;
          ASSERT_NEAR(y, w.y, 0.05) << "sample " << i << " head " << head << " slot " << slot;
          ASSERT_NEAR(z, w.z, 0.05) << "sample " << i << " head " << head << " slot " << slot;
        }
      }
  // Every failure the model makes occurs, and the ribs really moved.
  for (int code : {2, 4, 5, 7, 9}) EXPECT_GT(codes[code], 0) << "code " << code;
  EXPECT_GT(positions, Recording::kSamples * 17);
  EXPECT_LT(deepest, 60);
}

TEST_P(RoundTrip, ThreadsGiveTheSameRowsAsOneThread) {
  Recording r(GetParam());
  const CalLayout& L = calLayout(r.model.layout);
  CalContext cal{&L, r.model.calibration->data(), L.floats, false};
  const int words = GetParam().lx2 ? kRawRecordWordsLX2 : kRawRecordWords;
  const int n = Recording::kSamples;
  std::vector<float> one(static_cast<size_t>(n) * 61, -1);
  LastLedPosition last1{};
  last1[3] = {10, 70, 5, -10, 60, 3};
  std::vector<int> seen1;
  convertRecords(cal, r.st.data.RawWords.begin(), words, n, last1, one.data(), 61, 1,
                 [&](int i) { seen1.push_back(i); });
  EXPECT_EQ(static_cast<int>(seen1.size()), n);
  // Two threads, an uneven split, and one LED per thread.
  for (int threads : {2, 5, 18}) {
    std::vector<float> more(one.size(), -1);
    LastLedPosition last2{};
    last2[3] = {10, 70, 5, -10, 60, 3};
    std::vector<int> seen2;
    convertRecords(cal, r.st.data.RawWords.begin(), words, n, last2, more.data(), 61, threads,
                   [&](int i) { seen2.push_back(i); });
    EXPECT_EQ(std::memcmp(one.data(), more.data(), one.size() * sizeof(float)), 0) << threads << " threads";
    EXPECT_EQ(std::memcmp(last1.data(), last2.data(), sizeof last1), 0) << threads << " threads";
    EXPECT_EQ(seen1, seen2) << threads << " threads";
  }
}

// A caller that follows no progress passes an empty function, on one thread
// as on several.
TEST_P(RoundTrip, NoProgressFunctionOnAnyThreadCount) {
  Recording r(GetParam());
  const CalLayout& L = calLayout(r.model.layout);
  CalContext cal{&L, r.model.calibration->data(), L.floats, false};
  const int words = GetParam().lx2 ? kRawRecordWordsLX2 : kRawRecordWords;
  const int n = 300;
  std::vector<float> one(static_cast<size_t>(n) * 61, -1);
  LastLedPosition last1{};
  convertRecords(cal, r.st.data.RawWords.begin(), words, n, last1, one.data(), 61, 1, nullptr);
  for (int threads : {2, 3}) {
    std::vector<float> more(one.size(), -1);
    LastLedPosition last2{};
    ASSERT_NO_THROW(
        convertRecords(cal, r.st.data.RawWords.begin(), words, n, last2, more.data(), 61, threads, nullptr))
        << threads << " threads";
    EXPECT_EQ(std::memcmp(one.data(), more.data(), one.size() * sizeof(float)), 0) << threads << " threads";
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, RoundTrip,
                         ::testing::Values(Family{DummyWorldSID50th, 0}, Family{DummyWorldSID5th, 0},
                                           Family{DummyWorldSID5th, 1}),
                         familyName);

}  // namespace
