// What the DIAdem and ISO MME writers read from the station, checked once:
// the shape of the export (counts and layout within the fixed tables) and the
// texts every file names — channel codes, plot names, type name, trigger code.
#pragma once

#include "core/station.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace lumvex {

struct ExportShape {
  int samples = 0;   // SampleCount
  int channels = 0;  // ChannelCount, time column included
  int leds = 0;
  int axes = 0;
  int sensors = 0;
};

// The counts of ChannelData (ExportData has the same shape); false when they
// do not fit the tables or the layout does not fit the row.
bool exportShape(const MeasurementData& d, ExportShape& out);

// The checks the DIAdem and ISO MME writers make before writing anything:
// the path names a file with an extension (whose letters are upper-cased in
// place; `dot` and `sep` are the positions of its last dot and separator) and
// the data's shape fits the tables. False when either does not hold.
bool exportTarget(std::string& path, const MeasurementData& d, size_t& dot, size_t& sep, ExportShape& shape);

// Code of data column n (slot n - 1) as text.
std::string_view columnCode(const MeasurementData& d, int n);
// Plot name of data column n (slot n - 1) as text.
std::string_view columnPlotName(const MeasurementData& d, int n);

// ExportData at sample s, column n of a row `channels` wide.
inline float exportValue(const MeasurementData& d, int channels, int s, int n) {
  return d.ExportData.values[static_cast<size_t>(s) * channels + n];
}

}  // namespace lumvex
