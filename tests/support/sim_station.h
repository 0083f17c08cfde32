// A station wired to an in-process simulated unit on an ephemeral loopback
// port: callbacks bound, the connection controls pointing at the simulator,
// a scripted operator and a short resting time-out.
#pragma once

#include "core/station.h"
#include "support/scripted_operator.h"
#include "sim/unit.h"

#include <functional>
#include <memory>
#include <string>

namespace lumvex::testing {

struct SimStation {
  // restingMs: the link's resting time-out for this station (ms).
  explicit SimStation(int restingMs = 300, sim::CommandTable table = {}, bool defaultTable = true);
  ~SimStation();

  sim::Simulator& sim() { return *simulator; }
  // Commits CONNECT (Ethernet, 127.0.0.1:port); true when a unit is connected.
  bool connect();
  // One status-timer tick.
  void tick();
  // Ticks (sleeping `everyMs` between them) until unitStatus is `status` or
  // `limitMs` passed. True when reached.
  bool tickUntil(int status, int limitMs = 3000, int everyMs = 10);
  // Waits until pred() or limitMs passed, without touching the station.
  static bool waitFor(const std::function<bool()>& pred, int limitMs = 3000);

  std::unique_ptr<sim::Simulator> simulator;
  ScriptedOperator op;
  std::unique_ptr<Station> station;
  Station& st;
  int port = -1;
};

}  // namespace lumvex::testing
