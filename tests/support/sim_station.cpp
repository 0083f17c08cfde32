#include "sim_station.h"

#include "ui/callbacks.h"
#include "ui/layout.h"
#include "sim/commands.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace lumvex::testing {

SimStation::SimStation(int restingMs, sim::CommandTable table, bool defaultTable)
    : simulator(std::make_unique<sim::Simulator>(defaultTable ? sim::DefaultCommands() : std::move(table))),
      station(std::make_unique<Station>(op)),
      st(*station) {
  port = simulator->listenTcp("127.0.0.1", 0);
  if (port <= 0 || !simulator->start()) throw std::runtime_error("simulator did not start");
  st.session.restingTimeoutMs = restingMs;
  LoadMainLayout(st.model);
  BindCallbacks(st);
  st.model.setText(Ctl::IPADDRESS, "127.0.0.1:" + std::to_string(port));
}

SimStation::~SimStation() {
  station.reset();  // closes the link before the simulator goes
  simulator->stop();
}

bool SimStation::connect() {
  st.model.commit(Ctl::CONNECT);
  return st.session.unitStatus >= 0;
}

void SimStation::tick() { st.model.commit(Ctl::TIMER, {EventKind::TimerTick}); }

bool SimStation::tickUntil(int status, int limitMs, int everyMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    tick();
    if (st.session.unitStatus == status) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(everyMs));
  }
}

bool SimStation::waitFor(const std::function<bool()>& pred, int limitMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace lumvex::testing
