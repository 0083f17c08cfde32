#include "platform/udp.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace lumvex {
namespace {

bool toAddress(const std::string& text, int port, sockaddr_in& out) {
  out = {};
  out.sin_family = AF_INET;
  out.sin_port = htons(static_cast<uint16_t>(port));
  return port >= 0 && port <= 65535 && inet_pton(AF_INET, text.c_str(), &out.sin_addr) == 1;
}

std::string dotted(const in_addr& a) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &a, text, sizeof text);
  return text;
}

long long nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

UdpChannel::~UdpChannel() {
  if (fd_ >= 0) close(fd_);
}

std::unique_ptr<UdpChannel> UdpChannel::open(int port, const std::string& adaptor) {
  if (port < 0 || port > 65535) return nullptr;
  std::string device;
  if (!adaptor.empty()) {
    device = InterfaceHoldingAddress(adaptor);
    if (device.empty()) return nullptr;
  }
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  auto fail = [fd]() -> std::unique_ptr<UdpChannel> {
    close(fd);
    return nullptr;
  };
  int on = 1;
  if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) return fail();
  if (device.empty()) {
    // The default adaptor shares the port, so that other programs on the PC
    // (a simulated unit among them) can listen on it too.
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) return fail();
  } else if (setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device.c_str(),
                        static_cast<socklen_t>(device.size())) != 0) {
    return fail();
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return fail();
  socklen_t len = sizeof local;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len) != 0) return fail();
  return std::unique_ptr<UdpChannel>(new UdpChannel(fd, ntohs(local.sin_port)));
}

int UdpChannel::write(const void* data, size_t n, const std::string& address, int port) {
  sockaddr_in to{};
  if (!toAddress(address, port, to)) return -1;
  for (;;) {
    ssize_t w = sendto(fd_, data, n, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    if (w == static_cast<ssize_t>(n)) return 0;
    if (w < 0 && errno == EINTR) continue;
    return -1;
  }
}

int UdpChannel::read(void* buf, size_t size, int timeoutMs, std::string* fromAddress, int* fromPort) {
  const long long deadline = nowMs() + (timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    long long left = deadline - nowMs();
    pollfd p{fd_, POLLIN, 0};
    int r = poll(&p, 1, left <= 0 ? 0 : static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return kUdpError;
    if (r == 0) return kUdpTimeout;
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t got = recvfrom(fd_, buf, size, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
    if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    // An ICMP error queued by an earlier send is not a datagram: keep waiting.
    if (got < 0 && (errno == ECONNREFUSED || errno == EHOSTUNREACH || errno == ENETUNREACH)) continue;
    if (got < 0) return kUdpError;
    if (fromAddress) *fromAddress = dotted(from.sin_addr);
    if (fromPort) *fromPort = ntohs(from.sin_port);
    return static_cast<int>(got);
  }
}

namespace {

template <typename Fn>
void forEachIPv4(Fn&& fn) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return;
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !a->ifa_name) continue;
    fn(*a, reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr);
  }
  freeifaddrs(list);
}

}  // namespace

bool IsDottedIPv4(const std::string& text) {
  in_addr a{};
  return inet_pton(AF_INET, text.c_str(), &a) == 1;
}

std::vector<std::string> HostIPv4Addresses() {
  std::vector<std::string> adaptors, loopback;
  forEachIPv4([&](const ifaddrs& a, const in_addr& addr) {
    if (!(a.ifa_flags & IFF_UP)) return;
    (a.ifa_flags & IFF_LOOPBACK ? loopback : adaptors).push_back(dotted(addr));
  });
  adaptors.insert(adaptors.end(), loopback.begin(), loopback.end());
  return adaptors;
}

std::string InterfaceHoldingAddress(const std::string& address) {
  in_addr want{};
  if (inet_pton(AF_INET, address.c_str(), &want) != 1) return "";
  std::string name;
  forEachIPv4([&](const ifaddrs& a, const in_addr& addr) {
    if (name.empty() && addr.s_addr == want.s_addr) name = a.ifa_name;
  });
  return name;
}

}  // namespace lumvex
