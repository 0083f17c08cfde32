// The main window's layout: titles, captions and selector entries as the
// operator sees them, table sizes and ranges, the disconnected starting state,
// and the placement list that front ends build the pages from.
#include "ui/layout.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace lumvex;

namespace {

std::vector<std::string> labels(const Model& m, Ctl c) {
  std::vector<std::string> out;
  for (const Item& i : m[c].items) out.push_back(i.label);
  return out;
}

class Layout : public ::testing::Test {
 protected:
  void SetUp() override { LoadMainLayout(m); }
  Model m;
};

}  // namespace

TEST_F(Layout, WindowAndPagesCarryTheirTitlesInOrder) {
  EXPECT_EQ(m.panel(Panel::Main).title, "Lumvex Ver 8.1");
  const char* pages[] = {"Connect/Setup", "Plot",         "Live Display",           "Diagnostics",
                         "Export",        "Trigger Test", "LED Position Auto Check"};
  for (int p = 0; p < kPageCount; ++p) EXPECT_EQ(m.panel(pagePanel(p)).title, pages[p]) << p;
  EXPECT_EQ(m.activePage(), 0);
  EXPECT_EQ(m.index(Ctl::TAB), 0);
}

TEST_F(Layout, OnlyTheConnectPlotAndExportPagesShowWithoutAUnit) {
  std::vector<bool> shown;
  for (int p = 0; p < kPageCount; ++p) shown.push_back(m.pageVisible(p));
  EXPECT_EQ(shown, (std::vector<bool>{true, true, false, false, true, false, false}));
}

TEST_F(Layout, CableDisconnectPromptHasItsExactTextAndButtons) {
  EXPECT_EQ(m.panel(Panel::CableDisconnect).title, "Dummy Cable Disconnect");
  EXPECT_FALSE(m.panel(Panel::CableDisconnect).visible);
  EXPECT_EQ(m.text(Ctl::CABLE_TEXT),
            "If you plan to unplug the Ethernet\n cable  from the Lumvex, \nyou must Disconnect Now");
  EXPECT_EQ(m.label(Ctl::DISC_BUTTON), "DISCONNECT NOW");
  EXPECT_EQ(m.label(Ctl::STAY_CONN_BUTT), "STAY CONNECTED");
}

TEST_F(Layout, FinderAndAdaptorPanelsStartClosedWithTheirPresets) {
  EXPECT_EQ(m.panel(Panel::Finder).title, "Lumvex Finder");
  EXPECT_EQ(m.panel(Panel::Adaptor).title, "Lumvex Finder");
  EXPECT_FALSE(m.panel(Panel::Finder).visible);
  EXPECT_FALSE(m.panel(Panel::Adaptor).visible);
  EXPECT_FALSE(m.panel(Panel::LoaderWait).visible);
  EXPECT_EQ(m.text(Ctl::FINDER_NEWIP), "192.168.0.");
  EXPECT_EQ(m.label(Ctl::FINDER_LIST), "IP Address To Change");
  EXPECT_EQ(m.label(Ctl::FINDER_NEWIP), "New IP Address");
  EXPECT_EQ(m.label(Ctl::FINDER__CHANGEIP), "Change IP");
  EXPECT_EQ(m.label(Ctl::FINDER_OK), "OK");
  EXPECT_EQ(m.label(Ctl::OKBUTTON), "OK");
  EXPECT_EQ(m.text(Ctl::FINDER_HELP),
            "To change a Lumvex IP Address, select it on the list.\n"
            "Fill in the new IP address and click  the \"Change IP\" Button\n"
            "To Exit without changing an IP address click \"OK\"\n"
            "The Lumvex Addresses found will be added to the address list");
  EXPECT_EQ(m.text(Ctl::LOADERWAIT_MSG), "DO NOT TURN OFF THE LUMVEX UNTIL PROCESSING IS COMPLETE");
  EXPECT_EQ(m.panel(Panel::LoaderWait).title, "PLEASE WAIT");
}

TEST_F(Layout, ConnectionSelectorsOfferEthernetSerialAndTwelvePorts) {
  EXPECT_EQ(labels(m, Ctl::CONNECTION), (std::vector<std::string>{"Ethernet", "Serial"}));
  EXPECT_EQ(m.index(Ctl::CONNECTION), 0);
  ASSERT_EQ(m.itemCount(Ctl::COMPORT), 12);
  EXPECT_EQ(m[Ctl::COMPORT].items.front().label, "COM 1");
  EXPECT_EQ(m[Ctl::COMPORT].items.back().label, "COM 12");
  EXPECT_EQ(m.index(Ctl::COMPORT), 0);  // index 0 is COM1
  // The Ethernet controls show for the selected first entry; the port selector does not.
  EXPECT_TRUE(m.visible(Ctl::IPADDRESS));
  EXPECT_TRUE(m.visible(Ctl::IPSELECT));
  EXPECT_TRUE(m.visible(Ctl::LISTEN));
  EXPECT_FALSE(m.visible(Ctl::COMPORT));
  EXPECT_EQ(m.label(Ctl::LISTEN), "Find Lumvexs");
  EXPECT_EQ(m.itemCount(Ctl::IPSELECT), 0);
  EXPECT_EQ(m.itemCount(Ctl::TESTOBJECT), 0);
}

