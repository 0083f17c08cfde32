#include "net_units.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <set>

namespace lumvex::testing {

int FreeUdpPort() {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  socklen_t len = sizeof a;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  close(fd);
  return port;
}

LoopbackUnits::LoopbackUnits() {
  std::set<int> ports;
  for (int i = 0; i < 20 && ports.size() < 3; ++i)
    if (int p = FreeUdpPort(); p > 0) ports.insert(p);
  auto it = ports.begin();
  queryPort = it != ports.end() ? *it++ : 0;
  beaconPort = it != ports.end() ? *it++ : 0;
  changePort = it != ports.end() ? *it++ : 0;
  const int pid = static_cast<int>(getpid());
  prefix_ = "127." + std::to_string(20 + pid % 200) + "." + std::to_string((pid / 200) % 250 + 1) + ".";
}

LoopbackUnits::~LoopbackUnits() {
  for (auto& u : units) {
    if (u->net) u->net->stop();
    if (u->tcp) u->tcp->stop();
  }
}

DiscoveryNetwork LoopbackUnits::network(int beaconWaitMs) const {
  DiscoveryNetwork n;
  n.broadcast = kLoopbackBroadcast;
  n.queryPort = queryPort;
  n.beaconPort = beaconPort;
  n.changePort = changePort;
  n.beaconWaitMs = beaconWaitMs;
  return n;
}

std::string LoopbackUnits::address(int host) const { return prefix_ + std::to_string(host); }

sim::NetConfig LoopbackUnits::config(int host, sim::NetMode mode, unsigned char id0,
                                     unsigned char id1) const {
  sim::NetConfig c;
  c.address = address(host);
  c.listen = kLoopbackBroadcast;
  c.beaconTo = kLoopbackBroadcast;
  c.queryPort = queryPort;
  c.beaconPort = beaconPort;
  c.changePort = changePort;
  c.mode = mode;
  c.id = {id0, id1};
  c.restartMs = 300;
  return c;
}

NetUnit* LoopbackUnits::add(const sim::NetConfig& c, bool withTcp) {
  auto u = std::make_unique<NetUnit>();
  if (withTcp) {
    u->tcp = std::make_unique<sim::Simulator>();
    u->tcpPort = u->tcp->listenTcp(c.address, 0);
    if (u->tcpPort <= 0 || !u->tcp->start()) return nullptr;
  }
  u->net = std::make_unique<sim::NetModule>(c, u->tcp.get(), u->tcpPort);
  if (!u->net->start()) return nullptr;
  units.push_back(std::move(u));
  return units.back().get();
}

}  // namespace lumvex::testing
