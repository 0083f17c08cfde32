#include "ui/live_page.h"

#include "maintenance/live.h"
#include "platform/text.h"
#include "ui/screens.h"

namespace lumvex {

int DEMO_BUT(Station& st) {
  if (!Contains(st.model.label(Ctl::DEMO_BUT), "START")) {
    st.model.setLabel(Ctl::DEMO_BUT, "START");
    st.session.demoRunning = 0;
    return 0;
  }
  LiveManualRanges(st.model);
  st.model.setLabel(Ctl::DEMO_BUT, "STOP");
  st.session.demoRunning = 1;
  const int r = Demo(st);
  // The display also ends with the link; the button must not offer to stop
  // a display that no longer runs.
  st.model.setLabel(Ctl::DEMO_BUT, "START");
  if (r == -2) CtrlScreens(st);
  return r;
}

void DEMOHELP(Station& st) { demohelp(st); }

}  // namespace lumvex
