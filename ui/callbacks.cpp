// One place that ties the control names to their callbacks, so the front ends
// only ever call Model::commit. Every control callback acts on a commit event
// only (a right-click is ignored) unless its section says otherwise.
#include "ui/callbacks.h"

#include "ui/autocheck_page.h"
#include "ui/diagnostics_page.h"
#include "ui/export_page.h"
#include "ui/fileread.h"
#include "ui/finder_page.h"
#include "ui/live_page.h"
#include "ui/main_window.h"
#include "ui/plot_model.h"
#include "ui/screens.h"
#include "ui/setup_page.h"
#include "ui/trigger_page.h"

namespace lumvex {
namespace {

// Binds c so that its callback runs fn(st) on a commit event only.
template <typename Fn>
void onCommit(Station& st, Ctl c, Fn fn) {
  st.model.bind(c, [&st, fn](const Event& e) {
    if (e.kind == EventKind::Commit) fn(st);
  });
}

void bindStartup(Station& st) {
  // start-up, page change, main-window events, test comment, copyright button
  onCommit(st, Ctl::CONNECTION, CONNECT_TYPE);
  onCommit(st, Ctl::IPSELECT, IPSELECT);
  onCommit(st, Ctl::COPYWRITEBUT, COPYWRITEBUT);
  onCommit(st, Ctl::REPROCESS_BUTTON, REPROCESS_BUTTON);
  st.model.bind(Ctl::TAB, [&st](const Event& e) {
    if (e.kind == EventKind::TabChanged) TAB(st, e.data);
  });
  st.model.bindPanel([&st](Panel p, const Event& e) { PANELCB(st, p, e); });
}

void bindSession(Station& st) {
  // the link tells when it closed the session; the screens follow
  st.refreshScreens = [](Station& s) { CtrlScreens(s); };
  // connect / disconnect, status timer, cable-disconnect prompt
  onCommit(st, Ctl::CONNECT, CONNECT_BUT);
  st.model.bind(Ctl::TIMER, [&st](const Event& e) {
    if (e.kind == EventKind::TimerTick) TIMER_TICK(st);
  });
  onCommit(st, Ctl::DISC_BUTTON, DISC_BUTTON);
  onCommit(st, Ctl::STAY_CONN_BUTT, STAY_CONN_BUTT);
  // Once laid out, the port selector names the device behind each COM entry.
  if (st.model.itemCount(Ctl::COMPORT) > 0) LabelComPorts(st);
}

void bindIdentification(Station& st) {
  // trigger selector, test comment, ISO test object and position
  onCommit(st, Ctl::TRIGGER_SET, TRIGGER_SET);
  onCommit(st, Ctl::TESTINFO, TESTINFO);
  // The test-object selector also takes a right-click (a new test object).
  st.model.bind(Ctl::TESTOBJECT, [&st](const Event& e) { TESTOBJECT(st, e); });
  st.model.bind(Ctl::POSITION, [&st](const Event& e) { POSITION(st, e); });
}

void bindRecording(Station& st) {
  // arm, disarm, software trigger, buffer type, erase, battery, download
  onCommit(st, Ctl::ARM_BUT, ARM_BUT);
  onCommit(st, Ctl::TRIGGER_BUT, TRIGGER_BUT);
  onCommit(st, Ctl::CIRC_LIN_BUT, CIRC_LIN_BUT);
  onCommit(st, Ctl::ERASE_BUT, ERASE_BUT);
  onCommit(st, Ctl::CHECK_BATT, CHECK_BATT);
  onCommit(st, Ctl::DOWNLOAD_BUT, DOWNLOAD_BUT);
}

void bindDiagnostics(Station& st) {
  // raw dump, NOR flash, fuel gauge
  onCommit(st, Ctl::RAWDOWNLOAD, RAWDOWNLOAD);
  onCommit(st, Ctl::DISABLE_SD, DISABLE_SD);
  onCommit(st, Ctl::BAT_RESET, BAT_RESET);
  // I/O check and the one-shot tests
  onCommit(st, Ctl::CHECKIOBUT, CHECKIOBUT);
  onCommit(st, Ctl::RAMTEST, RAMTEST);
  onCommit(st, Ctl::FLASHTEST, FLASHTEST);
  onCommit(st, Ctl::SDCARDTEST, SDCARDTEST);
}

void bindLoopPages(Station& st) {
  // live display and trigger test
  onCommit(st, Ctl::DEMO_BUT, DEMO_BUT);
  onCommit(st, Ctl::DEMOHELP, DEMOHELP);
  onCommit(st, Ctl::TRIGGER_CHECK, TRIGGER_CHECK);
}

void bindUnitMaintenance(Station& st) {
  // impact side, LED assignment and current positions, firmware load
  onCommit(st, Ctl::LX_DIRECTION, LX_DIRECTION);
  st.model.bind(Ctl::LED_TABLE, [&st](const Event& e) { LED_TABLE(st, e); });
  onCommit(st, Ctl::SAVE_LED_INFO, SAVE_LED_INFO);
  onCommit(st, Ctl::CANCEL_LED_CHANGES, CANCEL_LED_CHANGES);
  onCommit(st, Ctl::GET_CUR_POS, GET_CUR_POS);
  onCommit(st, Ctl::LOADER, LOADER);
}

void bindAutoCheck(Station& st) {
  // position autocheck page
  onCommit(st, Ctl::SAVELIMITS, SAVELIMITS);
  onCommit(st, Ctl::AUTOCK_CURR_POSNS, AUTOCK_CURR_POSNS);
  onCommit(st, Ctl::UPDATE_GOLDENS, UPDATE_GOLDENS);
}

void bindExport(Station& st) {
  // export page
  onCommit(st, Ctl::EXPORT_BUT, [](Station& s) { CB_BtnExport(s); });
  onCommit(st, Ctl::EXPORT_FORMAT, [](Station& s) { ExportFormatChange(s); });
}

void bindFileRead(Station& st) {
  // the file button of the plot page
  onCommit(st, Ctl::FILESELECT, FILESELECT);
}

void bindFinder(Station& st) {
  // "Find Lumvexs", the finder panel and the adaptor panel
  onCommit(st, Ctl::LISTEN, LISTEN_BUT);
  onCommit(st, Ctl::FINDER__CHANGEIP, FINDER__CHANGEIP);
  onCommit(st, Ctl::FINDER_OK, FINDER_OK);
  onCommit(st, Ctl::OKBUTTON, OKBUTTON);
}

}  // namespace

void BindCallbacks(Station& st) {
  bindStartup(st);
  bindSession(st);
  bindIdentification(st);
  bindRecording(st);
  bindDiagnostics(st);
  bindUnitMaintenance(st);
  bindAutoCheck(st);
  bindLoopPages(st);
  bindExport(st);
  BindPlotPage(st);
  bindFileRead(st);
  bindFinder(st);
}

}  // namespace lumvex
