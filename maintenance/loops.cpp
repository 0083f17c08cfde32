#include "maintenance/loops.h"

#include "link/link.h"

namespace lumvex {

bool SuspendStatusTimer(Station& st) {
  const bool running = st.model.timerRunning();
  st.model.setTimerRunning(false);
  return running;
}

void RestoreStatusTimer(Station& st, bool wasRunning) {
  st.model.setTimerRunning(wasRunning && st.session.unitStatus != StatusDisconnected && LinkOpen(st));
}

void FinishPass(Station& st, int& runFlag) {
  st.ui->processEvents();
  if (!LinkOpen(st)) runFlag = 0;
}

int LoopResult(const Station& st) { return LinkOpen(st) ? 0 : -2; }

}  // namespace lumvex
