// The buttons of the Diagnostics, Live Display and Trigger Test pages as
// their bound controls run them against the simulated unit: the I/O check's
// button and the test buttons that end the check first, the live display's
// START / STOP with its manual ranges and help, the trigger check's button,
// and each loop ending with its link (lost, or "Disconnect" chosen) or the
// window closed, the screens then showing the disconnected state.
#include "link/link.h"
#include "support/diag_station.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

using namespace lumvex;
using lumvex::testing::DiagStation;
using lumvex::testing::line;

namespace {

using Lines = std::vector<std::string>;

constexpr int kLivePage = 2, kTriggerPage = 5;

long count(const Lines& l, const std::string& s) { return std::count(l.begin(), l.end(), s); }

}  // namespace

TEST(LoopPages, CheckButtonRunsTheCheckAndATestButtonEndsItFirst) {
  DiagStation d(
      {{"type", "Hybrid III 50th"}, {"serial", "40"}, {"ram.ms", "0"}, {"sd.ms", "0"}, {"sd.code", "2"}});
  ASSERT_TRUE(d.connected());
  Station& st = d.st;
  Model& m = st.model;
  std::string during, afterTest;
  d.onPasses(st.session.ioCheckRunning, 20, [&](int n) {
    if (n == 1) during = m.label(Ctl::CHECKIOBUT);
    if (n == 2) {
      m.commit(Ctl::RAMTEST);
      afterTest = m.label(Ctl::CHECKIOBUT);
    }
  });
  size_t from = d.mark();
  m.commit(Ctl::CHECKIOBUT);
  Lines sent = d.since(from);
  EXPECT_EQ(during, "Stop");
  EXPECT_EQ(afterTest, "Check I/O");
  EXPECT_EQ(m.label(Ctl::CHECKIOBUT), "Check I/O");
  EXPECT_EQ(count(sent, "GETIO#155"), 2) << "the check ends after the pass the test ran in";
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[sent.size() - 2], "RAMTEST#67");
  EXPECT_EQ(sent.back(), line("MANARMENABLE#1#"));
  EXPECT_TRUE(d.op.showed("Ram Check", "Ram is OK"));

  // The button again, inside the check, ends it after its pass.
  d.onPasses(st.session.ioCheckRunning, 20, [&](int n) {
    if (n == 1) m.commit(Ctl::CHECKIOBUT);
  });
  from = d.mark();
  m.commit(Ctl::CHECKIOBUT);
  EXPECT_EQ(count(d.since(from), "GETIO#155"), 1);
  EXPECT_EQ(st.session.ioCheckRunning, 0);

  // Outside the check the test buttons run their tests at once.
  d.op.clear();
  m.commit(Ctl::SDCARDTEST);
  EXPECT_EQ(d.op.messages(), Lines{"SD Card Check: Block Erase Failed"});
}

TEST(LoopPages, ChecksAndTestsThatLoseTheLinkShowTheDisconnectedScreen) {
  DiagStation d({{"type", "Hybrid III 50th"}, {"serial", "40"}});
  ASSERT_TRUE(d.connected());
  Station& st = d.st;
  d.sim.addFault({sim::FaultKind::DropAtCommand, "GETIO", 2});
  d.onPasses(st.session.ioCheckRunning, 20);
  st.model.commit(Ctl::CHECKIOBUT);
  EXPECT_EQ(st.model.text(Ctl::STATUSBOX), "Disconnected");
  EXPECT_EQ(st.model.label(Ctl::CHECKIOBUT), "Check I/O");
  EXPECT_FALSE(st.model.timerRunning());

  DiagStation d2({{"type", "Hybrid III 50th"}, {"serial", "40"}});
  ASSERT_TRUE(d2.connected());
  d2.sim.addFault({sim::FaultKind::DropAtCommand, "FLASHTEST"});
  d2.st.model.commit(Ctl::FLASHTEST);
  EXPECT_FALSE(LinkOpen(d2.st));
  EXPECT_EQ(d2.st.model.text(Ctl::STATUSBOX), "Disconnected");
  EXPECT_EQ(d2.st.model.label(Ctl::CONNECT), "CONNECT");
}

