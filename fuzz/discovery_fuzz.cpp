// Fuzz target: the datagrams a network search receives, from any sender in
// any order, sorted as the search sorts them. The input is a run of
// datagrams, each: one byte (bits 0-1 the phase: query, setup, beacon;
// bits 2-4 the sender), two bytes of length (little endian), the bytes.
// Phases only move forward, as in a search; a phase that said it had enough
// takes nothing more. The found list never grows past 4; a listed unit's
// address is its sender's (cut to 19 characters) and, for a queried unit, a
// marked setup reply came from it; the conflict marks are those of the
// query replies taken; a beacon unit keeps its first beacon's bytes. The
// address change datagrams made from every unit carry its bytes and the new
// address, and the finder's texts name every unit.
#include "fuzz/fuzz_check.h"
#include "link/discovery.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace lumvex;
using Take = DatagramSorter::Take;

const std::array<std::string, 8> kSenders = {
    "192.168.0.10",   "192.168.0.11",
    "10.0.0.5",       "10.0.0.6",
    "172.16.254.254", "192.168.100.200",
    "10.1.1.1",       "254.254.254.254.long.name"};  // the last is longer than an address text

struct Datagram {
  int phase;
  std::string from;
  std::vector<unsigned char> bytes;
};

bool hasMark(const std::vector<unsigned char>& b) {
  return b.size() >= 58 && std::memcmp(b.data() + 52, "Lumvex", 6) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<Datagram> fed;
  for (size_t at = 0; data && at + 3 <= size;) {
    Datagram d;
    d.phase = std::min(data[at] & 3, 2);
    d.from = kSenders[(data[at] >> 2) & 7];
    const size_t n = std::min<size_t>(data[at + 1] | data[at + 2] << 8, size - at - 3);
    d.bytes.assign(data + at + 3, data + at + 3 + n);
    at += 3 + n;
    fed.push_back(std::move(d));
  }

  DatagramSorter sorter;
  std::vector<const Datagram*> queryTaken, setupTaken, beaconsSeen;
  int phase = 0;
  bool phaseOver = false, kept = false;
  for (const Datagram& d : fed) {
    if (d.phase < phase) continue;
    if (d.phase > phase) {
      phase = d.phase;
      phaseOver = false;
    }
    if (phase == 2 && !kept) {
      sorter.keepUnits();
      kept = true;
      // A full list skips the beacon phase.
      phaseOver = sorter.units().size() >= static_cast<size_t>(MaxFoundUnits);
    }
    if (phaseOver) continue;
    const unsigned char* b = d.bytes.empty() ? nullptr : d.bytes.data();
    Take t = Take::More;
    if (phase == 0) {
      t = sorter.query(b, d.bytes.size(), d.from);
      if (d.bytes.size() == kQueryReplyBytes) queryTaken.push_back(&d);
    } else if (phase == 1) {
      t = sorter.setup(b, d.bytes.size(), d.from);
      setupTaken.push_back(&d);
    } else {
      t = sorter.beacon(b, d.bytes.size(), d.from);
      beaconsSeen.push_back(&d);
    }
    FUZZ_CHECK(sorter.units().size() <= static_cast<size_t>(MaxFoundUnits));
    phaseOver = t == Take::Enough;
  }
  if (!kept) sorter.keepUnits();

  const std::vector<FoundUnit>& units = sorter.units();
  FUZZ_CHECK(units.size() <= static_cast<size_t>(MaxFoundUnits));
  for (size_t i = 0; i < units.size(); ++i) {
    const FoundUnit& u = units[i];
    FUZZ_CHECK(u.Address.size() <= 19);
    if (u.FoundByBeacon) {
      // Its first beacon from that sender, bytes as received up to 100.
      const Datagram* first = nullptr;
      for (const Datagram* d : beaconsSeen)
        if (d->from.substr(0, 19) == u.Address && d->bytes.size() > 5) {
          first = d;
          break;
        }
      FUZZ_CHECK(first != nullptr);
      const size_t n = std::min(first->bytes.size(), kBeaconReadBytes);
      FUZZ_CHECK(std::memcmp(u.Reply.data(), first->bytes.data(), n) == 0);
      for (size_t k = n; k < u.Reply.size(); ++k) FUZZ_CHECK(u.Reply[k] == 0);
      for (size_t j = 0; j < i; ++j) FUZZ_CHECK(!(units[j].FoundByBeacon && units[j].Address == u.Address));
    } else {
      const bool marked = std::any_of(setupTaken.begin(), setupTaken.end(), [&](const Datagram* d) {
        return d->from.substr(0, 19) == u.Address && d->bytes.size() == kSetupReplyBytes && hasMark(d->bytes);
      });
      FUZZ_CHECK(marked);
      // Marked when another taken query reply shares bytes 28 and 29.
      size_t same = 0;
      for (const Datagram* d : queryTaken)
        same += d->bytes[28] == u.Reply[28] && d->bytes[29] == u.Reply[29] ? 1 : 0;
      if (u.IdConflict == 0) FUZZ_CHECK(same == 1);
      if (u.IdConflict == 1) FUZZ_CHECK(same >= 2);
    }
  }

  // The address changes and the finder's texts.
  const std::array<int, 4> address = {10, 20, 254, 2};
  DiscoveryState state;
  state.StationAddress = sorter.stationAddress();
  for (size_t i = 0; i < units.size(); ++i) {
    const FoundUnit& u = units[i];
    const auto beacon = BeaconChangeDatagram(u, address);
    FUZZ_CHECK(beacon[2] == 0x21 && beacon[3] == 0x21 && beacon[14] == 10 && beacon[17] == 2);
    FUZZ_CHECK(std::memcmp(beacon.data() + 18, u.Reply.data() + 18, beacon.size() - 18) == 0);
    const auto change = AddressChangeDatagram(u.Reply[28], u.Reply[29], address);
    FUZZ_CHECK(change[14] == u.Reply[28] && change[15] == u.Reply[29] && change[19] == 2);
    state.FoundUnits[i] = u;
  }
  state.FoundCount = static_cast<int>(units.size());
  const std::string message = FinderMessage(state);
  for (const FoundUnit& u : units) FUZZ_CHECK(message.find(u.Address + "\r\n") != std::string::npos);
  const std::string preset = NewAddressPreset(state);
  FUZZ_CHECK(preset.empty() || preset.back() == '.');
  return 0;
}
