// What the DIAdem and ISO MME writers read from the station, checked once:
// the shape of the export (counts and layout within the fixed tables) and the
// texts every file names — channel codes, plot names, type name, trigger code.
#pragma once

#include "core/station.h"

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

// Code slot k (data column k + 1) as text, at most 24 characters.
std::string_view codeText(const MeasurementData& d, int k);
// Plot name slot k as text.
std::string_view plotText(const MeasurementData& d, int k);
// DummyTypeNames of the current type ("undefined" slot for a type out of range).
std::string_view typeNameText(const Station& st);
// The trigger code saved in files: TriggerSetting + SoftwareTriggerOffset.
int savedTriggerCode(const SessionState& s);

// ExportData at sample s, column n of a row `channels` wide.
inline float exportValue(const MeasurementData& d, int channels, int s, int n) {
  return d.ExportData.values[static_cast<size_t>(s) * channels + n];
}

}  // namespace lumvex