TEST_F(Layout, StartsInTheDisconnectedRowOfTheStatusTable) {
  EXPECT_EQ(m.text(Ctl::STATUSBOX), "Disconnected");
  EXPECT_EQ(m[Ctl::STATUSBOX].textColour, colour::Black);
  EXPECT_EQ(m.label(Ctl::CONNECT), "CONNECT");
  for (Ctl c :
       {Ctl::ARM_BUT, Ctl::ERASE_BUT, Ctl::DOWNLOAD_BUT, Ctl::TRIGGER_BUT, Ctl::LED_TABLE, Ctl::CIRC_LIN_BUT,
        Ctl::POSITION, Ctl::TESTOBJECT, Ctl::LX_DIRECTION, Ctl::GET_CUR_POS, Ctl::TESTINFO, Ctl::TPOST,
        Ctl::DATA_STRT, Ctl::DATA_STOP, Ctl::DL_START_TIME, Ctl::DL_STOP_TIME, Ctl::TRIGGER_SET})
    EXPECT_TRUE(m.dimmed(c)) << controlName(c);
  for (Ctl c : {Ctl::BATT_FUEL, Ctl::BATT_VOLTS, Ctl::CHECK_BATT, Ctl::BATT_SPLITTER, Ctl::SAVE_LED_INFO,
                Ctl::CANCEL_LED_CHANGES, Ctl::REPROCESS_BUTTON})
    EXPECT_FALSE(m.visible(c)) << controlName(c);
  for (Ctl c : {Ctl::LXtype, Ctl::SERNUM, Ctl::FIRMWARE, Ctl::CALDATE}) EXPECT_EQ(m.text(c), "");
  EXPECT_EQ(m.number(Ctl::BATT_FUEL), 0);
  EXPECT_FALSE(m.timerRunning());
  EXPECT_GT(m[Ctl::TIMER].intervalMs, 0);
  EXPECT_EQ(m[Ctl::COPYWRITEBUT].background, colour::Transparent);
  // The operator's buttons that need no unit stay usable.
  for (Ctl c : {Ctl::CONNECT, Ctl::CONNECTION, Ctl::LISTEN, Ctl::FILESELECT}) EXPECT_FALSE(m.dimmed(c));
}

TEST_F(Layout, SetupPageCaptionsAndRanges) {
  EXPECT_EQ(m.label(Ctl::REPROCESS_BUTTON), "Continue Reprocessing");
  EXPECT_EQ(m.label(Ctl::SAVE_LED_INFO), "Save LED Setup to Lumvex");
  EXPECT_EQ(m.label(Ctl::CANCEL_LED_CHANGES), "Cancel Led Setup Changes");
  EXPECT_EQ(m.label(Ctl::GET_CUR_POS), "Show Current XYZ's");
  EXPECT_EQ(m.label(Ctl::ARM_BUT), "ARM");
  EXPECT_EQ(m.label(Ctl::BATT_FUEL), "Charge");
  EXPECT_EQ(m.label(Ctl::BATT_VOLTS), "Volts");
  EXPECT_EQ(m.label(Ctl::CHECK_BATT), "Check Batt");
  EXPECT_EQ(m.label(Ctl::CIRC_LIN_BUT), "Data Buffer Operation");
  EXPECT_EQ(m.label(Ctl::TPOST), "Data to collect after Trigger (ms)");
  EXPECT_EQ(m[Ctl::TPOST].maximum, 29900);
  EXPECT_EQ(m[Ctl::TSTOP].minimum, 10);
  EXPECT_EQ(m[Ctl::TSTOP].maximum, 30000);
  EXPECT_EQ(m.number(Ctl::TSTOP), 30000);
  EXPECT_EQ(m[Ctl::DL_START_TIME].minimum, -30000);
  EXPECT_EQ(m[Ctl::DL_STOP_TIME].maximum, 30000);
  // A circular buffer needs no stop time.
  EXPECT_FALSE(m.visible(Ctl::TSTOP));
  EXPECT_FALSE(m.visible(Ctl::LIN_BUF_LABEL));
  EXPECT_EQ(labels(m, Ctl::TRIGGER_SET), (std::vector<std::string>{"Rising Edge", "Falling Edge"}));
  EXPECT_EQ(m.itemValue(Ctl::TRIGGER_SET), "0");
  EXPECT_EQ(labels(m, Ctl::LX_DIRECTION), (std::vector<std::string>{"Left Side", "Right Side"}));
  EXPECT_EQ(m.itemValue(Ctl::LX_DIRECTION), "LE");
  EXPECT_TRUE(m.selectValue(Ctl::LX_DIRECTION, "RI"));
  // Position entries carry the ISO position digit as their value.
  for (const Item& i : m[Ctl::POSITION].items) {
    ASSERT_EQ(i.value.size(), 1u);
    EXPECT_EQ(i.label.front(), i.value.front());
  }
}

