// The unit's network module: answers the station's discovery datagrams on
// UDP (the 4-byte query with 30 bytes, the setup query with 124 bytes marked
// "Lumvex" at bytes 52 to 57), sends beacons, and takes a new address (the
// 20-byte change for its identification bytes, or the 63-byte change of a
// beacon unit). A change makes the unit restart: silent for restartMs, then
// serving TCP (through the Simulator it belongs to) and UDP at the new
// address. Runs on a thread of its own beside the Simulator.
//
// On one PC beside a station, listen on the loopback broadcast address
// (127.255.255.255) rather than the wildcard: the station's unicast replies
// then reach only the station's socket, which shares the query port.
#pragma once

#include "sim/unit.h"

#include <array>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace lumvex::sim {

enum class NetMode {
  Unit,        // answers both queries, marked "Lumvex"
  Foreign,     // answers both queries without the mark (another maker's device)
  QueryOnly,   // answers the query, not the setup query
  BeaconOnly,  // answers no query; sends beacons and takes the 63-byte change
};

struct NetConfig {
  std::string address = "127.0.0.1";  // the unit's own address: its datagrams come from it
  std::string listen = "0.0.0.0";  // the address whose datagrams it hears (wildcard or a broadcast address)
  std::string beaconTo = "255.255.255.255";
  int queryPort = 30718;
  int beaconPort = 1020;
  int changePort = 9999;
  std::array<unsigned char, 2> id{0x4C, 0x58};  // query reply bytes 28 and 29
  NetMode mode = NetMode::Unit;
  int beaconMs = 0;      // ms between beacons; 0: none (a BeaconOnly unit then sends one a second)
  int restartMs = 2000;  // ms the unit is silent after taking a new address
};

// "unit", "foreign", "query-only", "beacon-only".
bool ParseNetMode(std::string_view text, NetMode& out);
// Two hex bytes "4C:58" (or "4c58").
bool ParseNetId(std::string_view text, std::array<unsigned char, 2>& out);

// The datagrams of a unit with this configuration and address.
std::string QueryReply(const NetConfig& c);
std::string SetupReply(const NetConfig& c);
std::string Beacon(const NetConfig& c, const std::string& address);

class NetModule {
 public:
  // `tcp` (may be null): the unit's command side, whose listener moves with
  // the address (to tcpPort at the new address).
  explicit NetModule(NetConfig config, Simulator* tcp = nullptr, int tcpPort = 0);
  ~NetModule();
  NetModule(const NetModule&) = delete;
  NetModule& operator=(const NetModule&) = delete;

  // Opens the sockets at the configured address and starts serving. False
  // when a socket cannot be opened (or when already running).
  bool start();
  void stop();

  // Sends one beacon now (also outside the beacon interval). False while
  // restarting or when the send fails.
  bool sendBeacon();
  std::string address();
  bool restarting();
  int addressChanges();     // changes taken so far
  int datagramsReceived();  // every datagram heard
  void setLog(std::function<void(std::string_view)> log);

 private:
  bool openSockets();
  void closeSockets();
  void run();
  void serve(int fd, bool changePort);
  void takeAddress(const std::string& address);
  void wake();

  NetConfig cfg_;
  Simulator* tcp_;
  int tcpPort_;
  std::mutex mu_;
  int own_ = -1;         // bound to the unit's address on the query port: sends, hears unicast
  int hearQuery_ = -1;   // bound to the listen address on the query port
  int hearChange_ = -1;  // bound to the listen address on the change port (beacon units)
  int wakePipe_[2] = {-1, -1};
  bool stopping_ = false;
  bool restarting_ = false;
  Clock::time_point restartEnds_{};
  std::string newAddress_;
  Clock::time_point nextBeacon_{};
  int changes_ = 0;
  int received_ = 0;
  std::function<void(std::string_view)> log_;
  std::thread thread_;
};

}  // namespace lumvex::sim
