#include "ui/diagnostics_page.h"

#include "files/rawdump.h"
#include "link/download.h"
#include "link/info.h"
#include "link/recording.h"
#include "link/status.h"
#include "link/link.h"
#include "maintenance/battery.h"
#include "maintenance/upload.h"
#include "ui/screens.h"

namespace lumvex {

int RAWDOWNLOAD(Station& st) {
  const int s = CheckStatus(st);
  if (s != StatusReady && s != StatusDataHeld) return -1;
  if (st.session.ioCheckRunning) {
    st.session.ioCheckRunning = 0;
    st.model.setLabel(Ctl::CHECKIOBUT, "Check I/O");
  }
  if (Download(st, DownloadRawToFile) != 0) return -1;
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
