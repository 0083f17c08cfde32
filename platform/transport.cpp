#include "platform/transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <libserialport.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <set>

namespace lumvex {
namespace {

long long nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Milliseconds left until deadline for poll(): -1 waits for ever.
int remainingMs(long long deadlineMs) {
  if (deadlineMs < 0) return -1;
  long long left = deadlineMs - nowMs();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

bool lostErrno(int e) {
  return e == ECONNRESET || e == EPIPE || e == EIO || e == ENXIO || e == ENODEV || e == ETIMEDOUT ||
         e == ENOTCONN || e == ECONNABORTED || e == EHOSTUNREACH || e == ENETUNREACH;
}

void setNonBlocking(int fd) {
  int fl = fcntl(fd, F_GETFL);
  if (fl >= 0) fcntl(fd, F_SETFL, fl | O_NONBLOCK);
}

// Connects fd within timeoutMs; 0 on success.
int connectTimed(int fd, const sockaddr* addr, socklen_t len, int timeoutMs) {
  if (connect(fd, addr, len) == 0) return 0;
  if (errno != EINPROGRESS) return -1;
  pollfd p{fd, POLLOUT, 0};
  if (poll(&p, 1, timeoutMs <= 0 ? -1 : timeoutMs) != 1) return -1;
  int err = 0;
  socklen_t el = sizeof err;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &el) != 0 || err != 0) return -1;
  return 0;
}

}  // namespace

Transport::Transport(int fd, bool serial, std::string name)
    : fd_(fd), serial_(serial), name_(std::move(name)) {}

Transport::~Transport() {
  if (fd_ >= 0) close(fd_);
}

long long Transport::deadline() const { return timeoutMs_ == 0 ? -1 : nowMs() + timeoutMs_; }

IoStatus Transport::write(const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  long long dl = deadline();
  while (n > 0) {
    ssize_t w = serial_ ? ::write(fd_, p, n) : ::send(fd_, p, n, MSG_NOSIGNAL);
    if (w > 0) {
      p += w;
      n -= static_cast<size_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd pf{fd_, POLLOUT, 0};
      int r = poll(&pf, 1, remainingMs(dl));
      if (r == 0) return IoStatus::Timeout;
      if (r < 0 && errno != EINTR) return IoStatus::Error;
      if (r > 0 && (pf.revents & (POLLHUP | POLLERR)) && !(pf.revents & POLLOUT)) return IoStatus::Lost;
      continue;
    }
    return (w == 0 || lostErrno(errno)) ? IoStatus::Lost : IoStatus::Error;
  }
  return IoStatus::Ok;
}

