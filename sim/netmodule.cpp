#include "sim/netmodule.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace lumvex::sim {
namespace {

constexpr unsigned char kQuery[4] = {0x00, 0x00, 0x00, 0xF6};
constexpr unsigned char kSetupQuery[4] = {0x00, 0x00, 0x00, 0xF8};
constexpr unsigned char kChangeHead[14] = {0x00, 0x00, 0x00, 0xFC, 'I', 'P',  '-',
                                           'S',  'E',  'T',  'U',  'P', 0x00, 0x00};
constexpr size_t kBeaconBytes = 64;
constexpr size_t kBeaconChangeBytes = 63;
constexpr int kDefaultBeaconMs = 1000;  // ms, a beacon-only unit without an interval

bool toSockaddr(const std::string& address, int port, sockaddr_in& out) {
  out = {};
  out.sin_family = AF_INET;
  out.sin_port = htons(static_cast<uint16_t>(port));
  return inet_pton(AF_INET, address.c_str(), &out.sin_addr) == 1;
}

// A UDP socket bound to address:port, shared with the other units and the
// station on the same PC, allowed to broadcast.
int udpSocket(const std::string& address, int port) {
  sockaddr_in a{};
  if (!toSockaddr(address, port, a)) return -1;
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void closeFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// The MAC address a beacon carries (locally administered, from the id bytes).
std::array<unsigned char, 6> macOf(const NetConfig& c) { return {0x02, 'L', 'X', c.id[0], c.id[1], 0x01}; }

bool beaconing(const NetConfig& c) { return c.mode == NetMode::BeaconOnly || c.beaconMs > 0; }

std::string hex(const unsigned char* p, size_t n) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}

std::string dotted(const unsigned char* p) {
  return std::to_string(p[0]) + "." + std::to_string(p[1]) + "." + std::to_string(p[2]) + "." +
         std::to_string(p[3]);
}

}  // namespace

bool ParseNetMode(std::string_view text, NetMode& out) {
  static const std::pair<std::string_view, NetMode> modes[] = {{"unit", NetMode::Unit},
                                                               {"foreign", NetMode::Foreign},
                                                               {"query-only", NetMode::QueryOnly},
                                                               {"beacon-only", NetMode::BeaconOnly}};
  for (const auto& [name, mode] : modes)
    if (name == text) {
      out = mode;
      return true;
    }
  return false;
}

bool ParseNetId(std::string_view text, std::array<unsigned char, 2>& out) {
  std::string digits;
  for (char c : text)
    if (c != ':') digits += c;
  if (digits.size() != 4) return false;
  for (size_t i = 0; i < 2; ++i) {
    int v = 0;
    for (size_t k = 0; k < 2; ++k) {
      char c = static_cast<char>(std::toupper(static_cast<unsigned char>(digits[2 * i + k])));
      int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (d < 0) return false;
      v = v * 16 + d;
    }
    out[i] = static_cast<unsigned char>(v);
  }
  return true;
}

std::string QueryReply(const NetConfig& c) {
  std::string r(30, '\0');
  r[3] = static_cast<char>(0xF7);
  std::memcpy(r.data() + 4, "LX NET 6.8", 10);
  r[28] = static_cast<char>(c.id[0]);
  r[29] = static_cast<char>(c.id[1]);
  return r;
}

std::string SetupReply(const NetConfig& c) {
  std::string r(124, '\0');
  r[3] = static_cast<char>(0xF9);
  std::memcpy(r.data() + 4, "SETUP", 5);
  // Another maker's device carries its own name where a unit has the mark.
  std::memcpy(r.data() + 52, c.mode == NetMode::Foreign ? "OtherX" : "Lumvex", 6);
  return r;
}

std::string Beacon(const NetConfig& c, const std::string& address) {
  std::string b(kBeaconBytes, '\0');
  b[3] = 0x01;
  const auto mac = macOf(c);
  std::memcpy(b.data() + 4, mac.data(), mac.size());
  const unsigned char mask[4] = {255, 255, 255, 0};
  std::memcpy(b.data() + 10, mask, 4);
  in_addr a{};
  inet_pton(AF_INET, address.c_str(), &a);
  std::memcpy(b.data() + 14, &a, 4);  // network order: first number first
  std::memcpy(b.data() + 18, "Lumvex", 6);
  return b;
}

NetModule::NetModule(NetConfig config, Simulator* tcp, int tcpPort)
    : cfg_(std::move(config)), tcp_(tcp), tcpPort_(tcpPort) {
  if (pipe2(wakePipe_, O_NONBLOCK | O_CLOEXEC) != 0) wakePipe_[0] = wakePipe_[1] = -1;
}

NetModule::~NetModule() {
  stop();
  closeSockets();
  for (int& fd : wakePipe_) closeFd(fd);
}

bool NetModule::openSockets() {
  own_ = udpSocket(cfg_.address, cfg_.queryPort);
  if (cfg_.listen != cfg_.address && cfg_.mode != NetMode::BeaconOnly)
    hearQuery_ = udpSocket(cfg_.listen, cfg_.queryPort);
  if (beaconing(cfg_)) hearChange_ = udpSocket(cfg_.listen, cfg_.changePort);
  const bool ok = own_ >= 0 &&
                  (hearQuery_ >= 0 || cfg_.listen == cfg_.address || cfg_.mode == NetMode::BeaconOnly) &&
                  (hearChange_ >= 0 || !beaconing(cfg_));
  if (!ok) closeSockets();
  return ok;
}

void NetModule::closeSockets() {
  closeFd(own_);
  closeFd(hearQuery_);
  closeFd(hearChange_);
}

