// A station connected over loopback TCP to an in-process simulated unit whose
// identity is set by properties, laid out as after start-up.
#pragma once

#include "link/link.h"
#include "sim/commands.h"
#include "sim/unit.h"
#include "support/unit_fixture.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <string>

namespace lumvex::testing {

struct DriveStation : TestStation {
  sim::Simulator sim;
  int port = -1;

  using Props = std::initializer_list<std::pair<std::string, std::string>>;

  explicit DriveStation(Props props = {}, int status = 0, sim::CommandTable table = sim::DefaultCommands())
      : sim(std::move(table)) {
    sim.withUnit([&](sim::UnitState& u) {
      for (const auto& [k, v] : props) u.props[k] = v;
      u.status = status;
      u.eraseMs = 300;  // ms: a few progress polls, fast tests
      u.storeMs = 50;
    });
    port = sim.listenTcp("127.0.0.1", 0);
    sim.start();
  }
  ~DriveStation() { sim.stop(); }

  void set(const std::string& key, const std::string& value) {
    sim.withUnit([&](sim::UnitState& u) { u.props[key] = value; });
  }
  // Opens the link and reads the first status; false on failure.
  bool connect() {
    if (ConnectEthernet(st, "127.0.0.1:" + std::to_string(port), 0) != 0) return false;
    st.session.unitStatus = EthernetSync(st);
    return st.session.unitStatus >= 0;
  }
  // Command lines the unit has received whose name is `name`.
  int countReceived(std::string_view name) {
    int n = 0;
    for (const auto& l : sim.received())
      if (l.substr(0, l.find('#')) == name) ++n;
    return n;
  }
  std::string lastReceived(std::string_view name) {
    std::string last;
    for (const auto& l : sim.received())
      if (l.substr(0, l.find('#')) == name) last = l;
    return last;
  }
};

}  // namespace lumvex::testing
