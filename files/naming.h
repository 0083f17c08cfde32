// Channel naming: the 16-character ISO MME code and the readable plot name of
// every data column. Codes are compacted from the LED table's ISO cells at
// download (LED and sensor channels), derived from LED codes for the WorldSID
// IR-TRACC-equivalent and length-change channels, and given their filter-class
// character before each export. The ISO writer takes the channel amplitude
// class from a code; the DIAdem and ISO writers take the plot names.
#pragma once

#include "core/channel_codes.h"
#include "core/station.h"

#include <string>
#include <string_view>

namespace lumvex {

constexpr const char* kPlotNamesFile = "WorldSID Channel Names for Plots.csv";

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

}  // namespace lumvex
