// The screens: the set-up per unit family (LED table, axes, recording-time
// limits, default selections, side selector, live-display labels and the
// Diagnostics page's controls) and the control states that follow the unit's
// status (CtrlScreens).
#pragma once

#include "core/station.h"

#include <string_view>

namespace lumvex {

// connected = 1 when a unit may be queried, 0 when the layout follows a file
// (the unit is never asked anything then). 0 after a complete set-up, -1 when
// LXtype is empty (nothing is changed then).
int SetupScreens(Station& st, int connected);
// Applies the screen state of SessionState::unitStatus (identifying the unit
// first when it is idle and not yet identified).
void CtrlScreens(Station& st);

}  // namespace lumvex
