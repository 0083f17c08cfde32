// A station connected and identified through CONNECT against an in-process
// simulated unit (screens set up for its type), with what the maintenance
// loops' tests need: the unit's command lines since a mark and a scripted
// pass hook that ends a loop after a number of passes.
#pragma once

#include "ui/callbacks.h"
#include "support/drive_station.h"

#include <functional>
#include <string>
#include <vector>

namespace lumvex::testing {

struct DiagStation : DriveStation {
  // restingMs: the link's resting time-out (ms).
  explicit DiagStation(Props props, int restingMs = 2000, sim::CommandTable table = sim::DefaultCommands())
      : DriveStation(props, 0, std::move(table)) {
    st.session.restingTimeoutMs = restingMs;
    BindCallbacks(st);
    st.model.setItems(Ctl::CONNECTION, {{"Ethernet", "0"}, {"Serial", "1"}}, 0);
    st.model.setText(Ctl::IPADDRESS, "127.0.0.1:" + std::to_string(port));
    st.model.commit(Ctl::CONNECT);
  }
  bool connected() const { return st.session.unitStatus >= 0; }
  size_t mark() { return sim.received().size(); }
  // Command lines (without CR LF) the unit received from mark `from` on.
  std::vector<std::string> since(size_t from) {
    std::vector<std::string> all = sim.received();
    return {all.begin() + static_cast<long>(std::min(from, all.size())), all.end()};
  }
  // Every processEvents / delay of the operator runs each(n) (n counts from
  // 1), and `flag` is cleared at the limit-th call, so that a loop that
  // fails to stop by itself still ends.
  void onPasses(int& flag, int limit, std::function<void(int)> each = {}) {
    op.onEvents = [this, &flag, limit, each, n = 0]() mutable {
      ++n;
      if (each) each(n);
      if (n >= limit) flag = 0;
    };
  }
};

// The command line as the unit logs it: the framed body without CR LF.
inline std::string line(const std::string& body) {
  std::string f = CommandFrame(body);
  return f.substr(0, f.size() - 2);
}

}  // namespace lumvex::testing
