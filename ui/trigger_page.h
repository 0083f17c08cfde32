// The Trigger Test page (page 5): the button that arms the unit's trigger
// input for the trigger check or stops waiting for a trigger. The check's
// loop runs while the page is shown (TAB).
#pragma once

#include "core/station.h"

namespace lumvex {

// Caption holding "Start": arms the trigger check ("Trigger Armed" lit,
// caption "Stop Trigger Check"); otherwise stops waiting (both lamps off,
// caption "Start Trigger Check"). 0, or -1 when the unit could not be armed.
int TRIGGER_CHECK(Station& st);

}  // namespace lumvex
