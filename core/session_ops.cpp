#include "core/session_ops.h"

#include "link/info.h"
#include "link/link.h"
#include "link/status.h"
#include "maintenance/battery.h"
#include "platform/transport.h"
#include "ui/screens.h"

#include <initializer_list>

namespace lumvex {
namespace {

constexpr int kComPortEntries = 12;
constexpr int kStayConnectedWaitMs = 1000;

const char* const kOpenFailed = "Could not open the COM port";

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

}  // namespace

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

namespace {
void closeCablePrompt(Station& st) {
  st.model.setPanelVisible(Panel::CableDisconnect, false);
  st.session.cableDisconnectPanel = false;
  st.model.setActivePage(0);
}
}  // namespace

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

}  // namespace lumvex
