// Simulated units on loopback for the discovery tests: free ports for one
// test, units at their own 127.x.y.z addresses hearing the loopback broadcast,
// and a station searching that broadcast address.
#pragma once

#include "core/station.h"
#include "sim/netmodule.h"
#include "sim/unit.h"

#include <memory>
#include <string>
#include <vector>

namespace lumvex::testing {

constexpr char kLoopbackBroadcast[] = "127.255.255.255";

// A UDP port free on every address right now (0 when none was found).
int FreeUdpPort();

// A unit: its network module and, when asked, its TCP command side.
struct NetUnit {
  std::unique_ptr<sim::Simulator> tcp;
  std::unique_ptr<sim::NetModule> net;
  int tcpPort = 0;
};

class LoopbackUnits {
 public:
  // Three free ports; unit addresses 127.<a>.<b>.<host> with a and b taken
  // from the process id, so that tests running side by side keep apart.
  LoopbackUnits();
  ~LoopbackUnits();

  // The network a station searches to find these units (beacon wait in ms).
  DiscoveryNetwork network(int beaconWaitMs = 10000) const;
  std::string address(int host) const;
  // A configuration for the unit at `host`; start it with add().
  sim::NetConfig config(int host, sim::NetMode mode = sim::NetMode::Unit, unsigned char id0 = 0x4C,
                        unsigned char id1 = 0x58) const;
  // Starts the unit (with a TCP side when asked); null when it cannot.
  NetUnit* add(const sim::NetConfig& c, bool withTcp = false);

  int queryPort = 0, beaconPort = 0, changePort = 0;
  std::vector<std::unique_ptr<NetUnit>> units;

 private:
  std::string prefix_;
};

}  // namespace lumvex::testing
