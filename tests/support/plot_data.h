// Data sets for the Plot page's tests: a station laid out for a unit type as
// after a download of that type, with channel codes, offsets, the Export
// page's source text and the plot page set up.
#pragma once

#include "core/station.h"
#include "files/naming.h"
#include "processing/assembly.h"
#include "ui/plot_model.h"
#include "ui/screens.h"

#include <string>

namespace lumvex::testing {

// Column c of sample i: 20 + c mm before sample 150 and 20 + 1.25 c from it on,
// so every curve steps once and its peaks follow from its column.
inline float plotValue(int i, int c) { return 20.0f + c + (i >= 150 ? 0.25f * c : 0.0f); }

// Lays the station out for `typeText` and fills `columns` columns of `rows`
// samples from `start` ms at 0.1 ms. False when the screens could not be set up.
inline bool LoadPlotData(Station& st, const std::string& typeText, int columns, int rows, float start = -20) {
  st.model.setText(Ctl::LXtype, typeText);
  st.model.setText(Ctl::FIRMWARE, "V7.2");
  st.session.SerialNumberText = "150";
  if (SetupScreens(st, 0) != 0) return false;
  BuildChannelCodes(st);
  if (isWorldSid(st.session.DummyType)) {
    AssignIrTraccCodes(st);
    AssignLengthChangeCodes(st);
  }
  ChannelTable& t = st.data.ChannelData;
  t.ChannelCount = columns;
  t.SampleCount = rows;
  st.data.StartTimeMs = start;
  for (int i = 0; i < rows; ++i) {
    t.at(i, 0) = static_cast<float>(start + 0.1 * i);
    for (int c = 1; c < columns; ++c) t.at(i, c) = plotValue(i, c);
  }
  CalcChannelOffsets(st.data);
  st.model.setText(Ctl::EXPORT_STATUS, "Downloaded Lumvex Data in Memory");
  SetupPlotScreen(st);
  return true;
}

}  // namespace lumvex::testing
