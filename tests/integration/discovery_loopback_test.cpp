// The search and the address change against simulated units on loopback,
// with real datagrams to the loopback broadcast address: units found, the
// fifth not read, foreign devices, beacons, and search -> change -> connect.
#include "ui/callbacks.h"
#include "link/discovery.h"
#include "net_units.h"
#include "support/scripted_operator.h"
#include "sim_station.h"
#include "ui/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <set>

using namespace lumvex;
using namespace lumvex::testing;
using sim::NetMode;

namespace {

struct DiscoveryLoopback : ::testing::Test {
  void SetUp() override {
    ASSERT_GT(units.changePort, 0) << "no free UDP ports";
    std::strcpy(st.ini.NicToUse.data(), "Default");
    st.ini.WidgetType = 1;
    st.discovery.network = units.network(300);
    st.discovery.network.ping = [this](const std::string&, int) {
      ++pings;
      return PingResult::NoAnswer;
    };
  }
  std::set<std::string> found() const {
    std::set<std::string> s;
    for (int i = 0; i < st.discovery.FoundCount; ++i) s.insert(st.discovery.FoundUnits[i].Address);
    return s;
  }

  LoopbackUnits units;
  ScriptedOperator op;
  Station st{op};
  int pings = 0;
};

TEST_F(DiscoveryLoopback, OneUnitIsFoundAndTheEchoGivesTheStationAddress) {
  ASSERT_TRUE(units.add(units.config(2)));
  ASSERT_EQ(SearchForUnits(st), 1);
  const FoundUnit& u = st.discovery.FoundUnits[0];
  EXPECT_EQ(u.Address, units.address(2));
  EXPECT_EQ(std::string(u.Reply.begin(), u.Reply.begin() + 30), sim::QueryReply(units.config(2)));
  EXPECT_TRUE(std::all_of(u.Reply.begin() + 30, u.Reply.end(), [](unsigned char b) { return b == 0; }));
  EXPECT_EQ(u.FoundByBeacon, 0);
  EXPECT_EQ(u.IdConflict, 0);
  EXPECT_EQ(st.discovery.FoundCount, 1);
  EXPECT_EQ(st.discovery.StationAddress, "127.0.0.1");
  EXPECT_EQ(FinderMessage(st.discovery), "Found 1 Lumvex on the network\r\n" + units.address(2) + "\r\n");
  EXPECT_EQ(NewAddressPreset(st.discovery), "127.0.0.");
  EXPECT_TRUE(op.transcript.empty());
}

TEST_F(DiscoveryLoopback, FourUnitsAreListedAndAFifthIsNotRead) {
  std::set<std::string> all;
  for (int host = 2; host <= 5; ++host) {
    ASSERT_TRUE(units.add(units.config(host, NetMode::Unit, 0x10, static_cast<unsigned char>(host))));
    all.insert(units.address(host));
  }
  ASSERT_EQ(SearchForUnits(st), 4);
  EXPECT_EQ(found(), all);
  EXPECT_EQ(FinderMessage(st.discovery).rfind("Found 4 Lumvexs on the network\r\n", 0), 0u);

  ASSERT_TRUE(units.add(units.config(6, NetMode::Unit, 0x10, 6)));
  all.insert(units.address(6));
  ASSERT_EQ(SearchForUnits(st), 4);
  std::set<std::string> listed = found();
  EXPECT_EQ(listed.size(), 4u);
  EXPECT_TRUE(std::includes(all.begin(), all.end(), listed.begin(), listed.end()));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(st.discovery.FoundUnits[i].IdConflict, 0);
}

TEST_F(DiscoveryLoopback, ForeignDevicesAndQueryOnlyUnitsAreNotListed) {
  ASSERT_TRUE(units.add(units.config(2)));
  ASSERT_TRUE(units.add(units.config(3, NetMode::Foreign, 0x11, 0x22)));
  ASSERT_TRUE(units.add(units.config(4, NetMode::QueryOnly, 0x33, 0x44)));
  ASSERT_EQ(SearchForUnits(st), 1);
  EXPECT_EQ(st.discovery.FoundUnits[0].Address, units.address(2));
  EXPECT_EQ(st.discovery.FoundUnits[0].IdConflict, 0);
}

TEST_F(DiscoveryLoopback, AForeignDeviceSharingTheBytesBlocksTheChange) {
  NetUnit* unit = units.add(units.config(2));
  ASSERT_TRUE(unit);
  ASSERT_TRUE(units.add(units.config(3, NetMode::Foreign)));  // the same bytes 28 and 29
  ASSERT_EQ(SearchForUnits(st), 1);
  EXPECT_EQ(st.discovery.FoundUnits[0].IdConflict, 1);

  EXPECT_EQ(ChangeUnitAddress(st, 0, units.address(50)), kChangeProtocolConflict);
  ASSERT_EQ(op.transcript.size(), 1u);
  EXPECT_TRUE(op.showed("Protocol Conflict",
                        "There is another device on the network that is responding to the protocol.\n"
                        "The IP address cannot be changed without affecting the other device\n"
                        "Connect this Lumvex directly to a PC to change its IP address"));
  EXPECT_EQ(st.discovery.FoundUnits[0].Address, units.address(2));
  // Nothing was sent: a second search still finds the unit where it was.
  ASSERT_EQ(SearchForUnits(st), 1);
  EXPECT_EQ(unit->net->addressChanges(), 0);
  EXPECT_EQ(st.discovery.FoundUnits[0].Address, units.address(2));
}

TEST_F(DiscoveryLoopback, BeaconUnitsAreListedOnceEachWhenWidgetTypeIsZero) {
  ASSERT_TRUE(units.add(units.config(2)));
  for (int host : {7, 8}) {
    sim::NetConfig c = units.config(host, NetMode::BeaconOnly, 0x20, static_cast<unsigned char>(host));
    c.beaconMs = 40;  // several beacons during the search
    ASSERT_TRUE(units.add(c));
  }
  ASSERT_EQ(SearchForUnits(st), 1) << "no beacon phase unless WidgetType is 0";

  st.ini.WidgetType = 0;
  int events = 0;
  op.onEvents = [&] { ++events; };
  ASSERT_EQ(SearchForUnits(st), 3);
  EXPECT_GT(events, 0);
  const auto& f = st.discovery.FoundUnits;
  EXPECT_EQ(f[0].Address, units.address(2));
  EXPECT_EQ(f[0].FoundByBeacon, 0);
  EXPECT_EQ((std::set<std::string>{f[1].Address, f[2].Address}),
            (std::set<std::string>{units.address(7), units.address(8)}));
  for (int i : {1, 2}) {
    EXPECT_EQ(f[i].FoundByBeacon, 1);
    const int host = f[i].Address == units.address(7) ? 7 : 8;
    const std::string beacon = sim::Beacon(units.config(host, NetMode::BeaconOnly, 0x20, host), f[i].Address);
    EXPECT_EQ(std::string(f[i].Reply.begin(), f[i].Reply.begin() + beacon.size()), beacon);
  }
}

// The beacon phase waits its full 10 s (processing events) before it reads;
// a beacon sent during the wait is held by the channel.
TEST_F(DiscoveryLoopback, BeaconWaitLastsTenSecondsWhileEventsRun) {
  st.ini.WidgetType = 0;
  st.discovery.network = units.network();
  NetUnit* unit = units.add(units.config(9, NetMode::QueryOnly));  // never listed by its query reply
  ASSERT_TRUE(unit);
  const auto start = std::chrono::steady_clock::now();
  int events = 0;
  bool sent = false;
  op.onEvents = [&] {
    ++events;
    if (!sent && std::chrono::steady_clock::now() - start > std::chrono::seconds(5))
      sent = unit->net->sendBeacon();
  };
  ASSERT_EQ(SearchForUnits(st), 1);
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(s, 10.0);
  EXPECT_LT(s, 20.0);
  EXPECT_GT(events, 50);
  EXPECT_TRUE(sent);
  EXPECT_EQ(st.discovery.FoundUnits[0].FoundByBeacon, 1);
  EXPECT_EQ(st.discovery.FoundUnits[0].Address, units.address(9));
}

TEST_F(DiscoveryLoopback, SearchChangeAndConnectAtTheNewAddress) {
  NetUnit* unit = units.add(units.config(2), true);
  ASSERT_TRUE(unit);
  ASSERT_EQ(SearchForUnits(st), 1);

  const std::string newAddress = units.address(77);
  ASSERT_EQ(ChangeUnitAddress(st, 0, newAddress), kChangeSent);
  EXPECT_EQ(pings, 1);
  EXPECT_EQ(st.discovery.FoundUnits[0].Address, newAddress);
  ASSERT_EQ(op.transcript.size(), 2u);
  EXPECT_EQ(op.transcript[0].kind, Shown::ProgressOpen);
  EXPECT_EQ(op.transcript[0].title, "Wait for Lumvex to Reboot");
  EXPECT_EQ(op.transcript[0].text, "Percent Complete");
  EXPECT_EQ(op.transcript[1].kind, Shown::ProgressClose);
  EXPECT_EQ(op.progress, (std::vector<double>{1, 11, 21, 31, 41, 51, 61, 71, 81, 91}));
  EXPECT_EQ(op.delayedMs, 10000);

  ASSERT_TRUE(SimStation::waitFor(
      [&] { return unit->net->address() == newAddress && !unit->net->restarting(); }, 5000));
  EXPECT_EQ(unit->net->addressChanges(), 1);
  LoadMainLayout(st.model);
  BindCallbacks(st);
  st.session.restingTimeoutMs = 1000;
  st.model.setText(Ctl::IPADDRESS, newAddress + ":" + std::to_string(unit->tcpPort));
  st.model.commit(Ctl::CONNECT);
  EXPECT_GE(st.session.unitStatus, 0) << "no unit at " << newAddress;
  st.model.commit(Ctl::CONNECT);  // disconnect

  ASSERT_EQ(SearchForUnits(st), 1);
  EXPECT_EQ(st.discovery.FoundUnits[0].Address, newAddress);
}

TEST_F(DiscoveryLoopback, BeaconUnitTakesTheSixtyThreeByteChange) {
  st.ini.WidgetType = 0;
  NetUnit* first = units.add(units.config(7, NetMode::BeaconOnly, 0x20, 7));
  NetUnit* second = units.add(units.config(8, NetMode::BeaconOnly, 0x20, 8));
  ASSERT_TRUE(first && second);
  ASSERT_TRUE(first->net->sendBeacon() && second->net->sendBeacon());
  ASSERT_EQ(SearchForUnits(st), 2);
  const int i = st.discovery.FoundUnits[0].Address == units.address(7) ? 0 : 1;

  const std::string newAddress = units.address(70);
  ASSERT_EQ(ChangeUnitAddress(st, i, newAddress), kChangeSent);
  EXPECT_TRUE(op.transcript.empty()) << "a beacon unit has no restart wait";
  EXPECT_EQ(st.discovery.FoundUnits[i].Address, newAddress);
  EXPECT_EQ(st.discovery.FoundUnits[i].Reply[2], 0x21);
  EXPECT_EQ(st.discovery.FoundUnits[i].Reply[17], 70);
  ASSERT_TRUE(SimStation::waitFor([&] { return first->net->address() == newAddress; }, 5000));
  EXPECT_EQ(second->net->addressChanges(), 0);
}

}  // namespace
