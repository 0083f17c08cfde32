// The Station: every process-wide record of the program, owned by one object
// made in main() (or by a test) and passed by reference. No hidden globals.
#pragma once

#include "core/data.h"
#include "core/discovery_state.h"
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
  // What a page change starts (TAB): the trigger test, I/O check and live
  // display loops and the plot. Each module that owns one sets its entry when
  // its controls are bound; an empty entry starts nothing.
  struct PageActivities {
    std::function<void(Station&)> TriggerCheck, Checkio, Demo, PlotData;
  } pageActivities;
  bool quitRequested = false;
};

}  // namespace lumvex
