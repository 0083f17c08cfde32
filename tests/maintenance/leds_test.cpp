// LED assignment of the adjustable 50th against the simulated unit: edits that
// keep the ISO cell in step, saving with its retries and messages, cancelling,
// untrusted numbers from the unit, the status gate of the buttons, and the
// current positions in the dummy's frame.
#include "maintenance/leds.h"

#include "files/ledcell.h"
#include "link/info.h"
#include "support/drive_station.h"
#include "ui/screens.h"

#include <gtest/gtest.h>

using namespace lumvex;
using lumvex::sim::FaultKind;
using lumvex::testing::DriveStation;

namespace {

struct LedStation : DriveStation {
  explicit LedStation(Props props) : DriveStation(props) {
    EXPECT_TRUE(connect());
    EXPECT_EQ(GetLXinfo(st), 0);
    EXPECT_EQ(SetupScreens(st, 1), 0);
    op.clear();
  }
  // The operator picks entry `index` of a list cell.
  void choose(int row, int col, int index) {
    Cell& c = st.model.editCell(Ctl::LED_TABLE, row, col);
    c.choiceIndex = index;
    c.text = c.choices.at(static_cast<size_t>(index));
  }
  std::string iso(int row) { return st.model.cell(Ctl::LED_TABLE, row, ledtable::Iso).text; }
  bool editButtons() {
    return st.model.visible(Ctl::SAVE_LED_INFO) && st.model.visible(Ctl::CANCEL_LED_CHANGES);
  }
  std::string unitList(const char* key) {
    return sim.withUnit([key](sim::UnitState& u) { return u.prop(key); });
  }
};

constexpr char kAdj[] = "Hybrid III 50th ADJ";
constexpr int kRib = ledtable::Rib, kPos = ledtable::Position;
const std::string kRibs = "1,2,3,4,2,6,1,2,3,4,5,6,";  // LED 5 on rib 2

}  // namespace

TEST(LedTableEdit, RibChangeAndBackKeepTheIsoCellAndTheButtonsShow) {
  LedStation s({{"type", kAdj}, {"leds.rib", kRibs}});
  // Set-up names the rib the unit has LED 5 on, not the configuration's default place.
  EXPECT_EQ(s.iso(5).substr(4, 10), "RIBS 02 LE");
  EXPECT_FALSE(s.editButtons());
  s.choose(5, kRib, 2);  // "3"
  EXPECT_TRUE(LedTableEdit(s.st, 5, kRib));
  EXPECT_EQ(s.iso(5)[10], '3');
  EXPECT_TRUE(s.editButtons());
  EXPECT_TRUE(s.st.model.dimmed(Ctl::DOWNLOAD_BUT));
  s.choose(5, kRib, 1);  // back to "2": no change, but the buttons stay
  EXPECT_FALSE(LedTableEdit(s.st, 5, kRib));
  EXPECT_EQ(s.iso(5)[10], '2');
  EXPECT_TRUE(s.editButtons());
  const std::string before = s.iso(5);
  EXPECT_FALSE(LedTableEdit(s.st, 5, ledtable::Iso));
  EXPECT_FALSE(LedTableEdit(s.st, 13, kRib));  // beyond the twelve assigned LEDs
  EXPECT_EQ(s.iso(5), before);
}

TEST(LedTableEdit, RightSternumWritesStrnAndRi) {
  LedStation s({{"type", kAdj}});
  s.choose(3, kPos, 3);
  EXPECT_TRUE(LedTableEdit(s.st, 3, kPos));
  EXPECT_EQ(s.iso(3).substr(4, 4), "STRN");
  EXPECT_EQ(s.iso(3).substr(12, 2), "RI");
  s.choose(3, kPos, 2);  // "RIGHT RIB"
  LedTableEdit(s.st, 3, kPos);
  EXPECT_EQ(s.iso(3).substr(4, 10), "RIBS 03 RI");
}

