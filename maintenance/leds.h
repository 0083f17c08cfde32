// LED assignment of the adjustable Hybrid III 50th layout: reading the rib and
// position each of the unit's 12 LEDs is assigned to (LedRib, LedPosn).
#pragma once

#include "core/station.h"

namespace lumvex {

constexpr int kAssignedLeds = 12;

// Query the unit's rib / position assignment; n numbers of the reply's second
// field into out. 0, or -1 when the exchange failed or the reply did not parse.
int ShowLedRib(Station& st, int n, double* out);
int ShowLedPosn(Station& st, int n, double* out);
// Fills LedRib and LedPosn from the unit (3 tries each); on failure tells the
// operator and falls back to rib 1 and position 0 for every LED.
void GetLedInfo(Station& st);

}  // namespace lumvex
