#include "link/discovery.h"

#include "platform/udp.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace lumvex {
namespace {

constexpr size_t kQueryReadBytes = 150;  // buffer of the query and setup phases
// A phase also ends this long after it started, so that a device that keeps
// sending cannot hold the station in a search for ever.
constexpr int kPhaseLimitMs = 3000;             // ms
constexpr int kBeaconWaitStepMs = 20;           // ms between event passes of the beacon wait
constexpr size_t kIdByte0 = 28, kIdByte1 = 29;  // identification bytes of a query reply
constexpr size_t kMarkAt = 52;                  // "Lumvex" at bytes 52 to 57 of a setup reply
constexpr char kMark[] = "Lumvex";
constexpr size_t kMaxAddressText = 19;  // characters of an address text
constexpr int kRebootSteps = 10;        // of 1 second each

constexpr char kIpConflictTitle[] = "IP Address Conflict";
constexpr char kIpConflictText[] =
    "The new IP Address is the same as another Lumvex on the network\n Select another address";
constexpr char kAvailableTitle[] = "IP Available Check";
constexpr char kCannotPingText[] =
    "Can not ping to check if ip address is available, you must manually verify that new ip address is "
    "unused";
constexpr char kAddressUsedText[] =
    "Another device on the network is using the same IP Address, pick another address to use";
constexpr char kBadAddressTitle[] = "BAD IP Address";
constexpr char kBadAddressText[] =
    "The new IP Address has numbers >255 or last number < 2\n Fix it and try again";
constexpr char kProtocolConflictTitle[] = "Protocol Conflict";
constexpr char kProtocolConflictText[] =
    "There is another device on the network that is responding to the protocol.\n"
    "The IP address cannot be changed without affecting the other device\n"
    "Connect this Lumvex directly to a PC to change its IP address";
constexpr char kNotSentTitle[] = "Change IP";
constexpr char kNotSentText[] =
    "The new IP Address could not be sent to the Lumvex\n Check the network adaptor and try again";
constexpr char kRebootTitle[] = "Wait for Lumvex to Reboot";
constexpr char kRebootLabel[] = "Percent Complete";

long long nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

using Take = DatagramSorter::Take;

// Reads datagrams of at most `size` bytes until kDiscoveryReadMs pass without
// one (a repeat does not count), the phase limit passes, or `take` has enough.
// `take` sees only the bytes received.
template <typename TakeFn>
void readPhase(UdpChannel& ch, size_t size, TakeFn&& take) {
  unsigned char buf[kQueryReadBytes];
  size = std::min(size, sizeof buf);
  const long long end = nowMs() + kPhaseLimitMs;
  long long quietEnd = nowMs() + kDiscoveryReadMs;
  for (;;) {
    const long long left = std::min(end, quietEnd) - nowMs();
    if (left <= 0) break;
    std::string from;
    int n = ch.read(buf, size, static_cast<int>(left), &from);
    if (n < 0) break;
    const Take t = take(buf, static_cast<size_t>(n), from);
    if (t == Take::Enough) break;
    if (t == Take::More) quietEnd = nowMs() + kDiscoveryReadMs;
  }
}

bool listedAt(const std::vector<FoundUnit>& units, const std::string& address) {
  return std::any_of(units.begin(), units.end(), [&](const FoundUnit& u) { return u.Address == address; });
}

void sendQuery(UdpChannel& ch, const std::array<unsigned char, 4>& q, const DiscoveryNetwork& net) {
  // A failed send is not reported: the phase then ends at its first time-out.
  ch.write(q.data(), q.size(), net.broadcast, net.queryPort);
}

// The units answering the query, then the setup replies of those units.
void queryAndSetupPhases(UdpChannel& ch, const DiscoveryNetwork& net, DatagramSorter& sorter) {
  sendQuery(ch, QueryDatagram(), net);
  readPhase(ch, kQueryReadBytes, [&](const unsigned char* b, size_t n, const std::string& from) {
    return sorter.query(b, n, from);
  });
  sendQuery(ch, SetupQueryDatagram(), net);
  readPhase(ch, kQueryReadBytes, [&](const unsigned char* b, size_t n, const std::string& from) {
    return sorter.setup(b, n, from);
  });
}

// The beacons held since the channel opened and those of the wait.
void beaconPhase(Station& st, UdpChannel* ch, DatagramSorter& sorter) {
  const size_t max = static_cast<size_t>(MaxFoundUnits);
  if (sorter.units().size() < max) {
    const long long end = nowMs() + st.discovery.network.beaconWaitMs;
    while (nowMs() < end) {
      st.ui->processEvents();
      std::this_thread::sleep_for(
          std::chrono::milliseconds(std::clamp<long long>(end - nowMs(), 0, kBeaconWaitStepMs)));
    }
  }
  if (!ch || sorter.units().size() >= max) return;
  readPhase(*ch, kBeaconReadBytes, [&](const unsigned char* b, size_t n, const std::string& from) {
    return sorter.beacon(b, n, from);
  });
}

PingResult pingAddress(const Station& st, const std::string& address) {
  const auto& hook = st.discovery.network.ping;
  return hook ? hook(address, kPingTimeoutMs) : Ping(address, kPingTimeoutMs);
}

void rebootWait(Station& st) {
  st.ui->progressOpen(kRebootTitle, kRebootLabel, false);
  for (int i = 0; i < kRebootSteps; ++i) {
    st.ui->delay(1000);  // ms
    st.ui->progressUpdate(1 + 10 * i);
  }
  st.ui->progressClose();
}

}  // namespace