TEST_F(Layout, LedTableHoldsEighteenNumberedRowsAndTheCoordinateColumns) {
  ASSERT_EQ(m.rows(Ctl::LED_TABLE), 18);
  // Column 4 is the ISO cell, columns 5 to 7 the current X, Y, Z.
  EXPECT_EQ(m[Ctl::LED_TABLE].cells[0].size(), 7u);
  EXPECT_EQ(m[Ctl::LED_TABLE].columnTitles.size(), 7u);
  EXPECT_EQ(m.cell(Ctl::LED_TABLE, 1, 1).text, "1");
  EXPECT_EQ(m.cell(Ctl::LED_TABLE, 18, 1).text, "18");
  m.setCell(Ctl::LED_TABLE, 18, 7, "12.5");  // the last coordinate cell exists
  EXPECT_FALSE(m[Ctl::LED_TABLE].indicator);
}

TEST_F(Layout, AutocheckTablesMatchTheirColumns) {
  EXPECT_EQ(m.rows(Ctl::AUTOCHECK_ERROR_LIM), 1);
  EXPECT_EQ(m[Ctl::AUTOCHECK_ERROR_LIM].cells[0].size(), 3u);
  EXPECT_EQ(m.rows(Ctl::GOLDEN_POSN_TABLE), 18);
  EXPECT_EQ(m[Ctl::GOLDEN_POSN_TABLE].cells[0].size(), 4u);  // LED number, then reference X, Y, Z
  EXPECT_EQ(m.label(Ctl::GOLDEN_POSN_TABLE), "ATD Lab Recorded Positions");
  EXPECT_EQ(m.rows(Ctl::CURR_POSN_TABLE), 18);
  EXPECT_EQ(m[Ctl::CURR_POSN_TABLE].cells[0].size(), 3u);
  EXPECT_EQ(m.cell(Ctl::CURR_POSN_TABLE, 1, 1).background, colour::White);
  EXPECT_TRUE(m[Ctl::CURR_POSN_TABLE].indicator);
  EXPECT_EQ(m.label(Ctl::AUTOCK_CURR_POSNS), "Get Current Positions");
  EXPECT_EQ(m.label(Ctl::UPDATE_GOLDENS), "Update Lab Positions in Lumvex with Current Positions");
}

TEST_F(Layout, ExportPageStartsWithNothingToExport) {
  EXPECT_EQ(m.text(Ctl::EXPORT_STATUS), "Nothing to Export");
  EXPECT_TRUE(m.dimmed(Ctl::EXPORT_BUT));
  EXPECT_EQ(labels(m, Ctl::EXPORT_ZEROING),
            (std::vector<std::string>{"Absolute (no zeroing)", "Relative to Pre-T0 Average"}));
  EXPECT_EQ(labels(m, Ctl::EXPORT_FILTER),
            (std::vector<std::string>{"Unfiltered", "(A) Class 1000", "(B) Class 600", "(C) Class 180",
                                      "(D) Class 60"}));
  std::vector<std::string> values;
  for (const Item& i : m[Ctl::EXPORT_FILTER].items) values.push_back(i.value);
  EXPECT_EQ(values, (std::vector<std::string>{"0", "1000", "600", "180", "60"}));
  EXPECT_EQ(m.label(Ctl::EXPORT_FORMAT), "Export File Format");
  EXPECT_EQ(labels(m, Ctl::EXPORT_FORMAT),
            (std::vector<std::string>{"Comma Separated Values - *.CSV", "Diadem - *.DAT, *.R32",
                                      "ISO - *.MME, *.CHN"}));
  EXPECT_EQ(m.text(Ctl::EXPORT_NOTICE1), "Data is already filtered");
  EXPECT_EQ(m.text(Ctl::EXPORT_NOTICE2), "Not Enough pre-T0 Data for Zeroing");
  EXPECT_EQ(m.text(Ctl::EXPORT_NOTICE3), "Data is Already Zeroed");
  for (Ctl c : {Ctl::EXPORT_NOTICE1, Ctl::EXPORT_NOTICE2, Ctl::EXPORT_NOTICE3, Ctl::ISO_NOTICE})
    EXPECT_FALSE(m.visible(c)) << controlName(c);
}