TEST(SetLedInfo, WritesEveryLedThenSavesAndHidesTheButtons) {
  LedStation s({{"type", kAdj}, {"leds.rib", kRibs}});
  s.choose(5, kRib, 2);
  LedTableEdit(s.st, 5, kRib);
  s.choose(3, kPos, 3);
  LedTableEdit(s.st, 3, kPos);
  EXPECT_EQ(SetLedInfo(s.st), 0);
  EXPECT_EQ(s.countReceived("LED_RIB"), 12);
  EXPECT_EQ(s.countReceived("LED_POSN"), 12);
  EXPECT_EQ(s.countReceived("SAVE"), 1);
  EXPECT_EQ(s.unitList("leds.rib.saved"), "1,2,3,4,3,6,1,2,3,4,5,6,");
  EXPECT_EQ(s.unitList("leds.posn.saved"), "0,0,3,0,0,0,2,2,2,2,2,2,");
  EXPECT_EQ(s.st.session.LedRib[4], 3);
  EXPECT_EQ(s.st.session.LedPosn[2], 3);
  EXPECT_FALSE(s.editButtons());
  EXPECT_TRUE(s.st.model.dimmed(Ctl::DOWNLOAD_BUT));  // still nothing to download at status 0
  EXPECT_TRUE(s.op.transcript.empty());
}

TEST(SetLedInfo, AnEchoOfAnotherRibFailsThreeTimesAndStops) {
  LedStation s({{"type", kAdj}, {"ledrib.echo", "4"}});
  s.choose(5, kRib, 2);
  LedTableEdit(s.st, 5, kRib);
  EXPECT_EQ(SetLedInfo(s.st), -1);
  EXPECT_EQ(s.countReceived("LED_RIB"), 3);
  EXPECT_EQ(s.countReceived("LED_POSN"), 0);
  EXPECT_EQ(s.countReceived("SAVE"), 0);
  EXPECT_EQ(s.op.messages(),
            std::vector<std::string>{"Communication Error: Could not set LED RIB information in "
                                     "Lumvex.  Dsconnect and check communication cables"});
  EXPECT_TRUE(s.editButtons());
}

TEST(SetLedInfo, SaveThatNeverParsesIsToldFourTimes) {
  LedStation s({{"type", kAdj}});
  s.sim.addFault({FaultKind::CorruptChecksum, "SAVE", 1, 0});
  EXPECT_EQ(SetLedInfo(s.st), -1);
  const std::string comm = "COMM ERROR: Error saving led information to Lumvex";
  EXPECT_EQ(s.op.messages(),
            (std::vector<std::string>{comm, comm, comm,
                                      "Communication Error: Could not save LED information in "
                                      "Lumvex.  Dsconnect and check communication cables"}));
}

TEST(CancelLedChanges, RestoresTheUnitsAssignmentWithItsIsoCells) {
  LedStation s({{"type", kAdj}, {"leds.rib", kRibs}});
  s.choose(5, kRib, 2);
  LedTableEdit(s.st, 5, kRib);
  s.choose(3, kPos, 3);
  LedTableEdit(s.st, 3, kPos);
  CancelLedChanges(s.st);
  const Model& m = s.st.model;
  EXPECT_EQ(m.cell(Ctl::LED_TABLE, 5, kRib).text, "2");
  EXPECT_EQ(m.cell(Ctl::LED_TABLE, 3, kPos).text, "LEFT RIB");
  EXPECT_EQ(s.iso(5)[10], '2');
  EXPECT_EQ(s.iso(3).substr(4, 4), "RIBS");
  EXPECT_EQ(s.iso(3).substr(12, 2), "LE");
  EXPECT_FALSE(s.editButtons());
  EXPECT_EQ(s.countReceived("LED_RIB"), 0);
}

