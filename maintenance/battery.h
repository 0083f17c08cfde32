// Battery fuel gauge: charge and voltage read-out, the charge-state dialogs
// and the fuel-gauge reset.
#pragma once

#include "core/station.h"

namespace lumvex {

// Reads and shows the battery state, with the dialogs for its error codes.
// 0 when arming may go on, -1 when it must not.
int DoBattery(Station& st);

}  // namespace lumvex
