#include "ui/main_window.h"

#include "core/config.h"
#include "link/link.h"
#include "maintenance/iocheck.h"
#include "maintenance/live.h"
#include "maintenance/trigger.h"
#include "ui/screens.h"
#include "ui/setup_page.h"
#include "platform/paths.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace lumvex {
namespace {

constexpr int kPageLive = pageIndex(Panel::Live);
constexpr int kPageDiagnostics = pageIndex(Panel::Diagnostics);
constexpr int kPageTriggerTest = pageIndex(Panel::TriggerTest);
constexpr int kPageAutoCheck = pageIndex(Panel::AutoCheck);

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

void PANELCB(Station& st, Panel panel, const Event& e) {
  if (panel != Panel::Main) return;
  if (e.kind == EventKind::Close) {
    ExitStation(st);
    return;
  }
  if (e.kind != EventKind::GotFocus || ShownConnected(st)) return;
  st.model.setBackground(Ctl::COPYWRITEBUT, colour::Transparent);
  for (int page : {kPageLive, kPageDiagnostics, kPageTriggerTest, kPageAutoCheck})
    st.model.setPageVisible(page, false);
  st.model.setBackground(Ctl::DATA_STRT, colour::White);
  st.model.setBackground(Ctl::DATA_STOP, colour::White);
  st.session.CurrentDataPath.clear();
}

// Each page's loop (trigger test, I/O check, live display) runs inside this
// call until a nested callback clears its flag; the flags of the pages that
// were left are cleared in this order. A loop that ends because the link
// closed has the screens follow.
void TAB(Station& st, int page) {
  SessionState& s = st.session;
  auto afterLoop = [&st](int rc) {
    if (rc == -2) CtrlScreens(st);
  };
  if (page == kPageTriggerTest) {
    s.triggerTestRunning = 1;
    afterLoop(TriggerCheck(st));
  } else {
    s.triggerTestRunning = 0;
  }
  if (page == kPageDiagnostics) {
    st.model.setLabel(Ctl::CHECKIOBUT, "Stop");
    s.ioCheckRunning = 1;
    afterLoop(Checkio(st));
  } else {
    st.model.setLabel(Ctl::CHECKIOBUT, "Check I/O");
    s.ioCheckRunning = 0;
  }
  if (page == kPageLive) {
    st.model.setLabel(Ctl::DEMO_BUT, "STOP");
    s.demoRunning = 1;
    afterLoop(Demo(st));
  } else {
    st.model.setLabel(Ctl::DEMO_BUT, "START");
    s.demoRunning = 0;
  }
}

}  // namespace lumvex
