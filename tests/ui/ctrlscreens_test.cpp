// The screen table applied for each status (CtrlScreens) on a station with no
// link: texts, colours, labels, dimmed and hidden controls, pages, timer and
// the side effects of each row.
#include "ui/callbacks.h"
#include "support/scripted_operator.h"
#include "ui/screens.h"
#include "ui/setup_page.h"

#include <gtest/gtest.h>

#include <memory>

using namespace lumvex;

namespace {

struct Screen : ::testing::Test {
  Screen() : st(std::make_unique<Station>(op)) { BindCallbacks(*st); }
  void show(int status) {
    st->session.unitStatus = status;
    st->session.needsScreenSetup = 0;
    CtrlScreens(*st);
  }
  Model& m() { return st->model; }
  ScriptedOperator op;
  std::unique_ptr<Station> st;
};

}  // namespace

TEST_F(Screen, DisconnectedClearsIdentityHidesBatteryAndStopsLoops) {
  m().setText(Ctl::LXtype, "WorldSID 50th");
  m().setText(Ctl::SERNUM, "123");
  m().setNumber(Ctl::DATA_STRT, -50);
  m().setNumber(Ctl::BATT_FUEL, 80);
  st->session.demoRunning = st->session.ioCheckRunning = st->session.triggerTestRunning = 1;
  m().setTimerRunning(true);
  m().setVisible(Ctl::TSTOP, true);
  show(-1);
  EXPECT_EQ(m().text(Ctl::STATUSBOX), "Disconnected");
  EXPECT_EQ(m().label(Ctl::CONNECT), "CONNECT");
  EXPECT_EQ(m().text(Ctl::LXtype), "");
  EXPECT_EQ(m().text(Ctl::SERNUM), "");
  EXPECT_EQ(m().number(Ctl::DATA_STRT), 0);
  EXPECT_EQ(m().number(Ctl::BATT_FUEL), 0);
  for (Ctl c : {Ctl::BATT_FUEL, Ctl::BATT_VOLTS, Ctl::CHECK_BATT, Ctl::BATT_SPLITTER, Ctl::SAVE_LED_INFO,
                Ctl::CANCEL_LED_CHANGES})
    EXPECT_FALSE(m().visible(c)) << controlName(c);
  for (Ctl c : {Ctl::TRIGGER_SET, Ctl::DL_STOP_TIME, Ctl::GET_CUR_POS, Ctl::TRIGGER_BUT})
    EXPECT_TRUE(m().dimmed(c)) << controlName(c);
  EXPECT_TRUE(m().visible(Ctl::TSTOP)) << "the stop time is left as it was";
  EXPECT_FALSE(m().timerRunning());
  EXPECT_EQ(st->session.demoRunning + st->session.ioCheckRunning + st->session.triggerTestRunning, 0);
}

TEST_F(Screen, ReadyShowsTheStopTimeOnlyInLinearMode) {
  m().setNumber(Ctl::CIRC_LIN_BUT, 1);
  show(0);
  EXPECT_TRUE(m().visible(Ctl::TSTOP));
  EXPECT_TRUE(m().visible(Ctl::LIN_BUF_LABEL));
  EXPECT_FALSE(m().dimmed(Ctl::TSTOP));
  m().setNumber(Ctl::CIRC_LIN_BUT, 0);
  show(0);
  EXPECT_FALSE(m().visible(Ctl::TSTOP));
  EXPECT_FALSE(m().visible(Ctl::LIN_BUF_LABEL));
}

TEST_F(Screen, TriggerTestPageFollowsTheUnitsSupport) {
  show(-1);
  st->session.triggerCheckSupported = 1;
  show(0);
  EXPECT_TRUE(m().pageVisible(5));
  EXPECT_TRUE(m().pageVisible(2));
  EXPECT_FALSE(m().pageVisible(6)) << "never shown by the table";
  show(1);
  for (int p : {2, 3, 5, 6}) EXPECT_FALSE(m().pageVisible(p)) << p;
  st->session.triggerCheckSupported = 0;
  show(3);
  EXPECT_FALSE(m().pageVisible(5));
  EXPECT_TRUE(m().pageVisible(2));
}

TEST_F(Screen, DiagnosticsPageIsLeftAsItIsWhenIdle) {
  show(0);
  m().setPageVisible(3, true);  // revealed by the hidden button
  show(3);
  EXPECT_TRUE(m().pageVisible(3));
  show(2);
  EXPECT_FALSE(m().pageVisible(3));
}

TEST_F(Screen, PreTriggerLeavesEraseDownloadAndSetupControlsUnchanged) {
  show(-1);
  show(3);
  ASSERT_FALSE(m().dimmed(Ctl::ERASE_BUT));
  show(1);
  EXPECT_FALSE(m().dimmed(Ctl::ERASE_BUT));
  EXPECT_FALSE(m().dimmed(Ctl::DOWNLOAD_BUT));
  EXPECT_FALSE(m().dimmed(Ctl::LED_TABLE));
  EXPECT_EQ(m().label(Ctl::ARM_BUT), "DISARM");
  EXPECT_FALSE(m().dimmed(Ctl::ARM_BUT));
  EXPECT_TRUE(m().visible(Ctl::TRIGGER_BUT));
  show(2);
  EXPECT_FALSE(m().dimmed(Ctl::ERASE_BUT));
  EXPECT_TRUE(m().dimmed(Ctl::ARM_BUT));
  EXPECT_EQ(m().label(Ctl::ARM_BUT), "ARM");
  EXPECT_FALSE(m().visible(Ctl::TRIGGER_BUT));
  EXPECT_EQ(m().text(Ctl::STATUSBOX), "Collecting Post-Trigger Data and storing to flash");
}

TEST_F(Screen, DataHeldDimsDownloadWhileLedEditsAreUnsaved) {
  m().setVisible(Ctl::SAVE_LED_INFO, true);
  st->session.triggerTestRunning = 1;
  show(3);
  EXPECT_TRUE(m().dimmed(Ctl::DOWNLOAD_BUT));
  EXPECT_FALSE(m().dimmed(Ctl::ERASE_BUT));
  EXPECT_EQ(st->session.triggerTestRunning, 0);
  EXPECT_FALSE(m().timerRunning());
  m().setVisible(Ctl::SAVE_LED_INFO, false);
  show(3);
  EXPECT_FALSE(m().dimmed(Ctl::DOWNLOAD_BUT));
}

TEST_F(Screen, WorldSidShowsTheSideSelectorWhenIdle) {
  m().setVisible(Ctl::LX_DIRECTION, false);
  st->session.DummyType = DummyHybridIII50th;
  show(0);
  EXPECT_FALSE(m().visible(Ctl::LX_DIRECTION));
  st->session.DummyType = DummyWorldSID5th;
  show(0);
  EXPECT_TRUE(m().visible(Ctl::LX_DIRECTION));
}

TEST_F(Screen, StatusOutsideTheTableChangesNothing) {
  show(0);
  show(7);
  EXPECT_EQ(m().text(Ctl::STATUSBOX), "Connected - Idle");
  EXPECT_TRUE(m().timerRunning());
}

TEST_F(Screen, TimerTickWhileDisconnectedSendsNothing) {
  show(-1);
  m().commit(Ctl::TIMER, {EventKind::TimerTick});
  m().commit(Ctl::TIMER);  // a commit is no tick
  EXPECT_TRUE(op.transcript.empty());
  EXPECT_EQ(st->session.unitStatus, -1);
}
