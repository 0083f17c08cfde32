// Screen set-up per unit family: LED table, axes, recording-time limits,
// default selections, side selector, live-display labels and the
// Diagnostics page's controls.
#pragma once

#include "core/station.h"

namespace lumvex {

// connected = 1 when a unit may be queried, 0 when the layout follows a file.
// 0 after a complete set-up, -1 when LXtype is empty.
int SetupScreens(Station& st, int connected);

}  // namespace lumvex
