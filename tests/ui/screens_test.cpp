// Screen set-up per unit family on the control model, without a unit: the
// LED table, limits,
// selections, side selector, live-display labels and Diagnostics controls.
#include "ui/screens.h"

#include "files/ledcell.h"
#include "support/unit_fixture.h"

#include <gtest/gtest.h>

using namespace lumvex;
using lumvex::testing::TestStation;

namespace {

struct ScreenSetup : TestStation {
  int run(const std::string& type, const std::string& serial = "150", const std::string& firmware = "V7.2") {
    st.model.setText(Ctl::LXtype, type);
    st.model.setText(Ctl::FIRMWARE, firmware);
    st.session.SerialNumberText = serial;
    return SetupScreens(st, 0);
  }
  const Model& m() const { return st.model; }
  std::string col(int row, int c) const { return st.model.cell(Ctl::LED_TABLE, row, c).text; }
};

}  // namespace

TEST(SetupScreens, EmptyTypeTextChangesNothing) {
  ScreenSetup s;
  ASSERT_EQ(s.run("Ballistic"), 0);
  s.st.session.needsScreenSetup = -1;
  EXPECT_EQ(s.run(""), -1);
  EXPECT_EQ(s.st.session.needsScreenSetup, -1);
  EXPECT_EQ(s.st.session.DummyType, DummyBallistic);
  EXPECT_EQ(s.m().rows(Ctl::LED_TABLE), 3);
  EXPECT_EQ(s.m().itemCount(Ctl::LEDSEL), 3);
}

TEST(SetupScreens, Polar) {
  ScreenSetup s;
  ASSERT_EQ(s.run("Polar"), 0);
  EXPECT_EQ(s.st.session.DummyType, DummyPolar);
  EXPECT_EQ(s.st.data.layout.LedCount, 6);
  EXPECT_EQ(s.st.data.layout.AxesPerLed, 2);
  EXPECT_EQ(s.st.data.layout.transformWidth, 2);
  ASSERT_EQ(s.m().rows(Ctl::LED_TABLE), 6);
  EXPECT_EQ(s.col(1, ledtable::Position), "OUTER");
  EXPECT_EQ(s.col(3, ledtable::Position), "OUTER");
  EXPECT_EQ(s.col(4, ledtable::Position), "MIDDLE");
  EXPECT_EQ(s.col(1, ledtable::Rib), "4");
  EXPECT_EQ(s.col(6, ledtable::Rib), "6");
  EXPECT_FALSE(s.m().visible(Ctl::TRIGGER_SET));
  EXPECT_EQ(s.m().label(Ctl::GET_CUR_POS), "Show Current XY's");
  // Polar: third test object, first position; the side selector stays.
  EXPECT_EQ(s.m().index(Ctl::TESTOBJECT), 2);
  EXPECT_EQ(s.m().index(Ctl::POSITION), 0);
  EXPECT_TRUE(s.m().visible(Ctl::LX_DIRECTION));
  ASSERT_EQ(s.m().itemCount(Ctl::LX_DIRECTION), 2);
  EXPECT_EQ(s.m().itemValue(Ctl::LX_DIRECTION), "LE");
  EXPECT_EQ(s.col(1, ledtable::Iso), "D 0 RIBS 04 OU PE DS X/Y ");
  EXPECT_TRUE(s.m().visible(Ctl::DEMO_DIR_SW));
  EXPECT_TRUE(s.m().visible(Ctl::COORD_SYS_SW));
  EXPECT_EQ(s.m()[Ctl::COORD_SYS_SW].stateTexts, (std::vector<std::string>{"Dummy", "Lumvex"}));
  EXPECT_EQ(s.m()[Ctl::LIVE_GRAPH].graph.yName, "Y-axis (mm)");
  EXPECT_EQ(s.m()[Ctl::LIVE_GRAPH].graph.xName, "X (mm)");
  EXPECT_TRUE(s.m().visible(Ctl::ARMOUT_SW));
  EXPECT_TRUE(s.m().visible(Ctl::RAWDOWNLOAD));
  EXPECT_FALSE(s.m().visible(Ctl::REDBLUE));
  EXPECT_EQ(s.m().itemCount(Ctl::LEDSEL), 6);
  EXPECT_EQ(s.st.session.needsScreenSetup, 0);
}

