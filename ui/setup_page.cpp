// The Connect/Setup page: connect and disconnect, the status poll, the
// cable-disconnect prompt, the unit's settings, the LED table's ISO selectors,
// arming, erasing, the battery read-out and the download of a recording.
#include "ui/setup_page.h"

#include "files/ledcell.h"
#include "files/naming.h"
#include "link/download.h"
#include "link/info.h"
#include "link/link.h"
#include "link/positions.h"
#include "link/recording.h"
#include "link/status.h"
#include "maintenance/battery.h"
#include "maintenance/leds.h"
#include "platform/text.h"
#include "platform/transport.h"
#include "processing/assembly.h"
#include "processing/derived.h"
#include "processing/rawconv.h"
#include "ui/autocheck_page.h"
#include "ui/export_page.h"
#include "ui/plot_model.h"
#include "ui/screens.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <ctime>

namespace lumvex {
namespace {

constexpr int kComPortEntries = 12;
constexpr int kStayConnectedWaitMs = 1000;

const char* const kOpenFailed = "Could not open the COM port";

bool readyOrHolding(int status) { return status == StatusReady || status == StatusDataHeld; }

// An operation whose exchange lost the link leaves the screens showing it.
void followLink(Station& st) {
  if (!LinkOpen(st)) CtrlScreens(st);
}

// The LED table's buttons: fn's result while the unit is ready or holds a
// recording, else -1 without anything done.
template <typename Fn>
int whileIdle(Station& st, Fn fn) {
  const int r = LedButtonsActive(st) ? fn() : -1;
  followLink(st);
  return r;
}

// Identification at connect: two tries. 0 when the screens are set up.
int identify(Station& st) {
  if (GetLXinfo(st) != 0 && GetLXinfo(st) != 0) {
    Disconnect(st);
    CtrlScreens(st);
    st.ui->message("Error", "Could not get info from Lumvex -- Disconnecting");
    return -1;
  }
  SetupScreens(st, 1);
  return 0;
}

// Opens the chosen link and stores the first status; false when it failed
// (the operator has been told).
bool openLink(Station& st) {
  int kind = st.model.index(Ctl::CONNECTION);
  if (kind == 1) {
    if (ConnectSerial(st, st.model.index(Ctl::COMPORT)) != 0) {
      st.ui->message("Error", kOpenFailed);
      return false;
    }
    st.session.unitStatus = CheckStatus(st);
    if (st.session.unitStatus < 0) {
      st.ui->message("Error", kOpenFailed);
      Disconnect(st);
      return false;
    }
    return true;
  }
  if (ConnectEthernet(st, st.model.text(Ctl::IPADDRESS), kind == 2 ? 1 : 0) != 0) {
    st.ui->message("Error", kOpenFailed);
    return false;
  }
  st.session.unitStatus = EthernetSync(st);
  if (st.session.unitStatus == -1) {
    // A unit that answers the status query with -1 itself leaves the link
    // open; the session must not keep a link it reports as not opened.
    if (LinkOpen(st)) Disconnect(st);
    st.ui->message("Error", kOpenFailed);
    return false;
  }
  return true;
}

void closeCablePrompt(Station& st) {
  st.model.setPanelVisible(Panel::CableDisconnect, false);
  st.session.cableDisconnectPanel = false;
  st.model.setActivePage(0);
}

int chooseMode(const Station& st) {
  const int serial = std::atoi(st.session.SerialNumberText.c_str());
  if (recordsRawWords(st.session.DummyType, serial)) return st.session.IsLX2 ? DownloadRawLX2 : DownloadRaw;
  return DownloadProcessed;
}

void recordIdentification(Station& st) {
  TestIdentification& id = st.data.ident;
  GetCurrentDates(id);
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, "%H:%M:%S", &tm);
  id.TestTimeText = buf;
  st.session.DirectionText = st.model.itemLabel(Ctl::LX_DIRECTION);
  st.session.SerialNumberText = st.model.text(Ctl::SERNUM);
  id.AtdText = st.model.text(Ctl::TESTINFO);
  // The raw file's comment line: the test comment shown on the connection
  // screen (the unit's comment read at identification).
  id.TestCommentText = st.model.text(Ctl::TESTINFO);
}

void showDataInMemory(Station& st) {
  st.model.setText(Ctl::EXPORT_STATUS, "Downloaded Lumvex Data in Memory");
  st.model.setText(Ctl::PLOT_SOURCE, "Downloaded Lumvex Data in Memory");
  st.model.setDimmed(Ctl::EXPORT_BUT, false);
  st.model.setActivePage(pageIndex(Panel::Plot));
  st.data.AlreadyZeroed = 0;
  st.data.codes.DataFilterCode = '0';
  st.data.ident.CurrentFileName = " ";
}

}  // namespace

