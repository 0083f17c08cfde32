// WorldSID derived channels: the error-code runs of an LED, the IR-TRACC
// equivalents of the six ribs (columns 61..72) and the length change of the 18
// LEDs (columns 73..90). After a WorldSID data set has been assembled (or a
// raw file reprocessed) into 61 columns with its LED codes built, the caller
// runs, in this order:
//   IRTraccCalcs(st);             // 61 -> 73 columns, codes 60..71, " w/IRT"
//   CalcChannelOffsets(st.data);  // the assembly does this only when StartTimeMs <= -10
//                                 // or SampleCount >= 100
//   LengthCalcs(st);              // 73 -> 91 columns, codes 72..89, " w/Length Change",
//                                 // offsets recomputed
#pragma once

#include "core/data.h"
#include "core/station.h"

#include <array>

namespace lumvex {

// One stretch of samples where an LED delivered an error code.
struct ErrorRun {
  int first;  // sample; -1 marks the end of the list
  int last;   // sample; -1 when the run lasts to the last sample
  int code;   // code of the run's first sample
};

constexpr int kErrorRunSlots = 500;
constexpr int kErrorRunMergeGap = 50;  // samples: closer runs become one
using ErrorRunTable = std::array<ErrorRun, kErrorRunSlots>;

// Entry 499 always holds this marker; it is never a run.
constexpr ErrorRun kErrorRunEndMarker{-2, -2, -2};

// The error code of one LED sample: the common integer part of |x|, |y|, |z|
// when it is below 10, else 0 (a valid position).
int SampleErrorCode(float x, float y, float z);

// Fills `runs` for the LED whose X is in `column` of `data` (Y and Z follow).
// Runs less than 50 samples apart are merged; a merged run keeps the code of
// its first sample. A column without room for X, Y, Z leaves the list empty.
void BuildErrorCodeTable(ErrorRunTable& runs, const ChannelTable& data, int column);

// Widens ChannelData by 12 columns and fills the uncorrected (61 + p) and
// X-corrected (67 + p) IR-TRACC equivalents of rib p, their channel codes and
// the " w/IRT" type-name suffix. Returns 0, or -1 (nothing changed) unless the
// table has the 61 columns of an assembled WorldSID record.
int IRTraccCalcs(Station& st);

// Widens ChannelData by 18 columns and fills the length change of LED i in
// column 73 + i, their channel codes, the " w/Length Change" suffix, and the
// offsets. Returns 0, or -1 (nothing changed) unless the table has the
// 73 columns that IRTraccCalcs leaves.
int LengthCalcs(Station& st);

}  // namespace lumvex
