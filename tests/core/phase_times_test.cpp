// The phase record behind lumvex-cli --timings: nothing is kept while it is
// off, a recurring phase is summed in the place it first took, and a timer
// stopped early does not add its phase a second time at its end.
#include "core/phase_times.h"

#include <gtest/gtest.h>

#include <thread>

using lumvex::PhaseTimer;
using lumvex::PhaseTimes;

TEST(PhaseTimes, OffKeepsNothingOnSumsRecurringPhasesInFirstOrder) {
  PhaseTimes t;
  t.add("conversion", 5);
  { PhaseTimer timer(t, "write"); }
  EXPECT_TRUE(t.phases.empty());

  t.enabled = true;
  t.add("conversion", 5);
  t.add("write", 1.5);
  t.add("conversion", 2.5);
  ASSERT_EQ(t.phases.size(), 2u);
  EXPECT_EQ(t.phases[0].first, "conversion");
  EXPECT_DOUBLE_EQ(t.phases[0].second, 7.5);
  EXPECT_EQ(t.phases[1].first, "write");
  EXPECT_DOUBLE_EQ(t.phases[1].second, 1.5);
}

TEST(PhaseTimes, TimerStoppedEarlyCountsOnceAndOnlyItsOwnSpan) {
  PhaseTimes t;
  t.enabled = true;
  {
    PhaseTimer timer(t, "download");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    timer.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  ASSERT_EQ(t.phases.size(), 1u);
  EXPECT_GE(t.phases[0].second, 20.0);
  EXPECT_LT(t.phases[0].second, 200.0);  // the sleep after stop() is not in it
  EXPECT_TRUE(PhaseTimes::isPart("download: waiting for the link"));
  EXPECT_FALSE(PhaseTimes::isPart("export data (zeroing, filter)"));
}
