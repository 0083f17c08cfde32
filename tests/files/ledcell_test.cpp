// The LED table's ISO cells: the composed text for each family and side, the
// test-object and position selectors rewriting every row, and the prompt that
// adds a test object to the selector and to "isotestobject.txt".
#include "files/ledcell.h"

#include "support/testing.h"
#include "support/unit_fixture.h"
#include "ui/screens.h"
#include "ui/setup_page.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace lumvex;
using lumvex::testing::TestStation;

namespace {

struct Cells : TestStation {
  void setup(const std::string& type) {
    st.model.setText(Ctl::LXtype, type);
    ASSERT_EQ(SetupScreens(st, 0), 0);
  }
  std::string iso(int row) const { return st.model.cell(Ctl::LED_TABLE, row, ledtable::Iso).text; }
};

}  // namespace

TEST(LedIsoCell, PolarRowGivesTheDocumentedCellAndEveryCellHas25Characters) {
  Cells c;
  c.setup("Polar");
  c.st.model.setIndex(Ctl::TESTOBJECT, 0);  // "1"
  c.st.model.setIndex(Ctl::POSITION, 0);    // "0"
  ComposeLedIsoCell(c.st, 1);
  EXPECT_EQ(c.iso(1), "1 0 RIBS 04 OU PE DS X/Y ");
  for (int r = 1; r <= 6; ++r) EXPECT_EQ(c.iso(r).size(), 25u);
}

TEST(LedIsoCell, WorldSidUsesTheFragmentsOfTheCurrentSide) {
  Cells c;
  c.setup("WorldSID");
  c.st.session.DirectionText = "Right Side";
  ComposeLedIsoCell(c.st, 17);
  EXPECT_EQ(c.iso(17), "1 1 WR17 06 MI WS DS XYZ ");
  c.st.session.DirectionText = "Left Side";
  ComposeLedIsoCell(c.st, 17);
  EXPECT_EQ(c.iso(17), "1 1 WL17 06 MI WS DS XYZ ");
}

TEST(LedIsoCell, ShortFragmentLeavesBlanksInsteadOfEndingTheCell) {
  Cells c;
  lumvex::testing::putSlot(c.st.ini.HybridIIIIsoNames[0], "STRN");
  c.setup("Hybrid III 50th");
  EXPECT_EQ(c.iso(1), "1 1 STRN       H3 DS X/Y ");
}

TEST(LedIsoCell, SidIIsRibOutsideOneToSixLeavesLocationBlank) {
  Cells c;
  c.setup("SIDIIs");
  c.st.model.setCell(Ctl::LED_TABLE, 2, ledtable::Rib, "7");
  ComposeLedIsoCell(c.st, 2);
  EXPECT_EQ(c.iso(2), "1 1         MI S2 DS XYZ ");
}

TEST(TestObjectAndPosition, CommitRewritesOnlyTheirCharacterInEveryRow) {
  Cells c;
  c.setup("Ballistic");
  c.st.model.setIndex(Ctl::TESTOBJECT, 1);
  TESTOBJECT(c.st, {EventKind::Commit});
  c.st.model.setIndex(Ctl::POSITION, 7);
  POSITION(c.st, {EventKind::Commit});
  for (int r = 1; r <= 3; ++r) EXPECT_EQ(c.iso(r).substr(0, 4), "2 7 ") << r;
  EXPECT_EQ(c.iso(3), "2 7 RIBS 03 MI BA DS XYZ ");
  // A right-click on the position selector does nothing.
  c.st.model.setIndex(Ctl::POSITION, 3);
  POSITION(c.st, {EventKind::RightClick});
  EXPECT_EQ(c.iso(1)[2], '7');
}

TEST(TestObjectPrompt, AddsTheEntryAppendsTheFileAndRewritesTheCells) {
  Cells c;
  lumvex::testing::TempDir dir;
  c.st.workDir = dir.path();
  lumvex::testing::writeFile(dir.file("isotestobject.txt"), "1 - Vehicle 1\r\n");
  c.setup("SIDIIs");
  c.op.promptAnswers.push_back(std::string("3 - Vehicle 3"));
  TESTOBJECT(c.st, {EventKind::RightClick});
  ASSERT_EQ(c.op.transcript.size(), 1u);
  EXPECT_EQ(c.op.transcript[0].title, "ADD ISO TEST OBJECT");
  EXPECT_EQ(c.op.transcript[0].text, "Enter a new test object in the form:\n 1 - Vehicle 1");
  ASSERT_EQ(c.st.model.itemCount(Ctl::TESTOBJECT), 4);
  EXPECT_EQ(c.st.model.itemLabel(Ctl::TESTOBJECT), "3 - Vehicle 3");
  EXPECT_EQ(c.st.model.itemValue(Ctl::TESTOBJECT), "3");
  EXPECT_EQ(lumvex::testing::readFile(dir.file("isotestobject.txt")), "1 - Vehicle 1\r\n\n3 - Vehicle 3");
  EXPECT_EQ(c.iso(6)[0], '3');
}

TEST(TestObjectPrompt, ShortOrCancelledAnswerChangesNothing) {
  Cells c;
  lumvex::testing::TempDir dir;
  c.st.workDir = dir.path();
  c.setup("SIDIIs");
  c.op.promptAnswers.push_back(std::string("12"));
  c.op.promptAnswers.push_back(std::nullopt);
  TESTOBJECT(c.st, {EventKind::RightClick});
  TESTOBJECT(c.st, {EventKind::RightClick});
  EXPECT_EQ(c.st.model.itemCount(Ctl::TESTOBJECT), 3);
  EXPECT_EQ(c.st.model.index(Ctl::TESTOBJECT), 0);
  EXPECT_EQ(c.iso(1)[0], '1');
  EXPECT_FALSE(std::ifstream(dir.file("isotestobject.txt")).good());
}

TEST(TestObjectPrompt, FileIsCreatedWhenMissing) {
  Cells c;
  lumvex::testing::TempDir dir;
  c.st.workDir = dir.path();
  c.setup("Polar");
  c.op.promptAnswers.push_back(std::string("V - Vehicle V"));
  TESTOBJECT(c.st, {EventKind::RightClick});
  EXPECT_EQ(lumvex::testing::readFile(dir.file("isotestobject.txt")), "\nV - Vehicle V");
}
