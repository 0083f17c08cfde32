// lumvex-cli discover, setip and nic against simulated units on loopback (via
// 127.255.255.255): the list printed, the adaptor panel when nothing answers,
// setip's refusals, the adaptor file. A change that goes through: *_cli_netns_test.
#include "link/discovery.h"
#include "net_units.h"
#include "platform/udp.h"
#include "support/cli_run.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace lumvex;
using namespace lumvex::testing;
using sim::NetMode;

namespace {

struct DiscoveryCli : ::testing::Test {
  void SetUp() override {
    ASSERT_GT(units.changePort, 0) << "no free UDP ports";
    installConfiguration(dir);  // widgetType 0: the beacon phase runs, shortened below
  }
  // Never the machine's own broadcast address.
  std::string network() const {
    return " --broadcast 127.255.255.255 --query-port " + std::to_string(units.queryPort) +
           " --beacon-port " + std::to_string(units.beaconPort) + " --change-port " +
           std::to_string(units.changePort) + " --beacon-wait 300";
  }
  CliRun run(const std::string& args) { return runCli(dir, args); }

  LoopbackUnits units;
  TempDir dir;
};

std::string unitLine(const std::string& address, unsigned id0, unsigned id1, const char* how) {
  char bytes[16];
  std::snprintf(bytes, sizeof bytes, " %02X %02X ", id0, id1);
  return address + bytes + how + "\n";
}

TEST_F(DiscoveryCli, DiscoverListsEachUnitWithItsBytesAndHowItWasFound) {
  ASSERT_TRUE(units.add(units.config(2, NetMode::Unit, 0x10, 0x02)));
  ASSERT_TRUE(units.add(units.config(3)));
  ASSERT_TRUE(units.add(units.config(4, NetMode::Foreign)));  // shares unit 3's bytes
  sim::NetConfig beacon = units.config(7, NetMode::BeaconOnly, 0x20, 0x07);
  beacon.beaconMs = 40;
  ASSERT_TRUE(units.add(beacon));
  const std::string b = sim::Beacon(beacon, units.address(7));

  const CliRun r = run("discover" + network());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Found 3 Lumvexs on the network\r\n", 0), 0u) << r.out;
  EXPECT_TRUE(has(r, unitLine(units.address(2), 0x10, 0x02, "query"))) << r.out;
  EXPECT_TRUE(has(r, unitLine(units.address(3), 0x4C, 0x58, "query conflict"))) << r.out;
  EXPECT_TRUE(has(r, unitLine(units.address(7), static_cast<unsigned char>(b[28]),
                              static_cast<unsigned char>(b[29]), "beacon")))
      << r.out;
  EXPECT_FALSE(has(r, units.address(4))) << "a foreign device is not listed";
  EXPECT_EQ(r.err, "");
}

TEST_F(DiscoveryCli, NothingFoundPrintsTheAdaptorPanelAndExitsOne) {
  const std::string nicFile = readFile(dir.file("MultipleNICs.ini"));
  const CliRun r = run("discover --nic 127.0.0.1" + network());
  EXPECT_EQ(r.exitCode, 1);
  std::string panel = AdaptorPanelText("127.0.0.1");
  for (const std::string& a : AdaptorAddresses()) panel += a + "\n";
  EXPECT_EQ(r.out, panel);
  EXPECT_EQ(readFile(dir.file("MultipleNICs.ini")), nicFile) << "--nic holds for this run only";
}

TEST_F(DiscoveryCli, SetipRefusalsExitOneAndLeaveTheUnitsAlone) {
  NetUnit* first = units.add(units.config(2));
  NetUnit* second = units.add(units.config(5, NetMode::Unit, 0x10, 0x05));
  ASSERT_TRUE(first && second);

  CliRun r = run("setip --unit " + units.address(5) + " --new " + units.address(2) + network());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err,
            "IP Address Conflict: The new IP Address is the same as another Lumvex on the network\n Select "
            "another address\n");

  r = run("setip --unit " + units.address(5) + " --new " + units.address(60) + "abc" + network());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.ends_with(
      "BAD IP Address: The new IP Address has numbers >255 or last number < 2\n Fix it and try again\n"))
      << r.err;

  r = run("setip --unit " + units.address(9) + " --new " + units.address(60) + network());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err.rfind("lumvex-cli: no unit at " + units.address(9) + " was found\nFound 2 Lumvexs", 0), 0u)
      << r.err;

  for (const char* bad :
       {"setip --unit 10.0.0.5", "discover --query-port 0", "discover --broadcast 300.1.1.1",
        "discover --nic 10.0.0.1.1", "discover --beacon-wait"}) {
    r = run(bad);
    EXPECT_EQ(r.exitCode, 2) << bad;
  }
  EXPECT_EQ(first->net->addressChanges() + second->net->addressChanges(), 0);
}

TEST_F(DiscoveryCli, NicStoresOneOfThisPcsAdaptors) {
  const std::vector<std::string> offered = AdaptorAddresses();
  ASSERT_FALSE(offered.empty());
  CliRun r = run("nic " + offered.back());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::string stored = "[MultipleNICs]\r\nNIC To Use = \"" + offered.back() + "\"\r\n\r\n";
  EXPECT_EQ(readFile(dir.file("MultipleNICs.ini")), stored);

  const std::string absent = "198.51.100.77";
  const std::vector<std::string> pc = HostIPv4Addresses();
  ASSERT_EQ(std::find(pc.begin(), pc.end(), absent), pc.end());
  r = run("nic " + absent);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err.rfind("lumvex-cli: " + absent + " is none of this PC's adaptors:\n", 0), 0u) << r.err;
  EXPECT_EQ(readFile(dir.file("MultipleNICs.ini")), stored);

  EXPECT_EQ(run("nic Default").exitCode, 0);
  EXPECT_EQ(readFile(dir.file("MultipleNICs.ini")), "[MultipleNICs]\r\nNIC To Use = \"Default\"\r\n\r\n");
  EXPECT_EQ(run("nic").exitCode, 2);
}

}  // namespace
