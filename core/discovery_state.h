// DiscoveryState: what the last search for units on the local network found
// (the found list read by the finder panel's buttons) and the network it
// searches: broadcast address and ports, which tests point at loopback.
#pragma once

#include "platform/ping.h"

#include <array>
#include <functional>
#include <string>

namespace lumvex {

constexpr int MaxFoundUnits = 4;
constexpr int kFoundReplyBytes = 150;

struct FoundUnit {
  std::string Address;  // dotted IPv4 text: the source of its datagram
  // Its 30-byte query reply, or the beacon as received (at most 100 bytes);
  // bytes not received are zero.
  std::array<unsigned char, kFoundReplyBytes> Reply{};
  int FoundByBeacon = 0;  // 1: found through its beacon
  int IdConflict = 0;     // 1: another responder reported the same bytes 28 and 29
};

// Where the discovery datagrams go. The defaults are the units' own ports.
struct DiscoveryNetwork {
  std::string broadcast = "255.255.255.255";
  int queryPort = 30718;     // query, setup query and the 20-byte address change
  int beaconPort = 1020;     // beacons arrive here; the 63-byte change leaves from it
  int changePort = 9999;     // the 63-byte address change goes here
  int beaconWaitMs = 10000;  // ms the beacon phase waits before it reads
  // How a new address is pinged; empty: Ping (platform/ping.h).
  std::function<PingResult(const std::string& address, int timeoutMs)> ping;
};

struct DiscoveryState {
  std::array<FoundUnit, MaxFoundUnits> FoundUnits{};
  int FoundCount = 0;
  std::string StationAddress;  // the PC's address as seen in its own query's echo
  DiscoveryNetwork network;
  // A search or an address change is under way. Both let events run (the
  // beacon wait, the restart wait), and a second one started from there would
  // clear or change the list the first one is working on.
  bool busy = false;
};

}  // namespace lumvex