IoStatus Transport::readOnce(char* dst, size_t n, long long deadlineMs, size_t& got) {
  for (;;) {
    pollfd pf{fd_, POLLIN, 0};
    int r = poll(&pf, 1, remainingMs(deadlineMs));
    if (r < 0) {
      if (errno == EINTR) continue;
      return IoStatus::Error;
    }
    if (r == 0) return IoStatus::Timeout;
    ssize_t k = ::read(fd_, dst, n);
    if (k > 0) {
      got = static_cast<size_t>(k);
      return IoStatus::Ok;
    }
    if (k < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    // End of file on a socket or a hung-up terminal: the other side is gone.
    return (k == 0 || lostErrno(errno)) ? IoStatus::Lost : IoStatus::Error;
  }
}

IoStatus Transport::fill(long long deadlineMs) {
  char buf[4096];
  size_t got = 0;
  IoStatus s = readOnce(buf, sizeof buf, deadlineMs, got);
  if (s == IoStatus::Ok) in_.append(buf, got);
  return s;
}

IoStatus Transport::readLine(std::string& out, size_t max, bool* complete) {
  out.clear();
  if (complete) *complete = false;
  long long dl = deadline();
  for (;;) {
    size_t take = std::min(in_.size(), max);
    size_t lf = lineMode_ ? in_.find('\n') : std::string::npos;
    if (lf != std::string::npos && lf < max) {
      out.assign(in_, 0, lf + 1);
      in_.erase(0, lf + 1);
      if (complete) *complete = true;
      return IoStatus::Ok;
    }
    if (take == max) {
      out.assign(in_, 0, max);
      in_.erase(0, max);
      return IoStatus::Ok;
    }
    IoStatus s = fill(dl);
    if (s != IoStatus::Ok) {
      out.assign(in_, 0, take);
      in_.erase(0, take);
      return s;
    }
  }
}

IoStatus Transport::skipLine() {
  long long dl = deadline();
  for (;;) {
    size_t lf = in_.find('\n');
    if (lf != std::string::npos) {
      in_.erase(0, lf + 1);
      return IoStatus::Ok;
    }
    in_.clear();
    IoStatus s = fill(dl);
    if (s != IoStatus::Ok) return s;
  }
}

IoStatus Transport::readRaw(void* data, size_t n, size_t& got) {
  char* dst = static_cast<char*>(data);
  got = 0;
  long long dl = deadline();
  size_t take = std::min(in_.size(), n);
  std::memcpy(dst, in_.data(), take);
  in_.erase(0, take);
  got = take;
  // Large binary reads go straight into the caller's buffer: no copy through
  // the read-ahead, and as few system calls as the kernel allows.
  while (got < n) {
    size_t k = 0;
    IoStatus s = readOnce(dst + got, n - got, dl, k);
    if (s != IoStatus::Ok) return s;
    got += k;
  }
  return IoStatus::Ok;
}

IoStatus Transport::readSome(void* data, size_t n, size_t& got) {
  got = 0;
  if (n == 0) return IoStatus::Ok;
  if (!in_.empty()) {
    got = std::min(in_.size(), n);
    std::memcpy(data, in_.data(), got);
    in_.erase(0, got);
    return IoStatus::Ok;
  }
  return readOnce(static_cast<char*>(data), n, deadline(), got);
}

void Transport::clear() {
  in_.clear();
  if (serial_) tcflush(fd_, TCIFLUSH);
  char buf[4096];
  pollfd pf{fd_, POLLIN, 0};
  // Bounded: a peer that keeps talking cannot hold the station here.
  for (int i = 0; i < 256 && poll(&pf, 1, 0) == 1 && (pf.revents & POLLIN); ++i) {
    if (::read(fd_, buf, sizeof buf) <= 0) break;
  }
}

std::shared_ptr<Transport> Transport::openTcp(const std::string& host, int port, int connectTimeoutMs) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  std::string service = std::to_string(port);
  if (port <= 0 || port > 65535 || getaddrinfo(host.c_str(), service.c_str(), &hints, &res) != 0)
    return nullptr;
  int fd = -1;
  for (addrinfo* a = res; a; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    setNonBlocking(fd);
    if (connectTimed(fd, a->ai_addr, a->ai_addrlen, connectTimeoutMs) == 0) break;
    close(fd);
    fd = -1;
  }
  freeaddrinfo(res);
  if (fd < 0) return nullptr;
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  // One short command and one short reply at a time: send at once.
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  // Downloads stream up to 116 MB: a deep receive queue keeps the unit sending
  // while the station checks the records it already has.
  int rcvbuf = 4 << 20;  // bytes
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
  std::string name = "TCPIP::" + host + "::" + service + "::SOCKET";
  return std::shared_ptr<Transport>(new Transport(fd, false, std::move(name)));
}

std::shared_ptr<Transport> Transport::adoptSocket(int fd, std::string name) {
  if (fd < 0) return nullptr;
  setNonBlocking(fd);
  return std::shared_ptr<Transport>(new Transport(fd, false, std::move(name)));
}

std::shared_ptr<Transport> Transport::openSerial(const std::string& device) {
  int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  termios t{};
  if (tcgetattr(fd, &t) != 0) {
    int e = errno;
    close(fd);
    errno = e;
    return nullptr;
  }
  cfmakeraw(&t);
  cfsetispeed(&t, B115200);
  cfsetospeed(&t, B115200);
  t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSANOW, &t) != 0) {
    int e = errno;
    close(fd);
    errno = e;
    return nullptr;
  }
  tcflush(fd, TCIOFLUSH);
  return std::shared_ptr<Transport>(new Transport(fd, true, device));
}

// ---------------------------------------------------------------- serial resources

namespace {

// "COM3", "com 3" -> 3; 0 when the text is not a COM name.
int comNumber(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (s.size() < 4) return 0;
  for (int i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(s[i])) != "COM"[i]) return 0;
  s.remove_prefix(3);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  if (s.empty() || s.size() > 4) return 0;
  int n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n;
}