// ------------------------------------------------------------- the session

void CONNECT_BUT(Station& st) {
  if (st.session.unitStatus >= 0) {
    Disconnect(st);
    CtrlScreens(st);
    return;
  }
  if (!openLink(st)) return;
  int s = st.session.unitStatus;
  if ((s == StatusReady || s == StatusDataHeld) && identify(st) != 0) return;
  CtrlScreens(st);
}

void TIMER_TICK(Station& st) {
  if (st.session.unitStatus < 0) return;
  int s = CheckStatus(st);
  if (s == -2) {
    st.session.unitStatus = StatusDisconnected;
    CtrlScreens(st);
    st.model.setTimerRunning(false);
    return;
  }
  if (s == -1) return;
  int old = st.session.unitStatus;
  st.session.unitStatus = s;
  if (s != old) CtrlScreens(st);
  if (old == StatusReady && s == StatusPreTrigger) ShowCableDisconnectPrompt(st);
}

void ShowCableDisconnectPrompt(Station& st) {
  st.model.setPanelTitle(Panel::CableDisconnect, "Dummy Cable Disconnect");
  st.model.setText(Ctl::CABLE_TEXT,
                   "If you plan to unplug the Ethernet\n cable  from the Lumvex, \nyou must Disconnect Now");
  st.model.setLabel(Ctl::DISC_BUTTON, "DISCONNECT NOW");
  st.model.setLabel(Ctl::STAY_CONN_BUTT, "STAY CONNECTED");
  st.model.setPanelVisible(Panel::CableDisconnect, true);
  st.session.cableDisconnectPanel = true;
}

void DISC_BUTTON(Station& st) {
  closeCablePrompt(st);
  Disconnect(st);
  st.session.unitStatus = StatusDisconnected;
  CtrlScreens(st);
}

void STAY_CONN_BUTT(Station& st) {
  closeCablePrompt(st);
  st.ui->delay(kStayConnectedWaitMs);
}

void LabelComPorts(Station& st) {
  Control& c = st.model.edit(Ctl::COMPORT);
  if (c.items.empty()) {
    for (int i = 1; i <= kComPortEntries; ++i)
      c.items.push_back({"COM " + std::to_string(i), "COM " + std::to_string(i)});
    c.index = 0;
  }
  std::vector<SerialResource> resources = ListSerialResources();
  for (size_t i = 0; i < c.items.size(); ++i) {
    std::string label = "COM " + std::to_string(i + 1);
    std::string portName = "COM" + std::to_string(i + 1);
    for (const auto& r : resources) {
      if (!ContainsPortName(r.comName, portName)) continue;
      label += " - " + r.device;
      if (!r.description.empty()) label += " (" + r.description + ")";
      break;
    }
    c.items[i].label = label;
  }
  st.model.changed(Ctl::COMPORT);
}

void CONNECT_TYPE(Station& st) {
  int i = st.model.index(Ctl::CONNECTION);
  if (i < kConnectionEthernet || i > kConnectionEthernet1066) return;
  bool serial = i == kConnectionSerial;
  st.model.setVisible(Ctl::IPADDRESS, !serial);
  st.model.setVisible(Ctl::IPSELECT, !serial);
  st.model.setVisible(Ctl::LISTEN, i == kConnectionEthernet);
  st.model.setVisible(Ctl::COMPORT, serial);
}

void IPSELECT(Station& st) { st.model.setText(Ctl::IPADDRESS, st.model.itemValue(Ctl::IPSELECT)); }

bool ShownConnected(const Station& st) { return Contains(st.model.label(Ctl::CONNECT), "DISCONNECT"); }

void COPYWRITEBUT(Station& st) {
  if (ShownConnected(st)) st.model.setPageVisible(pageIndex(Panel::Diagnostics), true);
}

