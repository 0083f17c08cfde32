#include "link/link.h"

#include "link/query.h"
#include "platform/transport.h"

#include <cctype>
#include <charconv>
#include <cerrno>
#include <cstdio>

namespace lumvex {
namespace {

constexpr size_t kMaxReplyLine = 2047;     // bytes read for one reply line
constexpr size_t kChecksumFieldLimit = 9;  // checksum digits with the CR LF after them
constexpr int kEthernetSyncAttempts = 5;
constexpr int kPortMain = 3000;
constexpr int kPortAlternative = 1066;

const char* const kLostTitle = "Communication Error";
const char* const kLostText =
    "Connection to the Lumvex has been lost.\n Try Reconnnecting\nCheck Lumvex power or reboot the Lumvex";
const char* const kErrorText =
    "Communication Error with Lumvex\rPress continue to try again, or press Disconnect";

// Reads the checksum field as C reads a decimal number: leading white space,
// an optional sign, then at least one digit; anything after the digits (CR LF)
// is ignored. -1 when there is no number.
int checksumValue(std::string_view field) {
  size_t i = 0;
  while (i < field.size() && std::isspace(static_cast<unsigned char>(field[i]))) ++i;
  if (i < field.size() && field[i] == '+') ++i;
  int v = 0;
  auto [p, ec] = std::from_chars(field.data() + i, field.data() + field.size(), v);
  if (ec != std::errc() || p == field.data() + i) return -1;
  return v;
}

int byteSum(std::string_view s) {
  unsigned sum = 0;
  for (char c : s) sum += static_cast<unsigned char>(c);
  return static_cast<int>(sum % 256);
}

void openedLink(Station& st, std::shared_ptr<Transport> t, LinkKind kind) {
  t->setTimeout(st.session.restingTimeoutMs);
  t->setLineMode(true);
  st.session.linkHandle = std::move(t);
  st.session.resourceManager = true;
  st.session.linkKind = kind;
}

int ioResult(IoStatus s) {
  if (s == IoStatus::Ok) return 0;
  return s == IoStatus::Lost ? -2 : -1;
}

}  // namespace

int FrameChecksum(std::string_view body) { return byteSum(body); }

std::string CommandFrame(std::string_view body) {
  std::string out(body);
  out += std::to_string(FrameChecksum(body));
  out += "\r\n";
  return out;
}

bool SplitHostPort(std::string_view address, std::string& host, int& port) {
  while (!address.empty() && (address.front() == ' ' || address.front() == '\t')) address.remove_prefix(1);
  while (!address.empty() && (address.back() == ' ' || address.back() == '\t' || address.back() == '\r' ||
                              address.back() == '\n'))
    address.remove_suffix(1);
  std::string_view portText;
  if (!address.empty() && address.front() == '[') {
    size_t close = address.find(']');
    if (close == std::string_view::npos) return false;
    host.assign(address.substr(1, close - 1));
    std::string_view rest = address.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return false;
      portText = rest.substr(1);
    }
  } else {
    size_t colon = address.find(':');
    // Two colons or more: a bare IPv6 address without a port.
    if (colon != std::string_view::npos && address.find(':', colon + 1) == std::string_view::npos) {
      host.assign(address.substr(0, colon));
      portText = address.substr(colon + 1);
    } else {
      host.assign(address);
    }
  }
  if (host.empty()) return false;
  if (portText.empty()) return true;
  int p = 0;
  auto [ptr, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), p);
  if (ec != std::errc() || ptr != portText.data() + portText.size() || p < 1 || p > 65535) return false;
  port = p;
  return true;
}

int ConnectSerial(Station& st, int portIndex) {
  if (portIndex < 0) return -1;
  std::string portName = "COM" + std::to_string(portIndex + 1);
  for (const SerialResource& r : ListSerialResources()) {
    if (!ContainsPortName(r.comName, portName)) continue;
    auto t = Transport::openSerial(r.device);
    if (!t) {
      char line[512];
      std::snprintf(line, sizeof line, "Could not open %s, status = 0x%08lX", r.device.c_str(),
                    static_cast<unsigned long>(errno));
      st.ui->console(line);
      continue;
    }
    st.session.linkHandle.reset();
    openedLink(st, std::move(t), LinkSerial);
    return 0;
  }
  return -1;
}

int ConnectEthernet(Station& st, std::string_view address, int port1066) {
  std::string host;
  int port = port1066 ? kPortAlternative : kPortMain;
  if (!SplitHostPort(address, host, port)) return -1;
  st.session.linkHandle.reset();
  auto t = Transport::openTcp(host, port, st.session.restingTimeoutMs);
  if (!t) return -1;
  openedLink(st, std::move(t), LinkEthernet);
  return 0;
}

