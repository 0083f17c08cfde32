// The channel frequency class (CFC) low-pass filter of the exports, plots and
// length-change channels, and the zeroed and filtered copy of the data that
// the writers write (ExportData). The filter is a second-order Butterworth
// section run forward and then backward over a series padded at each end with
// 200 copies of its end values, every stored step rounded to single
// precision, so that the files match those written by earlier stations value
// for value.
#pragma once

#include "core/data.h"

#include <span>

namespace lumvex {

// A series shorter than this is returned unchanged.
constexpr int kButfiltMinCount = 33;
constexpr int kButfiltPad = 200;  // values of padding at each end

struct ButterworthCoefficients {
  double a0, a1, a2, b1, b2;
};

// The section for class cfc (60, 180, 600, 1000) at the sample interval. ms
ButterworthCoefficients ButterworthDesign(int cfc, float intervalMs);

// Filters count values in place, in the work area `work` (grown once to the
// longest series, then reused).
void Butfilt(float* values, int cfc, int count, float intervalMs, FilterWork& work);

// The code ButfiltColumns runs: the fastest the processor offers, or for
// tests one of the others (all give the same bits).
enum class FilterKernel { Best, Sse2, Portable };

// Filters the columns cols of a table of rows rows by stride floats (row-major)
// in place, several columns at a time; each column ends exactly as Butfilt
// leaves it when given that column alone.
void ButfiltColumns(float* table, int stride, std::span<const int> cols, int rows, int cfc, float intervalMs,
                    FilterWork& work, FilterKernel kernel = FilterKernel::Best);

// Copies ChannelData into ExportData, zeroed (relative 1, unless the data are
// AlreadyZeroed: the pre-trigger offsets subtracted) and filtered (cfc 1000,
// 600, 180, 60; 0 for none) as the writer named by diadem expects. Sensor
// channels are neither zeroed nor filtered, length changes not filtered, and
// error samples keep their codes (DIAdem's get the offset its header takes
// away again).
void FillExportData(MeasurementData& d, int relative, int cfc, bool diadem);

}  // namespace lumvex
