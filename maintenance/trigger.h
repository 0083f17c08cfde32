// The trigger check of the Trigger Test page: the unit's trigger input is
// armed from the page's button, and a loop asks the unit once a second
// whether a trigger has arrived and lights the page's lamp when one has.
#pragma once

#include "core/station.h"

namespace lumvex {

constexpr int kTriggerPollMs = 1000;  // ms between trigger queries while armed
constexpr int kTriggerIdleMs = 20;    // ms a pass waits (events running) while nothing is armed

// The button's "Start" action: "Trigger Received" off, "Trigger Armed" on,
// caption "Stop Trigger Check", the unit's trigger input armed. 0, or -1 when
// the unit could not be armed (lamps off and caption "Start Trigger Check"
// again, nothing armed).
int ArmTriggerCheck(Station& st);
// The button's "Stop" action: both lamps off, caption "Start Trigger Check",
// nothing armed.
void DisarmTriggerCheck(Station& st);

// The loop's pieces, for a front end that runs its own passes: the start
// shows the button's "Start Trigger Check", both lamps off and disarms; a
// pass waits 1 s and asks the unit when armed (lighting "Trigger Received"
// and disarming when a trigger came), else waits a moment. A pass returns 1
// when a trigger came in it, else 0.
void TriggerCheckStart(Station& st);
int TriggerCheckPass(Station& st);

// The loop: starts with the button's caption "Start Trigger Check", both
// lamps off and nothing armed; then, while triggerTestRunning is set, waits
// 1 s and asks the unit when armed, lights "Trigger Received" and disarms
// when a trigger came, and lets pending events run. 0, or -2 when it ended
// because the link closed.
int TriggerCheck(Station& st);

}  // namespace lumvex
