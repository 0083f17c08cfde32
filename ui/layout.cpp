#include "ui/layout.h"

#include <initializer_list>
#include <string>

namespace lumvex {
namespace {

constexpr int kMaxLeds = 18;

void field(Model& m, Ctl c, std::string_view label, std::string_view text = {}, bool indicator = false) {
  Control& k = m.edit(c);
  k.label.assign(label);
  k.text.assign(text);
  k.indicator = indicator;
  m.changed(c);
}

void display(Model& m, Ctl c, std::string_view label, std::string_view text = {}) {
  field(m, c, label, text, true);
}

void numeric(Model& m, Ctl c, std::string_view label, double minimum, double maximum, double value,
             int precision = 0, bool indicator = false) {
  Control& k = m.edit(c);
  k.label.assign(label);
  k.minimum = minimum;
  k.maximum = maximum;
  k.number = value;
  k.precision = precision;
  k.indicator = indicator;
  m.changed(c);
}

void ring(Model& m, Ctl c, std::string_view label, std::vector<Item> items, int index = 0) {
  m.setLabel(c, label);
  m.setItems(c, std::move(items), index);
}

void toggle(Model& m, Ctl c, std::string_view label, std::string_view off = {}, std::string_view on = {}) {
  Control& k = m.edit(c);
  k.label.assign(label);
  k.stateTexts.clear();
  if (!off.empty() || !on.empty()) k.stateTexts = {std::string(off), std::string(on)};
  k.number = 0;
  m.changed(c);
}

void lamp(Model& m, Ctl c, std::string_view label) {
  m.setLabel(c, label);
  m.setNumber(c, 0);
}

void table(Model& m, Ctl c, std::string_view label, int rows, std::vector<std::string> titles,
           bool indicator) {
  Control& k = m.edit(c);
  k.label.assign(label);
  k.columnTitles = std::move(titles);
  k.indicator = indicator;
  m.setTableSize(c, rows, static_cast<int>(k.columnTitles.size()));
}

// Column 1 of the LED tables numbers the LEDs.
void numberRows(Model& m, Ctl c) {
  for (int r = 1; r <= m.rows(c); ++r) m.setCell(c, r, 1, std::to_string(r));
}

void hide(Model& m, std::initializer_list<Ctl> cs) {
  for (Ctl c : cs) m.setVisible(c, false);
}

void dim(Model& m, std::initializer_list<Ctl> cs) {
  for (Ctl c : cs) m.setDimmed(c, true);
}

std::vector<Item> numbered(std::string_view prefix, int first, int last) {
  std::vector<Item> items;
  for (int i = first; i <= last; ++i)
    items.push_back({std::string(prefix) + std::to_string(i), std::to_string(i)});
  return items;
}

void layoutTitles(Model& m) {
  for (int p = 0; p < static_cast<int>(Panel::Count); ++p)
    m.setPanelTitle(static_cast<Panel>(p), panelTitle(static_cast<Panel>(p)));
  Control& timer = m.edit(Ctl::TIMER);
  timer.intervalMs = kStatusTimerMs;
  timer.enabled = false;
  m.changed(Ctl::TIMER);
}

void layoutSession(Model& m) {
  ring(m, Ctl::CONNECTION, "Connection Type", {{"Ethernet", "0"}, {"Serial", "1"}});
  ring(m, Ctl::COMPORT, "Serial Port", numbered("COM ", 1, 12));
  field(m, Ctl::IPADDRESS, "Lumvex IP Address");
  m.setLabel(Ctl::IPSELECT, "Remembered Addresses");
  m.clearItems(Ctl::IPSELECT);
  m.setLabel(Ctl::LISTEN, "Find Lumvexs");
  m.setLabel(Ctl::CONNECT, "CONNECT");
  display(m, Ctl::STATUSBOX, "Status", "Disconnected");
  m.setLabel(Ctl::COPYWRITEBUT, "Lumvex Ver 8.1  (c) Lumvex");
  // Ethernet is the first connection type: its controls show, the port selector does not.
  hide(m, {Ctl::COMPORT});
}

void layoutIdentity(Model& m) {
  display(m, Ctl::LXtype, "Lumvex Type");
  display(m, Ctl::SERNUM, "Serial Number");
  display(m, Ctl::FIRMWARE, "Firmware");
  display(m, Ctl::CALDATE, "Calibration Date");
  field(m, Ctl::TESTINFO, "ATD / Test Information");
  ring(m, Ctl::TRIGGER_SET, "Trigger", {{"Rising Edge", "0"}, {"Falling Edge", "1"}});
  ring(m, Ctl::LX_DIRECTION, "Lumvex Facing Toward Dummy", {{"Left Side", "LE"}, {"Right Side", "RI"}});
}

void layoutLedTable(Model& m) {
  table(m, Ctl::LED_TABLE, "", kMaxLeds, {"LED", "Rib", "Position", "ISO Code", "X (mm)", "Y (mm)", "Z (mm)"},
        false);
  numberRows(m, Ctl::LED_TABLE);
  m.setLabel(Ctl::TESTOBJECT, "ISO Test Object");
  m.clearItems(Ctl::TESTOBJECT);
  ring(m, Ctl::POSITION, "ISO Position",
       {{"0 - Not Applicable", "0"},
        {"1 - Driver / Left Front", "1"},
        {"2 - Centre Front", "2"},
        {"3 - Right Front", "3"},
        {"4 - Left Rear", "4"},
        {"5 - Centre Rear", "5"},
        {"6 - Right Rear", "6"},
        {"7 - Left Third Row", "7"},
        {"8 - Centre Third Row", "8"},
        {"9 - Right Third Row", "9"}},
       1);
  m.setLabel(Ctl::GET_CUR_POS, "Show Current XYZ's");
  m.setLabel(Ctl::SAVE_LED_INFO, "Save LED Setup to Lumvex");
  m.setLabel(Ctl::CANCEL_LED_CHANGES, "Cancel Led Setup Changes");
  m.setLabel(Ctl::REPROCESS_BUTTON, "Continue Reprocessing");
  hide(m, {Ctl::SAVE_LED_INFO, Ctl::CANCEL_LED_CHANGES, Ctl::REPROCESS_BUTTON});
}

void layoutRecording(Model& m) {
  m.setLabel(Ctl::ARM_BUT, "ARM");
  m.setLabel(Ctl::TRIGGER_BUT, "TRIGGER");
  m.setLabel(Ctl::ERASE_BUT, "ERASE");
  toggle(m, Ctl::CIRC_LIN_BUT, "Data Buffer Operation", "Circular", "Linear");
  // Limits of every type but WorldSID until a unit sets its own.
  numeric(m, Ctl::TPOST, "Data to collect after Trigger (ms)", 0, 29900, 0);
  numeric(m, Ctl::TSTOP, "", 10, 30000, 30000);
  m.setText(Ctl::LIN_BUF_LABEL, "Linear Buffer Stop Time (ms)");
  // Circular is the resting buffer mode: the linear stop time shows only for a linear buffer.
  hide(m, {Ctl::TSTOP, Ctl::LIN_BUF_LABEL});
}

void layoutDownload(Model& m) {
  numeric(m, Ctl::DATA_STRT, "Data in Lumvex Start (ms)", -1e9, 1e9, 0, 0, true);
  numeric(m, Ctl::DATA_STOP, "Data in Lumvex Stop (ms)", -1e9, 1e9, 0, 0, true);
  numeric(m, Ctl::DL_START_TIME, "Start Time", -30000, 30000, 0);
  numeric(m, Ctl::DL_STOP_TIME, "Stop Time", -30000, 30000, 0);
  m.setLabel(Ctl::DOWNLOAD_BUT, "DOWNLOAD");
}

void layoutBattery(Model& m) {
  numeric(m, Ctl::BATT_FUEL, "Charge", 0, 100, 0, 0, true);
  numeric(m, Ctl::BATT_VOLTS, "Volts", 0, 100, 0, 2, true);
  m.setLabel(Ctl::CHECK_BATT, "Check Batt");
}

void layoutPlot(Model& m) {
  Control& g = m.edit(Ctl::PLOT_GRAPH);
  g.graph = {};
  g.graph.xName = "Time (ms)";
  m.changed(Ctl::PLOT_GRAPH);
  display(m, Ctl::PLOT_SOURCE, "Data Source");
  m.setLabel(Ctl::PLOTDATA, "Plot Selection");
  m.clearItems(Ctl::PLOTDATA);
  ring(m, Ctl::PLOTFILTER, "Filter Class",
       {{"No Filter", "0"}, {"CFC 60", "60"}, {"CFC 180", "180"}, {"CFC 600", "600"}, {"CFC 1000", "1000"}});
  toggle(m, Ctl::REL_ABS_SWITCH, "Plot Values", "Absolute", "Relative");
  m.setLabel(Ctl::PLOTHELP, "Help");
  m.setLabel(Ctl::FILESELECT, "Read Data File");
}

void layoutLive(Model& m) {
  Control& g = m.edit(Ctl::LIVE_GRAPH);
  g.graph = {};
  g.graph.yName = "Y-axis (mm)";
  g.graph.xName = "X (mm)";
  g.graph.autoScale = false;
  g.graph.yMin = 0;
  g.graph.yMax = 190;
  g.graph.xMin = -165;
  g.graph.xMax = 165;
  m.changed(Ctl::LIVE_GRAPH);
  m.setLabel(Ctl::DEMO_BUT, "START");
  toggle(m, Ctl::DEMO_DIR_SW, "Impact Side", "Left", "Right");
  toggle(m, Ctl::COORD_SYS_SW, "View", "Dummy", "Lumvex");
  m.setLabel(Ctl::DEMOHELP, "Help");
}

void layoutDiagnostics(Model& m) {
  m.setLabel(Ctl::CHECKIOBUT, "Check I/O");
  const Ctl kills[] = {Ctl::S1KILL, Ctl::S2KILL, Ctl::S3KILL, Ctl::S4KILL, Ctl::S5KILL, Ctl::S6KILL};
  for (int i = 0; i < 6; ++i) toggle(m, kills[i], "SENSOR " + std::to_string(i + 1));
  toggle(m, Ctl::MUX_SW, "INPUT MUX");
  toggle(m, Ctl::TRIGGEROUT_SW, "Trigger Out");
  toggle(m, Ctl::ARMOUT_SW, "Arm Out");
  toggle(m, Ctl::OTHEROUT_SW, "Other Out");
  toggle(m, Ctl::BatteryOn_SW, "Battery Control");
  toggle(m, Ctl::REDBLUE, "RED/BLUE");
  lamp(m, Ctl::TRIGIN_LED, "Trigger In");
  lamp(m, Ctl::ARMIN_LED, "Arm In");
  lamp(m, Ctl::OTHERIN_LED, "Other In");
  lamp(m, Ctl::CHARGEON_LED, "Charge On");
  const Ctl readings[] = {Ctl::S1A, Ctl::S1B, Ctl::S2A, Ctl::S2B, Ctl::S3A, Ctl::S3B,
                          Ctl::S4A, Ctl::S4B, Ctl::S5A, Ctl::S5B, Ctl::S6A, Ctl::S6B};
  for (int i = 0; i < 12; ++i) {
    std::string label = "Sensor " + std::to_string(i / 2 + 1) + (i % 2 ? " B" : " A");
    numeric(m, readings[i], label, -1e9, 1e9, 0, 0, true);
  }
  ring(m, Ctl::LEDSEL, "LED", numbered("LED ", 1, kMaxLeds));
  numeric(m, Ctl::LEDDRIVE, "LED Drive", 0, 100, 10);
  display(m, Ctl::TEMPERATURE, "Temperature");
  m.setLabel(Ctl::RAMTEST, "Ram Test");
  m.setLabel(Ctl::FLASHTEST, "Flash Test");
  m.setLabel(Ctl::SDCARDTEST, "SD Card Test");
  toggle(m, Ctl::NORFLASH, "Use NOR Flash");
  toggle(m, Ctl::DISABLE_SD, "Disable SD Card (use NOR Flash)");
  m.setLabel(Ctl::BAT_RESET, "Set Battery Fuel\nGage to Full");
  m.setLabel(Ctl::RAWDOWNLOAD, "Raw Download");
  m.setLabel(Ctl::LOADER, "Load Firmware");
  m.setText(Ctl::LOADERMSG, "Please Wait - Processing New  File");
  // The controls that only some unit families have stay hidden until the
  // screens are set up for a unit; NORFLASH is the operation behind DISABLE_SD.
  hide(m, {Ctl::S2KILL,       Ctl::S3A,         Ctl::S3B,       Ctl::S4KILL,       Ctl::S4A,
           Ctl::S4B,          Ctl::S5KILL,      Ctl::S5A,       Ctl::S5B,          Ctl::S6KILL,
           Ctl::S6A,          Ctl::S6B,         Ctl::REDBLUE,   Ctl::BatteryOn_SW, Ctl::ARMOUT_SW,
           Ctl::CHARGEON_LED, Ctl::TEMPERATURE, Ctl::BAT_RESET, Ctl::DISABLE_SD,   Ctl::SDCARDTEST,
           Ctl::RAWDOWNLOAD,  Ctl::NORFLASH,    Ctl::LOADERMSG});
}

void layoutExport(Model& m) {
  display(m, Ctl::EXPORT_STATUS, "Data in Memory", "Nothing to Export");
  m.setLabel(Ctl::EXPORT_BUT, "EXPORT");
  ring(m, Ctl::EXPORT_ZEROING, "Zeroing",
       {{"Absolute (no zeroing)", "0"}, {"Relative to Pre-T0 Average", "1"}});
  ring(m, Ctl::EXPORT_FILTER, "Filter",
       {{"Unfiltered", "0"},
        {"(A) Class 1000", "1000"},
        {"(B) Class 600", "600"},
        {"(C) Class 180", "180"},
        {"(D) Class 60", "60"}});
  ring(
      m, Ctl::EXPORT_FORMAT, "Export File Format",
      {{"Comma Separated Values - *.CSV", "0"}, {"Diadem - *.DAT, *.R32", "1"}, {"ISO - *.MME, *.CHN", "2"}});
  m.setText(Ctl::EXPORT_NOTICE1, "Data is already filtered");
  m.setText(Ctl::EXPORT_NOTICE2, "Not Enough pre-T0 Data for Zeroing");
  m.setText(Ctl::EXPORT_NOTICE3, "Data is Already Zeroed");
  m.setText(Ctl::ISO_NOTICE,
            "When you select an ISO file in the form:  \\PATH\\mydata.MME\n"
            "the program will create the folders and files shown below\n"
            "\n"
            "PATH/\n"
            "  mydata/\n"
            "    mydata.MME\n"
            "    CHANNEL/\n"
            "      mydata.CHN\n"
            "      mydata.001\n"
            "      mydata.002\n"
            "      ...");
  hide(m, {Ctl::EXPORT_NOTICE1, Ctl::EXPORT_NOTICE2, Ctl::EXPORT_NOTICE3, Ctl::ISO_NOTICE});
  dim(m, {Ctl::EXPORT_BUT});
}

void layoutTriggerTest(Model& m) {
  m.setLabel(Ctl::TRIGGER_CHECK, "Start Trigger Check");
  lamp(m, Ctl::TRIG_ARMED, "Trigger Armed");
  lamp(m, Ctl::TRIG_LED, "Trigger Received");
}

void layoutAutoCheck(Model& m) {
  table(m, Ctl::AUTOCHECK_ERROR_LIM, "Error Limits (mm)", 1, {"X", "Y", "Z"}, false);
  table(m, Ctl::GOLDEN_POSN_TABLE, "ATD Lab Recorded Positions", kMaxLeds, {"LED", "X", "Y", "Z"}, true);
  numberRows(m, Ctl::GOLDEN_POSN_TABLE);
  table(m, Ctl::CURR_POSN_TABLE, "Current Positions", kMaxLeds, {"X", "Y", "Z"}, true);
  m.setLabel(Ctl::SAVELIMITS, "Save Limits");
  m.setLabel(Ctl::AUTOCK_CURR_POSNS, "Get Current Positions");
  m.setLabel(Ctl::UPDATE_GOLDENS, "Update Lab Positions in Lumvex with Current Positions");
}

void layoutPopups(Model& m) {
  m.setText(Ctl::CABLE_TEXT,
            "If you plan to unplug the Ethernet\n cable  from the Lumvex, \nyou must Disconnect Now");
  m.setLabel(Ctl::DISC_BUTTON, "DISCONNECT NOW");
  m.setLabel(Ctl::STAY_CONN_BUTT, "STAY CONNECTED");

  m.setText(Ctl::FINDER_MSG, "");
  m.setLabel(Ctl::FINDER_LIST, "IP Address To Change");
  m.clearItems(Ctl::FINDER_LIST);
  field(m, Ctl::FINDER_NEWIP, "New IP Address", "192.168.0.");
  m.setLabel(Ctl::FINDER__CHANGEIP, "Change IP");
  m.setLabel(Ctl::FINDER_OK, "OK");
  m.setText(Ctl::FINDER_HELP,
            "To change a Lumvex IP Address, select it on the list.\n"
            "Fill in the new IP address and click  the \"Change IP\" Button\n"
            "To Exit without changing an IP address click \"OK\"\n"
            "The Lumvex Addresses found will be added to the address list");

  m.setText(Ctl::ADAPTOR_MSG, "");
  m.setLabel(Ctl::ADAPTOR_LIST, "Network Adaptors");
  m.clearItems(Ctl::ADAPTOR_LIST);
  m.setLabel(Ctl::OKBUTTON, "OK");

  m.setText(Ctl::LOADERWAIT_MSG, "DO NOT TURN OFF THE LUMVEX UNTIL PROCESSING IS COMPLETE");

  for (Panel p : {Panel::CableDisconnect, Panel::Finder, Panel::Adaptor, Panel::LoaderWait})
    m.setPanelVisible(p, false);
}

// The disconnected row of the status table, and the pages shown without a unit.
void applyDisconnected(Model& m) {
  m.setText(Ctl::STATUSBOX, "Disconnected");
  m.setTextColour(Ctl::STATUSBOX, colour::Black);
  m.setLabel(Ctl::CONNECT, "CONNECT");
  dim(m, {Ctl::ARM_BUT, Ctl::ERASE_BUT, Ctl::DOWNLOAD_BUT, Ctl::TRIGGER_BUT});
  dim(m, {Ctl::LED_TABLE, Ctl::CIRC_LIN_BUT, Ctl::POSITION, Ctl::TESTOBJECT, Ctl::LX_DIRECTION,
          Ctl::GET_CUR_POS, Ctl::TESTINFO, Ctl::TPOST, Ctl::DATA_STRT, Ctl::DATA_STOP, Ctl::DL_START_TIME,
          Ctl::DL_STOP_TIME, Ctl::TRIGGER_SET});
  for (Ctl c : {Ctl::LXtype, Ctl::SERNUM, Ctl::FIRMWARE, Ctl::CALDATE, Ctl::DATA_STRT, Ctl::DATA_STOP})
    m.setText(c, "");
  m.setNumber(Ctl::BATT_FUEL, 0);
  hide(m, {Ctl::BATT_FUEL, Ctl::BATT_VOLTS, Ctl::CHECK_BATT, Ctl::BATT_SPLITTER, Ctl::SAVE_LED_INFO,
           Ctl::CANCEL_LED_CHANGES});
  m.setTimerRunning(false);
  m.setBackground(Ctl::COPYWRITEBUT, colour::Transparent);
  for (int page : {2, 3, 5, 6}) m.setPageVisible(page, false);
  for (int page : {0, 1, 4}) m.setPageVisible(page, true);
  m.setActivePage(0);
}

}  // namespace

void LoadMainLayout(Model& m) {
  layoutTitles(m);
  layoutSession(m);
  layoutIdentity(m);
  layoutLedTable(m);
  layoutRecording(m);
  layoutDownload(m);
  layoutBattery(m);
  layoutPlot(m);
  layoutLive(m);
  layoutDiagnostics(m);
  layoutExport(m);
  layoutTriggerTest(m);
  layoutAutoCheck(m);
  layoutPopups(m);
  applyDisconnected(m);
}

const std::vector<LayoutGroup>& MainLayoutGroups() {
  using enum Ctl;
  static const std::vector<LayoutGroup> kGroups = {
      // Page 0: session and identity on the left, LEDs in the middle, recording on the right.
      {Panel::Setup, 0, "Connection", {CONNECTION, COMPORT, IPADDRESS, IPSELECT, LISTEN, CONNECT, STATUSBOX}},
      {Panel::Setup, 0, "Lumvex", {LXtype, SERNUM, FIRMWARE, CALDATE, TESTINFO, TRIGGER_SET, LX_DIRECTION}},
      {Panel::Setup, 0, "", {COPYWRITEBUT}},
      {Panel::Setup,
       1,
       "LED Setup",
       {LED_TABLE, TESTOBJECT, POSITION, GET_CUR_POS, SAVE_LED_INFO, CANCEL_LED_CHANGES, REPROCESS_BUTTON}},
      {Panel::Setup,
       2,
       "Recording",
       {CIRC_LIN_BUT, TPOST, LIN_BUF_LABEL, TSTOP, ARM_BUT, TRIGGER_BUT, ERASE_BUT}},
      {Panel::Setup, 2, "Download", {DATA_STRT, DATA_STOP, DL_START_TIME, DL_STOP_TIME, DOWNLOAD_BUT}},
      {Panel::Setup, 2, "", {BATT_SPLITTER, BATT_FUEL, BATT_VOLTS, CHECK_BATT}},
      // Page 1
      {Panel::Plot, 0, "", {PLOT_GRAPH}},
      {Panel::Plot, 1, "", {PLOT_SOURCE, PLOTDATA, PLOTFILTER, REL_ABS_SWITCH, FILESELECT, PLOTHELP}},
      // Page 2
      {Panel::Live, 0, "", {LIVE_GRAPH}},
      {Panel::Live, 1, "", {DEMO_BUT, DEMO_DIR_SW, COORD_SYS_SW, DEMOHELP}},
      // Page 3
      {Panel::Diagnostics,
       0,
       "Outputs",
       {CHECKIOBUT, S1KILL, S2KILL, S3KILL, S4KILL, S5KILL, S6KILL, MUX_SW, TRIGGEROUT_SW, ARMOUT_SW,
        OTHEROUT_SW, BatteryOn_SW, REDBLUE}},
      {Panel::Diagnostics, 1, "Inputs", {TRIGIN_LED, ARMIN_LED, OTHERIN_LED, CHARGEON_LED, TEMPERATURE}},
      {Panel::Diagnostics,
       1,
       "LED A/D",
       {LEDSEL, LEDDRIVE, S1A, S1B, S2A, S2B, S3A, S3B, S4A, S4B, S5A, S5B, S6A, S6B}},
      {Panel::Diagnostics,
       2,
       "Tests",
       {RAMTEST, FLASHTEST, SDCARDTEST, DISABLE_SD, NORFLASH, BAT_RESET, RAWDOWNLOAD, LOADER, LOADERMSG}},
      // Page 4
      {Panel::Export,
       0,
       "Export",
       {EXPORT_STATUS, EXPORT_FORMAT, EXPORT_ZEROING, EXPORT_FILTER, EXPORT_BUT, EXPORT_NOTICE1,
        EXPORT_NOTICE2, EXPORT_NOTICE3}},
      {Panel::Export, 1, "", {ISO_NOTICE}},
      // Page 5
      {Panel::TriggerTest, 0, "Trigger Test", {TRIGGER_CHECK, TRIG_ARMED, TRIG_LED}},
      // Page 6
      {Panel::AutoCheck, 0, "", {AUTOCHECK_ERROR_LIM, SAVELIMITS, AUTOCK_CURR_POSNS, UPDATE_GOLDENS}},
      {Panel::AutoCheck, 1, "", {GOLDEN_POSN_TABLE}},
      {Panel::AutoCheck, 2, "", {CURR_POSN_TABLE}},
      // Pop-up panels
      {Panel::CableDisconnect, 0, "", {CABLE_TEXT, DISC_BUTTON, STAY_CONN_BUTT}},
      {Panel::Finder,
       0,
       "",
       {FINDER_MSG, FINDER_LIST, FINDER_NEWIP, FINDER__CHANGEIP, FINDER_OK, FINDER_HELP}},
      {Panel::Adaptor, 0, "", {ADAPTOR_MSG, ADAPTOR_LIST, OKBUTTON}},
      {Panel::LoaderWait, 0, "", {LOADERWAIT_MSG}},
  };
  return kGroups;
}

}  // namespace lumvex
