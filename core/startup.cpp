#include "core/startup.h"

namespace lumvex {

// Placeholder until the configuration read lands.
int StartStation(Station& st) {
  (void)st;
  return 0;
}

void ExitStation(Station& st) { st.quitRequested = true; }

}  // namespace lumvex
