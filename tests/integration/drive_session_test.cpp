// A whole session through the control model against the simulated unit over
// loopback TCP: connect and identify, set trigger and comment, arm with LED
// errors present, software trigger, follow the unit to a stored recording,
// erase. Also: a set-up that follows a data file never talks to the unit.
#include "ui/callbacks.h"
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

// Every family as the simulated unit reports it: CONNECT identifies it and
// lays out its screens, its LEDs all report positions (no LED question), and
// it arms with the recording times its family allows, then disarms.
TEST(DriveSession, EveryFamilyIsIdentifiedLaidOutAndArmed) {
  struct Family {
    const char* type;
    const char* firmware;
    int dummyType, leds, axes;
    bool triggerShown;
    const char* side;  // LX_DIRECTION entry; hidden when "CENTER in X Dir"
    int postMax;       // ms
    const char* familyCode;
  } families[] = {
      {"Polar", "V6.0", DummyPolar, 6, 2, false, "Left Side", 29900, "PE"},
      {"Hybrid III 5th Female", "V7.3", DummyHybridIII5th, 12, 2, true, "CENTER in X Dir", 29900, "HF"},
      {"Hybrid III 50th", "V7.3", DummyHybridIII50th, 12, 2, true, "CENTER in X Dir", 29900, "H3"},
      {"Hybrid III 50th ADJ", "V7.3", DummyHybridIII50th, 12, 2, true, "CENTER in X Dir", 29900, "H3"},
      {"Hybrid III 50th 3D", "V7.3", DummyHybridIII50th3D, 6, 3, true, "CENTER in X Dir", 29900, "H3"},
      {"SIDIIs", "V7.3", DummySIDIIs, 6, 3, true, "Left Side", 29900, "S2"},
      {"Ballistic", "V7.3", DummyBallistic, 3, 3, true, "CENTER in X Dir", 29900, "BA"},
      {"WorldSID", "V7.3", DummyWorldSID50th, 18, 3, true, "Right Side", 24900, "WS"},
      {"WorldSID", "LX2 V8.0", DummyWorldSID50th, 18, 3, true, "Right Side", 179900, "WS"},
      {"WorldSID Female", "V7.3", DummyWorldSID5th, 18, 3, true, "Right Side", 24900, "WF"},
      {"WorldSID 5th", "LX2 V8.0", DummyWorldSID5th, 18, 3, true, "Right Side", 179900, "WF"},
  };
  for (const Family& f : families) {
    SCOPED_TRACE(std::string(f.type) + " " + f.firmware);
    Session s({{"type", f.type}, {"firmware", f.firmware}, {"serial", "150"}, {"side", "RIGHT"}});
    s.st.ini.FuelGaugeInstalled = 1;
    Model& m = s.st.model;
    m.commit(Ctl::CONNECT);
    ASSERT_EQ(s.st.session.unitStatus, 0);
    const bool lx2 = std::string_view(f.firmware).find("LX2") != std::string_view::npos;
    const bool worldSid = f.dummyType == DummyWorldSID50th || f.dummyType == DummyWorldSID5th;
    EXPECT_EQ(s.st.session.DummyType, f.dummyType);
    EXPECT_EQ(s.st.data.layout.LedCount, f.leds);
    EXPECT_EQ(s.st.data.layout.AxesPerLed, f.axes);
    EXPECT_EQ(m.rows(Ctl::LED_TABLE), f.leds);
    EXPECT_EQ(m.visible(Ctl::TRIGGER_SET), f.triggerShown);
    EXPECT_EQ(m.itemLabel(Ctl::LX_DIRECTION), f.side);
    EXPECT_EQ(m.visible(Ctl::LX_DIRECTION), std::string_view(f.side) != "CENTER in X Dir");
    EXPECT_EQ(m[Ctl::TPOST].maximum, f.postMax);
    for (int row = 1; row <= f.leds; ++row)
      EXPECT_EQ(m.cell(Ctl::LED_TABLE, row, 4).text.substr(15, 2), f.familyCode) << row;
    // The clock and the side are asked of WorldSID units only; the battery of LX2 units.
    EXPECT_EQ(s.countReceived("SETTIME"), worldSid && lx2 ? 1 : 0);
    EXPECT_EQ(s.countReceived("DIRECTION") > 0, worldSid);
    EXPECT_EQ(s.countReceived("GETBATINFO") > 0, lx2);
    EXPECT_EQ(s.countReceived("SENDCONFIG") > 0, lx2);
    EXPECT_EQ(m.visible(Ctl::BATT_FUEL), lx2);
    EXPECT_EQ(s.op.messages(), std::vector<std::string>{});

    // Arm at the family's longest post-trigger time: no LED reports a code.
    m.setNumber(Ctl::TPOST, f.postMax);
    m.commit(Ctl::ARM_BUT);
    EXPECT_TRUE(s.op.transcript.empty()) << s.op.transcript.front().title;
    EXPECT_EQ(m.label(Ctl::ARM_BUT), "DISARM");
    EXPECT_EQ(s.sim.status(), 1);
    m.commit(Ctl::ARM_BUT);
    EXPECT_EQ(s.sim.status(), 0);
    EXPECT_EQ(m.label(Ctl::ARM_BUT), "ARM");
  }
}
