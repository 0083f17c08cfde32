// The Station: every process-wide record of the program, owned by one object
// made in main() (or by a test) and passed by reference. No hidden globals.
#pragma once

#include "core/autocheck_state.h"
#include "core/data.h"
#include "core/discovery_state.h"
#include "core/phase_times.h"
#include "core/session.h"
#include "core/settings.h"
#include "platform/model.h"
#include "platform/operator.h"

#include <array>
#include <functional>
#include <string>

namespace lumvex {

struct Station {
  explicit Station(Operator& op) : ui(&op) {}
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  Model model;
  Operator* ui;
  SessionState session;
  IniSettings ini;
  MeasurementData data;
  DiscoveryState discovery;  // units found on the network, and where to look
  // Per-LED starting estimates of the raw conversion (the last position computed):
  // per LED slot X, Y, Z of head 1, then X, Y, Z of head 2 (mm).
  std::array<std::array<double, 6>, 9> conversionStart{};
  std::string workDir = ".";  // folder of the configuration and list files
  // Set by the page layer: brings the screens in line with the session after
  // the link closed it (the operator chose "Disconnect", or the link was lost
  // in the middle of a download). The link layer reports; the pages react.
  std::function<void(Station&)> refreshScreens;
  // Set by a front end that draws: writes the Plot page's graph, as it is
  // shown, to an image file (PNG, PDF or SVG by the extension). 0 on success.
  std::function<int(const std::string& path)> savePlotImage;
  // Deviations (mm) of X, Y and Z that the position autocheck allows, from
  // "AutoPosnCheck.ini" or the autocheck screen.
  std::array<int, 3> AutoCheckLimits{};
  // The autocheck screen's references, current positions and marks.
  AutoCheckTables autoCheck;
  bool quitRequested = false;
  // Phase durations of the operations run, when a front end asks for them.
  PhaseTimes timings;
};

// Takes on the family of dummyType (core/unit_family.h): DummyType, the LED
// layout, the side transform's width and the sample interval.
inline void SetUnitFamily(Station& st, int dummyType) {
  const UnitFamily& f = unitFamily(dummyType);
  st.session.DummyType = dummyType;
  st.data.layout.LedCount = f.LedCount;
  st.data.layout.AxesPerLed = f.AxesPerLed;
  st.data.layout.SensorChannelCount = f.SensorChannelCount;
  st.data.layout.transformWidth = f.transformWidth;
  st.data.SampleIntervalMs = f.SampleIntervalMs;
}

}  // namespace lumvex
