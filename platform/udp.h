// UDP datagram channels for finding units on the local network, and the PC's
// own IPv4 addresses with the adaptors that hold them.
//
// A channel is opened on a local port either on the default adaptor (the port
// shared with other sockets) or restricted to one adaptor, named by an IPv4
// address it holds, with exclusive use of the port. On Linux a socket bound to
// an adaptor's address hears no broadcasts (not even its own), so the
// restriction binds the wildcard address and ties the socket to the adaptor's
// interface (SO_BINDTODEVICE): it sends through that adaptor and still
// receives its broadcasts.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace lumvex {

// Results of UdpChannel::read below 0.
constexpr int kUdpTimeout = -1;
constexpr int kUdpError = -2;

class UdpChannel {
 public:
  ~UdpChannel();
  UdpChannel(const UdpChannel&) = delete;
  UdpChannel& operator=(const UdpChannel&) = delete;

  // Opens a channel on local port `port` (0 = any free port) with broadcasts
  // allowed. `adaptor` empty: the default adaptor, port shared; else the
  // dotted IPv4 address of one of the PC's adaptors: restricted to it, port
  // exclusive. Null on failure (no adaptor holds that address, port taken).
  static std::unique_ptr<UdpChannel> open(int port, const std::string& adaptor = "");

  // Sends one datagram of n bytes to a dotted IPv4 address. 0 or -1.
  int write(const void* data, size_t n, const std::string& address, int port);
  // Waits up to timeoutMs (ms) for one datagram and copies at most `size`
  // bytes of it into buf (the rest of a longer one is dropped). Returns the
  // number of bytes copied, kUdpTimeout or kUdpError; `fromAddress` and
  // `fromPort` (when given) receive its source.
  int read(void* buf, size_t size, int timeoutMs, std::string* fromAddress = nullptr,
           int* fromPort = nullptr);

  int localPort() const { return port_; }

 private:
  explicit UdpChannel(int fd, int port) : fd_(fd), port_(port) {}
  int fd_ = -1;
  int port_ = 0;
};

// True when text is an IPv4 address in dotted form ("10.0.0.5").
bool IsDottedIPv4(const std::string& text);

// The PC's IPv4 host addresses in dotted text, adaptors that are up first in
// the system's order, loopback last.
std::vector<std::string> HostIPv4Addresses();
// Name of the interface that holds this IPv4 address ("eth0"), or "".
std::string InterfaceHoldingAddress(const std::string& address);

}  // namespace lumvex
