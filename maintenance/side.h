// The impact-side change of a WorldSID unit: the LED table relabelled for a
// unit below serial 100, the other side's calibration file loaded into an
// older unit, the LX2 unit told which of its two calibrations to use, and the
// LED table's ISO cells rewritten for the new side.
#pragma once

#include "core/station.h"

namespace lumvex {

// What DirChange did.
enum class SideChange : int {
  Nothing,     // not a unit whose side changes here, or the side is already current
  Relabelled,  // a WorldSID 50th below serial 100: only the LED table follows
  Loaded,      // the new side's calibration went into the unit
  Switched,    // the LX2 unit uses the new side's calibration
  Cancelled,   // the operator said Cancel; the selector is back on the current side
  Failed,      // no file, refused or failed load (the operator has been told)
};

// Tells an LX2 unit to use the calibration of side 0 (left) or 1 (right).
// 0 when it accepted, -1 when it refused, the reply was malformed or the
// exchange failed (the transport has told the operator then).
int Set_LX2_Direction(Station& st, int side);

// The side change for the side picked in LX_DIRECTION ("LE" or "RI").
SideChange DirChange(Station& st);

// Characters 4 to 13 of LED_TABLE row `row`'s ISO cell become the 10-character
// fragment (shorter fragments are padded with blanks).
void PutIsoFragment(Station& st, int row, const char* fragment);

}  // namespace lumvex
