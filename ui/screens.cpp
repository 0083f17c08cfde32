#include "ui/screens.h"

namespace lumvex {

// Placeholder until the per-family layouts land.
int SetupScreens(Station& st, int connected) {
  (void)connected;
  if (st.model.text(Ctl::LXtype).empty()) return -1;
  st.session.needsScreenSetup = 0;
  return 0;
}

}  // namespace lumvex
