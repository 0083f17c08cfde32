// lumvex-cli in a private network laboratory, with the units' own ports and a
// 255.255.255.255 broadcast that stays in it: nic then discover, a setip that
// goes through (unanswered ping, restart wait), and setip's refusals.
#include "netlab.h"
#include "sim/netmodule.h"
#include "sim_station.h"
#include "support/cli_run.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace lumvex;
using namespace lumvex::testing;
using sim::NetMode;

namespace {

// st0 10.77.0.1 (the default route) and st1 10.77.1.1, a unit at .2 on each;
// st0 also holds a device at .3 that answers pings and, when asked, the query
// without the mark with the units' bytes.
struct CliLaboratory : ::testing::Test {
  void SetUp() override {
    std::string why;
    if (!lab.enter(why)) GTEST_SKIP() << "no private network namespace on this machine: " << why;
    ASSERT_EQ(lab.addNetwork("st0", "10.77.0.1", {"10.77.0.2", "10.77.0.3"}, why), 0) << why;
    ASSERT_EQ(lab.addNetwork("st1", "10.77.1.1", {"10.77.1.2"}, why), 1) << why;
    ASSERT_EQ(NetLab::run({"ip", "route", "add", "default", "dev", "st0"}), 0);
    ASSERT_TRUE(lab.allowPing());  // the CLI runs here too: a free address gets no answer
    for (int net = 0; net < 2; ++net)
      startInPeer(net, unitAt("10.77." + std::to_string(net) + ".2"), units[net]);
    installConfiguration(dir);
  }
  void TearDown() override {
    for (auto* m : {&units[0], &units[1], &foreign})
      if (*m) (*m)->stop();
  }
  static sim::NetConfig unitAt(const std::string& address) {
    sim::NetConfig c;
    c.address = address;
    c.id = {0x01, 0x02};
    c.restartMs = 300;
    return c;
  }
  void startInPeer(int net, const sim::NetConfig& c, std::unique_ptr<sim::NetModule>& m) {
    bool ok = false;
    lab.inPeer(net, [&] {
      m = std::make_unique<sim::NetModule>(c);
      ok = m->start();
    });
    ASSERT_TRUE(ok) << c.address;
  }
  // The beacon wait is cut short; everything else is the station's default.
  CliRun run(const std::string& args) { return runCli(dir, args + " --beacon-wait 300"); }

  NetLab lab;
  std::unique_ptr<sim::NetModule> units[2], foreign;
  TempDir dir;
};

TEST_F(CliLaboratory, ChosenAdaptorIsRememberedAndSetipMovesTheUnit) {
  CliRun r = run("discover");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Found 1 Lumvex on the network\r\n10.77.0.2\r\n10.77.0.2 01 02 query\n");

  ASSERT_EQ(runCli(dir, "nic 10.77.1.1").exitCode, 0);
  r = run("discover");
  EXPECT_EQ(r.out, "Found 1 Lumvex on the network\r\n10.77.1.2\r\n10.77.1.2 01 02 query\n");

  r = run("setip --unit 10.77.1.2 --new 10.77.1.50");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "10.77.1.2 -> 10.77.1.50\n");
  EXPECT_EQ(r.err.find("IP Available Check"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Wait for Lumvex to Reboot...\n"), std::string::npos) << r.err;
  EXPECT_TRUE(SimStation::waitFor([&] { return units[1]->address() == "10.77.1.50"; }, 3000));
  EXPECT_EQ(units[1]->addressChanges(), 1);
  EXPECT_EQ(units[0]->addressChanges(), 0) << "the unit behind the other adaptor kept its address";
}

TEST_F(CliLaboratory, SetipRefusesAUsedAddressAndAUnitSharingItsBytes) {
  CliRun r = run("setip --unit 10.77.0.2 --new 10.77.0.3");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err,
            "IP Available Check: Another device on the network is using the same IP Address, pick another "
            "address to use\n");

  sim::NetConfig other = unitAt("10.77.0.3");
  other.mode = NetMode::Foreign;
  startInPeer(0, other, foreign);
  r = run("setip --unit 10.77.0.2 --new 10.77.0.60");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err,
            "Protocol Conflict: There is another device on the network that is responding to the protocol.\n"
            "The IP address cannot be changed without affecting the other device\n"
            "Connect this Lumvex directly to a PC to change its IP address\n");
  EXPECT_EQ(units[0]->addressChanges(), 0);
}

}  // namespace