Take DatagramSorter::query(const unsigned char* b, size_t n, const std::string& from) {
  if (n == 4) {
    stationAddress_ = from;  // our own query, come back
  } else if (n == kQueryReplyBytes) {
    FoundUnit u;
    u.Address = from.substr(0, kMaxAddressText);
    std::memcpy(u.Reply.data(), b, n);
    units_.push_back(std::move(u));
  }
  return units_.size() < static_cast<size_t>(MaxFoundUnits) ? Take::More : Take::Enough;
}

Take DatagramSorter::setup(const unsigned char* b, size_t n, const std::string& from) {
  // Only the listed units' replies count: with more than 4 responders the
  // fifth one's reply must not take a listed unit's place.
  if (n == kSetupReplyBytes && listedAt(units_, from.substr(0, kMaxAddressText))) {
    SetupReply s;
    s.address = from.substr(0, kMaxAddressText);
    std::memcpy(s.bytes.data(), b, kSetupKeptBytes);
    setups_.push_back(std::move(s));
  }
  return setups_.size() < static_cast<size_t>(MaxFoundUnits) ? Take::More : Take::Enough;
}

// Conflicts are marked over every responder, so that a foreign device sharing
// a unit's bytes still marks it; then only units of this system stay.
void DatagramSorter::keepUnits() {
  for (size_t i = 0; i < units_.size(); ++i)
    for (size_t j = 0; j < units_.size(); ++j)
      if (i != j && units_[i].Reply[kIdByte0] == units_[j].Reply[kIdByte0] &&
          units_[i].Reply[kIdByte1] == units_[j].Reply[kIdByte1])
        units_[i].IdConflict = 1;
  std::erase_if(units_, [&](const FoundUnit& u) {
    return std::none_of(setups_.begin(), setups_.end(), [&](const SetupReply& s) {
      return s.address == u.Address && HasLumvexMark(s.bytes.data(), s.bytes.size());
    });
  });
}

Take DatagramSorter::beacon(const unsigned char* b, size_t n, const std::string& from) {
  const size_t max = static_cast<size_t>(MaxFoundUnits);
  // A unit beacons again and again: its first beacon stands for it, and
  // its repeats do not keep the phase going.
  // Senders are told apart by the address text they are listed under.
  const std::string address = from.substr(0, kMaxAddressText);
  const bool known = std::any_of(units_.begin(), units_.end(),
                                 [&](const FoundUnit& u) { return u.FoundByBeacon && u.Address == address; });
  if (known) return Take::Repeat;
  if (n > 5) {
    FoundUnit u;
    u.Address = address;
    // Beacons are read into kBeaconReadBytes; a longer one keeps only those.
    std::memcpy(u.Reply.data(), b, std::min(n, kBeaconReadBytes));
    u.FoundByBeacon = 1;
    units_.push_back(std::move(u));
  }
  return units_.size() < max ? Take::More : Take::Enough;
}

