#include "ui/screens.h"

#include "ui/autocheck_page.h"

#include "files/ledcell.h"
#include "link/status.h"
#include "maintenance/battery.h"
#include "link/info.h"
#include "platform/text.h"
#include "maintenance/leds.h"

#include <algorithm>
#include <string>
#include <vector>

namespace lumvex {
namespace {

constexpr char kXY[] = "Show Current XY's";
constexpr char kXYZ[] = "Show Current XYZ's";

void plainCell(Cell& c, std::string text) {
  c.text = std::move(text);
  c.choice = false;
  c.choices.clear();
  c.choiceIndex = -1;
}

void choiceCell(Cell& c, std::vector<std::string> choices, int index) {
  if (index < 0 || index >= static_cast<int>(choices.size())) index = 0;
  c.choice = true;
  c.text = choices[index];
  c.choices = std::move(choices);
  c.choiceIndex = index;
}

// Step 2: 18 numbered rows with plain rib and position cells.
void resetLedTable(Model& m) {
  m.setTableSize(Ctl::LED_TABLE, ledtable::Rows, ledtable::Columns);
  Control& t = m.edit(Ctl::LED_TABLE);
  for (int r = 0; r < ledtable::Rows; ++r) {
    auto& row = t.cells[r];
    plainCell(row[ledtable::Number - 1], std::to_string(r + 1));
    plainCell(row[ledtable::Rib - 1], "");
    plainCell(row[ledtable::Position - 1], "");
  }
  m.changed(Ctl::LED_TABLE);
  m.setItems(Ctl::LX_DIRECTION, {{"Left Side", "LE"}, {"Right Side", "RI"}}, 0);
  m.setVisible(Ctl::LX_DIRECTION, true);
}

// Rib number and position name of row r (1-based) for the fixed layouts.
void fixedRow(int type, int r, std::string& rib, std::string& pos) {
  static constexpr const char* k3D[] = {"UPPER  LEFT ", "MIDDLE LEFT ", "LOWER  LEFT ",
                                        "UPPER  RIGHT", "MIDDLE RIGHT", "LOWER  RIGHT"};
  static constexpr const char* kWs[] = {"REAR", "MIDDLE", "FRONT"};
  switch (type) {
    case DummyPolar:  // ribs 4 to 6, outer then middle
      rib = std::to_string(4 + (r - 1) % 3);
      pos = r <= 3 ? "OUTER" : "MIDDLE";
      break;
    case DummyHybridIII50th3D:
      rib = std::to_string(r);
      pos = k3D[r - 1];
      break;
    case DummySIDIIs:
    case DummyBallistic:
      rib = std::to_string(r);
      pos = "MIDDLE";
      break;
    case DummyWorldSID50th:
    case DummyWorldSID5th:
      rib = std::to_string((r - 1) / 3 + 1);
      pos = kWs[(r - 1) % 3];
      break;
    default:  // Hybrid III 5th and 50th: ribs 1 to 6 on the left, then on the right
      rib = std::to_string((r - 1) % 6 + 1);
      pos = r <= 6 ? "LEFT" : "RIGHT";
      break;
  }
}

void fillLedTable(Station& st, bool adjustable, int connected) {
  Model& m = st.model;
  const int type = st.session.DummyType;
  const int n = st.data.layout.LedCount;
  m.setTableSize(Ctl::LED_TABLE, n, ledtable::Columns);
  if (adjustable && connected) GetLedInfo(st);
  Control& t = m.edit(Ctl::LED_TABLE);
  for (int r = 1; r <= n; ++r) {
    auto& row = t.cells[r - 1];
    if (adjustable) {
      choiceCell(row[ledtable::Rib - 1], {"1", "2", "3", "4", "5", "6"}, st.session.LedRib[r - 1] - 1);
      choiceCell(row[ledtable::Position - 1], {"LEFT RIB", "LEFT STERNUM", "RIGHT RIB", "RIGHT STERNUM"},
                 st.session.LedPosn[r - 1]);
    } else {
      std::string rib, pos;
      fixedRow(type, r, rib, pos);
      plainCell(row[ledtable::Rib - 1], rib);
      plainCell(row[ledtable::Position - 1], pos);
    }
  }
  m.changed(Ctl::LED_TABLE);
}

void applyTimeLimits(Station& st) {
  Model& m = st.model;
  int post = 29900, stop = 30000;  // ms
  if (isWorldSid(st.session.DummyType)) {
    post = st.session.IsLX2 ? 179900 : 24900;
    stop = st.session.IsLX2 ? 180000 : 25000;
  }
  m.setRange(Ctl::TPOST, m[Ctl::TPOST].minimum, post);
  m.setRange(Ctl::TSTOP, 10, stop);
  m.setNumber(Ctl::TSTOP, stop);
}

void applyDefaultSelections(Station& st) {
  Model& m = st.model;
  bool polar = st.session.DummyType == DummyPolar;
  m.setIndex(Ctl::TESTOBJECT, polar ? 2 : 0);
  m.setIndex(Ctl::POSITION, polar ? 0 : 1);
  m.setIndex(Ctl::LX_DIRECTION, 0);
}

void setStateTexts(Model& m, Ctl c, std::string off, std::string on) {
  m.edit(c).stateTexts = {std::move(off), std::move(on)};
  m.changed(c);
}

void setAxisNames(Model& m, std::string_view vertical, std::string_view horizontal) {
  GraphState& g = m.edit(Ctl::LIVE_GRAPH).graph;
  g.yName.assign(vertical);
  g.xName.assign(horizontal);
  m.changed(Ctl::LIVE_GRAPH);
}

void setupLiveDisplay(Station& st) {
  Model& m = st.model;
  const int type = st.session.DummyType;
  m.setVisible(Ctl::DEMO_DIR_SW, true);
  m.setVisible(Ctl::COORD_SYS_SW, true);
  setStateTexts(m, Ctl::COORD_SYS_SW, "Dummy", "Lumvex");
  setAxisNames(m, "Y-axis (mm)", "X (mm)");
  if (type != DummyPolar) m.setVisible(Ctl::DEMO_DIR_SW, false);
  if (type == DummyHybridIII5th || type == DummyHybridIII50th) m.setVisible(Ctl::COORD_SYS_SW, false);
  if (type == DummySIDIIs || isWorldSid(type)) {
    setStateTexts(m, Ctl::COORD_SYS_SW, "XY", "ZY");
    setAxisNames(m, "X", "Y");
  }
  if (type == DummyBallistic || type == DummyHybridIII50th3D) {
    setStateTexts(m, Ctl::COORD_SYS_SW, "XY", "XZ");
    setAxisNames(m, m[Ctl::LIVE_GRAPH].graph.yName, "X");
  }
}

void show(Model& m, std::initializer_list<Ctl> cs, bool v) {
  for (Ctl c : cs) m.setVisible(c, v);
}

void setupDiagnostics(Station& st) {
  Model& m = st.model;
  const int type = st.session.DummyType;
  const int n = st.data.layout.LedCount;
  show(m,
       {Ctl::S2KILL, Ctl::S3A, Ctl::S3B, Ctl::S4KILL, Ctl::S4A, Ctl::S4B, Ctl::S5KILL, Ctl::S5A, Ctl::S5B,
        Ctl::S6KILL, Ctl::S6A, Ctl::S6B, Ctl::BatteryOn_SW, Ctl::CHARGEON_LED, Ctl::TEMPERATURE,
        Ctl::BAT_RESET},
       false);
  // The controls shown below by family start hidden, so that a layout never
  // keeps what an earlier unit's family showed.
  show(m,
       {Ctl::ARMOUT_SW, Ctl::RAWDOWNLOAD, Ctl::REDBLUE, Ctl::DISABLE_SD, Ctl::SDCARDTEST, Ctl::OTHEROUT_SW,
        Ctl::ARMIN_LED, Ctl::OTHERIN_LED},
       false);
  m.setLabel(Ctl::OTHEROUT_SW, "Other Out");
  m.setLabel(Ctl::OTHERIN_LED, "Other In");
  m.setVisible(Ctl::MUX_SW, true);

  // The LED selector offers one entry per LED of the unit; it is rebuilt from
  // all 18 so that a unit with more LEDs than the last one gets them back.
  const int entries = (n > 0 && n < ledtable::Rows) ? n : ledtable::Rows;
  const int keep = m.index(Ctl::LEDSEL);
  std::vector<Item> leds;
  for (int i = 1; i <= entries; ++i) leds.push_back({"LED " + std::to_string(i), std::to_string(i)});
  m.setItems(Ctl::LEDSEL, std::move(leds), keep < 0 ? 0 : keep);

  const bool serialAbove100 = FieldInt(st.session.SerialNumberText) > 100;
  switch (type) {
    case DummyHybridIII5th:
    case DummyHybridIII50th:
      m.setNumber(Ctl::MUX_SW, 1);
      m.setVisible(Ctl::MUX_SW, false);
      show(m, {Ctl::ARMOUT_SW, Ctl::RAWDOWNLOAD}, true);
      m.setNumber(Ctl::S1KILL, 0);
      m.setNumber(Ctl::S3KILL, 0);
      break;
    case DummySIDIIs:
    case DummyBallistic:
    case DummyHybridIII50th3D:
    case DummyPolar:
      show(m, {Ctl::ARMOUT_SW, Ctl::RAWDOWNLOAD}, true);
      break;
    default:
      m.setVisible(Ctl::REDBLUE, true);
      if (!serialAbove100) break;
      if (!st.session.IsLX2) {
        show(m,
             {Ctl::DISABLE_SD, Ctl::SDCARDTEST, Ctl::ARMOUT_SW, Ctl::OTHEROUT_SW, Ctl::BatteryOn_SW,
              Ctl::ARMIN_LED, Ctl::OTHERIN_LED, Ctl::CHARGEON_LED},
             true);
      } else {
        show(m, {Ctl::DISABLE_SD, Ctl::SDCARDTEST, Ctl::OTHEROUT_SW}, false);
        show(m,
             {Ctl::ARMOUT_SW, Ctl::BatteryOn_SW, Ctl::ARMIN_LED, Ctl::OTHERIN_LED, Ctl::CHARGEON_LED,
              Ctl::TEMPERATURE, Ctl::BAT_RESET},
             true);
      }
      break;
  }
}

// Controls that follow the session: dimmed while disconnected, enabled when idle.
constexpr Ctl kSetupControls[] = {
    Ctl::LED_TABLE,     Ctl::CIRC_LIN_BUT, Ctl::POSITION,    Ctl::TESTOBJECT, Ctl::LX_DIRECTION,
    Ctl::GET_CUR_POS,   Ctl::TESTINFO,     Ctl::TPOST,       Ctl::DATA_STRT,  Ctl::DATA_STOP,
    Ctl::DL_START_TIME, Ctl::DL_STOP_TIME, Ctl::TRIGGER_SET,
};

constexpr int kLivePage = pageIndex(Panel::Live);
constexpr int kDiagnosticsPage = pageIndex(Panel::Diagnostics);
constexpr int kTriggerTestPage = pageIndex(Panel::TriggerTest);
constexpr int kAutoCheckPage = pageIndex(Panel::AutoCheck);

void setStatusBox(Station& st, int status) {
  st.model.setText(Ctl::STATUSBOX, StatusText(status));
  st.model.setTextColour(Ctl::STATUSBOX, StatusColour(status));
}

void dimAll(Station& st, std::initializer_list<Ctl> cs, bool d) {
  for (Ctl c : cs) st.model.setDimmed(c, d);
}

void setSetupControlsDimmed(Station& st, bool d) {
  for (Ctl c : kSetupControls) st.model.setDimmed(c, d);
}

void hideRecordingPages(Station& st) {
  for (int p : {kLivePage, kDiagnosticsPage, kTriggerTestPage, kAutoCheckPage})
    st.model.setPageVisible(p, false);
}

// The linear-buffer stop time is offered only in linear mode.
void showStopTime(Station& st) {
  bool linear = st.model.number(Ctl::CIRC_LIN_BUT) != 0;
  for (Ctl c : {Ctl::TSTOP, Ctl::LIN_BUF_LABEL}) {
    st.model.setDimmed(c, false);
    st.model.setVisible(c, linear);
  }
}

// What states 0 and 3 share: the pages of an idle unit, its side and battery.
void idleEffects(Station& st) {
  setSetupControlsDimmed(st, false);
  showStopTime(st);
  st.model.setPageVisible(kLivePage, true);
  st.model.setPageVisible(kTriggerTestPage, st.session.triggerCheckSupported != 0);
  if (isWorldSid(st.session.DummyType)) {
    Direction(st);
    st.model.setVisible(Ctl::LX_DIRECTION, true);
  }
  if (st.session.IsLX2 && st.ini.FuelGaugeInstalled) DoBattery(st);
  // Hidden for every unit unless the autocheck is switched on.
  ShowAutoCheckPage(st);
}

void disconnectedRow(Station& st) {
  setStatusBox(st, StatusDisconnected);
  st.model.setLabel(Ctl::CONNECT, "CONNECT");
  dimAll(st, {Ctl::ARM_BUT, Ctl::ERASE_BUT, Ctl::DOWNLOAD_BUT, Ctl::TRIGGER_BUT}, true);
  setSetupControlsDimmed(st, true);
  hideRecordingPages(st);
  st.model.setTimerRunning(false);
  for (Ctl c : {Ctl::LXtype, Ctl::SERNUM, Ctl::FIRMWARE, Ctl::CALDATE}) st.model.setText(c, "");
  for (Ctl c : {Ctl::DATA_STRT, Ctl::DATA_STOP}) {
    st.model.setText(c, "");
    st.model.setNumber(c, 0);
  }
  st.model.setNumber(Ctl::BATT_FUEL, 0);
  for (Ctl c : {Ctl::BATT_FUEL, Ctl::BATT_VOLTS, Ctl::CHECK_BATT, Ctl::BATT_SPLITTER, Ctl::SAVE_LED_INFO,
                Ctl::CANCEL_LED_CHANGES})
    st.model.setVisible(c, false);
  st.session.demoRunning = 0;
  st.session.ioCheckRunning = 0;
  st.session.triggerTestRunning = 0;
}

void readyRow(Station& st) {
  setStatusBox(st, StatusReady);
  st.model.setLabel(Ctl::CONNECT, "DISCONNECT");
  st.model.setDimmed(Ctl::ARM_BUT, false);
  st.model.setLabel(Ctl::ARM_BUT, "ARM");
  dimAll(st, {Ctl::ERASE_BUT, Ctl::DOWNLOAD_BUT}, true);
  st.model.setVisible(Ctl::TRIGGER_BUT, false);
  st.model.setTimerRunning(true);
  idleEffects(st);
}

void preTriggerRow(Station& st) {
  setStatusBox(st, StatusPreTrigger);
  st.model.setLabel(Ctl::CONNECT, "DISCONNECT");
  st.model.setDimmed(Ctl::ARM_BUT, false);
  st.model.setLabel(Ctl::ARM_BUT, "DISARM");
  st.model.setVisible(Ctl::TRIGGER_BUT, true);
  st.model.setDimmed(Ctl::TRIGGER_BUT, false);
  hideRecordingPages(st);
  st.model.setTimerRunning(true);
}

void postTriggerRow(Station& st) {
  setStatusBox(st, StatusPostTrigger);
  st.model.setLabel(Ctl::CONNECT, "DISCONNECT");
  st.model.setDimmed(Ctl::ARM_BUT, true);
  st.model.setLabel(Ctl::ARM_BUT, "ARM");
  st.model.setVisible(Ctl::TRIGGER_BUT, false);
  hideRecordingPages(st);
  st.model.setTimerRunning(true);
}

void dataHeldRow(Station& st) {
  setStatusBox(st, StatusDataHeld);
  st.model.setLabel(Ctl::CONNECT, "DISCONNECT");
  st.model.setDimmed(Ctl::ARM_BUT, true);
  st.model.setLabel(Ctl::ARM_BUT, "ARM");
  st.model.setDimmed(Ctl::ERASE_BUT, false);
  // Unsaved LED edits must be saved or cancelled before a download.
  st.model.setDimmed(Ctl::DOWNLOAD_BUT, st.model.visible(Ctl::SAVE_LED_INFO));
  st.model.setVisible(Ctl::TRIGGER_BUT, false);
  st.model.setTimerRunning(false);
  st.session.triggerTestRunning = 0;
  DumpInfo(st);
  idleEffects(st);
}

}  // namespace

int SetupScreens(Station& st, int connected) {
  Model& m = st.model;
  SessionState& s = st.session;
  const std::string typeText = m.text(Ctl::LXtype);
  if (typeText.empty()) return -1;

  resetLedTable(m);

  const int type = DummyTypeFromText(typeText);
  const UnitFamily& fam = unitFamily(type);
  SetUnitFamily(st, type);
  fillLedTable(st, IsAdjustable50th(typeText), connected);
  m.setVisible(Ctl::TRIGGER_SET, type != DummyPolar);
  m.setLabel(Ctl::GET_CUR_POS, fam.AxesPerLed == 2 ? kXY : kXYZ);
  if (isWorldSid(type)) {
    s.IsLX2 = Contains(m.text(Ctl::FIRMWARE), "LX2") ? 1 : 0;
    if (s.IsLX2 && connected) SetTime(st);
  }

  applyTimeLimits(st);
  applyDefaultSelections(st);

  if (type == DummyHybridIII5th || type == DummyHybridIII50th || type == DummyBallistic ||
      type == DummyHybridIII50th3D) {
    m.setItems(Ctl::LX_DIRECTION, {{"CENTER in X Dir", "CX"}}, 0);
    m.setVisible(Ctl::LX_DIRECTION, false);
  }

  s.DirectionText = "Left Side";
  if (isWorldSid(type) && connected) Direction(st);

  for (int row = 1; row <= fam.LedCount; ++row) ComposeLedIsoCell(st, row);
  // The ISO cells of an adjustable 50th name the rib and side its LEDs are
  // assigned to in the unit, not the configuration's default places, so that
  // the channel codes of its data follow what was stored.
  if (IsAdjustable50th(typeText) && connected)
    for (int row = 1; row <= std::min(fam.LedCount, kAssignedLeds); ++row) {
      LedTableEdit(st, row, ledtable::Rib);
      LedTableEdit(st, row, ledtable::Position);
    }

  setupLiveDisplay(st);
  setupDiagnostics(st);

  s.needsScreenSetup = 0;
  return 0;
}

void CtrlScreens(Station& st) {
  int s = st.session.unitStatus;
  if ((s == StatusReady || s == StatusDataHeld) && st.session.needsScreenSetup != 0) {
    if (GetLXinfo(st) == 0) SetupScreens(st, 1);
  }
  // Identification may have lost the link; the row follows the status as it is now.
  const int shown = st.session.unitStatus;
  switch (shown) {
    case StatusDisconnected:
      disconnectedRow(st);
      break;
    case StatusReady:
      readyRow(st);
      break;
    case StatusPreTrigger:
      preTriggerRow(st);
      break;
    case StatusPostTrigger:
      postTriggerRow(st);
      break;
    case StatusDataHeld:
      dataHeldRow(st);
      break;
    default:
      break;
  }
  // The side, battery and recorded-window queries of an idle row can lose the
  // link or end in "Disconnect" in the error box; the screen must then not go
  // on showing a connected unit with its battery and side controls.
  if (shown != StatusDisconnected && st.session.unitStatus == StatusDisconnected) disconnectedRow(st);
}

}  // namespace lumvex