TEST_F(Layout, PlotFilterItemsFollowTheClassOrderThePlotReadsByIndex) {
  // Item 4 is class 1000 ("A"), 3 is 600, 2 is 180, 1 is 60; item 0 draws unfiltered.
  std::vector<std::string> values;
  for (const Item& i : m[Ctl::PLOTFILTER].items) values.push_back(i.value);
  EXPECT_EQ(values, (std::vector<std::string>{"0", "60", "180", "600", "1000"}));
  EXPECT_EQ(m[Ctl::REL_ABS_SWITCH].stateTexts, (std::vector<std::string>{"Absolute", "Relative"}));
  EXPECT_EQ(m.number(Ctl::REL_ABS_SWITCH), 0);
}

TEST_F(Layout, LiveAndDiagnosticsPagesCarryTheirLabels) {
  EXPECT_EQ(m.label(Ctl::DEMO_BUT), "START");
  const GraphState& live = m[Ctl::LIVE_GRAPH].graph;
  EXPECT_FALSE(live.autoScale);
  EXPECT_EQ(live.yMin, 0);
  EXPECT_EQ(live.yMax, 190);
  EXPECT_EQ(live.xMin, -165);
  EXPECT_EQ(live.xMax, 165);
  EXPECT_EQ(m.label(Ctl::CHECKIOBUT), "Check I/O");
  EXPECT_EQ(m.label(Ctl::S6KILL), "SENSOR 6");
  EXPECT_EQ(m.label(Ctl::S3B), "Sensor 3 B");
  EXPECT_EQ(m.label(Ctl::MUX_SW), "INPUT MUX");
  EXPECT_EQ(m.label(Ctl::BatteryOn_SW), "Battery Control");
  EXPECT_EQ(m.label(Ctl::CHARGEON_LED), "Charge On");
  EXPECT_EQ(m.label(Ctl::BAT_RESET), "Set Battery Fuel\nGage to Full");
  EXPECT_EQ(m.label(Ctl::LOADER), "Load Firmware");
  EXPECT_EQ(m.text(Ctl::LOADERMSG), "Please Wait - Processing New  File");
  EXPECT_FALSE(m.visible(Ctl::LOADERMSG));
  EXPECT_EQ(m.itemCount(Ctl::LEDSEL), 18);
  EXPECT_EQ(m.label(Ctl::TRIGGER_CHECK), "Start Trigger Check");
  EXPECT_EQ(m.label(Ctl::TRIG_ARMED), "Trigger Armed");
  EXPECT_EQ(m.label(Ctl::TRIG_LED), "Trigger Received");
  EXPECT_TRUE(m[Ctl::S1A].indicator);
  EXPECT_EQ(m[Ctl::BATT_VOLTS].precision, 2);
}

TEST_F(Layout, LoadingTwiceGivesTheSameModel) {
  m.setText(Ctl::STATUSBOX, "Connected - Idle");
  m.setPageVisible(3, true);
  m.setPanelVisible(Panel::CableDisconnect, true);
  m.setActivePage(4);
  LoadMainLayout(m);
  EXPECT_EQ(m.text(Ctl::STATUSBOX), "Disconnected");
  EXPECT_FALSE(m.pageVisible(3));
  EXPECT_FALSE(m.panel(Panel::CableDisconnect).visible);
  EXPECT_EQ(m.activePage(), 0);
  EXPECT_EQ(m.rows(Ctl::LED_TABLE), 18);
}

TEST(LayoutGroups, PlaceEveryControlOnceOnItsOwnPanel) {
  std::map<Ctl, int> seen;
  for (const LayoutGroup& g : MainLayoutGroups()) {
    EXPECT_GE(g.column, 0);
    EXPECT_FALSE(g.controls.empty());
    for (Ctl c : g.controls) {
      ++seen[c];
      EXPECT_EQ(controlPanel(c), g.panel) << controlName(c);
    }
  }
  for (int i = 0; i < kControlCount; ++i) {
    Ctl c = static_cast<Ctl>(i);
    int expected = (c == Ctl::TAB || c == Ctl::TIMER) ? 0 : 1;
    EXPECT_EQ(seen[c], expected) << controlName(c);
  }
}