std::array<unsigned char, 4> QueryDatagram() { return {0x00, 0x00, 0x00, 0xF6}; }

std::array<unsigned char, 4> SetupQueryDatagram() { return {0x00, 0x00, 0x00, 0xF8}; }

std::array<unsigned char, 20> AddressChangeDatagram(unsigned char id0, unsigned char id1,
                                                    const std::array<int, 4>& address) {
  std::array<unsigned char, 20> d{0x00, 0x00, 0x00, 0xFC, 'I', 'P', '-', 'S', 'E', 'T', 'U', 'P', 0x00, 0x00};
  d[14] = id0;
  d[15] = id1;
  for (size_t i = 0; i < 4; ++i) d[16 + i] = static_cast<unsigned char>(address[i]);
  return d;
}

std::array<unsigned char, kBeaconChangeBytes> BeaconChangeDatagram(const FoundUnit& unit,
                                                                   const std::array<int, 4>& address) {
  std::array<unsigned char, kBeaconChangeBytes> d{};
  std::memcpy(d.data(), unit.Reply.data(), d.size());
  d[2] = 0x21;
  d[3] = 0x21;
  for (size_t i = 0; i < 4; ++i) d[14 + i] = static_cast<unsigned char>(address[i]);
  return d;
}

bool HasLumvexMark(const unsigned char* reply, size_t length) {
  const size_t markLength = sizeof kMark - 1;
  return length >= kMarkAt + markLength && std::memcmp(reply + kMarkAt, kMark, markLength) == 0;
}

bool CheckNewAddress(std::string_view text, std::array<int, 4>& n) {
  const std::string s(text);
  if (std::sscanf(s.c_str(), "%d.%d.%d.%d", &n[0], &n[1], &n[2], &n[3]) != 4) return false;
  for (int v : n)
    if (v < 0 || v > 254) return false;
  // The text itself becomes the unit's remembered address, so it must be the
  // plain dotted form of the four numbers: "10.0.0.5abc" or " 10.0.0.5" names
  // no host, and "10.0.0.010" would be read as octal (8) when connecting.
  char plain[32];
  std::snprintf(plain, sizeof plain, "%d.%d.%d.%d", n[0], n[1], n[2], n[3]);
  if (s != plain) return false;
  return n[3] >= 2;
}

bool SetDiscoveryOption(DiscoveryNetwork& net, std::string_view name, const std::string& value) {
  auto number = [&value](int lowest, int highest, int& out) {
    char* end = nullptr;
    const long v = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || v < lowest || v > highest) return false;
    out = static_cast<int>(v);
    return true;
  };
  if (name == "broadcast") {
    if (!IsDottedIPv4(value)) return false;
    net.broadcast = value;
    return true;
  }
  if (name == "query-port") return number(1, 65535, net.queryPort);
  if (name == "beacon-port") return number(1, 65535, net.beaconPort);
  if (name == "change-port") return number(1, 65535, net.changePort);
  if (name == "beacon-wait") return number(0, 600000, net.beaconWaitMs);  // ms
  return false;
}

std::string DiscoveryAdaptor(const Station& st) {
  const std::string nic(st.ini.NicToUse.data(), strnlen(st.ini.NicToUse.data(), st.ini.NicToUse.size()));
  return nic.find("Default") != std::string::npos ? std::string() : nic;
}

int SearchForUnits(Station& st) {
  DiscoveryState& d = st.discovery;
  const DiscoveryNetwork& net = d.network;
  d.FoundUnits = {};
  d.FoundCount = 0;
  d.StationAddress.clear();
  const std::string adaptor = DiscoveryAdaptor(st);
  const bool beacons = st.ini.WidgetType == 0;
  // Opened first, so that it holds the beacons sent while the queries run.
  std::unique_ptr<UdpChannel> beaconChannel = beacons ? UdpChannel::open(net.beaconPort, adaptor) : nullptr;

  DatagramSorter sorter;
  if (auto ch = UdpChannel::open(net.queryPort, adaptor)) queryAndSetupPhases(*ch, net, sorter);
  sorter.keepUnits();
  if (beacons) beaconPhase(st, beaconChannel.get(), sorter);
  beaconChannel.reset();
  d.StationAddress = sorter.stationAddress();
  std::vector<FoundUnit>& units = sorter.units();

  for (size_t i = 0; i < units.size() && i < d.FoundUnits.size(); ++i) d.FoundUnits[i] = std::move(units[i]);
  d.FoundCount = static_cast<int>(std::min(units.size(), d.FoundUnits.size()));
  return d.FoundCount;
}

