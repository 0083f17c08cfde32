// Start-up and exit through the bound callbacks: the configuration gate, the
// address list's duplicate and last-word rules, the test-object line rules,
// the page-0 controls that need no unit, the page-change flags and the exit,
// which rewrites "reinit.txt" even when no unit is connected.
#include "ui/main_window.h"
#include "support/scripted_operator.h"

#include "ui/callbacks.h"
#include "core/config.h"
#include "support/testing.h"
#include "ui/layout.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace lumvex;
using lumvex::testing::readFile;
using lumvex::testing::sourcePath;
using lumvex::testing::TempDir;
using lumvex::testing::writeFile;

namespace {

struct Startup : ::testing::Test {
  TempDir dir;
  ScriptedOperator op;
  Station st{op};
  void SetUp() override {
    st.workDir = dir.path();
    BindCallbacks(st);
    writeFile(dir.file(kConfigFileName), readFile(sourcePath("config/Lumvex_8_0.ini")));
  }
  std::vector<std::string> labels(Ctl c) const {
    std::vector<std::string> out;
    for (const Item& i : st.model[c].items) out.push_back(i.label);
    return out;
  }
  std::vector<std::string> values(Ctl c) const {
    std::vector<std::string> out;
    for (const Item& i : st.model[c].items) out.push_back(i.value);
    return out;
  }
};

}  // namespace

TEST_F(Startup, ShippedFilesStartSilentlyAndSetThePageZeroValues) {
  writeFile(dir.file(kTestObjectFileName), readFile(sourcePath("config/isotestobject.txt")));
  st.conversionStart[8][5] = 3.5;
  LoadMainLayout(st.model);  // the window's ranges hold the shipped values
  ASSERT_EQ(StartStation(st), 0);
  EXPECT_TRUE(op.transcript.empty());
  EXPECT_EQ(st.model.intValue(Ctl::CIRC_LIN_BUT), 0);
  EXPECT_EQ(st.model.intValue(Ctl::TPOST), 1000);
  EXPECT_EQ(st.model.intValue(Ctl::DL_START_TIME), -50);
  EXPECT_EQ(st.model.intValue(Ctl::DL_STOP_TIME), 250);
  EXPECT_EQ(st.conversionStart[8][5], 0.0);
  ASSERT_GE(st.model.itemCount(Ctl::TESTOBJECT), 3);
  EXPECT_EQ(st.model[Ctl::TESTOBJECT].items[2].label, "D- Dummy");  // the Polar default
  EXPECT_EQ(st.model[Ctl::TESTOBJECT].items[2].value, "D");
}

TEST_F(Startup, BrokenOrMissingConfigurationEndsBeforeTheLists) {
  writeFile(dir.file(kAddressFileName), "10.0.0.9\r\n");
  writeFile(dir.file(kConfigFileName), "[Battery_Fuel_Gauge]\nFuel_Gauge_Installed =\n");
  EXPECT_NE(StartStation(st), 0);
  ASSERT_EQ(op.transcript.size(), 1u);
  EXPECT_EQ(op.transcript[0].title, "Error Reading Initialization File");
  EXPECT_NE(
      op.transcript[0].text.find("Error in section = Battery_Fuel_Gauge, variable = Fuel_Gauge_Installed"),
      std::string::npos);
  EXPECT_EQ(st.model.itemCount(Ctl::IPSELECT), 0);

  op.clear();
  std::filesystem::remove(dir.file(kConfigFileName));
  EXPECT_NE(StartStation(st), 0);
  EXPECT_TRUE(
      op.showed("Error Reading Initialization File",
                "Error reading initialization file,\r Check Lumvex_8_0.ini in Lumvex program directory \r "
                "Aborting"));
  EXPECT_EQ(st.model.text(Ctl::IPADDRESS), "");
}

