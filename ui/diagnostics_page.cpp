#include "ui/diagnostics_page.h"

#include "files/rawdump.h"
#include "link/download.h"
#include "link/info.h"
#include "link/recording.h"
#include "link/status.h"
#include "maintenance/battery.h"

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

}  // namespace lumvex