std::string FinderMessage(const DiscoveryState& d) {
  char head[64];
  std::snprintf(
      head, sizeof head,
      d.FoundCount > 1 ? "Found %d Lumvexs on the network\r\n" : "Found %d Lumvex on the network\r\n",
      d.FoundCount);
  std::string text = head;
  for (int i = 0; i < d.FoundCount && i < MaxFoundUnits; ++i) text += d.FoundUnits[i].Address + "\r\n";
  return text;
}

std::string NewAddressPreset(const DiscoveryState& d) {
  const size_t dot = d.StationAddress.rfind('.');
  if (dot == std::string::npos) return kNewAddressDefault;
  return d.StationAddress.substr(0, dot + 1);
}

std::vector<std::string> AdaptorAddresses() {
  std::vector<std::string> all = HostIPv4Addresses();
  if (all.size() > static_cast<size_t>(MaxFoundUnits)) all.resize(MaxFoundUnits);
  for (auto& a : all) a = a.substr(0, 31);
  return all;
}

std::string AdaptorPanelText(std::string_view nicToUse) {
  std::string text = "No Lumvexs found on Network Adaptor IP Address ";
  text += nicToUse;
  text += " \r\n";
  text += "\r\n\r\nMake sure the Lumvexs are plugged in and turned on\r\n\r\n\r\n";
  text += " This PC has the following Network Adaptor Cards (NICs) \r\n";
  text += " Select the NIC to use below and press OK to remember it for next time you use Find Lumvexs \r\n";
  return text;
}

int ChangeUnitAddress(Station& st, int selected, std::string_view newAddress) {
  DiscoveryState& d = st.discovery;
  const DiscoveryNetwork& net = d.network;
  const std::string text(newAddress.substr(0, kMaxAddressText));
  const int count = std::clamp(d.FoundCount, 0, MaxFoundUnits);
  for (int i = 0; i < count; ++i)
    if (d.FoundUnits[i].Address == text) {
      st.ui->message(kIpConflictTitle, kIpConflictText);
      return kChangeRefused;
    }
  PingResult ping = pingAddress(st, text);
  if (ping == PingResult::Error) ping = pingAddress(st, text);
  if (ping == PingResult::Error) {
    st.ui->message(kAvailableTitle, kCannotPingText);
  } else if (ping == PingResult::Answered) {
    st.ui->message(kAvailableTitle, kAddressUsedText);
    return kChangeRefused;
  }
  std::array<int, 4> numbers{};
  if (!CheckNewAddress(text, numbers)) {
    st.ui->message(kBadAddressTitle, kBadAddressText);
    return kChangeRefused;
  }
  if (selected < 0 || selected >= count) return kChangeRefused;
  FoundUnit& unit = d.FoundUnits[selected];
  const std::string adaptor = DiscoveryAdaptor(st);
  auto notSent = [&st] {
    st.ui->message(kNotSentTitle, kNotSentText);
    return kChangeNotSent;
  };
  if (unit.FoundByBeacon) {
    const auto datagram = BeaconChangeDatagram(unit, numbers);
    auto ch = UdpChannel::open(net.beaconPort, adaptor);
    if (!ch || ch->write(datagram.data(), datagram.size(), net.broadcast, net.changePort) != 0)
      return notSent();
    std::memcpy(unit.Reply.data(), datagram.data(), datagram.size());
  } else if (unit.IdConflict) {
    st.ui->message(kProtocolConflictTitle, kProtocolConflictText);
    return kChangeProtocolConflict;
  } else {
    const auto datagram = AddressChangeDatagram(unit.Reply[kIdByte0], unit.Reply[kIdByte1], numbers);
    auto ch = UdpChannel::open(net.queryPort, adaptor);
    if (!ch || ch->write(datagram.data(), datagram.size(), net.broadcast, net.queryPort) != 0)
      return notSent();
    ch.reset();
    rebootWait(st);
  }
  unit.Address = text;
  return kChangeSent;
}

}  // namespace lumvex