TEST(SetupScreens, FiftiethThreeDIsNotTheTwelveLedLayout) {
  ScreenSetup s;
  ASSERT_EQ(s.run("Hybrid III 50th 3D"), 0);
  EXPECT_EQ(s.st.session.DummyType, DummyHybridIII50th3D);
  EXPECT_EQ(s.st.data.layout.LedCount, 6);
  EXPECT_EQ(s.st.data.layout.AxesPerLed, 3);
  ASSERT_EQ(s.m().rows(Ctl::LED_TABLE), 6);
  EXPECT_EQ(s.col(1, ledtable::Position), "UPPER  LEFT ");
  EXPECT_EQ(s.col(5, ledtable::Position), "MIDDLE RIGHT");
  EXPECT_EQ(s.col(6, ledtable::Position), "LOWER  RIGHT");
  EXPECT_TRUE(s.m().visible(Ctl::TRIGGER_SET));
  EXPECT_EQ(s.m().label(Ctl::GET_CUR_POS), "Show Current XYZ's");
  EXPECT_FALSE(s.m().visible(Ctl::LX_DIRECTION));
  ASSERT_EQ(s.m().itemCount(Ctl::LX_DIRECTION), 1);
  EXPECT_EQ(s.m().itemLabel(Ctl::LX_DIRECTION), "CENTER in X Dir");
  EXPECT_EQ(s.m().itemValue(Ctl::LX_DIRECTION), "CX");
  EXPECT_EQ(s.col(1, ledtable::Iso), "1 1 STRN UP LE H3 DS XYZ ");
  EXPECT_EQ(s.col(5, ledtable::Iso), "1 1 STRN MI RI H3 DS XYZ ");
  EXPECT_EQ(s.col(6, ledtable::Iso), "1 1 STRN LO RI H3 DS XYZ ");
  EXPECT_EQ(s.m()[Ctl::COORD_SYS_SW].stateTexts, (std::vector<std::string>{"XY", "XZ"}));
  EXPECT_EQ(s.m()[Ctl::LIVE_GRAPH].graph.xName, "X");
  EXPECT_EQ(s.m()[Ctl::LIVE_GRAPH].graph.yName, "Y-axis (mm)");
  EXPECT_FALSE(s.m().visible(Ctl::DEMO_DIR_SW));
}

TEST(SetupScreens, PlainFiftiethAndFifthHaveTwelveFixedRows) {
  for (const char* type : {"Hybrid III 50th", "Hybrid III 5th Female"}) {
    ScreenSetup s;
    ASSERT_EQ(s.run(type), 0) << type;
    EXPECT_EQ(s.st.data.layout.LedCount, 12);
    EXPECT_EQ(s.st.data.layout.AxesPerLed, 2);
    ASSERT_EQ(s.m().rows(Ctl::LED_TABLE), 12);
    EXPECT_EQ(s.col(6, ledtable::Position), "LEFT");
    EXPECT_EQ(s.col(7, ledtable::Position), "RIGHT");
    EXPECT_EQ(s.col(7, ledtable::Rib), "1");
    EXPECT_EQ(s.col(12, ledtable::Rib), "6");
    EXPECT_FALSE(s.m().cell(Ctl::LED_TABLE, 1, ledtable::Rib).choice);
    EXPECT_EQ(s.m().label(Ctl::GET_CUR_POS), "Show Current XY's");
    EXPECT_FALSE(s.m().visible(Ctl::LX_DIRECTION));
    EXPECT_FALSE(s.m().visible(Ctl::COORD_SYS_SW));
    // Diagnostics: input multiplexer on and hidden, sensors 1 and 3 off.
    EXPECT_EQ(s.m().number(Ctl::MUX_SW), 1);
    EXPECT_FALSE(s.m().visible(Ctl::MUX_SW));
    EXPECT_EQ(s.m().number(Ctl::S1KILL), 0);
    EXPECT_TRUE(s.m().visible(Ctl::RAWDOWNLOAD));
    EXPECT_EQ(s.m().itemCount(Ctl::LEDSEL), 12);
    // Fragments from the configuration fill positions 4 to 13.
    EXPECT_EQ(s.col(8, ledtable::Iso).substr(4, 10), "H308 02 RI");
  }
  ScreenSetup fifth;
  fifth.run("Hybrid III 5th Female");
  EXPECT_EQ(fifth.st.session.DummyType, DummyHybridIII5th);
  EXPECT_EQ(fifth.col(1, ledtable::Iso).substr(15), "HF DS X/Y ");
}