TEST_F(Startup, AddressListHasNoDuplicatesAndTheLastWordIsCurrent) {
  st.model.appendItem(Ctl::IPSELECT, "192.168.1.50", "192.168.1.50");  // laid out already
  writeFile(dir.file(kAddressFileName), "192.168.1.50\r\n10.0.0.7 10.0.0.8\r\n\t10.0.0.7\r\n10.0.0.8\r\n");
  ASSERT_EQ(StartStation(st), 0);
  EXPECT_EQ(labels(Ctl::IPSELECT), (std::vector<std::string>{"192.168.1.50", "10.0.0.7", "10.0.0.8"}));
  EXPECT_EQ(values(Ctl::IPSELECT), labels(Ctl::IPSELECT));
  EXPECT_EQ(st.model.text(Ctl::IPADDRESS), "10.0.0.8");  // a duplicate, yet the current address
}

TEST_F(Startup, EmptyOrMissingListsLeaveTheLayout) {
  st.model.setText(Ctl::IPADDRESS, "10.1.1.1");
  st.model.appendItem(Ctl::TESTOBJECT, "stale", "s");
  writeFile(dir.file(kAddressFileName), " \r\n");
  ASSERT_EQ(StartStation(st), 0);
  EXPECT_EQ(st.model.text(Ctl::IPADDRESS), "10.1.1.1");
  EXPECT_EQ(st.model.itemCount(Ctl::IPSELECT), 0);
  EXPECT_EQ(st.model.itemCount(Ctl::TESTOBJECT), 0);  // emptied even without a file
}

TEST_F(Startup, TestObjectLinesFollowTheLengthRules) {
  std::string longLine = "7- " + std::string(60, 'x') + "Z- tail";
  writeFile(dir.file(kTestObjectFileName), "1- Vehicle 1\r\nab\r\n\r\nB- Barrier\n" + longLine + "\n2- V2");
  ASSERT_EQ(StartStation(st), 0);
  EXPECT_EQ(labels(Ctl::TESTOBJECT),
            (std::vector<std::string>{"1- Vehicle 1", "B- Barrier", longLine.substr(0, 49), "2- V2"}));
  EXPECT_EQ(values(Ctl::TESTOBJECT), (std::vector<std::string>{"1", "B", "7", "2"}));
}

TEST_F(Startup, ConnectionTypeShowsTheControlsOfItsLink) {
  st.model.setItems(Ctl::CONNECTION, {{"Ethernet", "0"}, {"Serial", "1"}, {"Ethernet 1066", "2"}});
  auto shown = [&] {
    return std::vector<bool>{st.model.visible(Ctl::IPADDRESS), st.model.visible(Ctl::IPSELECT),
                             st.model.visible(Ctl::LISTEN), st.model.visible(Ctl::COMPORT)};
  };
  st.model.setIndex(Ctl::CONNECTION, 1);
  st.model.commit(Ctl::CONNECTION);
  EXPECT_EQ(shown(), (std::vector<bool>{false, false, false, true}));
  st.model.setIndex(Ctl::CONNECTION, 2);
  st.model.commit(Ctl::CONNECTION);
  EXPECT_EQ(shown(), (std::vector<bool>{true, true, false, false}));
  st.model.setIndex(Ctl::CONNECTION, 1);
  st.model.commit(Ctl::CONNECTION, {EventKind::RightClick});  // ignored
  EXPECT_EQ(shown(), (std::vector<bool>{true, true, false, false}));
  st.model.setIndex(Ctl::CONNECTION, 0);
  st.model.commit(Ctl::CONNECTION);
  EXPECT_EQ(shown(), (std::vector<bool>{true, true, true, false}));
}

TEST_F(Startup, AddressChoiceAndSmallButtons) {
  st.model.setItems(Ctl::IPSELECT, {{"10.0.0.7", "10.0.0.7"}, {"10.0.0.8", "10.0.0.8"}});
  st.model.setIndex(Ctl::IPSELECT, 1);
  st.model.commit(Ctl::IPSELECT);
  EXPECT_EQ(st.model.text(Ctl::IPADDRESS), "10.0.0.8");

  st.model.setPageVisible(3, false);
  st.model.setLabel(Ctl::CONNECT, "CONNECT");
  st.model.commit(Ctl::COPYWRITEBUT);
  EXPECT_FALSE(st.model.pageVisible(3));
  st.model.setLabel(Ctl::CONNECT, "DISCONNECT");
  st.model.commit(Ctl::COPYWRITEBUT);
  EXPECT_TRUE(st.model.pageVisible(3));

  st.model.commit(Ctl::REPROCESS_BUTTON);
  EXPECT_EQ(st.session.ReprocessRequested, 1);
}

