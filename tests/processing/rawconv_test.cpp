// Raw conversion, rule by rule: the table index of each calibration layout, the
// record layout, detector validity (weak, saturated, ratio limits), table
// lookups at their ends, the start grid, the iteration's exits (degenerate,
// 100 passes), and ConvertWSIDdata's file, progress, time and row rules.
#include "processing/rawconv.h"
#include "support/scripted_operator.h"
#include "sim/wsid_model.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <set>
#include <vector>

using namespace lumvex;
using lumvex::testing::TempDir;

namespace {

struct LayoutCase {
  int id;
  int floats;
};

class TableIndex : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(TableIndex, FirstTableAtZeroAndLastEndsAtTheLayoutSize) {
  const CalLayout& L = calLayout(GetParam().id);
  EXPECT_EQ(L.floats, GetParam().floats);
  const TableRun first = L.plane[PlaneC1].runs[0];
  EXPECT_EQ(L.offset[PlaneC1][0][first.first], 0);
  const TableRun last = L.plane[PlaneB2].runs[L.rows - 1];
  EXPECT_EQ(L.offset[PlaneB2][L.rows - 1][last.last] + 2 * last.points, GetParam().floats);
}

TEST_P(TableIndex, TablesFollowEachOtherWithoutGapAndRunsHoldTheMiddleColumn) {
  const CalLayout& L = calLayout(GetParam().id);
  int next = 0;
  for (int p = 0; p < kCalPlanes; ++p) {
    const int mid = (L.plane[p].columns + 1) / 2;
    for (int r = 0; r < L.rows; ++r) {
      const TableRun run = L.plane[p].runs[r];
      EXPECT_LE(run.first, mid);
      EXPECT_GE(run.last, mid);
      EXPECT_LT(run.last, L.plane[p].columns);
      for (int c = 0; c < L.plane[p].columns; ++c) {
        if (c < run.first || c > run.last) {
          EXPECT_FALSE(L.hasTable(p, r, c));
          continue;
        }
        ASSERT_EQ(L.offset[p][r][c], next) << "plane " << p << " row " << r << " column " << c;
        next += 2 * run.points;
      }
    }
  }
  EXPECT_EQ(next, L.floats);
}

INSTANTIATE_TEST_SUITE_P(Layouts, TableIndex,
                         ::testing::Values(LayoutCase{CalLayout50th, 611'870},
                                           LayoutCase{CalLayout5th, 427'768},
                                           LayoutCase{CalLayout5thLX2, 519'620}),
                         [](const ::testing::TestParamInfo<LayoutCase>& i) {
                           return std::string(i.param.id == CalLayout50th  ? "WorldSID50th"
                                              : i.param.id == CalLayout5th ? "WorldSID5th"
                                                                           : "WorldSID5thLX2");
                         });

TEST(TableIndex, FiftiethFirstRowOfCHead1FillsFloatsUpTo2043) {
  const CalLayout& L = calLayout(CalLayout50th);
  EXPECT_EQ(L.offset[PlaneC1][0][8], 0);
  EXPECT_EQ(L.offset[PlaneC1][0][21], 13 * 146);
  EXPECT_EQ(L.offset[PlaneC1][1][5], 2044);
}

// Column breakpoints: three runs 10 mm apart each, the middle one through 0.
TEST(TableIndex, ColumnBreakpointsAreThreeRunsTenMillimetresApart) {
  struct Run {
    double first, last;
  };
  auto expand = [](std::initializer_list<Run> runs) {
    std::vector<double> v;
    for (const Run& r : runs)
      for (int k = 0; r.first + 10 * k <= r.last + 1e-9; ++k) v.push_back(r.first + 10 * k);
    return v;
  };
  auto columns = [](int layout, int plane) {
    const CalPlaneLayout& p = calLayout(layout).plane[plane];
    return std::vector<double>(p.bp, p.bp + p.columns);
  };
  auto near = [](const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
      if (std::fabs(a[k] - b[k]) > 1e-9) return false;
    return true;
  };
  const auto ab50 = expand({{-160.236, -60.236}, {-50, 50}, {60.236, 160.236}});
  const auto ab5 = expand({{-130.1, -40.1}, {-30, 30}, {40.1, 130.1}});
  ASSERT_EQ(ab50.size(), 33u);
  ASSERT_EQ(ab5.size(), 27u);
  for (int p = PlaneA1; p <= PlaneB2; ++p) {
    EXPECT_TRUE(near(columns(CalLayout50th, p), ab50)) << "plane " << p;
    EXPECT_TRUE(near(columns(CalLayout5th, p), ab5)) << "plane " << p;
    EXPECT_TRUE(near(columns(CalLayout5thLX2, p), ab5)) << "plane " << p;
  }
  EXPECT_TRUE(
      near(columns(CalLayout50th, PlaneC1), expand({{-164.688, -44.688}, {-40, 40}, {43.61, 113.61}})));
  EXPECT_TRUE(
      near(columns(CalLayout50th, PlaneC2), expand({{-145.961, -25.961}, {-20, 20}, {25.961, 105.961}})));
  EXPECT_TRUE(near(columns(CalLayout5th, PlaneC1), expand({{-143, -73}, {-69, 1}, {5, 85}})));
  EXPECT_TRUE(near(columns(CalLayout5thLX2, PlaneC1), expand({{-124, -44}, {-40, 30}, {34, 104}})));
  const auto c2of5th = expand({{-114, -44}, {-40, 30}, {34, 114}});
  EXPECT_TRUE(near(columns(CalLayout5th, PlaneC2), c2of5th));
  EXPECT_TRUE(near(columns(CalLayout5thLX2, PlaneC2), c2of5th));
  // Rows: 25 to 40 mm 5 apart, then 10 apart up to 100 (5th) or 110 mm.
  for (int id : {CalLayout50th, CalLayout5th, CalLayout5thLX2}) {
    const CalLayout& L = calLayout(id);
    const std::vector<double> rows(L.rowY, L.rowY + L.rows);
    EXPECT_TRUE(near(rows, expand({{25, 25}, {30, 30}, {35, 35}, {40, id == CalLayout5th ? 100.0 : 110.0}})))
        << L.name;
  }
}

TEST(TableIndex, LayoutFollowsTypeAndGeneration) {
  EXPECT_EQ(calLayoutFor(DummyWorldSID50th, 0), CalLayout50th);
  EXPECT_EQ(calLayoutFor(DummyWorldSID50th, 1), CalLayout50th);
  EXPECT_EQ(calLayoutFor(DummyWorldSID5th, 0), CalLayout5th);
  EXPECT_EQ(calLayoutFor(DummyWorldSID5th, 1), CalLayout5thLX2);
  EXPECT_EQ(calLayout(CalLayout5th).rows, 10);
  EXPECT_EQ(calLayout(CalLayout5thLX2).rows, 11);
}

TEST(RecordLayout, SignalAndAmbientPairsCoverTheFirst120WordsOnce) {
  std::vector<int> uses(kRawRecordWords, 0);
  for (int slot = 0; slot < 9; ++slot)
    for (int d = 0; d < 3; ++d)
      for (int w : {kSignalWordsHead1[slot][d], kSignalWordsHead2[slot][d]}) {
        ++uses[w];
        ++uses[w + 1];
      }
  for (int w : kAmbientWords) {
    ++uses[w];
    ++uses[w + 1];
  }
  for (int w = 0; w < kRawRecordWords; ++w) EXPECT_EQ(uses[w], 1) << "word " << w;
  // A few entries that a shifted row or column would move.
  EXPECT_EQ(kSignalWordsHead1[3][1], 60);
  EXPECT_EQ(kSignalWordsHead1[6][2], 108);
  EXPECT_EQ(kSignalWordsHead2[6][1], 2);
  EXPECT_EQ(kSignalWordsHead2[0][0], 50);
  EXPECT_EQ(kAmbientWords[0], 42);
  EXPECT_EQ(kAmbientWords[5], 38);
}

// ------------------------------------------------------------------ lookups

struct Cal {
  explicit Cal(int layout)
      : image(sim::wsidCalibrationImage(layout)),
        ctx{&calLayout(layout), image.data(), (int)image.size(), false} {}
  std::vector<float> image;
  CalContext ctx;
};

TEST(Lookup, InteriorRatiosInterpolateWithoutTheFlag) {
  Cal c(CalLayout50th);
  const float t[] = {-1.0f, 10.0f, 0.0f, 20.0f, 1.0f, 40.0f};
  EXPECT_FLOAT_EQ(Lookup(c.ctx, 0.5f, t, 3), 30.0f);
  EXPECT_FLOAT_EQ(Lookup(c.ctx, -0.5f, t, 3), 15.0f);
  EXPECT_FLOAT_EQ(Lookup(c.ctx, 0.0f, t, 3), 20.0f);  // on the inner point
  EXPECT_FALSE(c.ctx.LookupOutOfRange);
}

TEST(Lookup, TheFirstAndLastTabulatedRatiosCountAsExtrapolated) {
  Cal c(CalLayout50th);
  const float t[] = {-1.0f, 10.0f, 0.0f, 20.0f, 1.0f, 40.0f};
  EXPECT_FLOAT_EQ(Lookup(c.ctx, -1.0f, t, 3), 10.0f);
  EXPECT_TRUE(c.ctx.LookupOutOfRange);
  c.ctx.LookupOutOfRange = false;
  EXPECT_FLOAT_EQ(Lookup(c.ctx, 1.0f, t, 3), 40.0f);
  EXPECT_TRUE(c.ctx.LookupOutOfRange);
  c.ctx.LookupOutOfRange = false;
  EXPECT_FLOAT_EQ(Lookup(c.ctx, -2.0f, t, 3), 0.0f);  // along the first two points
  EXPECT_FLOAT_EQ(Lookup(c.ctx, 1.5f, t, 3), 50.0f);  // along the last two points
  EXPECT_TRUE(c.ctx.LookupOutOfRange);
  c.ctx.LookupOutOfRange = false;
  EXPECT_FLOAT_EQ(Lookup(c.ctx, std::nextafter(1.0f, 0.0f), t, 3), 40.0f);
  EXPECT_FALSE(c.ctx.LookupOutOfRange);
  Lookup(c.ctx, NAN, t, 3);
  EXPECT_TRUE(c.ctx.LookupOutOfRange);
}

TEST(Lookup, EveryInnerTabulatedRatioGivesItsOwnSlopeExactly) {
  // Whichever neighbouring interval the search lands in, the slope at a
  // tabulated ratio is the tabulated slope, to the bit.
  Cal c(CalLayout5thLX2);
  const CalLayout& L = calLayout(CalLayout5thLX2);
  for (int p : {PlaneC1, PlaneA2}) {
    const int row = 4, col = L.plane[p].runs[row].first, points = L.points(p, row);
    const float* t = c.image.data() + L.offset[p][row][col];
    for (int k = 1; k < points - 1; ++k) {
      ASSERT_EQ(Lookup(c.ctx, t[2 * k], t, points), t[2 * k + 1]) << "plane " << p << " point " << k;
      // Halfway along an interval, the midpoint of its slopes.
      const float r = std::midpoint(t[2 * k], t[2 * k + 2]);
      const double expected = t[2 * k + 1] + (static_cast<double>(r) - t[2 * k]) *
                                                 (static_cast<double>(t[2 * k + 3]) - t[2 * k + 1]) /
                                                 (static_cast<double>(t[2 * k + 2]) - t[2 * k]);
      ASSERT_EQ(Lookup(c.ctx, r, t, points), static_cast<float>(expected)) << "plane " << p << " point " << k;
    }
  }
  EXPECT_FALSE(c.ctx.LookupOutOfRange);
}

TEST(Lookup, SearchCompareBracketsOneInterval) {
  const float p[] = {0.0f, 5.0f, 1.0f, 6.0f};
  EXPECT_EQ(searchcompare(-0.1f, p), -1);
  EXPECT_EQ(searchcompare(0.0f, p), 0);
  EXPECT_EQ(searchcompare(1.0f, p), 0);
  EXPECT_EQ(searchcompare(1.1f, p), 1);
}

// ------------------------------------------------------------------ records

// A record where every LED of both heads sits at a calibrated position.
struct RecordCase {
  explicit RecordCase(int layout = CalLayout50th) : cal(layout), layoutId(layout), rec(kRawRecordWords, 0) {
    for (int a = 0; a < 6; ++a) {
      rec[kAmbientWords[a]] = 3000;
      rec[kAmbientWords[a] + 1] = 3010;
    }
    for (int head = 1; head <= 2; ++head)
      for (int slot = 0; slot < 9; ++slot) setLed(head, slot, truth(head, slot));
  }
  static std::array<double, 3> truth(int head, int slot) {
    return {-40.0 + 40 * (slot % 3), 60.0 + slot,
            (head == 1 ? -40.0 : -30.0) + (head == 1 ? 40 : 30) * (slot / 3)};
  }
  void setLed(int head, int slot, std::array<double, 3> xyz) {
    double r[3];
    EXPECT_TRUE(sim::wsidHeadRatios(layoutId, cal.image.data(), head, xyz.data(), r));
    for (int d = 0; d < 3; ++d) setDetector(head, slot, d, r[d]);
  }
  void setDetector(int head, int slot, int d, double ratio, int total = 50000) {
    sim::wsidEncodeDetector(rec.data(), signal(head, slot, d), ambient(head, d), ratio, total, 0, 0);
  }
  // Signal words as counts above ambient.
  void setCounts(int head, int slot, int d, int d1, int d2) {
    rec[signal(head, slot, d)] = static_cast<uint16_t>(rec[ambient(head, d)] + d1);
    rec[signal(head, slot, d) + 1] = static_cast<uint16_t>(rec[ambient(head, d) + 1] + d2);
  }
  static int signal(int head, int slot, int d) {
    return (head == 1 ? kSignalWordsHead1 : kSignalWordsHead2)[slot][d];
  }
  static int ambient(int head, int d) { return kAmbientWords[(head == 1 ? 0 : 3) + d]; }
  void run(int count = 1) { process_data(cal.ctx, count, rec.data(), kRawRecordWords, results, amb, last); }
  // The code in X, Y and Z of one head of a slot, or 0 for a position.
  int code(int head, int slot) const {
    const double* v = &results[slot][head == 1 ? 0 : 3];
    if (v[0] == v[1] && v[1] == v[2] && v[0] >= 1 && v[0] <= 9 && v[0] == std::floor(v[0])) return (int)v[0];
    return 0;
  }
  void expectAtTruth(int head, int slot) const {
    const auto t = truth(head, slot);
    const double* v = &results[slot][head == 1 ? 0 : 3];
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(v[a], t[a], 0.05) << "head " << head << " slot " << slot;
  }
  Cal cal;
  int layoutId;
  std::vector<uint16_t> rec;
  double results[9][6] = {};
  uint16_t amb[6] = {};
  LastLedPosition last{};
};

TEST(Detectors, AGoodRecordConvertsEveryLed) {
  RecordCase c;
  c.run();
  for (int head = 1; head <= 2; ++head)
    for (int slot = 0; slot < 9; ++slot) c.expectAtTruth(head, slot);
}

TEST(Detectors, BothSignalsUnder15000AboveAmbientMakeTheDetectorInvalid) {
  RecordCase c;
  c.setCounts(1, 4, 0, 14999, 14999);  // A
  c.setCounts(1, 5, 0, 15000, 14999);  // one signal at 15000 is enough
  c.setCounts(2, 4, 1, 14999, 15000);  // B
  c.run();
  EXPECT_EQ(c.code(1, 4), 1);
  // A position, or 9 from the new ratio, never a detector code.
  EXPECT_FALSE(c.code(1, 5) >= 1 && c.code(1, 5) <= 7);
  EXPECT_FALSE(c.code(2, 4) >= 1 && c.code(2, 4) <= 7);
}

TEST(Detectors, A65501WordSaturatesAnd65500DoesNot) {
  RecordCase c;                        // ambient 3000 and 3010
  c.setCounts(1, 0, 2, 62500, 62490);  // s1 = s2 = 65500
  c.setCounts(1, 1, 2, 62501, 62490);  // s1 = 65501
  c.setCounts(2, 2, 1, 62500, 62491);  // s2 = 65501
  c.run();
  EXPECT_FALSE(c.code(1, 0) >= 1 && c.code(1, 0) <= 7);
  EXPECT_EQ(c.code(1, 1), 4);
  EXPECT_EQ(c.code(2, 2), 2);
}

TEST(Detectors, RatioOfExactly1Point1IsValidAndJustBeyondIsNot) {
  RecordCase c;
  c.setCounts(1, 0, 2, 21000, -1000);  // +1.1
  c.setCounts(1, 1, 2, 21000, -1001);  // just above
  c.setCounts(2, 0, 2, -1000, 21000);  // -1.1
  c.setCounts(2, 1, 2, -1001, 21000);  // just below
  c.run();
  // Valid detectors whose ratio lies beyond every table: extrapolated, so 9.
  EXPECT_EQ(c.code(1, 0), 9);
  EXPECT_EQ(c.code(1, 1), 4);
  EXPECT_EQ(c.code(2, 0), 9);
  EXPECT_EQ(c.code(2, 1), 4);
}

TEST(Detectors, SignalsThatCancelOutMakeTheDetectorInvalid) {
  RecordCase c;
  c.rec[44] = c.rec[45] = 20000;  // head 2 A ambient, high enough to go 15000 below it
  for (int slot = 0; slot < 9; ++slot) c.setLed(2, slot, RecordCase::truth(2, slot));
  c.setCounts(2, 2, 0, 15000, -15000);
  c.run();
  EXPECT_EQ(c.code(2, 2), 1);
  c.expectAtTruth(2, 1);
}

TEST(Detectors, AAndCInvalidGive5WhileTheOtherHeadConverts) {
  RecordCase c;
  c.setCounts(1, 7, 0, 100, 100);
  c.setCounts(1, 7, 2, 100, 100);
  c.last[7] = {1, 2, 3, 4, 5, 6};
  c.run();
  EXPECT_EQ(c.code(1, 7), 5);
  EXPECT_EQ(c.results[7][0], 5);
  c.expectAtTruth(2, 7);
  // A code leaves the remembered position as it was.
  EXPECT_EQ(c.last[7][0], 1);
  EXPECT_EQ(c.last[7][1], 2);
  EXPECT_EQ(c.last[7][2], 3);
}

TEST(Detectors, AveragedRecordsKeepTheLastCodeAndSkipFailedHeads) {
  RecordCase c;
  std::vector<uint16_t> two(c.rec);
  two.insert(two.end(), c.rec.begin(), c.rec.end());
  auto setIn = [&](int n, int head, int slot, int d, int d1, int d2) {
    uint16_t* rec = two.data() + n * kRawRecordWords;
    rec[RecordCase::signal(head, slot, d)] = static_cast<uint16_t>(rec[RecordCase::ambient(head, d)] + d1);
    rec[RecordCase::signal(head, slot, d) + 1] =
        static_cast<uint16_t>(rec[RecordCase::ambient(head, d) + 1] + d2);
  };
  setIn(0, 1, 3, 0, 10, 10);  // record 0: A of head 1 slot 3 -> 1
  setIn(1, 1, 3, 2, 10, 10);  // record 1: C -> 4 overwrites
  setIn(0, 2, 3, 1, 10, 10);  // head 2 slot 3 fails in record 0 only
  process_data(c.cal.ctx, 2, two.data(), kRawRecordWords, c.results, c.amb, c.last);
  EXPECT_EQ(c.code(1, 3), 4);
  EXPECT_EQ(c.code(2, 3), 2);
  c.expectAtTruth(1, 4);  // two equal records average to the same ratios
}

TEST(Detectors, AmbientLevelIsTheLargerWordOfEachPair) {
  RecordCase c;
  c.rec[42] = 100;
  c.rec[43] = 200;  // head 1 A
  c.rec[36] = 300;
  c.rec[37] = 250;  // head 1 B
  c.rec[38] = 7;
  c.rec[39] = 9;  // head 2 C
  c.run();
  EXPECT_EQ(c.amb[0], 200);
  EXPECT_EQ(c.amb[1], 300);
  EXPECT_EQ(c.amb[2], 3010);
  EXPECT_EQ(c.amb[5], 9);
}

// ------------------------------------------------------------------ start estimates

TEST(StartEstimate, TheFirstConversionStartsFromTheGrid) {
  RecordCase c;
  c.run();
  // The same ratios converted from the grid entry of head 1 slot 5 and head 2 slot 7.
  double r1[3], r2[3];
  const auto t1 = RecordCase::truth(1, 5), t2 = RecordCase::truth(2, 7);
  sim::wsidHeadRatios(CalLayout50th, c.cal.image.data(), 1, t1.data(), r1);
  sim::wsidHeadRatios(CalLayout50th, c.cal.image.data(), 2, t2.data(), r2);
  auto fromWords = [&](int head, int slot, int d) {
    const int s = RecordCase::signal(head, slot, d), a = RecordCase::ambient(head, d);
    const int d1 = c.rec[s] - c.rec[a], d2 = c.rec[s + 1] - c.rec[a + 1];
    return static_cast<double>(d1 - d2) / (d1 + d2);
  };
  double X = 50, Y = 30, Z = 0;  // slot 5: front, middle rib
  convert_to_eu(c.cal.ctx, X, Y, Z, fromWords(1, 5, 0), fromWords(1, 5, 1), fromWords(1, 5, 2), 1);
  EXPECT_EQ(c.results[5][0], X);
  EXPECT_EQ(c.results[5][1], Y);
  EXPECT_EQ(c.results[5][2], Z);
  X = 0, Y = 25, Z = 35.9;  // head 2 slot 7: middle, top rib
  convert_to_eu(c.cal.ctx, X, Y, Z, fromWords(2, 7, 0), fromWords(2, 7, 1), fromWords(2, 7, 2), 0);
  EXPECT_EQ(c.results[7][3], X);
  EXPECT_EQ(c.results[7][4], Y);
  EXPECT_EQ(c.results[7][5], Z);
  for (int a = 0; a < 3; ++a) EXPECT_EQ(c.last[5][a], c.results[5][a]);
}

TEST(StartEstimate, RememberedYDecidesBetweenGridAndLastPosition) {
  // Head 1 leaves the grid from Y 25 up to 115, head 2 from 24.
  const double starts[] = {24.9, 25, 24.5, 115, 115.1};
  for (double y : starts) {
    RecordCase c;
    for (auto& led : c.last) led = {-45, y, -35, -45, y, -28};
    c.run();
    RecordCase g;  // reference from the grid
    g.run();
    const bool grid1 = y < 25 || y > 115, grid2 = y < 24 || y > 115;
    // Slot 0 from the grid and from (-45, y, -35) land within the tolerance but
    // not on the same bits, so equality tells which start was used.
    EXPECT_EQ(c.results[0][1] == g.results[0][1], grid1) << "head 1, Y " << y;
    EXPECT_EQ(c.results[0][4] == g.results[0][4], grid2) << "head 2, Y " << y;
    c.expectAtTruth(1, 0);
    c.expectAtTruth(2, 0);
  }
}

// ------------------------------------------------------------------ iteration exits

// Every table of a plane gets the same ratios and a slope that depends on the row only.
void flattenPlane(std::vector<float>& image, int layout, int plane, double (*slope)(int row)) {
  const CalLayout& L = calLayout(layout);
  for (int r = 0; r < L.rows; ++r)
    for (int col = L.plane[plane].runs[r].first; col <= L.plane[plane].runs[r].last; ++col) {
      float* t = image.data() + L.offset[plane][r][col];
      for (int k = 0; k < L.points(plane, r); ++k) t[2 * k + 1] = static_cast<float>(slope(r));
    }
}

TEST(Iteration, EachLayoutAndHeadSeesFromItsOwnViewpoints) {
  // Constant slopes A 1, B -1, C 0.25: the lines of sight from the two
  // viewpoints meet at Y = (ZB - ZA + YA + YB) / 2, Z = ZB - (Y - YB).
  struct Case {
    int layout, head;
    double YA, ZA, YB, ZB;  // mm
  } cases[] = {
      {CalLayout50th, 1, -14.858, -67.752, 0.059, 53.899},
      {CalLayout50th, 2, -0.733, -46.751, -0.733, 46.751},
      {CalLayout5th, 1, -7.95, -53.711, 7.758, 42.022},
      {CalLayout5th, 2, 5.311, -40.636, 5.311, 40.618},
      {CalLayout5thLX2, 1, 3.811, -51.299, 6.258, 43.047},
      {CalLayout5thLX2, 2, 3.811, -42.489, 3.811, 42.489},
  };
  for (const Case& k : cases) {
    Cal c(k.layout);
    flattenPlane(c.image, k.layout, planeA(k.head), [](int) { return 1.0; });
    flattenPlane(c.image, k.layout, planeB(k.head), [](int) { return -1.0; });
    flattenPlane(c.image, k.layout, planeC(k.head), [](int) { return 0.25; });
    double X = 0, Y = 60, Z = 0;
    convert_to_eu(c.ctx, X, Y, Z, 0.0, 0.0, 0.0, k.head == 1 ? 1 : 0);
    const double y = (k.ZB - k.ZA + k.YA + k.YB) / 2;
    EXPECT_NEAR(Y, y, 1e-9) << "layout " << k.layout << " head " << k.head;
    EXPECT_NEAR(Z, k.ZB - (y - k.YB), 1e-9) << "layout " << k.layout << " head " << k.head;
    EXPECT_NEAR(X, 0.25 * y, 1e-9) << "layout " << k.layout << " head " << k.head;
  }
}

TEST(Iteration, ATableHoldingNaNGivesCode9NotANaNPosition) {
  Cal c(CalLayout50th);
  flattenPlane(c.image, CalLayout50th, PlaneC1, [](int) { return std::nan(""); });
  double X = 0, Y = 60, Z = 0;
  convert_to_eu(c.ctx, X, Y, Z, 0.1, -0.1, 0.0, 1);
  EXPECT_EQ(X, 9);
  EXPECT_EQ(Y, 9);
  EXPECT_EQ(Z, 9);
}

TEST(Iteration, EqualSlopesOfAAndBEndAsCode9) {
  Cal c(CalLayout50th);
  flattenPlane(c.image, CalLayout50th, PlaneA1, [](int) { return 0.5; });
  flattenPlane(c.image, CalLayout50th, PlaneB1, [](int) { return 0.5; });
  double X = 0, Y = 60, Z = 0;
  convert_to_eu(c.ctx, X, Y, Z, 0.1, -0.1, 0.0, 1);
  EXPECT_EQ(X, 9);
  EXPECT_EQ(Y, 9);
  EXPECT_EQ(Z, 9);
}

TEST(Iteration, NoConvergenceIn100PassesGivesTheMeanOfTheLastTwoEstimates) {
  // Head 2 of the 50th layout sees A and B from the same depth, so
  // Y = (ZB - ZA) / (SA - SB) + YB. The A slope sends an estimate near the head
  // to Y 100 and one far from it to Y 30: the estimates alternate for ever.
  Cal c(CalLayout50th);
  const HeadGeometry g = calLayout(CalLayout50th).head[1];
  static double sNear, sFar;
  sNear = -0.1 + (g.ZB - g.ZA) / (100 - g.YB);
  sFar = -0.1 + (g.ZB - g.ZA) / (30 - g.YB);
  flattenPlane(c.image, CalLayout50th, PlaneA2, [](int row) { return row <= 3 ? sNear : sFar; });
  flattenPlane(c.image, CalLayout50th, PlaneB2, [](int) { return -0.1; });
  flattenPlane(c.image, CalLayout50th, PlaneC2, [](int) { return 0.0; });
  double X = 0, Y = 25, Z = 0;
  convert_to_eu(c.ctx, X, Y, Z, 0.0, 0.0, 0.0, 0);
  EXPECT_NEAR(Y, 65, 1e-3);
  EXPECT_NEAR(X, 0, 1e-9);
  EXPECT_NEAR(Z, g.ZB - 0.1 * (65 - g.YB), 1e-3);
}

TEST(Iteration, ARatioOnTheFirstOrLastTabulatedPointEndsAsCode9) {
  Cal c(CalLayout50th);
  const std::array<double, 3> xyz = {0, 50, 0};
  double r[3];
  ASSERT_TRUE(sim::wsidHeadRatios(CalLayout50th, c.image.data(), 1, xyz.data(), r));
  const float first = c.image[0], last = c.image[2 * (73 - 1)];  // C head 1, row 0, column 8
  auto convert = [&](double rc) {
    double X = xyz[0], Y = xyz[1], Z = xyz[2];
    convert_to_eu(c.ctx, X, Y, Z, r[0], r[1], rc, 1);
    return std::array<double, 3>{X, Y, Z};
  };
  EXPECT_EQ(convert(first)[1], 9);
  EXPECT_EQ(convert(last)[1], 9);
  // One step inside the tables the same LED has a position again.
  EXPECT_NE(convert(std::nextafter(first, 0.0f))[1], 9);
  EXPECT_NE(convert(std::nextafter(last, 0.0f))[1], 9);
  EXPECT_NEAR(convert(r[2])[1], 50, 0.05);
}

TEST(Iteration, SolutionsOutsideTheValidVolumeAreCode9) {
  Cal c(CalLayout50th);
  double r[3];
  for (auto xyz : {std::array<double, 3>{0, 21.8, 0}, std::array<double, 3>{0, 22.2, 0}}) {
    sim::wsidHeadRatios(CalLayout50th, c.image.data(), 1, xyz.data(), r);
    double X = 0, Y = 30, Z = 0;
    convert_to_eu(c.ctx, X, Y, Z, r[0], r[1], r[2], 1);
    if (xyz[1] < 22) {
      EXPECT_EQ(Y, 9);
    } else {
      EXPECT_NEAR(Y, xyz[1], 0.05);
    }
  }
}

TEST(Iteration, TablesBeyondTheFloatsReadAreNeverUsed) {
  // Head 2 far out in front and deep: B head 2 reads its last table, the last
  // of the image (row 10, column 32).
  Cal c(CalLayout50th);
  const CalLayout& L = calLayout(CalLayout50th);
  const std::array<double, 3> xyz = {155, 105, 0};
  double r[3];
  sim::wsidHeadRatios(CalLayout50th, c.image.data(), 2, xyz.data(), r);
  auto convert = [&](int floats) {
    c.ctx.floats = floats;
    double X = xyz[0], Y = xyz[1], Z = xyz[2];
    convert_to_eu(c.ctx, X, Y, Z, r[0], r[1], r[2], 0);
    return std::array<double, 3>{X, Y, Z};
  };
  // At the border of the field the position is near, not exact.
  const auto whole = convert(L.floats);
  ASSERT_NE(whole[1], 9);
  EXPECT_NEAR(whole[1], xyz[1], 3);
  // The image in memory still holds that table, but it was not read from the file.
  EXPECT_EQ(convert(L.floats - 1), (std::array<double, 3>{9, 9, 9}));
  EXPECT_EQ(convert(L.offset[PlaneA1][0][L.plane[PlaneA1].runs[0].first]), (std::array<double, 3>{9, 9, 9}));
  EXPECT_EQ(convert(0), (std::array<double, 3>{9, 9, 9}));
}

TEST(Detectors, NoRecordGivesCode9AndReadsNoWord) {
  Cal c(CalLayout50th);
  double results[9][6];
  uint16_t amb[6] = {1, 1, 1, 1, 1, 1};
  LastLedPosition last{};
  last[2] = {1, 60, 2, 3, 61, 4};
  process_data(c.ctx, 0, nullptr, kRawRecordWords, results, amb, last);
  for (const auto& led : results)
    for (double v : led) EXPECT_EQ(v, 9);
  for (uint16_t a : amb) EXPECT_EQ(a, 0);
  EXPECT_EQ(last[2][1], 60);  // nothing converted, nothing remembered
}

// ------------------------------------------------------------------ ConvertWSIDdata

struct ConvertCase {
  ConvertCase(int dummyType = DummyWorldSID50th, int lx2 = 0) : st(op) {
    st.workDir = dir.path();
    st.session.DummyType = dummyType;
    st.session.IsLX2 = lx2;
    st.session.SerialNumberText = "123";
    st.session.calDate = "2021-03-04";
    st.session.DirectionText = "Left Side";
  }
  std::string calPath() const { return dir.file("SN123_2021-03-04_Left Side_cal.bin"); }
  void writeCalibration(int floats) {
    const std::vector<float> full =
        sim::wsidCalibrationImage(calLayoutFor(st.session.DummyType, st.session.IsLX2));
    std::vector<float> f(static_cast<size_t>(floats), 0.0f);
    std::memcpy(f.data(), full.data(), sizeof(float) * std::min(f.size(), full.size()));
    lumvex::testing::writeFile(calPath(),
                               {reinterpret_cast<const char*>(f.data()), f.size() * sizeof(float)});
  }
  void fill(int count) {
    const sim::WsidModel m = sim::wsidModel(st.session.DummyType, st.session.IsLX2);
    sim::wsidFillRecords(m, -10, count, st.data.RawWords.begin());
    st.data.ChannelData.SampleCount = count;
  }
  TempDir dir;
  ScriptedOperator op;
  Station st;
};

std::string missingText(const std::string& path) {
  return "Could not Find Calibration file: \r\n " + path +
         " \r\n Please copy the calibration file to the directory above\r\n Reprocessing aborted";
}

TEST(ConvertWSIDdata, AMissingFileShowsThePathAndLeavesTheTable) {
  ConvertCase c;
  c.fill(10);
  c.st.data.ChannelData.ChannelCount = 27;
  c.st.data.ChannelData.values[0] = 42;
  EXPECT_EQ(ConvertWSIDdata(c.st, nullptr), 1);
  EXPECT_TRUE(c.op.showed("Calibration File Error", missingText(c.calPath())));
  EXPECT_EQ(c.st.data.ChannelData.ChannelCount, 27);
  EXPECT_EQ(c.st.data.ChannelData.values[0], 42);
  EXPECT_EQ(c.op.openProgressBoxes, 0);
}

TEST(ConvertWSIDdata, TheMessageNamesTheAbsoluteWorkingFolder) {
  ConvertCase c;
  c.st.workDir = ".";
  c.fill(1);
  EXPECT_EQ(ConvertWSIDdata(c.st, nullptr), 1);
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_TRUE(c.op.showed("Calibration File Error", missingText(cwd + "/SN123_2021-03-04_Left Side_cal.bin")))
      << c.op.messages().at(0);
}

TEST(ConvertWSIDdata, AFileShorterThanTheLayoutIsRefused) {
  ConvertCase c;  // 50th: needs 611,870 floats
  c.writeCalibration(611'869);
  c.fill(10);
  c.st.data.ChannelData.ChannelCount = 27;
  EXPECT_EQ(ConvertWSIDdata(c.st, nullptr), 1);
  EXPECT_TRUE(c.op.showed("Calibration File Error", missingText(c.calPath())));
  EXPECT_EQ(c.st.data.ChannelData.ChannelCount, 27);

  ConvertCase f(DummyWorldSID5th, 0);  // the 5th layout ends at 427,768
  f.writeCalibration(427'768);
  f.fill(10);
  EXPECT_EQ(ConvertWSIDdata(f.st, nullptr), 0);
  EXPECT_TRUE(f.op.messages().empty());
  ConvertCase g(DummyWorldSID5th, 0);
  g.writeCalibration(427'767);
  g.fill(10);
  EXPECT_EQ(ConvertWSIDdata(g.st, nullptr), 1);
  ConvertCase h(DummyWorldSID5th, 1);  // LX2: 519,620
  h.writeCalibration(519'619);
  h.fill(10);
  EXPECT_EQ(ConvertWSIDdata(h.st, nullptr), 1);
}

TEST(ConvertWSIDdata, TheSideLabelIsPartOfTheFileName) {
  ConvertCase c;
  c.writeCalibration(611'870);
  c.fill(5);
  c.st.session.DirectionText = "Right Side";
  EXPECT_EQ(ConvertWSIDdata(c.st, nullptr), 1);
  EXPECT_TRUE(
      c.op.showed("Calibration File Error", missingText(c.dir.file("SN123_2021-03-04_Right Side_cal.bin"))));
}

TEST(ConvertWSIDdata, ZeroSamplesGiveNoRowsAnd61Columns) {
  ConvertCase c;
  c.writeCalibration(611'870);
  c.st.data.ChannelData.SampleCount = 0;
  c.st.data.ChannelData.values[0] = 42;
  EXPECT_EQ(ConvertWSIDdata(c.st, nullptr), 0);
  EXPECT_EQ(c.st.data.ChannelData.ChannelCount, 61);
  EXPECT_EQ(c.st.data.ChannelData.values[0], 42);
  EXPECT_TRUE(c.op.progress.empty());
  EXPECT_EQ(c.op.openProgressBoxes, 0);
}

TEST(ConvertWSIDdata, ProgressIsShownAboutTenTimesInAModalBox) {
  ConvertCase c;
  c.writeCalibration(611'870);
  c.fill(200);
  EXPECT_EQ(ConvertWSIDdata(c.st, nullptr), 0);
  ASSERT_FALSE(c.op.transcript.empty());
  EXPECT_EQ(c.op.transcript[0].kind, Shown::ProgressOpen);
  EXPECT_EQ(c.op.transcript[0].title, "Converting Raw Data to Engineering Units");
  EXPECT_EQ(c.op.transcript[0].text, "Percent Complete");
  EXPECT_EQ(c.op.transcript.back().kind, Shown::ProgressClose);
  // Shown when the index has moved more than 200 / 10 past the last one shown.
  EXPECT_EQ(c.op.progress, (std::vector<double>{10, 21, 31, 42, 52, 63, 73, 84, 94}));
}

TEST(ConvertWSIDdata, RowsHoldTimeCoordinatesAndAmbientLevels) {
  ConvertCase c(DummyWorldSID5th, 1);  // LX2: records 232 words apart
  c.writeCalibration(519'620);
  c.fill(50);
  c.st.data.StartTimeMs = -10;
  c.st.data.SampleIntervalMs = 0.1;
  static int calls;
  calls = 0;
  // A transform that marks what it was given.
  auto negate = [](Station&, int n, double* v) {
    ++calls;
    EXPECT_EQ(n, 54);
    for (int k = 0; k < n; ++k) v[k] = -v[k];
  };
  ASSERT_EQ(ConvertWSIDdata(c.st, negate), 0);
  EXPECT_EQ(calls, 50);
  const ChannelTable& t = c.st.data.ChannelData;
  ASSERT_EQ(t.ChannelCount, 61);
  const sim::WsidModel m = sim::wsidModel(DummyWorldSID5th, 1);
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(t.at(i, 0), static_cast<float>(-10.0 + i * 0.1));
    const uint16_t* rec = c.st.data.RawWords.begin() + i * 232;
    for (int a = 0; a < 6; ++a)
      EXPECT_EQ(t.at(i, 55 + a), std::max(rec[kAmbientWords[a]], rec[kAmbientWords[a] + 1]));
    for (int head = 1; head <= 2; ++head)
      for (int slot = 0; slot < 9; ++slot) {
        const sim::WsidTruth w = sim::wsidTruth(m, head, slot, -10 + i * 0.1);
        const int col = 1 + (head == 1 ? 0 : 27) + 3 * slot;
        if (w.code == 0) {
          EXPECT_NEAR(-t.at(i, col + 1), w.y, 0.05) << i << " " << head << " " << slot;
        }
      }
  }
}

TEST(ConvertWSIDdata, ASampleCountBeyondTheRawBufferIsRefused) {
  ConvertCase c(DummyWorldSID5th, 1);
  c.writeCalibration(519'620);
  c.st.data.ChannelData.SampleCount = 250'002;  // 232-word records: room for 250,001
  c.st.data.ChannelData.ChannelCount = 27;
  EXPECT_EQ(ConvertWSIDdata(c.st, nullptr), -1);
  EXPECT_EQ(c.st.data.ChannelData.ChannelCount, 27);
  EXPECT_EQ(c.op.openProgressBoxes, 0);
}

}  // namespace
