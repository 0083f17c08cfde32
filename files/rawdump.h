// The raw memory dump: a downloaded window of the unit's raw words written as
// a CSV file of its own (type line, then per record the time and every word
// doubled), for looking at the unit's memory without any conversion.
#pragma once

#include "core/station.h"

namespace lumvex {

// Asks for the file ("Save Data File") and writes the first records x words
// words of RawWords to it; the chosen path becomes CurrentDataPath. 0, or -1
// when cancelled or the file cannot be written completely (the operator is
// told which).
int DumpFileSave(Station& st, int records, int words);

}  // namespace lumvex