TEST_F(Startup, FocusWhileDisconnectedHidesTheUnitPages) {
  st.session.CurrentDataPath = "/data/test.csv";
  st.model.setBackground(Ctl::DATA_STRT, colour::Red);
  st.model.setLabel(Ctl::CONNECT, "DISCONNECT");
  st.model.panelEvent(Panel::Main, {EventKind::GotFocus});
  EXPECT_TRUE(st.model.pageVisible(2));  // connected: nothing changes
  EXPECT_EQ(st.session.CurrentDataPath, "/data/test.csv");

  st.model.setLabel(Ctl::CONNECT, "CONNECT");
  st.model.panelEvent(Panel::Main, {EventKind::GotFocus});
  for (int page : {2, 3, 5, 6}) EXPECT_FALSE(st.model.pageVisible(page)) << page;
  for (int page : {0, 1, 4}) EXPECT_TRUE(st.model.pageVisible(page)) << page;
  EXPECT_EQ(st.model[Ctl::COPYWRITEBUT].background, colour::Transparent);
  EXPECT_EQ(st.model[Ctl::DATA_STRT].background, colour::White);
  EXPECT_EQ(st.session.CurrentDataPath, "");
}

TEST_F(Startup, PageChangeSetsTheFlagOfItsLoopAndClearsTheOthers) {
  // Each loop lets events run once a pass; with no unit each ends after one.
  std::vector<std::string> seen;
  int calls = 0;
  op.onEvents = [&] {
    ++calls;
    if (calls == 1) {
      seen.push_back("demo " + std::to_string(st.session.demoRunning) + " " + st.model.label(Ctl::DEMO_BUT));
      // The operator moves to the Diagnostics page while the live display runs.
      st.model.commit(Ctl::TAB, {EventKind::TabChanged, 3});
      seen.push_back("demo flag after " + std::to_string(st.session.demoRunning));
    } else if (calls == 2) {
      seen.push_back("io " + std::to_string(st.session.ioCheckRunning) + " " +
                     st.model.label(Ctl::CHECKIOBUT));
    }
  };
  st.model.commit(Ctl::TAB, {EventKind::TabChanged, 2});
  EXPECT_EQ(seen, (std::vector<std::string>{"demo 1 STOP", "io 1 Stop", "demo flag after 0"}));
  EXPECT_EQ(st.model.label(Ctl::DEMO_BUT), "START");

  op.onEvents = nullptr;
  st.session.triggerTestRunning = 1;
  st.model.commit(Ctl::TAB, {EventKind::TabChanged, 1});
  EXPECT_EQ(st.session.triggerTestRunning + st.session.ioCheckRunning + st.session.demoRunning, 0);
  EXPECT_EQ(st.model.label(Ctl::CHECKIOBUT), "Check I/O");
}

TEST_F(Startup, ClosingWhileDisconnectedRewritesTheAddressList) {
  st.model.setItems(Ctl::IPSELECT, {{"10.0.0.7", "10.0.0.7"}, {"192.168.1.50", "192.168.1.50"}});
  st.model.setText(Ctl::IPADDRESS, "10.0.0.99");
  st.session.demoRunning = st.session.ioCheckRunning = st.session.triggerTestRunning = 1;
  st.model.panelEvent(Panel::Main, {EventKind::Close});
  EXPECT_EQ(readFile(dir.file(kAddressFileName)), "10.0.0.7\r\n192.168.1.50\r\n10.0.0.99\r\n");
  EXPECT_TRUE(st.quitRequested);
  EXPECT_EQ(st.session.triggerTestRunning + st.session.ioCheckRunning + st.session.demoRunning, 0);

  // The file written at exit is the one the next start reads.
  ScriptedOperator op2;
  Station next{op2};
  next.workDir = dir.path();
  ASSERT_EQ(StartStation(next), 0);
  EXPECT_EQ(next.model.itemCount(Ctl::IPSELECT), 3);
  EXPECT_EQ(next.model.text(Ctl::IPADDRESS), "10.0.0.99");
}