bool NetModule::start() {
  std::lock_guard<std::mutex> lock(mu_);
  if (thread_.joinable() || !openSockets()) return false;
  stopping_ = false;
  nextBeacon_ = Clock::now();
  thread_ = std::thread([this] { run(); });
  return true;
}

void NetModule::stop() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = true;
  }
  wake();
  if (thread_.joinable()) thread_.join();
}

void NetModule::wake() {
  if (wakePipe_[1] >= 0) {
    char b = 1;
    [[maybe_unused]] ssize_t n = ::write(wakePipe_[1], &b, 1);
  }
}

bool NetModule::sendBeacon() {
  std::lock_guard<std::mutex> lock(mu_);
  sockaddr_in to{};
  if (restarting_ || own_ < 0 || !toSockaddr(cfg_.beaconTo, cfg_.beaconPort, to)) return false;
  const std::string b = Beacon(cfg_, cfg_.address);
  return sendto(own_, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
         static_cast<ssize_t>(b.size());
}

std::string NetModule::address() {
  std::lock_guard<std::mutex> lock(mu_);
  return cfg_.address;
}

bool NetModule::restarting() {
  std::lock_guard<std::mutex> lock(mu_);
  return restarting_;
}

int NetModule::addressChanges() {
  std::lock_guard<std::mutex> lock(mu_);
  return changes_;
}

int NetModule::datagramsReceived() {
  std::lock_guard<std::mutex> lock(mu_);
  return received_;
}

void NetModule::setLog(std::function<void(std::string_view)> log) {
  std::lock_guard<std::mutex> lock(mu_);
  log_ = std::move(log);
}

// Called with mu_ held: the unit goes quiet now and comes back at `address`.
void NetModule::takeAddress(const std::string& address) {
  if (log_) log_("udp: new address " + address + ", restarting");
  closeSockets();
  restarting_ = true;
  restartEnds_ = Clock::now() + std::chrono::milliseconds(cfg_.restartMs);
  newAddress_ = address;
  ++changes_;
  if (tcp_) {
    tcp_->closeListeners();
    tcp_->dropClients();
  }
}

void NetModule::serve(int fd, bool changePort) {
  unsigned char buf[512];
  sockaddr_in from{};
  socklen_t len = sizeof from;
  ssize_t got = recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
  if (got < 0) return;
  const size_t n = static_cast<size_t>(got);
  ++received_;
  if (log_) log_("udp > " + hex(buf, n));
  if (changePort) {
    const auto mac = macOf(cfg_);
    if (n == kBeaconChangeBytes && buf[2] == 0x21 && buf[3] == 0x21 &&
        std::memcmp(buf + 4, mac.data(), 6) == 0)
      takeAddress(dotted(buf + 14));
    return;
  }
  if (cfg_.mode == NetMode::BeaconOnly) return;
  std::string reply;
  if (n == 4 && std::memcmp(buf, kQuery, 4) == 0) {
    reply = QueryReply(cfg_);
  } else if (n == 4 && std::memcmp(buf, kSetupQuery, 4) == 0 && cfg_.mode != NetMode::QueryOnly) {
    reply = SetupReply(cfg_);
  } else if (n == 20 && std::memcmp(buf, kChangeHead, sizeof kChangeHead) == 0 && buf[14] == cfg_.id[0] &&
             buf[15] == cfg_.id[1] && buf[19] != 0 && buf[19] != 255) {
    takeAddress(dotted(buf + 16));
    return;
  }
  if (reply.empty() || own_ < 0) return;
  sendto(own_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
  if (log_) log_("udp < " + hex(reinterpret_cast<const unsigned char*>(reply.data()), reply.size()));
}

void NetModule::run() {
  std::unique_lock<std::mutex> lock(mu_);
  while (!stopping_) {
    auto now = Clock::now();
    if (restarting_ && now >= restartEnds_) {
      cfg_.address = newAddress_;
      restarting_ = false;
      if (!openSockets() && log_) log_("udp: cannot serve at " + cfg_.address);
      if (tcp_ && tcp_->listenTcp(cfg_.address, tcpPort_) < 0 && log_)
        log_("tcp: cannot listen at " + cfg_.address);
      nextBeacon_ = now;
    }
    if (beaconing(cfg_) && !restarting_ && now >= nextBeacon_) {
      lock.unlock();
      sendBeacon();
      lock.lock();
      nextBeacon_ = now + std::chrono::milliseconds(cfg_.beaconMs > 0 ? cfg_.beaconMs : kDefaultBeaconMs);
    }
    std::vector<pollfd> fds{{wakePipe_[0], POLLIN, 0}};
    for (int fd : {own_, hearQuery_, hearChange_})
      if (fd >= 0) fds.push_back({fd, POLLIN, 0});
    auto next = now + std::chrono::seconds(1);
    if (restarting_) next = std::min(next, restartEnds_);
    if (beaconing(cfg_) && !restarting_) next = std::min(next, nextBeacon_);
    const int timeout = static_cast<int>(std::max<long long>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count() + 1));
    lock.unlock();
    int r = poll(fds.data(), fds.size(), timeout);
    lock.lock();
    if (r <= 0) continue;
    if (fds[0].revents & POLLIN) {
      char b[64];
      while (::read(wakePipe_[0], b, sizeof b) > 0) {
      }
    }
    for (size_t i = 1; i < fds.size(); ++i) {
      // A change taken by an earlier datagram has closed the sockets.
      if (!(fds[i].revents & POLLIN) || restarting_) continue;
      serve(fds[i].fd, fds[i].fd == hearChange_);
    }
  }
}

}  // namespace lumvex::sim