TEST(GetLedInfo, NumbersOutOfRangeOrMissingTakeTheFallback) {
  // A rib outside 1-6 or a position outside 0-3 must not index the lists.
  LedStation s({{"type", kAdj}, {"leds.rib", "7,-3,1e300,nan,0.5,6.9,2,"}, {"leds.posn", "4,-1,2.5,3,"}});
  const std::array<int, 12> ribs = {1, 1, 1, 1, 1, 6, 2, 1, 1, 1, 1, 1};
  const std::array<int, 12> posns = {0, 0, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(s.st.session.LedRib, ribs);
  EXPECT_EQ(s.st.session.LedPosn, posns);
  EXPECT_EQ(s.st.model.cell(Ctl::LED_TABLE, 1, kRib).text, "1");
  EXPECT_EQ(s.st.model.cell(Ctl::LED_TABLE, 1, kPos).text, "LEFT RIB");
  double v[12];
  EXPECT_EQ(ShowLedRib(s.st, 12, v), 0);
  EXPECT_EQ(v[6], 2.0);
  EXPECT_EQ(v[7], 0.0);  // fewer than 12 numbers: the rest read 0
  EXPECT_EQ(v[11], 0.0);
}

TEST(GetLedInfo, ThreeFailedReadsAreToldOnceAndFallBack) {
  LedStation s({{"type", kAdj}, {"leds.rib", kRibs}});
  s.sim.addFault({FaultKind::CorruptChecksum, "SHOW_LEDRIB", 1, 0});
  GetLedInfo(s.st);
  EXPECT_EQ(s.countReceived("SHOW_LEDRIB"), 3 + 1);  // three now, one at set-up
  EXPECT_EQ(s.op.messages(),
            std::vector<std::string>{"Communication Error: Could not read LED RIB information from "
                                     "Lumvex.  Dsconnect and check communication cables"});
  EXPECT_EQ(s.st.session.LedRib[4], 1);
}

TEST(LedButtonsActive, OnlyWhileReadyOrHoldingARecording) {
  LedStation s({{"type", kAdj}});
  EXPECT_TRUE(LedButtonsActive(s.st));
  s.sim.arm(0, 1000);
  EXPECT_FALSE(LedButtonsActive(s.st));
  s.sim.withUnit([](sim::UnitState& u) { u.status = 3; });
  EXPECT_TRUE(LedButtonsActive(s.st));
}

TEST(CurrentPositions, DummyFrameFollowsTheSideAndSwapsBallisticAxes) {
  // The unit reports LED i, axis a at 20 a + 3.5 i + 0.25 mm.
  LedStation ws({{"type", "WorldSID"}, {"side", "RIGHT"}});
  double p[54] = {};
  int count = 0;
  ASSERT_EQ(DummyFramePositions(ws.st, count, p), 0);
  EXPECT_EQ(count, 54);
  EXPECT_DOUBLE_EQ(p[0], -3.75);  // right side: X turns
  EXPECT_DOUBLE_EQ(p[1], 23.75);
  ws.st.model.selectValue(Ctl::LX_DIRECTION, "LE");
  ASSERT_EQ(DummyFramePositions(ws.st, count, p), 0);
  EXPECT_DOUBLE_EQ(p[0], 3.75);  // left side: Y turns
  EXPECT_DOUBLE_EQ(p[1], -23.75);

  LedStation ba({{"type", "Ballistic"}});
  ASSERT_EQ(ShowCurrentPositions(ba.st), 0);
  const Model& m = ba.st.model;
  EXPECT_EQ(m.cell(Ctl::LED_TABLE, 1, ledtable::X).text, "23.75");
  EXPECT_EQ(m.cell(Ctl::LED_TABLE, 1, ledtable::X + 1).text, "3.75");
  EXPECT_EQ(m.cell(Ctl::LED_TABLE, 1, ledtable::X + 2).text, "43.75");
  EXPECT_EQ(m.cell(Ctl::LED_TABLE, 3, ledtable::X).text, "30.75");
}
