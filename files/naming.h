// Channel naming: the 16-character ISO MME code and the readable plot name of
// every data column. Codes are compacted from the LED table's ISO cells at
// download (LED and sensor channels), derived from LED codes for the WorldSID
// IR-TRACC-equivalent and length-change channels, and given their filter-class
// character before each export. The ISO writer takes the channel amplitude
// class from a code; the DIAdem and ISO writers take the plot names.
#pragma once

#include "core/station.h"

#include <string>
#include <string_view>

namespace lumvex {

constexpr const char* kPlotNamesFile = "WorldSID Channel Names for Plots.csv";

// The code in a slot as text (up to its terminating zero).
std::string_view codeText(const CodeSlot& slot);
// Stores text (cut to 24 characters) in a slot, terminated.
void setCode(CodeSlot& slot, std::string_view text);

// Restores the type names a fresh station starts with (drops derived suffixes).
void InitDummyTypeNames(MeasurementData& d);
// The current type's name, "undefined" for a type outside 0 to 7.
std::string_view currentTypeName(const Station& st);
// Appends suffix to the current type's name unless the name already holds marker
// (" w/IRT" under "IRT", " w/Length Change" under "Length Change"); the name is
// kept within its 49 characters.
void AppendTypeNameSuffix(Station& st, std::string_view marker, std::string_view suffix);

// The 16-character code of one axis of an LED from its 25-character ISO cell:
// cell characters 0, 2, 4-7, 9-10, 12-13, 15-16, 18-19, then axis, then "0".
// A short cell reads as if padded with spaces.
std::string CodeFromLedCell(std::string_view cell, char axis);
// Fills ChannelCodes for the LED and sensor channels from column 4 of the LED
// table and the layout of the current type; DataFilterCode becomes '0'.
void BuildChannelCodes(Station& st);

// Copy the test-object (position 0) or position (position 2) selector's
// character into the ISO cell of every LED row 1 to LedCount.
void TestObjectChange(Station& st);
void IsoPosnChange(Station& st);

// The unfiltered filter-class character: 'P' when LegacySwUnfiltCode is 1, else '0'.
char UnfilteredCode(const IniSettings& ini);
// Sets character 15 of the codes of data columns 1 to ChannelCount - 1: sensor
// codes get the unfiltered character, length-change codes keep theirs, every
// other code gets letter.
void EncodeFilter(Station& st, char letter);

// Channel amplitude class of code slot k (327 when no rule matches).
int GetCAC(const Station& st, int k);

// Fills PlotNames for the current type; relative adds " Relative" to rib names.
// WorldSID names come from kPlotNamesFile in the working folder (the codes when
// it is missing). Returns 0.
int GeneratePlotNames(Station& st, int relative);

// Derived codes of the WorldSID layout.
// IR-TRACC-equivalent pair of rib p (0 to 5) from its middle LED's Y code
// (slot 9p + 4); mme selects the MME-style names of UseMmeIrtChannelNames.
void IrTraccCodePair(const CodeSlot& middleY, int p, bool mme, CodeSlot& first, CodeSlot& second);
// Slots 60 to 71: the IR-TRACC-equivalent pairs of the six ribs.
void AssignIrTraccCodes(Station& st);
// Length-change code of an LED from its X code: direction "L", filter "B".
void LengthChangeCode(const CodeSlot& ledX, CodeSlot& out);
// Slots 72 to 89: the length-change codes of the 18 LEDs (from slots 0, 3, ... 51).
void AssignLengthChangeCodes(Station& st);

}  // namespace lumvex
