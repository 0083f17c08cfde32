// The connection page's search for units on the local network and its two
// pop-up panels: "Find Lumvexs" (LISTEN), the finder panel that lists the
// units found and gives one of them a new address, and the adaptor panel that
// chooses the network adaptor when nothing was found.
#pragma once

#include "core/station.h"

namespace lumvex {

// One search from the connection page (findLumvex): with WidgetType 0 the
// button shows the beacon wait's caption in red while it runs. Opens the
// finder panel filled with the units found, or the adaptor panel when none
// answered. Returns the count (0 to 4).
int findLumvex(Station& st);
// "Find Lumvexs" pressed: findLumvex, unless a search or an address change is
// running (their waits let events run); then nothing is done and -1 returned.
int LISTEN_BUT(Station& st);
// The adaptor panel: the PC's addresses (first selected) and the text for the
// adaptor in NicToUse.
void MultiNIC(Station& st);
// "Change IP": ChangeUnitAddress for the unit selected in FINDER_LIST with the
// FINDER_NEWIP text. On a refusal (result < 0) the panel stays open for
// another try; otherwise the found addresses join the remembered list and the
// panel closes. Returns ChangeUnitAddress's result, or kChangeRefused without
// doing anything while a search or another change is running.
int FINDER__CHANGEIP(Station& st);
// The finder's "OK": the found addresses join the remembered list and the
// panel closes.
void FINDER_OK(Station& st);
// The adaptor panel's "OK": the selected adaptor goes to NicToUse and
// "MultipleNICs.ini"; the panel closes either way and no search starts.
// WriteNicFile's result, or -1 when no adaptor was selected (nothing written).
int OKBUTTON(Station& st);
// Adds each found unit's address to IPSELECT unless an entry already holds it
// as its value; a new entry goes in at the unit's place in the found list.
void AddFoundAddresses(Station& st);

}  // namespace lumvex
