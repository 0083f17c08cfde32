// Data assembly: from a download to ChannelData over a millisecond time base,
// the impact-side transform, the pre-trigger offsets that relative output
// subtracts, the test identification texts, and two small utilities the file
// readers share (date texts and a line reader).
#pragma once

#include "core/station.h"

#include <cstdio>
#include <string_view>

namespace lumvex {

// Fills ChannelData from unit-computed positions held in RawWords (SampleCount
// records of ChannelCount words): coordinates in hundredths of a mm, sensor
// values as doubled words, a time column in front; ChannelCount grows by one.
void AssemblePositions(Station& st);

// ChannelOffsets[c] for c = 1 .. ChannelCount-1: the mean of rows 0..99 of the
// column, summed in double and stored in single precision. Column 0 (time) has
// no offset. With fewer than 100 rows only the rows present are averaged.
void CalcChannelOffsets(MeasurementData& d);

// Transforms the first n values of one sample (LED by LED) into the dummy's
// frame for the impact side selected on page 0.
void CoordConvert(Station& st, int n, double* values);
// The Polar part of that transform: every (X, Y) pair of the first n values
// turned by +41 degrees (right side) or -41 degrees (left) about the origin;
// status pairs (X equal to Y, -0.000001 to 3.00001) stay as they are.
void RotatePolarPairs(int n, double* values, bool rightSide);

// Sets the three date texts from a month-first ("12-31-2020") or year-first
// ("2021-03-04") date.
void GetFileDates(TestIdentification& ident, std::string_view date);
// Sets the date texts to today's date.
void GetCurrentDates(TestIdentification& ident);

// Reads one line of at most size-1 characters (the rest of a longer line is
// consumed), keeping the CR or LF that ends it. 0, or -1 at end of file or on
// a character with its top bit set.
int readfile_until_cr(char* buffer, FILE* file, int size);

}  // namespace lumvex
