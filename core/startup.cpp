#include "core/startup.h"

#include "core/config.h"
#include "link/link.h"
#include "platform/paths.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace lumvex {
namespace {

constexpr int kPageLive = 2, kPageDiagnostics = 3, kPageTriggerTest = 5, kPageAutoCheck = 6;

bool connectedByLabel(const Station& st) {
  return st.model.label(Ctl::CONNECT).find("DISCONNECT") != std::string::npos;
}

bool hasValue(const Model& m, Ctl c, std::string_view v) {
  const auto& items = m[c].items;
  return std::any_of(items.begin(), items.end(), [&](const Item& i) { return i.value == v; });
}

// Step 7: the page-0 controls that start from the configuration.
void SetInitialValues(Station& st) {
  st.model.setNumber(Ctl::CIRC_LIN_BUT, st.ini.BufferType);
  st.model.setNumber(Ctl::TPOST, st.ini.DataAfterTrigger);           // ms
  st.model.setNumber(Ctl::DL_START_TIME, st.ini.DownloadStartTime);  // ms
  st.model.setNumber(Ctl::DL_STOP_TIME, st.ini.DownloadStopTime);    // ms
}

void runActivity(Station& st, const std::function<void(Station&)>& activity) {
  if (activity) activity(st);
}

void clearRunFlags(SessionState& s) {
  s.demoRunning = 0;
  s.ioCheckRunning = 0;
  s.triggerTestRunning = 0;
}

}  // namespace

void LoadAddressList(Station& st) {
  std::ifstream f(pathJoin(st.workDir, kAddressFileName));
  if (!f) return;
  std::string word, last;
  while (f >> word) {
    if (!hasValue(st.model, Ctl::IPSELECT, word)) st.model.appendItem(Ctl::IPSELECT, word, word);
    last = word;
  }
  // An empty file names no address: the field keeps what it holds.
  if (!last.empty()) st.model.setText(Ctl::IPADDRESS, last);
}

void LoadTestObjects(Station& st) {
  st.model.clearItems(Ctl::TESTOBJECT);
  std::ifstream f(pathJoin(st.workDir, kTestObjectFileName), std::ios::binary);
  if (!f) return;
  std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::string_view rest(text);
  while (!rest.empty()) {
    size_t end = rest.find_first_of("\r\n");
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    // Only the first 49 characters of a line count; the rest of a long line is
    // dropped, never read as an entry of its own.
    line = line.substr(0, kTestObjectLineMax);
    if (line.size() < kTestObjectLineMin) continue;
    st.model.appendItem(Ctl::TESTOBJECT, line, line.substr(0, 1));
  }
}

int WriteAddressList(Station& st) {
  std::ofstream f(pathJoin(st.workDir, kAddressFileName), std::ios::binary | std::ios::trunc);
  if (!f) return -1;
  for (const Item& i : st.model[Ctl::IPSELECT].items) f << i.label << "\r\n";
  f << st.model.text(Ctl::IPADDRESS) << "\r\n";
  f.close();
  return f ? 0 : -1;
}

int StartStation(Station& st) {
  if (ReadINIfile(st) != 0) return 1;
  LoadAddressList(st);
  LoadTestObjects(st);
  SetInitialValues(st);
  for (auto& led : st.conversionStart) led.fill(0.0);
  return 0;
}

void ExitStation(Station& st) {
  Disconnect(st);
  clearRunFlags(st.session);
  WriteAddressList(st);  // a list that cannot be written is not worth keeping the window for
  st.session.resourceManager = false;
  st.quitRequested = true;
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

void COPYWRITEBUT(Station& st) {
  if (connectedByLabel(st)) st.model.setPageVisible(kPageDiagnostics, true);
}

void REPROCESS_BUTTON(Station& st) { st.session.ReprocessRequested = 1; }

void PANELCB(Station& st, Panel panel, const Event& e) {
  if (panel != Panel::Main) return;
  if (e.kind == EventKind::Close) {
    ExitStation(st);
    return;
  }
  if (e.kind != EventKind::GotFocus || connectedByLabel(st)) return;
  st.model.setBackground(Ctl::COPYWRITEBUT, colour::Transparent);
  for (int page : {kPageLive, kPageDiagnostics, kPageTriggerTest, kPageAutoCheck})
    st.model.setPageVisible(page, false);
  st.model.setBackground(Ctl::DATA_STRT, colour::White);
  st.model.setBackground(Ctl::DATA_STOP, colour::White);
  st.session.CurrentDataPath.clear();
}

// Each loop runs inside this call until a nested callback clears its flag, so
// the flags of the pages that were left are cleared in this order.
void TAB(Station& st, int page) {
  SessionState& s = st.session;
  Station::PageActivities& run = st.pageActivities;
  if (page == kPageTriggerTest) {
    s.triggerTestRunning = 1;
    runActivity(st, run.TriggerCheck);
  } else {
    s.triggerTestRunning = 0;
  }
  if (page == kPageDiagnostics) {
    st.model.setLabel(Ctl::CHECKIOBUT, "Stop");
    s.ioCheckRunning = 1;
    runActivity(st, run.Checkio);
  } else {
    st.model.setLabel(Ctl::CHECKIOBUT, "Check I/O");
    s.ioCheckRunning = 0;
  }
  if (page == kPageLive) {
    st.model.setLabel(Ctl::DEMO_BUT, "STOP");
    s.demoRunning = 1;
    runActivity(st, run.Demo);
  } else {
    st.model.setLabel(Ctl::DEMO_BUT, "START");
    s.demoRunning = 0;
  }
  if (page == 1) runActivity(st, run.PlotData);
}

}  // namespace lumvex