std::string trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return std::string(s);
}

std::vector<SerialResource> systemPorts() {
  std::vector<SerialResource> out;
  sp_port** list = nullptr;
  if (sp_list_ports(&list) != SP_OK || !list) return out;
  for (sp_port** p = list; *p; ++p) {
    SerialResource r;
    const char* name = sp_get_port_name(*p);
    if (!name) continue;
    r.device = name;
    if (r.device.rfind("/dev/", 0) != 0) r.device = "/dev/" + r.device;
    std::string desc;
    if (sp_get_port_transport(*p) == SP_TRANSPORT_USB) {
      const char* maker = sp_get_port_usb_manufacturer(*p);
      const char* product = sp_get_port_usb_product(*p);
      const char* serial = sp_get_port_usb_serial(*p);
      if (maker) desc += maker;
      if (product) desc += (desc.empty() ? "" : " ") + std::string(product);
      if (serial) desc += (desc.empty() ? "" : " ") + std::string("S/N ") + serial;
    }
    if (desc.empty()) {
      const char* d = sp_get_port_description(*p);
      if (d) desc = d;
    }
    r.description = desc;
    out.push_back(std::move(r));
  }
  sp_free_port_list(list);
  std::sort(out.begin(), out.end(),
            [](const SerialResource& a, const SerialResource& b) { return a.device < b.device; });
  return out;
}

// /dev/ttyS<n> -> n + 1, else 0.
int nativeComNumber(const std::string& device) {
  const std::string prefix = "/dev/ttyS";
  if (device.rfind(prefix, 0) != 0 || device.size() == prefix.size() || device.size() > prefix.size() + 3)
    return 0;
  int n = 0;
  for (size_t i = prefix.size(); i < device.size(); ++i) {
    if (device[i] < '0' || device[i] > '9') return 0;
    n = n * 10 + (device[i] - '0');
  }
  return n + 1;
}

}  // namespace

std::vector<SerialResource> ParseSerialMapping(std::string_view text) {
  std::vector<SerialResource> out;
  while (!text.empty()) {
    size_t comma = text.find(',');
    std::string_view entry = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    size_t eq = entry.find('=');
    if (eq == std::string_view::npos) continue;
    int n = comNumber(entry.substr(0, eq));
    std::string dev = trimmed(entry.substr(eq + 1));
    if (n <= 0 || dev.empty()) continue;
    out.push_back({"COM" + std::to_string(n), dev, "LUMVEX_SERIAL_PORTS"});
  }
  return out;
}

std::vector<SerialResource> NameSerialResources(std::vector<SerialResource> explicitEntries,
                                                std::vector<SerialResource> listed) {
  std::set<int> taken;
  std::set<std::string> mapped;
  for (const auto& e : explicitEntries) {
    taken.insert(comNumber(e.comName));
    mapped.insert(e.device);
  }
  std::vector<SerialResource> out = std::move(explicitEntries);
  std::vector<SerialResource> rest;
  for (auto& r : listed) {
    if (mapped.count(r.device)) continue;
    int n = nativeComNumber(r.device);
    if (n > 0 && !taken.count(n)) {
      taken.insert(n);
      r.comName = "COM" + std::to_string(n);
      out.push_back(std::move(r));
    } else {
      rest.push_back(std::move(r));
    }
  }
  int next = 1;
  for (auto& r : rest) {
    while (taken.count(next)) ++next;
    taken.insert(next);
    r.comName = "COM" + std::to_string(next);
    out.push_back(std::move(r));
  }
  return out;
}

std::vector<SerialResource> ListSerialResources() {
  const char* env = std::getenv("LUMVEX_SERIAL_PORTS");
  return NameSerialResources(ParseSerialMapping(env ? env : ""), systemPorts());
}

bool ContainsPortName(std::string_view instance, std::string_view portName) {
  if (portName.empty()) return false;
  for (size_t at = instance.find(portName); at != std::string_view::npos;
       at = instance.find(portName, at + 1)) {
    size_t after = at + portName.size();
    if (after >= instance.size() || instance[after] < '0' || instance[after] > '9') return true;
  }
  return false;
}

}  // namespace lumvex
