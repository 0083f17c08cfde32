// The Connect/Setup page (page 0): its control callbacks and the operations
// behind them that the other front ends call too — connecting, the status
// poll, the unit's settings, the ISO selectors, arming and erasing, and the
// download of a recording into memory.
#pragma once

#include "core/station.h"
#include "maintenance/side.h"

namespace lumvex {

constexpr int kConnectionEthernet = 0;  // CONNECTION selector indices
constexpr int kConnectionSerial = 1;
constexpr int kConnectionEthernet1066 = 2;

// CONNECT pressed: disconnects when connected, else opens the link chosen by
// CONNECTION (0 Ethernet port 3000, 1 serial COMPORT, 2 Ethernet port 1066),
// reads the status, identifies a unit found idle and updates the screen.
void CONNECT_BUT(Station& st);
// One status poll of the timer.
void TIMER_TICK(Station& st);
// Shows the cable-disconnect prompt (title, text, the two buttons).
void ShowCableDisconnectPrompt(Station& st);
// "DISCONNECT NOW" of the cable-disconnect prompt.
void DISC_BUTTON(Station& st);
// "STAY CONNECTED" of the cable-disconnect prompt.
void STAY_CONN_BUTT(Station& st);
// Relabels the COMPORT entries "COM 1" ... "COM 12" with the device that
// carries each one, e.g. "COM 1 - /dev/pts/5 (LUMVEX_SERIAL_PORTS)"; entries
// without a device keep their plain label. Values stay "COM 1" ... "COM 12".
void LabelComPorts(Station& st);
// The connection kind chosen: the address or the port selector shows.
void CONNECT_TYPE(Station& st);
// A remembered address chosen: it becomes the address to connect to.
void IPSELECT(Station& st);
// True while the page shows a connected unit (the CONNECT caption offers
// "DISCONNECT").
bool ShownConnected(const Station& st);
// The copyright button reveals the Diagnostics page while connected.
void COPYWRITEBUT(Station& st);
// "Continue Reprocessing" ends the wait of a raw file's reprocessing.
void REPROCESS_BUTTON(Station& st);

// The test comment is cleaned, shown and sent; a trigger choice is sent and
// the unit's settings read back.
void TESTINFO(Station& st);
void TRIGGER_SET(Station& st);
// A commit copies the selector's character into every row's ISO cell; a
// right-click on TESTOBJECT asks for a new test object.
void TESTOBJECT(Station& st, const Event& e);
void POSITION(Station& st, const Event& e);

// The impact side picked in LX_DIRECTION: the side change (DirChange) and
// what it did; the screens follow when the link was lost meanwhile.
SideChange LX_DIRECTION(Station& st);

// The LED table of the adjustable 50th: an edited rib or position list cell
// (a CellCommit event) keeps its ISO cell in step and shows the save and
// cancel buttons. Other cells and events change nothing.
void LED_TABLE(Station& st, const Event& e);
// The LED table's buttons act only while the unit is ready or holds a
// recording (a fresh status query); otherwise they return -1 at once.
// "Save LED Setup to Lumvex": SetLedInfo's result.
int SAVE_LED_INFO(Station& st);
// "Cancel Led Setup Changes": the unit's assignment back into the table. 0.
int CANCEL_LED_CHANGES(Station& st);
// "Show Current XYZ's": the LEDs' positions in the dummy's frame into the
// table. ShowCurrentPositions' result.
int GET_CUR_POS(Station& st);

// Arm (after the trigger, LED, position autocheck and battery checks) or disarm; the software
// trigger; the buffer mode; erase with its two questions; "Check Batt".
void ARM_BUT(Station& st);
void TRIGGER_BUT(Station& st);
void CIRC_LIN_BUT(Station& st);
void ERASE_BUT(Station& st);
void CHECK_BATT(Station& st);

// DOWNLOAD pressed: with the unit ready or holding a recording and no LED
// edits pending, downloads the window chosen on the page and shows the Export
// page. 0 when a new data set is in memory, -1 otherwise (the operator has
// been told why, or nothing was to be done).
int DOWNLOAD_BUT(Station& st);
// The download of the recorded window chosen on the page: raw records for a
// WorldSID unit above serial 100 (converted with its calibration file), else
// the unit's positions; the test identification, channel codes, side
// transform, derived channels and offsets; then the plot and export pages
// show the new data set. 0, or -1 with the data set in memory kept whole.
int GetLumvexData(Station& st);

}  // namespace lumvex
