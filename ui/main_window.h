// The main window: start-up and exit of the station (the configuration read,
// the remembered addresses "reinit.txt" and ISO test objects
// "isotestobject.txt", the initial page-0 values), its events (focus, close)
// and the page change.
#pragma once

#include "core/station.h"

#include <string>
#include <string_view>

namespace lumvex {

constexpr char kAddressFileName[] = "reinit.txt";
constexpr char kTestObjectFileName[] = "isotestobject.txt";
constexpr size_t kTestObjectLineMax = 49;  // characters of a test-object line that are read
constexpr size_t kTestObjectLineMin = 3;   // shorter lines are skipped

// Steps 4 to 8 of the start-up, after the main window is laid out and shown:
// 0 when the event loop may run, nonzero when the configuration could not be
// read (the operator has been told why) and the program must end.
int StartStation(Station& st);
// Window closed: disconnect, rewrite "reinit.txt", ask the event loop to quit.
void ExitStation(Station& st);

// "reinit.txt" into IPSELECT (no duplicates) and its last word into IPADDRESS.
void LoadAddressList(Station& st);
// TESTOBJECT emptied, then one entry per line of "isotestobject.txt".
void LoadTestObjects(Station& st);
// Every IPSELECT label, then the IPADDRESS text, each followed by CR LF.
// 0, or -1 when the file could not be written.
int WriteAddressList(Station& st);

// Main-window events: gaining focus and closing.
void PANELCB(Station& st, Panel panel, const Event& e);
// The active page became `page`: relabels and sets or clears the run flags of
// the pages' loops.
void TAB(Station& st, int page);

}  // namespace lumvex
