// A whole session through the control model against the simulated unit over
// loopback TCP: connect and identify, set trigger and comment, arm with LED
// errors present, software trigger, follow the unit to a stored recording,
// erase. Also: a set-up that follows a data file never talks to the unit.
#include "core/callbacks.h"
#include "link/info.h"
#include "link/link.h"
#include "support/drive_station.h"
#include "ui/screens.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace lumvex;
using lumvex::testing::DriveStation;

namespace {

struct Session : DriveStation {
  explicit Session(Props props) : DriveStation(props) {
    BindCallbacks(st);
    st.model.setItems(Ctl::CONNECTION, {{"Ethernet", "0"}, {"Serial", "1"}}, 0);
    st.model.setText(Ctl::IPADDRESS, "127.0.0.1:" + std::to_string(port));
  }
  void tick() { st.model.commit(Ctl::TIMER, {EventKind::TimerTick}); }
  // Polls like the status timer until the station sees `status` (at most ~3 s).
  bool waitForStatus(int status) {
    for (int i = 0; i < 150 && st.session.unitStatus != status; ++i) {
      tick();
      if (st.session.unitStatus != status) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return st.session.unitStatus == status;
  }
};

}  // namespace

TEST(DriveSession, ConnectIdentifyArmTriggerStoreErase) {
  Session s({{"type", "WorldSID"},
             {"serial", "150"},
             {"firmware", "V7.3"},
             {"trigger", "0"},
             {"leds.error", "4,11"},
             {"side", "RIGHT"}});
  Model& m = s.st.model;

  m.commit(Ctl::CONNECT);
  ASSERT_EQ(s.st.session.unitStatus, 0);
  EXPECT_EQ(m.text(Ctl::LXtype), "WorldSID");
  EXPECT_EQ(m.text(Ctl::SERNUM), "150");
  EXPECT_EQ(s.st.session.DummyType, DummyWorldSID50th);
  EXPECT_EQ(m.rows(Ctl::LED_TABLE), 18);
  EXPECT_EQ(s.st.session.DirectionText, "Right Side");
  EXPECT_EQ(s.st.session.needsScreenSetup, 0);

  // Trigger: the chosen code reaches the unit and is read back.
  ASSERT_TRUE(m.selectValue(Ctl::TRIGGER_SET, "1"));
  m.commit(Ctl::TRIGGER_SET);
  EXPECT_TRUE(s.op.showed("note", "Trigger Setting changed in Lumvex"));
  EXPECT_EQ(s.st.session.TriggerSetting, 1);
  EXPECT_EQ(m.itemValue(Ctl::TRIGGER_SET), "1");

  // Comment with a comma and a hash.
  m.setText(Ctl::TESTINFO, "sled 4, run #2");
  m.commit(Ctl::TESTINFO);
  EXPECT_EQ(m.text(Ctl::TESTINFO), "sled 4_ run #2");
  EXPECT_TRUE(s.op.showed("note", "ATD information changed in Lumvex"));
  EXPECT_EQ(s.sim.withUnit([](lumvex::sim::UnitState& u) { return u.prop("comment"); }),
            "sled 4_ run \x03"
            "2");

  // Arm with two LEDs in error: the question is asked, Yes arms.
  m.setNumber(Ctl::CIRC_LIN_BUT, 0);
  m.setNumber(Ctl::TPOST, 200);
  s.op.confirmAnswers.push_back(true);
  m.commit(Ctl::ARM_BUT);
  EXPECT_TRUE(s.op.showed(
      "LED errors detected!",
      " 2 LEDs are reporting error codes \r\nClick YES to continue to ARM\r\nClick NO to STOP and "
      "use Show Current XYZ's to see which LEDs are reporting errors"));
  EXPECT_EQ(s.lastReceived("ARM"), "ARM#0#200#" + std::to_string(FrameChecksum("ARM#0#200#")));
  EXPECT_EQ(m.label(Ctl::ARM_BUT), "DISARM");
  ASSERT_TRUE(s.waitForStatus(1));
  EXPECT_TRUE(s.st.session.cableDisconnectPanel);
  s.st.model.commit(Ctl::STAY_CONN_BUTT);

  m.commit(Ctl::TRIGGER_BUT);
  EXPECT_EQ(s.st.session.SoftwareTriggerOffset, 4);
  ASSERT_TRUE(s.waitForStatus(3));
  EXPECT_FALSE(m.dimmed(Ctl::ERASE_BUT));
  EXPECT_EQ(m.text(Ctl::DATA_STRT), "-1000");
  EXPECT_EQ(m.text(Ctl::DATA_STOP), "200");

  // Erase: both confirmations, progress, back to ready.
  s.op.confirmAnswers.push_back(true);
  s.op.twoButtonAnswers.push_back(2);
  s.op.realDelays = true;
  m.commit(Ctl::ERASE_BUT);
  EXPECT_EQ(s.st.session.unitStatus, 0);
  EXPECT_EQ(s.sim.status(), 0);
  EXPECT_EQ(m.text(Ctl::STATUSBOX), "Connected - Idle");
  EXPECT_EQ(m.text(Ctl::DATA_STOP), "0");
  EXPECT_EQ(s.op.openProgressBoxes, 0);
  EXPECT_FALSE(s.op.showed("ERASE FAILED", "At least one Sector didn't erase"));
  EXPECT_EQ(s.op.messages(), (std::vector<std::string>{"note: Trigger Setting changed in Lumvex",
                                                       "note: ATD information changed in Lumvex"}));
}

TEST(DriveSession, SetupFromAFileNeverQueriesTheUnit) {
  Session s({{"type", "WorldSID"}, {"firmware", "LX2 V8"}, {"side", "RIGHT"}});
  ASSERT_TRUE(s.connect());
  s.st.model.setText(Ctl::LXtype, "WorldSID");
  s.st.model.setText(Ctl::FIRMWARE, "LX2 V8");
  size_t before = s.sim.received().size();
  ASSERT_EQ(SetupScreens(s.st, 0), 0);
  EXPECT_EQ(s.sim.received().size(), before);
  EXPECT_EQ(s.st.session.DirectionText, "Left Side");
  EXPECT_EQ(s.st.session.IsLX2, 1);

  // Connected: the LX2 clock is set and the side asked for.
  ASSERT_EQ(SetupScreens(s.st, 1), 0);
  EXPECT_EQ(s.countReceived("SETTIME"), 1);
  EXPECT_EQ(s.countReceived("DIRECTION"), 1);
  EXPECT_EQ(s.st.session.DirectionText, "Right Side");
  EXPECT_EQ(s.st.model.cell(Ctl::LED_TABLE, 1, 4).text.substr(4, 2), "WR");
}

TEST(DriveSession, AdjustableFiftiethReadsTheAssignmentFromTheUnit) {
  Session s({{"type", "Hybrid III 50th ADJ"},
             {"serial", "57"},
             {"leds.rib", "6,5,4,3,2,1,6,5,4,3,2,1,"},
             {"leds.posn", "1,1,1,1,1,1,3,3,3,3,3,3,"}});
  s.st.model.commit(Ctl::CONNECT);
  ASSERT_EQ(s.st.session.unitStatus, 0);
  EXPECT_EQ(s.st.session.LedRib[0], 6);
  EXPECT_EQ(s.st.session.LedPosn[7], 3);
  const Cell& rib = s.st.model.cell(Ctl::LED_TABLE, 2, 2);
  EXPECT_TRUE(rib.choice);
  EXPECT_EQ(rib.text, "5");
  EXPECT_EQ(s.st.model.cell(Ctl::LED_TABLE, 8, 3).text, "RIGHT STERNUM");
}
