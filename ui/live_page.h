// The Live Display page (page 2): the start / stop button of the live
// display and its help button.
#pragma once

#include "core/station.h"

namespace lumvex {

// "START": the live graph takes its manual ranges, the button reads "STOP"
// and the live display runs until its flag is cleared (the button again, a
// page change, a closed session or window); the button then reads "START".
// "STOP": the button reads "START" and the running display ends after its
// pass. 0, or -2 when the display ended because the link closed (the screens
// then show it).
int DEMO_BUT(Station& st);
// The page's "Help" box.
void DEMOHELP(Station& st);

}  // namespace lumvex
