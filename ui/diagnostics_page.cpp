#include "ui/diagnostics_page.h"

#include "files/rawdump.h"
#include "link/download.h"
#include "link/info.h"
#include "link/link.h"
#include "link/recording.h"
#include "link/status.h"
#include "maintenance/battery.h"
#include "maintenance/hwtests.h"
#include "maintenance/iocheck.h"
#include "maintenance/upload.h"
#include "ui/screens.h"
#include "ui/setup_page.h"

namespace lumvex {
namespace {

// A test that lost the link outside the check's loop has nobody else to
// bring the screens in line with the closed session.
int oneShot(Station& st, int (*test)(Station&)) {
  EndIOCheck(st);
  const int r = test(st);
  if (!LinkOpen(st) && ShownConnected(st)) CtrlScreens(st);
  return r;
}

}  // namespace

int CHECKIOBUT(Station& st) {
  if (st.session.ioCheckRunning) {
    EndIOCheck(st);
    return 0;
  }
  st.model.setLabel(Ctl::CHECKIOBUT, "Stop");
  st.session.ioCheckRunning = 1;
  const int r = Checkio(st);
  st.model.setLabel(Ctl::CHECKIOBUT, "Check I/O");
  if (r == -2) CtrlScreens(st);
  return r;
}

int RAMTEST(Station& st) { return oneShot(st, RamCheck); }
int FLASHTEST(Station& st) { return oneShot(st, FlashCheck); }
int SDCARDTEST(Station& st) { return oneShot(st, SdCardCheck); }

int RAWDOWNLOAD(Station& st) {
  const int s = CheckStatus(st);
  if (s != StatusReady && s != StatusDataHeld) return -1;
  if (st.session.ioCheckRunning) EndIOCheck(st);
  if (Download(st, DownloadRawToFile) != 0) {
    // A link lost at the command itself has not been shown yet.
    if (!LinkOpen(st)) CtrlScreens(st);
    return -1;
  }
  return DumpFileSave(st, st.data.RawRecordCount, st.data.RawRecordWords);
}

void DISABLE_SD(Station& st) {
  NORFLASH(st);
  DumpInfo(st);
  st.ui->message("FLASH USE", "SD CARD Read disabled until Lumvex is Rebooted");
}

void BAT_RESET(Station& st) {
  if (ResetFuelGauge(st) == -1)
    st.ui->message("Battery Comm Error", "Bad Comm with Battery");
  else
    st.ui->message("Fuel Gage Reset", "Battery Fuel Gage Reset to Full Charge");
}

int LOADER(Station& st) {
  st.session.ioCheckRunning = 0;
  st.model.setLabel(Ctl::CHECKIOBUT, "Check I/O");
  int loaded = 0;
  const int r = Loader(st, &loaded);
  // A load that lost the link has closed the session; the screens follow.
  if (!LinkOpen(st)) CtrlScreens(st);
  return r < 0 ? -1 : loaded;
}

}  // namespace lumvex