TEST(SetupScreens, AdjustableFiftiethGetsChoiceCellsFromTheAssignment) {
  ScreenSetup s;
  s.st.session.LedRib = {2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 1, 1};
  s.st.session.LedPosn = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};
  ASSERT_EQ(s.run("Hybrid III 50th ADJ"), 0);
  EXPECT_EQ(s.st.session.DummyType, DummyHybridIII50th);
  const Cell& rib = s.m().cell(Ctl::LED_TABLE, 3, ledtable::Rib);
  const Cell& pos = s.m().cell(Ctl::LED_TABLE, 4, ledtable::Position);
  EXPECT_TRUE(rib.choice);
  EXPECT_EQ(rib.choices.size(), 6u);
  EXPECT_EQ(rib.text, "3");
  EXPECT_EQ(rib.choiceIndex, 2);
  EXPECT_TRUE(pos.choice);
  EXPECT_EQ(pos.text, "RIGHT STERNUM");
  EXPECT_EQ(pos.choiceIndex, 3);

  // The next set-up for another family removes the choice lists again.
  s.run("Hybrid III 50th");
  EXPECT_FALSE(s.m().cell(Ctl::LED_TABLE, 3, ledtable::Rib).choice);
  EXPECT_TRUE(s.m().cell(Ctl::LED_TABLE, 3, ledtable::Rib).choices.empty());
  EXPECT_EQ(s.col(3, ledtable::Rib), "3");
}

TEST(SetupScreens, SidIIsAndBallistic) {
  ScreenSetup s;
  ASSERT_EQ(s.run("SIDIIs"), 0);
  EXPECT_EQ(s.st.data.layout.LedCount, 6);
  EXPECT_EQ(s.st.data.layout.AxesPerLed, 3);
  EXPECT_EQ(s.col(2, ledtable::Position), "MIDDLE");
  EXPECT_EQ(s.col(1, ledtable::Iso), "1 1 SHRI 00 MI S2 DS XYZ ");
  EXPECT_EQ(s.col(4, ledtable::Iso), "1 1 THRI 03 MI S2 DS XYZ ");
  EXPECT_EQ(s.col(6, ledtable::Iso), "1 1 ABRI 02 MI S2 DS XYZ ");
  EXPECT_TRUE(s.m().visible(Ctl::LX_DIRECTION));
  EXPECT_EQ(s.m()[Ctl::COORD_SYS_SW].stateTexts, (std::vector<std::string>{"XY", "ZY"}));
  EXPECT_EQ(s.m()[Ctl::LIVE_GRAPH].graph.yName, "X");
  EXPECT_EQ(s.m()[Ctl::LIVE_GRAPH].graph.xName, "Y");
  EXPECT_DOUBLE_EQ(s.st.data.SampleIntervalMs, 0.1);

  ASSERT_EQ(s.run("Ballistic"), 0);
  EXPECT_EQ(s.st.session.DummyType, DummyBallistic);
  EXPECT_EQ(s.st.data.layout.LedCount, 3);
  ASSERT_EQ(s.m().rows(Ctl::LED_TABLE), 3);
  EXPECT_EQ(s.col(3, ledtable::Rib), "3");
  EXPECT_EQ(s.col(2, ledtable::Iso), "1 1 RIBS 02 MI BA DS XYZ ");
  EXPECT_DOUBLE_EQ(s.st.data.SampleIntervalMs, 0.05);
  EXPECT_FALSE(s.m().visible(Ctl::LX_DIRECTION));
  EXPECT_EQ(s.m().itemCount(Ctl::LEDSEL), 3);
}

TEST(SetupScreens, WorldSidLayoutLimitsAndSide) {
  ScreenSetup s;
  s.st.session.DirectionText = "Right Side";
  ASSERT_EQ(s.run("WorldSID", "150", "V7.2"), 0);
  EXPECT_EQ(s.st.session.DummyType, DummyWorldSID50th);
  EXPECT_EQ(s.st.session.IsLX2, 0);
  EXPECT_EQ(s.st.data.layout.LedCount, 18);
  EXPECT_EQ(s.st.data.layout.transformWidth, 6);
  ASSERT_EQ(s.m().rows(Ctl::LED_TABLE), 18);
  EXPECT_EQ(s.col(4, ledtable::Rib), "2");
  EXPECT_EQ(s.col(4, ledtable::Position), "REAR");
  EXPECT_EQ(s.col(18, ledtable::Position), "FRONT");
  EXPECT_EQ(s.col(18, ledtable::Number), "18");
  // The side is reset to left, so the left fragments are used.
  EXPECT_EQ(s.st.session.DirectionText, "Left Side");
  EXPECT_EQ(s.col(2, ledtable::Iso), "1 1 WL02 01 MI WS DS XYZ ");
  EXPECT_EQ(s.m()[Ctl::TPOST].maximum, 24900);
  EXPECT_EQ(s.m()[Ctl::TSTOP].minimum, 10);
  EXPECT_EQ(s.m()[Ctl::TSTOP].maximum, 25000);
  EXPECT_EQ(s.m().number(Ctl::TSTOP), 25000);
  EXPECT_TRUE(s.m().visible(Ctl::LX_DIRECTION));
  EXPECT_EQ(s.m().itemCount(Ctl::LEDSEL), 18);

  ASSERT_EQ(s.run("WorldSID Female", "150", "V8 LX2"), 0);
  EXPECT_EQ(s.st.session.DummyType, DummyWorldSID5th);
  EXPECT_EQ(s.st.session.IsLX2, 1);
  EXPECT_EQ(s.m()[Ctl::TPOST].maximum, 179900);
  EXPECT_EQ(s.m().number(Ctl::TSTOP), 180000);
  EXPECT_EQ(s.col(1, ledtable::Iso).substr(15), "WF DS XYZ ");

  ASSERT_EQ(s.run("Polar"), 0);
  EXPECT_EQ(s.m()[Ctl::TPOST].maximum, 29900);
  EXPECT_EQ(s.m()[Ctl::TSTOP].maximum, 30000);
  EXPECT_EQ(s.m().number(Ctl::TSTOP), 30000);
}

