// Error-code runs of one LED: which samples hold a code, how runs open, close
// and merge, the end of the list and the end marker, and that a table full of
// short runs early in a record does not hide the codes that come later.
#include "processing/derived.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace lumvex;

namespace {

// One LED (columns 1..3) at a valid position everywhere.
void makeLed(ChannelTable& t, int samples) {
  t.ChannelCount = 4;
  t.SampleCount = samples;
  for (int i = 0; i < samples; ++i) {
    t.at(i, 0) = 0.1f * i;
    t.at(i, 1) = 40.5f;
    t.at(i, 2) = -80.25f;
    t.at(i, 3) = 12.0f;
  }
}

void setCode(ChannelTable& t, int first, int last, float code) {
  for (int i = first; i <= last; ++i) t.at(i, 1) = t.at(i, 2) = t.at(i, 3) = code;
}

int runCount(const ErrorRunTable& runs) {
  int n = 0;
  while (n < kErrorRunSlots && runs[n].first >= 0) ++n;
  return n;
}

}  // namespace

TEST(SampleErrorCode, CommonIntegerPartBelowTenIsTheCode) {
  EXPECT_EQ(SampleErrorCode(3.7f, -3.2f, 3.9f), 3);
  EXPECT_EQ(SampleErrorCode(3.7f, 22.0f, 3.9f), 0);
  EXPECT_EQ(SampleErrorCode(9.99f, 9.0f, -9.5f), 9);
  EXPECT_EQ(SampleErrorCode(10.0f, 10.0f, 10.0f), 0);
  EXPECT_EQ(SampleErrorCode(0.4f, -0.3f, 0.9f), 0);  // near the origin: a position
  EXPECT_EQ(SampleErrorCode(NAN, NAN, NAN), 0);
  EXPECT_EQ(SampleErrorCode(5.0f, 5.0f, 4.9999f), 0);
}

TEST(BuildErrorCodeTable, NoCodesGiveAnEmptyListAndTheEndMarker) {
  ChannelTable t;
  makeLed(t, 500);
  ErrorRunTable runs;
  runs.fill({7, 7, 7});
  BuildErrorCodeTable(runs, t, 1);
  for (int k = 0; k < kErrorRunSlots - 1; ++k) {
    EXPECT_EQ(runs[k].first, -1);
    EXPECT_EQ(runs[k].last, -1);
    EXPECT_EQ(runs[k].code, -1);
  }
  EXPECT_EQ(runs[499].first, -2);
  EXPECT_EQ(runs[499].last, -2);
  EXPECT_EQ(runs[499].code, -2);
}

TEST(BuildErrorCodeTable, RunClosesAtThePreviousSampleAndOpenRunLastsToTheEnd) {
  ChannelTable t;
  makeLed(t, 400);
  setCode(t, 100, 120, 5);
  setCode(t, 300, 399, 9);
  ErrorRunTable runs;
  BuildErrorCodeTable(runs, t, 1);
  ASSERT_EQ(runCount(runs), 2);
  EXPECT_EQ(runs[0].first, 100);
  EXPECT_EQ(runs[0].last, 120);
  EXPECT_EQ(runs[0].code, 5);
  EXPECT_EQ(runs[1].first, 300);
  EXPECT_EQ(runs[1].last, -1);
  EXPECT_EQ(runs[1].code, 9);
}

TEST(BuildErrorCodeTable, RunKeepsTheCodeOfItsFirstSample) {
  ChannelTable t;
  makeLed(t, 300);
  setCode(t, 50, 59, 5);
  setCode(t, 60, 80, 7);
  ErrorRunTable runs;
  BuildErrorCodeTable(runs, t, 1);
  ASSERT_EQ(runCount(runs), 1);
  EXPECT_EQ(runs[0].first, 50);
  EXPECT_EQ(runs[0].last, 80);
  EXPECT_EQ(runs[0].code, 5);
}

