// Start-up and exit of the station: the configuration read, the remembered
// addresses ("reinit.txt") and ISO test objects ("isotestobject.txt"), the
// initial page-0 values, the main-window events and the small page-0
// callbacks that need no unit.
#pragma once

#include "core/station.h"

namespace lumvex {

// Steps 4 to 8 of the start-up, after the main window is laid out and shown:
// 0 when the event loop may run, nonzero when start-up failed (the operator
// has been told why).
int StartStation(Station& st);
// Window closed: disconnect, rewrite "reinit.txt", ask the event loop to quit.
void ExitStation(Station& st);

}  // namespace lumvex