void REPROCESS_BUTTON(Station& st) { st.session.ReprocessRequested = 1; }

// ------------------------------------------------------------- the unit's settings

void TESTINFO(Station& st) {
  st.model.setText(Ctl::TESTINFO, CleanTestComment(st.model.text(Ctl::TESTINFO)));
  SetTestComment(st);
  st.ui->message("note", "ATD information changed in Lumvex");
}

void TRIGGER_SET(Station& st) {
  if (TriggerSet(st) == 0) st.ui->message("note", "Trigger Setting changed in Lumvex");
  GetLXinfo(st);
}

void TESTOBJECT(Station& st, const Event& e) {
  if (e.kind == EventKind::Commit) TestObjectChange(st);
  if (e.kind == EventKind::RightClick) AddTestObject(st);
}

void POSITION(Station& st, const Event& e) {
  if (e.kind == EventKind::Commit) IsoPosnChange(st);
}

SideChange LX_DIRECTION(Station& st) {
  const SideChange r = DirChange(st);
  // Positions shown before were turned to the other side's frame; they are
  // read again on request ("Show Current XYZ's").
  if (r == SideChange::Relabelled || r == SideChange::Loaded || r == SideChange::Switched) {
    Control& t = st.model.edit(Ctl::LED_TABLE);
    for (auto& row : t.cells)
      for (size_t col = ledtable::X - 1; col < row.size(); ++col) row[col].text.clear();
    st.model.changed(Ctl::LED_TABLE);
  }
  followLink(st);
  return r;
}

// ------------------------------------------------------------- LED setup

void LED_TABLE(Station& st, const Event& e) {
  // Only the adjustable layout's list cells hold an assignment; the fixed
  // layouts' texts are labels.
  if (e.kind == EventKind::CellCommit && st.model.cell(Ctl::LED_TABLE, e.row, e.col).choice)
    LedTableEdit(st, e.row, e.col);
}

int SAVE_LED_INFO(Station& st) {
  return whileIdle(st, [&st] { return SetLedInfo(st); });
}

int CANCEL_LED_CHANGES(Station& st) {
  return whileIdle(st, [&st] {
    CancelLedChanges(st);
    return 0;
  });
}

int GET_CUR_POS(Station& st) {
  return whileIdle(st, [&st] { return ShowCurrentPositions(st); });
}

// ------------------------------------------------------------- recording

namespace {

void armOrDisarm(Station& st) {
  Model& m = st.model;
  SessionState& s = st.session;
  if (Contains(m.label(Ctl::ARM_BUT), "DISARM")) {
    m.setLabel(Ctl::ARM_BUT, "ARM");
    Disarm(st);
    return;
  }
  if (s.triggerInvalid) {
    st.ui->message("Can Not Arm", "Fix Trigger Setting");
    return;
  }
  if (!readyOrHolding(CheckStatus(st))) return;

  std::array<double, kMaxPointValues> points{};
  int count = 0;
  getPoints(st, count, points.data());  // a failed query leaves zeros: every LED counts as in error
  const int leds = std::clamp(st.data.layout.LedCount, 0, 18);
  const int axes = std::clamp(st.data.layout.AxesPerLed, 2, 3);
  int errors = CountLedErrors(points.data(), leds, axes);
  if (errors > 0 && !st.ui->confirm("LED errors detected!", LedErrorQuestion(errors))) return;
  if (!AutoCheckBeforeArming(st)) return;

  if (s.IsLX2 && st.ini.FuelGaugeInstalled && DoBattery(st) < 50 &&
      !st.ui->confirm(
          "BATTERY errors detected!",
          "Battery is less than 50 percent charged or reporting errors \r\nClick YES to continue to "
          "ARM\r\nClick NO to STOP and fix the battery"))
    return;

  m.setVisible(Ctl::TRIGGER_BUT, true);
  m.setDimmed(Ctl::TRIGGER_BUT, false);
  m.setLabel(Ctl::ARM_BUT, "DISARM");
  s.SoftwareTriggerOffset = 0;
  if (Arm(st) != 0) {
    m.setVisible(Ctl::TRIGGER_BUT, false);
    m.setLabel(Ctl::ARM_BUT, "ARM");
  }
}

}  // namespace