int EthernetSync(Station& st) {
  const std::string status = CommandFrame("S#");
  std::string first, second;
  bool synced = false;
  for (int attempt = 0; attempt < kEthernetSyncAttempts && !synced; ++attempt) {
    auto link = st.session.linkHandle;
    if (!link) return -1;
    IoStatus s = link->write(status);
    std::string line;
    if (s == IoStatus::Ok) s = link->readLine(line, kMaxReplyLine);
    if (s == IoStatus::Lost) {
      Disconnect(st);
      return -1;
    }
    if (s == IoStatus::Ok && Parser("S", line, first, second) == 0) {
      synced = true;
    } else {
      link->clear();
    }
  }
  if (!synced) {
    st.ui->message("Comm Error", "could not synch with Lumvex");
    Disconnect(st);
    return -1;
  }
  // Read as C reads a decimal number, but a field too long for an int cannot overflow.
  return FieldInt(first);
}

void Disconnect(Station& st) {
  st.session.linkHandle.reset();
  st.session.resourceManager = false;
  st.model.setTimerRunning(false);
  st.session.unitStatus = StatusDisconnected;
  st.session.needsScreenSetup = -1;
}

int sendRcv(Station& st, std::string& buffer) {
  // A copy keeps the link alive while a nested callback (inside the error box)
  // closes the session.
  auto link = st.session.linkHandle;
  // No open link: the session was closed earlier and the operator was told then.
  if (!link) return -2;
  // One command is outstanding at a time, so anything already waiting is a
  // reply that came after its time-out: drop it, or it would be read as the
  // answer to this command and every later reply would be one behind.
  link->clear();
  IoStatus s = link->write(buffer);
  if (!buffer.empty()) buffer[0] = '0';
  if (s == IoStatus::Ok) {
    bool complete = false;
    s = link->readLine(buffer, kMaxReplyLine, &complete);
    // The tail of an over-long line would otherwise be taken for the next reply.
    if (s == IoStatus::Ok && !complete) link->skipLine();
  }
  if (s == IoStatus::Ok) return 0;
  if (s == IoStatus::Lost) {
    Disconnect(st);
    st.ui->message(kLostTitle, kLostText);
    return -2;
  }
  if (st.ui->twoButton(kLostTitle, kErrorText, "Continue", "Disconnect") == 2) {
    st.session.demoRunning = 0;
    st.session.ioCheckRunning = 0;
    st.model.setActivePage(0);
    Disconnect(st);
    st.session.unitStatus = StatusDisconnected;
    if (st.refreshScreens) st.refreshScreens(st);
  } else {
    link->clear();
  }
  return -1;
}

int Parser(std::string_view expectedName, std::string_view reply, std::string& first, std::string& second,
           size_t firstCapacity, size_t secondCapacity) {
  first.clear();
  second.clear();
  size_t h1 = reply.find('#');
  if (h1 == std::string_view::npos || reply.substr(0, h1) != expectedName) return -1;
  // Up to three fields after the name; the last one read is the checksum.
  size_t hashes[3] = {h1, std::string_view::npos, std::string_view::npos};
  std::string_view fields[3];
  int n = 0;
  size_t from = h1 + 1;
  for (;;) {
    size_t next = reply.find('#', from);
    fields[n] = reply.substr(from, next == std::string_view::npos ? std::string_view::npos : next - from);
    ++n;
    if (next == std::string_view::npos) break;
    if (n == 3) return -1;  // a fourth field follows
    hashes[n] = next;
    from = next + 1;
  }
  std::string_view checksumField = fields[n - 1];
  size_t covered = hashes[n - 1] + 1;
  if (checksumField.size() > kChecksumFieldLimit) return -1;
  if (fields[0].size() > firstCapacity) return -1;
  if (n >= 2 && fields[1].size() > secondCapacity) return -1;
  first.assign(fields[0]);
  if (n >= 2) second.assign(fields[1]);
  int want = checksumValue(checksumField);
  return want >= 0 && want == byteSum(reply.substr(0, covered)) ? 0 : -1;
}

int SetLinkTimeout(Station& st, int ms) {
  auto& link = st.session.linkHandle;
  if (!link || ms < 0) return -1;
  link->setTimeout(ms == kRestingTimeoutMs ? st.session.restingTimeoutMs : ms);
  return 0;
}

int SetLineMode(Station& st, bool on) {
  auto& link = st.session.linkHandle;
  if (!link) return -1;
  link->setLineMode(on);
  return 0;
}

int WriteRaw(Station& st, const void* data, size_t n) {
  auto link = st.session.linkHandle;
  if (!link) return -2;
  return ioResult(link->write(data, n));
}

int ReadRaw(Station& st, void* data, size_t n, size_t& got) {
  got = 0;
  auto link = st.session.linkHandle;
  if (!link) return -2;
  return ioResult(link->readRaw(data, n, got));
}

int ReadSome(Station& st, void* data, size_t n, size_t& got) {
  got = 0;
  auto link = st.session.linkHandle;
  if (!link) return -2;
  return ioResult(link->readSome(data, n, got));
}

int ReadLine(Station& st, std::string& line, size_t max) {
  line.clear();
  auto link = st.session.linkHandle;
  if (!link) return -2;
  return ioResult(link->readLine(line, max));
}

void ClearLink(Station& st) {
  if (st.session.linkHandle) st.session.linkHandle->clear();
}

bool LinkOpen(const Station& st) { return st.session.linkHandle != nullptr; }

}  // namespace lumvex
