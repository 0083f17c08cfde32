// Pre-trigger averages of the measurements in memory: the offsets that
// relative output subtracts.
#pragma once

#include "core/data.h"

namespace lumvex {

// ChannelOffsets[c] for c = 1 .. ChannelCount-1: the mean of rows 0..99 of the
// column, summed in double and stored in single precision. Column 0 (time) has
// no offset. With fewer than 100 rows only the rows present are averaged.
void CalcChannelOffsets(MeasurementData& d);

}  // namespace lumvex
