// Command-line options of lumvex-sim, parsed into the settings of one
// simulated unit (shared with tests that start the simulator the same way).
#pragma once

#include "sim/netmodule.h"
#include "sim/unit.h"

#include <string>
#include <vector>

namespace lumvex::sim {

struct SimOptions {
  std::string bind = "127.0.0.1";
  int port = 3000;  // 0 = ephemeral
  bool tcp = true;
  bool pty = false;
  bool verbose = false;
  bool help = false;
  bool version = false;          // --version
  std::string writeCalibration;  // folder: write the calibration files and exit
  int startState = 0;
  int armAfterMs = -1;     // ms; arm by the unit's own input (-1 never)
  UnitState unit;          // timings, limits, props
  bool discovery = false;  // answer UDP discovery (net.address is taken from bind)
  NetConfig net;
  std::vector<FaultRule> faults;
};

// Parses argv[1..]; false with `error` set on a bad option.
bool ParseSimOptions(int argc, const char* const* argv, SimOptions& out, std::string& error);
// The --help text.
const char* SimUsage();
// Applies the options to a simulator before it starts.
void ApplySimOptions(const SimOptions& o, Simulator& sim);

}  // namespace lumvex::sim
