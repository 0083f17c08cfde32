// The "LED Position Auto Check" page (page 6): shown only for a WorldSID LX2
// unit with the autocheck switched on (AutoCheck_On in "Lumvex_8_0.ini"), its
// limits, reference and current-position tables, its three buttons, and the
// check the arm button makes before arming.
#pragma once

#include "core/station.h"

namespace lumvex {

// Whether the station shows the page and checks before arming for the unit
// connected now.
bool AutoCheckEnabled(const Station& st);
// Run by the screen update of an idle unit (status 0 or 3): with the feature
// on, a page that was hidden is filled (InitAutocheckScreen) and shown; with
// it off the page stays hidden.
void ShowAutoCheckPage(Station& st);
// The limits from "AutoPosnCheck.ini" and the unit's references into the
// tables. GetGoldenPosns' result.
int InitAutocheckScreen(Station& st);

// "Save Limits": the limits table into AutoCheckLimits and the file.
// WriteAutoCheckIni's result.
int SAVELIMITS(Station& st);
// "Get Current Positions": the number of out-of-limit coordinates, marked
// yellow in the current table.
int AUTOCK_CURR_POSNS(Station& st);
// "Update Lab Positions in Lumvex with Current Positions": UpdateGoldens'
// result (2 when the operator said No).
int UPDATE_GOLDENS(Station& st);

// The arm button's check, between the LED error codes and the battery: true
// when arming may go on (feature off, nothing out of limits, or the operator
// said Yes). The current table shows what was found either way.
bool AutoCheckBeforeArming(Station& st);

}  // namespace lumvex
