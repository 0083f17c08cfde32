// The maintenance callbacks bound to their controls, against the simulated
// unit: LOADER ending the I/O check, the LED table's cells and buttons (only
// while idle), the side selector losing the link, and the position autocheck
// both ways: off, no page in any state and nothing more sent at arm; on, the
// page filled, its buttons, and the question before arming.
#include "core/config.h"
#include "files/ledcell.h"
#include "link/status.h"
#include "support/cli_run.h"
#include "support/sim_station.h"
#include "support/testing.h"
#include "ui/diagnostics_page.h"

#include <gtest/gtest.h>

using namespace lumvex;
using lumvex::testing::installConfiguration;
using lumvex::testing::readFile;
using lumvex::testing::SimStation;
using lumvex::testing::TempDir;
using lumvex::testing::writeFile;

namespace {

constexpr int kAutoCheckPage = pageIndex(Panel::AutoCheck);

struct Unit : SimStation {
  TempDir dir;
  explicit Unit(std::initializer_list<std::pair<const char*, const char*>> props) {
    sim().withUnit([&](sim::UnitState& u) {
      for (const auto& [k, v] : props) u.props[k] = v;
    });
    st.workDir = dir.path();
    installConfiguration(dir);
    EXPECT_EQ(ReadINIfile(st), 0);
  }
  int sent(std::string_view name) {
    int n = 0;
    for (const auto& l : sim().received()) n += l.substr(0, l.find('#')) == name;
    return n;
  }
  void pick(int row, int col, int index) {
    Cell& c = st.model.editCell(Ctl::LED_TABLE, row, col);
    c.choiceIndex = index;
    c.text = c.choices.at(static_cast<size_t>(index));
    st.model.commit(Ctl::LED_TABLE, {EventKind::CellCommit, 0, row, col});
  }
  std::string iso(int row) { return st.model.cell(Ctl::LED_TABLE, row, ledtable::Iso).text.substr(4, 10); }
};

constexpr char kAdj[] = "Hybrid III 50th ADJ";

}  // namespace

TEST(LoaderButton, EndsTheIoCheckAndSaysWhetherTheUnitTookTheProgram) {
  Unit u({{"firmware", "LX2 V8.0"}});
  ASSERT_TRUE(u.connect());
  writeFile(u.dir.file("image.bin"), std::string(1000, '\x5a'));
  u.st.session.ioCheckRunning = 1;
  u.st.model.setLabel(Ctl::CHECKIOBUT, "Stop");
  u.op.fileAnswers = {u.dir.file("image.bin")};
  u.st.model.commit(Ctl::LOADER);
  EXPECT_EQ(u.st.session.ioCheckRunning, 0);
  EXPECT_EQ(u.st.model.label(Ctl::CHECKIOBUT), "Check I/O");
  EXPECT_EQ(u.sent("LOADER"), 1);

  u.sim().withUnit([](sim::UnitState& s) { s.props["loader.result"] = "FLASH WRITE FAILED"; });
  u.op.fileAnswers = {u.dir.file("image.bin")};
  EXPECT_EQ(LOADER(u.st), 0);
  u.op.fileAnswers = {std::nullopt};
  EXPECT_EQ(LOADER(u.st), -1);

  // The unit goes away instead of answering: the page shows no unit.
  u.sim().addFault({sim::FaultKind::DropAtCommand, "LOADER"});
  u.op.fileAnswers = {u.dir.file("image.bin")};
  EXPECT_EQ(LOADER(u.st), 0);
  EXPECT_EQ(u.st.model.text(Ctl::STATUSBOX), "Disconnected");
}

