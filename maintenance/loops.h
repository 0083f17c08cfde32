// What the three cooperative loops of the maintenance pages (I/O check,
// trigger check, live display) share: the status timer held off while a loop
// runs, and the end of every pass, which lets pending events run and ends the
// loop once its link has gone.
#pragma once

#include "core/station.h"

namespace lumvex {

// Stops the status timer; true when it was running.
bool SuspendStatusTimer(Station& st);
// Gives the timer back its state from before the loop, but only while a unit
// is connected: a session closed inside the loop keeps it stopped, as the
// disconnected screen has it.
void RestoreStatusTimer(Station& st, bool wasRunning);
// Ends a pass: lets pending user-interface events (and nested callbacks) run,
// then clears `runFlag` when the link has closed meanwhile (lost, or
// "Disconnect" chosen in the error box), so that no loop spins on without a
// unit.
void FinishPass(Station& st, int& runFlag);
// A loop's result: 0, or -2 when it ended with its link closed (the screen
// still has to show the disconnected state).
int LoopResult(const Station& st);

}  // namespace lumvex