TEST(BuildErrorCodeTable, RunsLessThanFiftySamplesApartMerge) {
  ChannelTable t;
  makeLed(t, 1000);
  setCode(t, 150, 199, 2);
  setCode(t, 248, 260, 6);  // 248 - 199 = 49
  setCode(t, 600, 610, 4);
  setCode(t, 660, 670, 3);  // 660 - 610 = 50
  ErrorRunTable runs;
  BuildErrorCodeTable(runs, t, 1);
  ASSERT_EQ(runCount(runs), 3);
  EXPECT_EQ(runs[0].first, 150);
  EXPECT_EQ(runs[0].last, 260);
  EXPECT_EQ(runs[0].code, 2);
  EXPECT_EQ(runs[1].first, 600);
  EXPECT_EQ(runs[1].last, 610);
  EXPECT_EQ(runs[2].first, 660);
  EXPECT_EQ(runs[2].last, 670);
  EXPECT_EQ(runs[2].code, 3);
}

TEST(BuildErrorCodeTable, MergesChainAndReachAnOpenRun) {
  ChannelTable t;
  makeLed(t, 500);
  for (int s = 100; s < 300; s += 40) setCode(t, s, s + 5, 1 + s / 100);
  setCode(t, 300, 499, 8);
  ErrorRunTable runs;
  BuildErrorCodeTable(runs, t, 1);
  ASSERT_EQ(runCount(runs), 1);
  EXPECT_EQ(runs[0].first, 100);
  EXPECT_EQ(runs[0].last, -1);
  EXPECT_EQ(runs[0].code, 2);
}

TEST(BuildErrorCodeTable, RunFromTheFirstSampleThatNeverEnds) {
  ChannelTable t;
  makeLed(t, 200);
  setCode(t, 0, 199, 9);
  ErrorRunTable runs;
  BuildErrorCodeTable(runs, t, 1);
  ASSERT_EQ(runCount(runs), 1);
  EXPECT_EQ(runs[0].first, 0);
  EXPECT_EQ(runs[0].last, -1);
}

TEST(BuildErrorCodeTable, FlickerEarlyInTheRecordDoesNotHideLaterRuns) {
  ChannelTable t;
  makeLed(t, 10000);
  for (int i = 0; i < 1200; i += 2) setCode(t, i, i, 3);  // 600 one-sample runs, 1 apart
  setCode(t, 5000, 5010, 5);
  ErrorRunTable runs;
  BuildErrorCodeTable(runs, t, 1);
  ASSERT_EQ(runCount(runs), 2);
  EXPECT_EQ(runs[0].first, 0);
  EXPECT_EQ(runs[0].last, 1198);
  EXPECT_EQ(runs[1].first, 5000);
  EXPECT_EQ(runs[1].last, 5010);
  EXPECT_EQ(runs[1].code, 5);
}

TEST(BuildErrorCodeTable, FullTableKeepsItsMarkerAndCoversTheRest) {
  ChannelTable t;
  makeLed(t, 600 * 60);
  for (int k = 0; k < 600; ++k) setCode(t, k * 60, k * 60, 4);  // 600 runs, 60 apart
  ErrorRunTable runs;
  BuildErrorCodeTable(runs, t, 1);
  ASSERT_EQ(runCount(runs), 499);
  EXPECT_EQ(runs[497].first, 497 * 60);
  EXPECT_EQ(runs[497].last, 497 * 60);
  EXPECT_EQ(runs[498].first, 498 * 60);
  EXPECT_EQ(runs[498].last, -1);  // no slot for run 499: no later code is read as a position
  EXPECT_EQ(runs[499].first, -2);
}

TEST(BuildErrorCodeTable, ExactlyFullTableEndsAtTheMarker) {
  ChannelTable t;
  makeLed(t, 499 * 60 + 100);
  for (int k = 0; k < 499; ++k) setCode(t, k * 60, k * 60 + 1, 4);
  ErrorRunTable runs;
  BuildErrorCodeTable(runs, t, 1);
  ASSERT_EQ(runCount(runs), 499);
  EXPECT_EQ(runs[498].first, 498 * 60);
  EXPECT_EQ(runs[498].last, 498 * 60 + 1);
  EXPECT_EQ(runs[499].first, -2);
}

TEST(BuildErrorCodeTable, ColumnWithoutRoomForThreeAxesGivesAnEmptyList) {
  ChannelTable t;
  makeLed(t, 100);
  setCode(t, 0, 99, 5);
  ErrorRunTable runs;
  BuildErrorCodeTable(runs, t, 2);
  EXPECT_EQ(runs[0].first, -1);
  BuildErrorCodeTable(runs, t, 0);
  EXPECT_EQ(runs[0].first, -1);
  EXPECT_EQ(runs[499].first, -2);
}
