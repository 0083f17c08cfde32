// The connection session on page 0: connect and disconnect, the screen update
// that follows every status change (CtrlScreens), the status poll of the
// timer and the two buttons of the cable-disconnect prompt.
#pragma once

#include "core/station.h"

namespace lumvex {

// CONNECT pressed: disconnects when connected, else opens the link chosen by
// CONNECTION (0 Ethernet port 3000, 1 serial COMPORT, 2 Ethernet port 1066),
// reads the status, identifies a unit found idle and updates the screen.
void CONNECT_BUT(Station& st);
// Applies the screen state of SessionState::unitStatus (identifying the unit
// first when it is idle and not yet identified).
void CtrlScreens(Station& st);
// One status poll of the timer.
void TIMER_TICK(Station& st);
// "DISCONNECT NOW" of the cable-disconnect prompt.
void DISC_BUTTON(Station& st);
// "STAY CONNECTED" of the cable-disconnect prompt.
void STAY_CONN_BUTT(Station& st);

// Shows the cable-disconnect prompt (title, text, the two buttons).
void ShowCableDisconnectPrompt(Station& st);
// Relabels the COMPORT entries "COM 1" ... "COM 12" with the device that
// carries each one, e.g. "COM 1 - /dev/pts/5 (LUMVEX_SERIAL_PORTS)"; entries
// without a device keep their plain label. Values stay "COM 1" ... "COM 12".
void LabelComPorts(Station& st);

}  // namespace lumvex