TEST(LedTableCallbacks, AdjustableCellsShowTheButtonsAndOnlyAnIdleUnitTakesThem) {
  // LED 5 stored on rib 3, right sternum: the ISO cell says so from the start.
  Unit u(
      {{"type", kAdj}, {"leds.rib", "1,2,3,4,3,6,1,2,3,4,5,6,"}, {"leds.posn", "0,0,0,0,3,0,2,2,2,2,2,2,"}});
  ASSERT_TRUE(u.connect());
  EXPECT_EQ(u.iso(5), "STRN 03 RI");
  EXPECT_EQ(u.iso(6), "RIBS 06 LE");
  EXPECT_FALSE(u.st.model.visible(Ctl::SAVE_LED_INFO));

  u.pick(5, ledtable::Rib, 1);  // rib 2
  EXPECT_EQ(u.iso(5), "STRN 02 RI");
  for (Ctl c : {Ctl::SAVE_LED_INFO, Ctl::CANCEL_LED_CHANGES}) EXPECT_TRUE(u.st.model.visible(c));
  EXPECT_TRUE(u.st.model.dimmed(Ctl::DOWNLOAD_BUT));
  u.st.model.commit(Ctl::LED_TABLE, {EventKind::CellCommit, 0, 5, ledtable::Iso});  // not a list: nothing
  EXPECT_EQ(u.iso(5), "STRN 02 RI");

  // Armed: none of the three buttons sends anything.
  u.sim().arm(0, 5000);
  for (Ctl c : {Ctl::SAVE_LED_INFO, Ctl::CANCEL_LED_CHANGES, Ctl::GET_CUR_POS}) u.st.model.commit(c);
  EXPECT_EQ(u.sent("LED_RIB") + u.sent("SHOW_LEDRIB") + u.sent("CURRENT_POSITIONS"), 1);  // the connect's
  u.sim().disarm();

  u.st.model.commit(Ctl::SAVE_LED_INFO);
  EXPECT_EQ(u.sim().withUnit([](sim::UnitState& s) { return s.prop("leds.rib.saved"); }),
            "1,2,3,4,2,6,1,2,3,4,5,6,");
  EXPECT_FALSE(u.st.model.visible(Ctl::SAVE_LED_INFO));
  u.st.model.commit(Ctl::GET_CUR_POS);
  EXPECT_EQ(u.st.model.cell(Ctl::LED_TABLE, 1, ledtable::X).text, "3.75");
}

TEST(SideSelector, ASwitchClearsTheTurnedPositionsAndALostLinkLeavesTheScreensDisconnected) {
  Unit u({{"type", "WorldSID"}, {"serial", "150"}, {"firmware", "LX2 V8.0"}});
  ASSERT_TRUE(u.connect());
  u.st.model.commit(Ctl::GET_CUR_POS);
  EXPECT_EQ(u.st.model.cell(Ctl::LED_TABLE, 1, ledtable::X + 1).text, "-23.75");  // left: Y turned
  u.st.model.selectValue(Ctl::LX_DIRECTION, "RI");
  u.st.model.commit(Ctl::LX_DIRECTION);
  EXPECT_EQ(u.sim().withUnit([](sim::UnitState& s) { return s.prop("side"); }), "RIGHT");
  EXPECT_EQ(u.st.model.cell(Ctl::LED_TABLE, 1, ledtable::X + 1).text, "");

  u.sim().addFault({sim::FaultKind::DropAtCommand, "SETSIDECAL"});
  u.st.model.selectValue(Ctl::LX_DIRECTION, "LE");
  u.st.model.commit(Ctl::LX_DIRECTION);
  EXPECT_EQ(u.sent("SETSIDECAL"), 2);
  EXPECT_EQ(u.st.model.label(Ctl::CONNECT), "CONNECT");
  EXPECT_TRUE(u.st.model.dimmed(Ctl::LX_DIRECTION));
}

TEST(AutoCheckPage, OffNoPageInAnyStateAndNoExchangeAtArm) {
  Unit u({{"type", "WorldSID"}, {"firmware", "LX2 V8.0"}});
  ASSERT_TRUE(u.connect());
  EXPECT_FALSE(u.st.model.pageVisible(kAutoCheckPage));
  u.st.model.setNumber(Ctl::TPOST, 100);
  u.st.model.commit(Ctl::ARM_BUT);
  ASSERT_EQ(u.sent("ARM"), 1);
  ASSERT_TRUE(u.tickUntil(StatusPreTrigger));
  EXPECT_FALSE(u.st.model.pageVisible(kAutoCheckPage));
  u.sim().trigger();
  ASSERT_TRUE(u.tickUntil(StatusDataHeld, 5000));
  EXPECT_FALSE(u.st.model.pageVisible(kAutoCheckPage));
  EXPECT_EQ(u.sent("GETGOLDENPOSNS"), 0);
  EXPECT_EQ(u.sent("CURRENT_POSITIONS"), 1);  // the LED error check's only
  EXPECT_TRUE(u.op.transcript.empty());
}

