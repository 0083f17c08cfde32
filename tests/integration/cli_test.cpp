// lumvex-cli against the in-process simulated unit: the status command's
// output and exit status, operator messages on stderr, and a Communication
// Error box answered "Disconnect" without waiting.
#include "sim/unit.h"
#include "support/testing.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <string>

using namespace lumvex;

namespace {

struct CliRun {
  int exitCode = -1;
  std::string out, err;
};

// Runs lumvex-cli with args in a fresh working folder holding the
// configuration files installed beside the program.
CliRun cli(const std::string& args) {
  lumvex::testing::TempDir dir;
  for (const auto& e : std::filesystem::directory_iterator(lumvex::testing::sourcePath("config")))
    std::filesystem::copy(e.path(), dir.path());
  std::string errFile = dir.file("stderr.txt");
  std::string cmd =
      "cd '" + dir.path() + "' && '" LUMVEX_BINARY_DIR "/cli/lumvex-cli' " + args + " 2>'" + errFile + "'";
  CliRun r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = pclose(p);
  r.exitCode = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.err = lumvex::testing::readFile(errFile);
  return r;
}

struct Unit {
  Unit() {
    port = sim.listenTcp("127.0.0.1", 0);
    sim.start();
  }
  std::string host() const { return "--host 127.0.0.1:" + std::to_string(port); }
  sim::Simulator sim;
  int port;
};

}  // namespace

TEST(Cli, StatusPrintsNumberAndText) {
  Unit u;
  CliRun r = cli(u.host() + " status");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "0 Connected - Idle\n");
  u.sim.arm(0, 5000);
  r = cli(u.host() + " status");
  EXPECT_EQ(r.out, "1 Collecting Pre-Trigger Data\n");
  EXPECT_EQ(r.exitCode, 0);
}

TEST(Cli, StatusOverAMappedSerialPort) {
  Unit u;
  u.sim.withUnit([](sim::UnitState& x) {
    x.status = 3;
    x.props["type"] = "Polar";
  });
  std::string pty = u.sim.openPty();
  ASSERT_FALSE(pty.empty());
  // COM1 names a device that does not exist, so no real port of this machine is touched.
  setenv("LUMVEX_SERIAL_PORTS", ("COM1=/dev/lumvex-no-such-port,COM11=" + pty).c_str(), 1);
  CliRun r = cli("--serial COM11 status");
  CliRun other = cli("--serial COM1 status");
  unsetenv("LUMVEX_SERIAL_PORTS");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "3 Connected - Idle\n");
  EXPECT_EQ(r.err, "");
  EXPECT_NE(other.exitCode, 0) << "COM1 never reaches COM11";
  EXPECT_EQ(other.out.find("Connected"), std::string::npos);
  EXPECT_NE(other.err.find("Error: Could not open the COM port\n"), std::string::npos) << other.err;
}

TEST(Cli, UnitThatNeverSynchsPrintsBothMessages) {
  Unit u;
  sim::FaultRule bad;
  bad.kind = sim::FaultKind::CorruptChecksum;
  bad.command = "S";
  bad.count = 0;
  u.sim.addFault(bad);
  CliRun r = cli(u.host() + " --timeout 100 status");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Comm Error: could not synch with Lumvex\nError: Could not open the COM port\n");
}

TEST(Cli, AStatusOutsideTheTableIsNoSuccess) {
  sim::CommandTable t;
  t.add("S", [](sim::Exchange& x) { x.reply({"7"}); });
  sim::Simulator odd(std::move(t));
  int port = odd.listenTcp("127.0.0.1", 0);
  ASSERT_TRUE(odd.start());
  CliRun r = cli("--host 127.0.0.1:" + std::to_string(port) + " status");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "lumvex-cli: the unit reported status 7, which names no state\n");
}

TEST(Cli, UnreachableUnitPrintsTheMessageAndFails) {
  int port;
  {
    Unit gone;
    port = gone.port;
  }
  CliRun r = cli("--host 127.0.0.1:" + std::to_string(port) + " status");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error: Could not open the COM port\n");
}

TEST(Cli, TheCommunicationErrorBoxIsAnsweredDisconnect) {
  Unit u;
  sim::FaultRule stall;
  stall.kind = sim::FaultKind::Stall;
  stall.command = "S";
  u.sim.addFault(stall);
  std::string pty = u.sim.openPty();
  ASSERT_FALSE(pty.empty());
  setenv("LUMVEX_SERIAL_PORTS", ("COM7=" + pty).c_str(), 1);
  CliRun r = cli("--serial COM7 --timeout 100 status");
  unsetenv("LUMVEX_SERIAL_PORTS");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_EQ(r.err,
            "Communication Error: Communication Error with Lumvex\rPress continue to try again, or press "
            "Disconnect [Disconnect]\nError: Could not open the COM port\n");
}

TEST(Cli, WithoutItsConfigurationTheStationDoesNotStart) {
  lumvex::testing::TempDir dir;
  std::string cmd =
      "cd '" + dir.path() + "' && '" LUMVEX_BINARY_DIR "/cli/lumvex-cli' --host 127.0.0.1 status 2>/dev/null";
  int st = std::system(cmd.c_str());
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 1);
}

TEST(Cli, BadUsageIsRefused) {
  EXPECT_EQ(cli("status").exitCode, 2);
  EXPECT_EQ(cli("--serial COMX status").exitCode, 1);
  EXPECT_EQ(cli("--host 127.0.0.1 nosuch").exitCode, 2);
  CliRun r = cli("--help");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("status"), std::string::npos);
}
