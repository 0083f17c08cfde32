// Screen set-up per unit family: LED table, axes, recording-time limits,
// default selections, side selector, live-display labels and the
// Diagnostics page's controls.
#pragma once

#include "core/station.h"

#include <string_view>

namespace lumvex {

// connected = 1 when a unit may be queried, 0 when the layout follows a file
// (the unit is never asked anything then). 0 after a complete set-up, -1 when
// LXtype is empty (nothing is changed then).
int SetupScreens(Station& st, int connected);

// The family of a unit type text; the tests run in a fixed order and the
// first match wins ("50th 3D" before "50th", "WorldSID Female" before "WorldSID").
int DummyTypeFromText(std::string_view typeText);
// The adjustable 50th variant ("50th ADJ" in the type text).
bool IsAdjustable50th(std::string_view typeText);

}  // namespace lumvex
