// Device information and settings commands: identification (type, serial,
// firmware, calibration date, configuration block), trigger setting, test
// comment, recorded window, impact side and the unit's clock.
#pragma once

#include "core/station.h"

namespace lumvex {

// Identifies the unit and fills the page-0 identity fields. 0 or -1.
int GetLXinfo(Station& st);
// Refreshes the recorded window (DATA_STRT, DATA_STOP). 0 or -1.
int DumpInfo(Station& st);
// Asks the unit for its impact side; updates DirectionText and LX_DIRECTION. 0 or -1.
int Direction(Station& st);

}  // namespace lumvex