TEST(SetupScreens, WorldSidDiagnosticsDependOnSerialAndLx2) {
  const Ctl extra[] = {Ctl::DISABLE_SD,   Ctl::SDCARDTEST, Ctl::ARMOUT_SW,   Ctl::OTHEROUT_SW,
                       Ctl::BatteryOn_SW, Ctl::ARMIN_LED,  Ctl::OTHERIN_LED, Ctl::CHARGEON_LED};
  ScreenSetup s;
  // A Polar unit first shows ARMOUT_SW and RAWDOWNLOAD; a WorldSID unit with
  // serial 100 must not keep them.
  s.run("Polar");
  ASSERT_EQ(s.run("WorldSID", "100"), 0);
  EXPECT_TRUE(s.m().visible(Ctl::REDBLUE));
  for (Ctl c : extra) EXPECT_FALSE(s.m().visible(c)) << controlName(c);
  EXPECT_FALSE(s.m().visible(Ctl::RAWDOWNLOAD));

  ASSERT_EQ(s.run("WorldSID", "101"), 0);
  for (Ctl c : extra) EXPECT_TRUE(s.m().visible(c)) << controlName(c);
  EXPECT_FALSE(s.m().visible(Ctl::TEMPERATURE));
  EXPECT_FALSE(s.m().visible(Ctl::BAT_RESET));
  EXPECT_EQ(s.m().label(Ctl::OTHEROUT_SW), "Other Out");
  EXPECT_EQ(s.m().label(Ctl::OTHERIN_LED), "Other In");
  EXPECT_TRUE(s.m().visible(Ctl::MUX_SW));

  ASSERT_EQ(s.run("WorldSID", "101", "LX2 1.0"), 0);
  EXPECT_FALSE(s.m().visible(Ctl::DISABLE_SD));
  EXPECT_FALSE(s.m().visible(Ctl::SDCARDTEST));
  EXPECT_FALSE(s.m().visible(Ctl::OTHEROUT_SW));
  for (Ctl c : {Ctl::ARMOUT_SW, Ctl::BatteryOn_SW, Ctl::ARMIN_LED, Ctl::OTHERIN_LED, Ctl::CHARGEON_LED,
                Ctl::TEMPERATURE, Ctl::BAT_RESET})
    EXPECT_TRUE(s.m().visible(c)) << controlName(c);
  for (Ctl c : {Ctl::S2KILL, Ctl::S6B, Ctl::S4A}) EXPECT_FALSE(s.m().visible(c));

  // Serial 100 on LX2 keeps the page as for every unit.
  ASSERT_EQ(s.run("WorldSID", "100", "LX2 1.0"), 0);
  EXPECT_FALSE(s.m().visible(Ctl::BAT_RESET));
  EXPECT_FALSE(s.m().visible(Ctl::ARMOUT_SW));
}

TEST(SetupScreens, DefaultSelectionsForNonPolar) {
  ScreenSetup s;
  s.st.model.setIndex(Ctl::TESTOBJECT, 2);
  s.st.model.setIndex(Ctl::POSITION, 5);
  s.run("SIDIIs");
  EXPECT_EQ(s.m().index(Ctl::TESTOBJECT), 0);
  EXPECT_EQ(s.m().index(Ctl::POSITION), 1);
  EXPECT_EQ(s.m().index(Ctl::LX_DIRECTION), 0);
}
