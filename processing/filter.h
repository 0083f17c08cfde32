// The channel frequency class (CFC) low-pass filter of the exports, plots and
// length-change channels: a second-order Butterworth section run forward and
// then backward over a series padded at each end with 200 copies of its end
// values, every stored step rounded to single precision, so that the files
// match those written by earlier stations value for value.
#pragma once

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

// Filters count values in place.
void Butfilt(float* values, int cfc, int count, float intervalMs);

// Filters the columns cols of a table of rows rows by stride floats (row-major)
// in place, several columns at a time; each column ends exactly as Butfilt
// leaves it when given that column alone.
void ButfiltColumns(float* table, int stride, std::span<const int> cols, int rows, int cfc, float intervalMs);

// The code ButfiltColumns runs: the fastest the processor offers, or for
// tests one of the others (all give the same bits).
enum class FilterKernel { Best, Sse2, Portable };
void SelectFilterKernel(FilterKernel k);

}  // namespace lumvex
