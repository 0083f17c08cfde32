// The ISO cells of the LED table: composing a row's spaced-out 25-character
// channel-code text for the unit's family and side, and the test-object and
// position selectors that edit every row's cell, and the prompt that adds a
// test object to "isotestobject.txt".
#pragma once

#include "core/station.h"

#include <string>

namespace lumvex {

// Columns of LED_TABLE (1-based, as the table counts them).
namespace ledtable {
constexpr int Number = 1;    // LED number
constexpr int Rib = 2;       // rib (or LED) number
constexpr int Position = 3;  // position name
constexpr int Iso = 4;       // the LedIsoCell
constexpr int X = 5;         // current X, Y, Z in 5, 6, 7
constexpr int Columns = 7;
constexpr int Rows = 18;  // the most LEDs a unit carries
}  // namespace ledtable

constexpr int kLedIsoCellChars = 25;

// The LedIsoCell of LED table row `row` (1 to LedCount) as it is composed now
// from the selectors, the type, the side and the row's rib and position cells.
std::string LedIsoCellText(const Station& st, int row);
// Writes that text into column 4 of the row.
void ComposeLedIsoCell(Station& st, int row);
// Asks for a new test object ("ADD ISO TEST OBJECT"); a name of more than two
// characters is added to the selector, selected, appended to
// "isotestobject.txt" and copied into every row's ISO cell.
void AddTestObject(Station& st);

}  // namespace lumvex
