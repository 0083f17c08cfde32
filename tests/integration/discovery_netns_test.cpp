// The search over real adaptors inside a private network laboratory, with the
// units' own ports and a real 255.255.255.255 broadcast: the default adaptor,
// an adaptor chosen by NicToUse (its echo and its network's beacons arrive,
// the other network stays unheard), a change sent through the chosen adaptor
// only, and the ICMP ping once the namespace admits it.
#include "link/discovery.h"
#include "netlab.h"
#include "platform/ping.h"
#include "sim/netmodule.h"
#include "sim_station.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>

using namespace lumvex;
using namespace lumvex::testing;
using sim::NetMode;

namespace {

// Two networks: st0 10.77.0.1 (the default route) with a unit at .2 and a
// beacon unit at .3; st1 10.77.1.1 with the same two at .2 and .3. The units
// of both networks share their identification bytes.
struct Laboratory : ::testing::Test {
  void SetUp() override {
    std::string why;
    if (!lab.enter(why)) GTEST_SKIP() << "no private network namespace on this machine: " << why;
    ASSERT_EQ(lab.addNetwork("st0", "10.77.0.1", {"10.77.0.2", "10.77.0.3"}, why), 0) << why;
    ASSERT_EQ(lab.addNetwork("st1", "10.77.1.1", {"10.77.1.2", "10.77.1.3"}, why), 1) << why;
    ASSERT_EQ(NetLab::run({"ip", "route", "add", "default", "dev", "st0"}), 0);
    for (int net = 0; net < 2; ++net) {
      const std::string prefix = "10.77." + std::to_string(net) + ".";
      lab.inPeer(net, [&] {
        sim::NetConfig unit;
        unit.address = prefix + "2";
        unit.id = {0x01, 0x02};
        units[net] = std::make_unique<sim::NetModule>(unit);
        sim::NetConfig beacon = unit;
        beacon.address = prefix + "3";
        beacon.mode = NetMode::BeaconOnly;
        beacon.beaconMs = 100;
        beacons[net] = std::make_unique<sim::NetModule>(beacon);
        started = started && units[net]->start() && beacons[net]->start();
      });
    }
    ASSERT_TRUE(started);
    std::strcpy(st.ini.NicToUse.data(), "Default");
    st.ini.WidgetType = 1;
    st.discovery.network.beaconWaitMs = 500;  // the units' own ports and broadcast address
  }
  void TearDown() override {
    for (auto* m : {&units, &beacons})
      for (auto& u : *m)
        if (u) u->stop();
  }
  std::vector<std::string> found() const {
    std::vector<std::string> v;
    for (int i = 0; i < st.discovery.FoundCount; ++i)
      v.push_back(st.discovery.FoundUnits[i].Address +
                  (st.discovery.FoundUnits[i].FoundByBeacon ? " beacon" : ""));
    return v;
  }

  NetLab lab;
  std::unique_ptr<sim::NetModule> units[2], beacons[2];
  bool started = true;
  ScriptedOperator op;
  Station st{op};
};

TEST_F(Laboratory, DefaultAdaptorSearchesTheNetworkOfTheDefaultRoute) {
  ASSERT_EQ(SearchForUnits(st), 1);
  EXPECT_EQ(found(), std::vector<std::string>{"10.77.0.2"});
  EXPECT_EQ(st.discovery.StationAddress, "10.77.0.1");
  EXPECT_EQ(st.discovery.FoundUnits[0].IdConflict, 0) << "the other network's unit is not heard";
}

TEST_F(Laboratory, ChosenAdaptorHearsItsEchoAndItsNetworksBeaconsOnly) {
  st.ini.WidgetType = 0;
  std::strcpy(st.ini.NicToUse.data(), "10.77.1.1");
  ASSERT_EQ(SearchForUnits(st), 2);
  EXPECT_EQ(found(), (std::vector<std::string>{"10.77.1.2", "10.77.1.3 beacon"}));
  EXPECT_EQ(st.discovery.StationAddress, "10.77.1.1");

  std::strcpy(st.ini.NicToUse.data(), "10.77.0.1");
  ASSERT_EQ(SearchForUnits(st), 2);
  EXPECT_EQ(found(), (std::vector<std::string>{"10.77.0.2", "10.77.0.3 beacon"}));
  EXPECT_EQ(st.discovery.StationAddress, "10.77.0.1");
}

TEST_F(Laboratory, ChangeLeavesThroughTheChosenAdaptorOnly) {
  ASSERT_TRUE(lab.allowPing());
  std::strcpy(st.ini.NicToUse.data(), "10.77.1.1");
  ASSERT_EQ(SearchForUnits(st), 1);
  ASSERT_EQ(ChangeUnitAddress(st, 0, "10.77.1.50"), kChangeSent);
  EXPECT_TRUE(op.messages().empty()) << "the free address was pinged without an answer";
  EXPECT_TRUE(SimStation::waitFor([&] { return units[1]->addressChanges() == 1; }, 3000));
  EXPECT_EQ(units[0]->addressChanges(), 0) << "the unit on the other adaptor kept its address";
}

TEST_F(Laboratory, PingUsesTheIcmpSocketOnceTheNamespaceAdmitsIt) {
  bool unavailable = false;
  EXPECT_EQ(PingBySocket("10.77.1.2", 100, &unavailable), PingResult::Error);
  EXPECT_TRUE(unavailable) << "a new namespace admits no group to ICMP datagram sockets";
  ASSERT_TRUE(lab.allowPing());
  EXPECT_EQ(Ping("10.77.1.2", 100), PingResult::Answered);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(Ping("10.77.1.99", 100), PingResult::NoAnswer);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1000));
}

}  // namespace
