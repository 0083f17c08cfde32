// LED assignment of the adjustable Hybrid III 50th layout: reading the rib and
// position each of the unit's 12 LEDs is assigned to (LedRib, LedPosn), the
// LED table's edits with their ISO cells kept in step, saving to the unit and
// cancelling; and the LEDs' current positions in the dummy's frame.
#pragma once

#include "core/station.h"

#include <string>

namespace lumvex {

constexpr int kAssignedLeds = 12;
constexpr int kLedRibs = 6;       // ribs 1 to 6
constexpr int kLedPositions = 4;  // position indices 0 to 3
// The position lists' texts, by index.
constexpr const char* kLedPositionNames[kLedPositions] = {"LEFT RIB", "LEFT STERNUM", "RIGHT RIB",
                                                          "RIGHT STERNUM"};

// Query the unit's rib / position assignment; n numbers of the reply's second
// field into out. 0, or -1 when the exchange failed or the reply did not parse.
int ShowLedRib(Station& st, int n, double* out);
int ShowLedPosn(Station& st, int n, double* out);
// Fills LedRib and LedPosn from the unit (3 tries each); on failure tells the
// operator and falls back to rib 1 and position 0 for every LED. A number
// outside 1-6 (rib) or 0-3 (position) takes the same fallback for its LED.
void GetLedInfo(Station& st);

// One assignment written to the unit: 0 when it echoed both numbers, else -1.
int SetLedRib(Station& st, int led, int rib);
int SetLedPosn(Station& st, int led, int posn);
// Makes the unit keep its assignment: 0; -1 when the exchange failed or the
// reply did not parse (told as "COMM ERROR").
int SaveLeds(Station& st);
// Writes rows 1 to 12 of the LED table's rib and position cells to the unit
// (3 tries per command), then makes it keep them (3 tries). 0, after which the
// edit buttons are hidden; -1 after the operator was told (the buttons stay).
int SetLedInfo(Station& st);

// The edit of LED_TABLE cell (row, col) of the adjustable layout: a rib (col 2)
// or position (col 3) choice is copied into the row's ISO cell (character 10;
// "RIBS"/"STRN" at 4-7 and the side at 12-13). True when the cell now differs
// from the unit's assignment; the edit buttons are then shown and the download
// button dimmed. Any other cell: false, nothing changes.
bool LedTableEdit(Station& st, int row, int col);
// Reads the assignment back from the unit into the table (ISO cells following)
// and hides the edit buttons.
void CancelLedChanges(Station& st);
// The LED buttons act only while the unit is ready (0) or holds a recording (3).
bool LedButtonsActive(Station& st);

// The current positions in the dummy's frame, as the LED table shows them:
// the unit's values through the impact-side transform, with the first two
// coordinates of each Ballistic LED swapped. Results as getPoints.
int DummyFramePositions(Station& st, int& count, double* points);
// Fills the LED table's coordinate columns with them. 0, or getPoints' -1
// (the table keeps its values then).
int ShowCurrentPositions(Station& st);
// A coordinate as the table and the command line show it (mm, two decimals).
std::string PositionText(double mm);

}  // namespace lumvex
