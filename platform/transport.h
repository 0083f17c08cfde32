// Byte links to the unit: one small interface that the TCP socket and the
// serial port (termios) plug into. Reads are timed with poll(); a line read
// ends at LF while line mode is on; a lost connection is reported apart from
// a time-out. Also lists the serial resources and names them "COMn".
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumvex {

enum class IoStatus : int {
  Ok = 0,
  Timeout,  // nothing (or not enough) arrived within the time-out
  Lost,     // the peer closed the connection or the device went away
  Error,    // any other failure of the operating system call
};

class Transport {
 public:
  virtual ~Transport();
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  // Writes all n bytes within the time-out.
  IoStatus write(const void* data, size_t n);
  IoStatus write(std::string_view s) { return write(s.data(), s.size()); }
  // Reads into `out` up to and including LF (line mode on) or until `max`
  // bytes arrived. On Ok, `complete` tells whether the line ended at LF; on a
  // time-out `out` holds the bytes that did arrive.
  IoStatus readLine(std::string& out, size_t max, bool* complete = nullptr);
  // Reads the rest of an over-long line and drops it (up to LF or time-out).
  IoStatus skipLine();
  // Reads exactly n bytes (fewer at a time-out); `got` receives the count.
  IoStatus readRaw(void* data, size_t n, size_t& got);
  // Waits up to the time-out for input, then takes what has arrived (at most
  // n bytes) without waiting for more: Ok with got >= 1, or Timeout with got 0.
  // The time-out bounds each wait, not the whole of a long transfer.
  IoStatus readSome(void* data, size_t n, size_t& got);
  // Drops every byte waiting in the input (read ahead or in the kernel).
  void clear();

  void setTimeout(int ms) { timeoutMs_ = ms < 0 ? 0 : ms; }  // ms, 0 = wait forever
  int timeout() const { return timeoutMs_; }
  void setLineMode(bool on) { lineMode_ = on; }
  bool lineMode() const { return lineMode_; }
  bool serial() const { return serial_; }
  // Resource name ("TCPIP::127.0.0.1::3000::SOCKET", "/dev/ttyUSB0").
  const std::string& name() const { return name_; }

  // Opens a TCP connection (keep-alive on, resting time-out) within
  // connectTimeoutMs. Null on failure.
  static std::shared_ptr<Transport> openTcp(const std::string& host, int port, int connectTimeoutMs);
  // Opens a serial device raw at 115200 8N1 without flow control. Null on
  // failure, with errno left as the open left it.
  static std::shared_ptr<Transport> openSerial(const std::string& device);
  // Takes over a connected stream socket (one end of a socket pair, for a
  // link driven in-process); it is closed with the transport. Null when fd < 0.
  static std::shared_ptr<Transport> adoptSocket(int fd, std::string name);

 private:
  Transport(int fd, bool serial, std::string name);
  // Reads what the kernel holds (waiting until deadlineMs of the monotonic
  // clock, or for ever when deadlineMs < 0) and appends it to in_.
  // Waits until fd_ is readable or the deadline passes, then reads once: at
  // most n bytes into dst, their count in got.
  IoStatus readOnce(char* dst, size_t n, long long deadlineMs, size_t& got);
  IoStatus fill(long long deadlineMs);
  long long deadline() const;

  int fd_ = -1;
  bool serial_ = false;
  std::string name_;
  int timeoutMs_ = 2000;
  bool lineMode_ = true;
  std::string in_;  // bytes read ahead of the caller
};

// A serial resource: its "COMn" name, the device that carries it and what
// the system knows of it (USB maker, product, serial number).
struct SerialResource {
  std::string comName;  // "COM3"
  std::string device;   // "/dev/ttyUSB0"
  std::string description;
};

// Parses a mapping such as "COM1=/dev/pts/5,COM3=/dev/ttyUSB0" (entries that
// are not "COMn=path" are skipped).
std::vector<SerialResource> ParseSerialMapping(std::string_view text);
// Every serial resource, in search order: those named by LUMVEX_SERIAL_PORTS
// first, then the ports the system lists. Listed ports keep COMn for
// /dev/ttyS(n-1) and take the lowest free numbers otherwise.
std::vector<SerialResource> ListSerialResources();
// Numbers listed ports around the explicit entries (the rule above); exposed
// so that the numbering can be checked without hardware.
std::vector<SerialResource> NameSerialResources(std::vector<SerialResource> explicitEntries,
                                                std::vector<SerialResource> listed);
// True when `instance` contains `portName` as a whole word: an occurrence not
// followed by another digit ("COM1" is not found in "COM10").
bool ContainsPortName(std::string_view instance, std::string_view portName);

}  // namespace lumvex
