// Finding units on the local network by UDP broadcast and giving one of them
// a new IPv4 address: the datagrams byte for byte, the search (query and
// setup phases, conflict marks, the "Lumvex" mark, beacons), the adaptor
// list and the address change with its checks. Results go to
// Station::discovery; the finder and adaptor panels are filled by the page
// layer from the texts made here.
//
// Operations: SearchForUnits (the search of findLumvex), ChangeUnitAddress
// (the checks and datagram of FINDER__CHANGEIP), AdaptorAddresses and
// AdaptorPanelText (MultiNIC), FinderMessage, NewAddressPreset.
#pragma once

#include "core/station.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lumvex {

constexpr int kDiscoveryReadMs = 300;                // ms a phase waits for its next datagram
constexpr int kPingTimeoutMs = 100;                  // ms
constexpr size_t kQueryReplyBytes = 30;              // the unit's answer to the query
constexpr size_t kSetupReplyBytes = 124;             // the unit's answer to the setup query
constexpr size_t kSetupKeptBytes = 100;              // of which the station keeps these
constexpr size_t kBeaconReadBytes = 100;             // beacons are read into this many bytes
constexpr size_t kBeaconChangeBytes = 63;            // the address change of a beacon unit
constexpr char kNewAddressDefault[] = "192.168.0.";  // the finder's preset without an echo

// The datagrams the station sends.
std::array<unsigned char, 4> QueryDatagram();
std::array<unsigned char, 4> SetupQueryDatagram();
// The address change of a unit that answers the query: its identification
// bytes (query reply bytes 28 and 29) and the new address, first number first.
std::array<unsigned char, 20> AddressChangeDatagram(unsigned char id0, unsigned char id1,
                                                    const std::array<int, 4>& address);
// The address change of a beacon unit: the first 63 bytes of its beacon with
// bytes 2 and 3 set to 0x21 and bytes 14 to 17 to the new address.
std::array<unsigned char, kBeaconChangeBytes> BeaconChangeDatagram(const FoundUnit& unit,
                                                                   const std::array<int, 4>& address);
// What a search makes of the datagrams it receives, phase by phase, apart
// from the sockets so that any bytes from any sender can be fed to it. Each
// take says whether its phase ends (Enough), reads on (More) or reads on
// without the datagram keeping the phase alive (Repeat).
class DatagramSorter {
 public:
  enum class Take { Enough, More, Repeat };
  // Query phase: the station's own 4-byte query come back names its address;
  // a 30-byte reply lists its sender.
  Take query(const unsigned char* bytes, size_t n, const std::string& from);
  // Setup phase: a 124-byte reply of a listed unit is kept (its first 100 bytes).
  Take setup(const unsigned char* bytes, size_t n, const std::string& from);
  // After the setup phase: conflicts are marked over every responder, then
  // only the units whose setup reply carries the mark stay.
  void keepUnits();
  // Beacon phase: the first beacon of more than 5 bytes from a sender lists it.
  Take beacon(const unsigned char* bytes, size_t n, const std::string& from);

  const std::vector<FoundUnit>& units() const { return units_; }
  std::vector<FoundUnit>& units() { return units_; }
  const std::string& stationAddress() const { return stationAddress_; }

 private:
  struct SetupReply {
    std::string address;
    std::array<unsigned char, kSetupKeptBytes> bytes{};
  };
  std::vector<FoundUnit> units_;
  std::vector<SetupReply> setups_;
  std::string stationAddress_;
};

// True when a setup reply of `length` bytes carries "Lumvex" at bytes 52 to 57.
bool HasLumvexMark(const unsigned char* reply, size_t length);
// The number check of a new address read as "%d.%d.%d.%d": four numbers, each
// 0 to 254, the last at least 2, written plainly (no sign, space, leading zero
// or trailing character), since the text becomes the unit's address.
bool CheckNewAddress(std::string_view text, std::array<int, 4>& numbers);

// The network options of the front ends, named without their dashes:
// "broadcast" (a dotted IPv4 address), "query-port", "beacon-port",
// "change-port" (1 to 65535) and "beacon-wait" (ms, 0 to 600000). False when
// the name is none of these or the value is bad; `net` is then unchanged.
bool SetDiscoveryOption(DiscoveryNetwork& net, std::string_view name, const std::string& value);

// The adaptor a discovery channel is opened on: "" (the default adaptor)
// when NicToUse contains "Default", else NicToUse.
std::string DiscoveryAdaptor(const Station& st);

// One search: clears the found list, runs the query and setup phases (and,
// when WidgetType is 0, the beacon phase with its wait), keeps the units of
// this system and stores FoundUnits, FoundCount and StationAddress in
// st.discovery. Returns the count (0 to 4). Network failures are not
// reported; they end their phase.
int SearchForUnits(Station& st);

// The finder panel's message: "Found %d Lumvex(s) on the network\r\n" and
// every address followed by "\r\n".
std::string FinderMessage(const DiscoveryState& d);
// The new-address field's preset: StationAddress up to and including its
// last ".", or "192.168.0." when no echo was seen.
std::string NewAddressPreset(const DiscoveryState& d);

// The PC's adaptor addresses for the adaptor panel (at most 4).
std::vector<std::string> AdaptorAddresses();
// The adaptor panel's text for the adaptor in NicToUse.
std::string AdaptorPanelText(std::string_view nicToUse);

// Results of ChangeUnitAddress.
enum ChangeResult : int {
  kChangeSent = 0,              // the datagram went out (and the restart wait ran); Address updated
  kChangeProtocolConflict = 1,  // "Protocol Conflict": nothing sent; the panel closes all the same
  kChangeRefused = -1,          // a check refused the address; the panel stays open
  kChangeNotSent = -2,          // the channel or the send failed (told); the panel stays open
};

// "Change IP" for the unit at `selected` in the found list, with the new
// address text: the checks in order (same address as a listed unit, ping
// twice, number check), then the beacon unit's 63-byte or the query unit's
// 20-byte datagram and the 10-second "Wait for Lumvex to Reboot" progress.
// Every refusal is told to the operator with its message box.
int ChangeUnitAddress(Station& st, int selected, std::string_view newAddress);

}  // namespace lumvex