TEST(AutoCheckPage, OnShowsTheTablesMarksDeviationsAndAsksBeforeArming) {
  // LED 2's recorded X is 5 mm from where it is now; the shipped limits allow 4.
  std::string golden;
  for (int i = 0; i < 54; ++i)
    golden += std::to_string(20.0 * (i % 3) + 3.5 * (i / 3 + 1) + 0.25 + (i == 3 ? 5 : 0)) + ",";
  Unit u({{"type", "WorldSID"}, {"firmware", "LX2 V8.0"}, {"golden", golden.c_str()}});
  u.st.ini.AutoCheckSwitchedOn = 1;
  u.st.ini.FuelGaugeInstalled = 1;
  ASSERT_TRUE(u.connect());
  Model& m = u.st.model;
  EXPECT_TRUE(m.pageVisible(kAutoCheckPage));
  EXPECT_EQ(m.cell(Ctl::AUTOCHECK_ERROR_LIM, 1, 2).text, "3");
  EXPECT_EQ(m.cell(Ctl::GOLDEN_POSN_TABLE, 2, 2).text, "12.25");
  EXPECT_EQ(m.cell(Ctl::CURR_POSN_TABLE, 2, 1).text, "");

  m.commit(Ctl::AUTOCK_CURR_POSNS);
  EXPECT_EQ(m.cell(Ctl::CURR_POSN_TABLE, 2, 1).text, "7.25");
  EXPECT_EQ(m.cell(Ctl::CURR_POSN_TABLE, 2, 1).background, colour::Yellow);
  EXPECT_EQ(m.cell(Ctl::CURR_POSN_TABLE, 2, 2).background, colour::White);

  // Arming: the question names the autocheck; No stops before the battery and the arm.
  const int batteryReads = u.sent("GETBATINFO");
  u.op.confirmAnswers = {false};
  m.commit(Ctl::ARM_BUT);
  EXPECT_EQ(u.op.transcript.back().title, "LED errors detected!");
  EXPECT_EQ(u.op.transcript.back().text.substr(0, 61),
            " There are LEDs are reporting position errors or error codes ");
  EXPECT_EQ(u.sent("ARM"), 0);
  EXPECT_EQ(u.sent("GETBATINFO"), batteryReads);

  // A limit of 5 mm for X, saved to the file; then new references.
  m.setCell(Ctl::AUTOCHECK_ERROR_LIM, 1, 1, "5");
  m.commit(Ctl::SAVELIMITS);
  EXPECT_NE(readFile(u.dir.file("AutoPosnCheck.ini")).find("Xerror = 5"), std::string::npos);
  u.op.confirmAnswers = {true};
  u.op.twoButtonAnswers = {2};
  m.commit(Ctl::UPDATE_GOLDENS);
  EXPECT_EQ(m.cell(Ctl::GOLDEN_POSN_TABLE, 2, 2).text, "7.25");
  EXPECT_EQ(m.cell(Ctl::CURR_POSN_TABLE, 2, 1).background, colour::White);

  // Armed, the page goes.
  u.st.model.setNumber(Ctl::TPOST, 5000);
  m.commit(Ctl::ARM_BUT);
  ASSERT_TRUE(u.tickUntil(StatusPreTrigger));
  EXPECT_FALSE(m.pageVisible(kAutoCheckPage));

  // A WorldSID unit that is not LX2 never has it.
  Unit older({{"type", "WorldSID"}, {"firmware", "V7.3"}});
  older.st.ini.AutoCheckSwitchedOn = 1;
  ASSERT_TRUE(older.connect());
  EXPECT_FALSE(older.st.model.pageVisible(kAutoCheckPage));
  EXPECT_EQ(older.sent("GETGOLDENPOSNS"), 0);
}