TEST(LoopPages, LiveButtonStartsWithManualRangesAndStopsAtTheNextPress) {
  DiagStation d({{"type", "WorldSID"}, {"serial", "150"}});
  ASSERT_TRUE(d.connected());
  Station& st = d.st;
  Model& m = st.model;
  GraphState& zoomed = m.edit(Ctl::LIVE_GRAPH).graph;
  zoomed.xMin = -10;
  zoomed.yMax = 20;
  std::string during;
  GraphState ranges;
  d.onPasses(st.session.demoRunning, 20, [&](int n) {
    if (n == 1) {
      during = m.label(Ctl::DEMO_BUT);
      ranges = m[Ctl::LIVE_GRAPH].graph;
    }
    if (n == 2) m.commit(Ctl::DEMO_BUT);
  });
  const size_t from = d.mark();
  m.commit(Ctl::DEMO_BUT);
  const Lines sent = d.since(from);
  EXPECT_EQ(during, "STOP");
  EXPECT_FALSE(ranges.autoScale);
  EXPECT_EQ(std::make_tuple(ranges.xMin, ranges.xMax, ranges.yMin, ranges.yMax),
            std::make_tuple(-165.0, 165.0, 0.0, 190.0));
  EXPECT_EQ(m.label(Ctl::DEMO_BUT), "START");
  EXPECT_EQ(count(sent, "CURRENT_POSITIONS#109"), 2);
  EXPECT_EQ(sent.back(), line("MANARMENABLE#1#"));

  m.commit(Ctl::DEMOHELP);
  ASSERT_EQ(d.op.messages().size(), 1u);
  EXPECT_EQ(d.op.messages()[0].substr(0, 16), "Help: PLOT HELP\n");
}

TEST(LoopPages, DisconnectChosenInTheLiveDisplayEndsItWithTheScreens) {
  DiagStation d({{"type", "WorldSID"}, {"serial", "150"}}, 300);
  ASSERT_TRUE(d.connected());
  Station& st = d.st;
  // The display's first command goes unanswered; "Disconnect" is chosen.
  d.sim.addFault({sim::FaultKind::Stall, "MANARMENABLE", 1, 1, -1});
  d.op.twoButtonAnswers = {2};
  int passes = 0;
  d.onPasses(st.session.demoRunning, 20, [&](int n) { passes = n; });
  const size_t from = d.mark();
  st.model.commit(Ctl::DEMO_BUT);
  EXPECT_EQ(passes, 0);
  EXPECT_EQ(st.session.demoRunning + st.session.ioCheckRunning, 0);
  EXPECT_EQ(st.model.label(Ctl::DEMO_BUT), "START");
  EXPECT_EQ(st.model.text(Ctl::STATUSBOX), "Disconnected");
  EXPECT_FALSE(st.model.pageVisible(kLivePage));
  EXPECT_EQ(d.since(from), Lines{line("MANARMENABLE#0#")}) << "nothing more without a unit";
}

TEST(LoopPages, ClosingTheWindowEndsTheLiveDisplay) {
  lumvex::testing::TempDir dir;
  DiagStation d({{"type", "SIDIIs"}, {"serial", "40"}});
  ASSERT_TRUE(d.connected());
  Station& st = d.st;
  st.workDir = dir.path();
  d.onPasses(st.session.demoRunning, 20, [&](int n) {
    if (n == 2) st.model.panelEvent(Panel::Main, {EventKind::Close});
  });
  const size_t from = d.mark();
  st.model.commit(Ctl::TAB, {EventKind::TabChanged, kLivePage});
  EXPECT_TRUE(st.quitRequested);
  EXPECT_EQ(st.session.demoRunning, 0);
  EXPECT_FALSE(LinkOpen(st));
  EXPECT_EQ(count(d.since(from), "CURRENT_POSITIONS#109"), 2);
  EXPECT_EQ(count(d.since(from), line("MANARMENABLE#1#")), 0);
  EXPECT_FALSE(st.model.timerRunning());
}

TEST(LoopPages, TriggerButtonArmsAndStopsWhileThePageIsShown) {
  DiagStation d({{"type", "SIDIIs"}, {"serial", "40"}, {"triggercheck.after", "0"}});
  ASSERT_TRUE(d.connected());
  Station& st = d.st;
  Model& m = st.model;
  Lines captions;
  d.onPasses(st.session.triggerTestRunning, 30, [&](int n) {
    if (n <= 3) {
      m.commit(Ctl::TRIGGER_CHECK);  // arm, stop, arm
      captions.push_back(m.label(Ctl::TRIGGER_CHECK) + " " + std::to_string(m.intValue(Ctl::TRIG_ARMED)));
    }
    if (m.number(Ctl::TRIG_LED) != 0) m.commit(Ctl::TAB, {EventKind::TabChanged, 0});
  });
  const size_t from = d.mark();
  m.commit(Ctl::TAB, {EventKind::TabChanged, kTriggerPage});
  EXPECT_EQ(captions, (Lines{"Stop Trigger Check 1", "Start Trigger Check 0", "Stop Trigger Check 1"}));
  EXPECT_EQ(d.since(from), (Lines{"ARMTRIGGER#23", "ARMTRIGGER#23", "TRIGGERCHECK#149"}));
  EXPECT_EQ(m.intValue(Ctl::TRIG_LED), 1);
  EXPECT_EQ(m.label(Ctl::TRIGGER_CHECK), "Start Trigger Check");
  EXPECT_EQ(st.session.triggerTestRunning, 0);
}
