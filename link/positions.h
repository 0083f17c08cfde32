// The current-position query: a one-line snapshot of every LED's coordinates,
// used before arming, by the LED table, the position autocheck and the live
// display.
#pragma once

#include "core/station.h"

namespace lumvex {

constexpr int kMaxPointValues = 54;  // 18 LEDs by 3 coordinates
constexpr size_t kPointsFieldCapacity = 511;

// Fills `points` (room for 54 numbers, mm, LED by LED in X, Y (, Z) order) and
// `count` with the number of values the unit reported (0 to 54). 0, or -1 when
// the link failed (all 54 numbers set to 0) or the reply did not parse.
int getPoints(Station& st, int& count, double* points);

}  // namespace lumvex