void ARM_BUT(Station& st) {
  armOrDisarm(st);
  followLink(st);
}

void TRIGGER_BUT(Station& st) {
  Trigger(st);
  st.session.SoftwareTriggerOffset = 4;
  followLink(st);
}

void CIRC_LIN_BUT(Station& st) {
  if (!readyOrHolding(CheckStatus(st))) return;
  bool linear = st.model.number(Ctl::CIRC_LIN_BUT) != 0;
  st.model.setVisible(Ctl::TSTOP, linear);
  st.model.setVisible(Ctl::LIN_BUF_LABEL, linear);
}

void ERASE_BUT(Station& st) {
  constexpr char kAsk[] = "Are you sure you want to Erase memory";
  if (!st.ui->confirm("Erase Request", kAsk)) return;
  if (st.ui->twoButton("Erase Request second check", kAsk, "No", "Yes") != 2) return;
  if (!readyOrHolding(CheckStatus(st))) return;
  int r = Erase(st);
  if (r == 0) r = EraseStatus(st);
  if (r != 0) st.ui->message("ERASE FAILED", "At least one Sector didn't erase");
  int s = CheckStatus(st);
  // A reply error must not turn an open session into "disconnected"; a lost
  // link has already been closed (and the status set to -1) by the link.
  if (s >= 0) st.session.unitStatus = s;
  if (s == -2) st.session.unitStatus = StatusDisconnected;
  CtrlScreens(st);
}

void CHECK_BATT(Station& st) { DoBattery(st); }

// ------------------------------------------------------------- download

int DOWNLOAD_BUT(Station& st) {
  const int s = CheckStatus(st);
  if (s != StatusReady && s != StatusDataHeld) return -1;
  if (st.model.visible(Ctl::SAVE_LED_INFO)) {
    st.ui->message("NOTE:", "Save or Cancel the LED settings");
    return -1;
  }
  if (GetLumvexData(st) != 0) {
    followLink(st);
    return -1;
  }
  st.model.setActivePage(pageIndex(Panel::Export));
  return 0;
}

int GetLumvexData(Station& st) {
  MeasurementData& d = st.data;
  const int mode = chooseMode(st);
  struct Shape {
    int SampleCount, ChannelCount;
  } const before{d.ChannelData.SampleCount, d.ChannelData.ChannelCount};
  PhaseTimer fetch(st.timings, "download");
  const int rc = Download(st, mode);
  fetch.stop();
  const bool raw = mode != DownloadProcessed;
  if (rc != 0) {
    // The data set in memory stays as it was, with its raw flags, except that
    // raw words a failed download began to overwrite can no longer make its
    // raw file: a file of them would mix two tests.
    if (d.RawRecordCount == 0) d.RawPresent = 0;
    return -1;
  }
  d.RawPresent = raw ? 1 : 0;
  d.RawSaved = raw ? 0 : 1;

  PhaseTimer assembly(st.timings, "assembly");
  showDataInMemory(st);
  recordIdentification(st);
  BuildChannelCodes(st);
  d.StartTimeMs = static_cast<float>(st.model.intValue(Ctl::DL_START_TIME));
  if (!raw) AssemblePositions(st);
  assembly.stop();

  if (raw) {
    PhaseTimer conversion(st.timings, "raw conversion");
    if (ConvertWSIDdata(st, CoordConvert) != 0) {
      // The table still holds the earlier data set: give it back its own
      // shape, and no raw file, whose words belong to the test just fetched.
      d.ChannelData.SampleCount = before.SampleCount;
      d.ChannelData.ChannelCount = before.ChannelCount;
      d.RawPresent = 0;
      d.RawSaved = 1;
      return -1;
    }
  }
  PhaseTimer derived(st.timings, "derived channels");
  const bool worldSid = isWorldSid(st.session.DummyType);
  if (worldSid) IRTraccCalcs(st);
  if (d.StartTimeMs <= -10 || d.ChannelData.SampleCount >= 100) CalcChannelOffsets(d);
  if (worldSid) LengthCalcs(st);
  derived.stop();
  PhaseTimer screens(st.timings, "plot and export pages");
  SetupPlotScreen(st);
  SetupExportScreen(st);
  return 0;
}

}  // namespace lumvex
