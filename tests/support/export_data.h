// Recordings laid into a station's tables as the exporters read them.
#pragma once

#include "core/station.h"
#include "files/naming.h"

#include <string>

namespace lumvex::testing {

// The channel codes of a Polar recording (slots 0 to 13): six LEDs of X and
// Y, then the left and right sensors.
inline void setPolarCodes(MeasurementData& d) {
  const char* sides[] = {"LE", "RI", "LE", "RI", "LE", "RI"};
  for (int i = 0; i < 6; ++i) {
    std::string base = "10RIBS0" + std::to_string(i + 1) + sides[i] + "PEDS";
    setCode(d.codes.ChannelCodes[static_cast<size_t>(2 * i)], base + "X0");
    setCode(d.codes.ChannelCodes[static_cast<size_t>(2 * i + 1)], base + "Y0");
  }
  setCode(d.codes.ChannelCodes[12], "10SENSLE9999PO00");
  setCode(d.codes.ChannelCodes[13], "10SENSRI9999PO00");
}

// ChannelData and ExportData of `samples` rows of `channels` columns, the
// value at sample s of column n being value(s, n).
inline void fillTables(MeasurementData& d, int samples, int channels, float (*value)(int s, int n)) {
  for (ChannelTable* t : {&d.ChannelData, &d.ExportData}) {
    t->SampleCount = samples;
    t->ChannelCount = channels;
    for (int s = 0; s < samples; ++s)
      for (int n = 0; n < channels; ++n) t->at(s, n) = value(s, n);
  }
}

}  // namespace lumvex::testing
