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
#include <functional>
#include <string>

using namespace lumvex;

namespace {

struct CliRun {
  int exitCode = -1;
  std::string out, err;
};

// Runs lumvex-cli with args in a fresh working folder holding the
// configuration files installed beside the program (changed by `prepare`).
CliRun cli(const std::string& args,
           const std::function<void(const lumvex::testing::TempDir&)>& prepare = {}) {
  lumvex::testing::TempDir dir;
  for (const auto& e : std::filesystem::directory_iterator(lumvex::testing::sourcePath("config")))
    std::filesystem::copy(e.path(), dir.path());
  if (prepare) prepare(dir);
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

// A start-up that failed ends with a non-zero status (so that a script sees
// it), after the operator was told which key failed; no command runs.
TEST(Cli, FailedConfigurationReadExitsNonZeroBeforeTheCommand) {
  Unit u;
  CliRun r = cli(u.host() + " status", [](const lumvex::testing::TempDir& d) {
    std::string ini = lumvex::testing::readFile(d.file("Lumvex_8_0.ini"));
    size_t at = ini.find("LegacySWUnfiltCode = 0");
    ASSERT_NE(at, std::string::npos);
    lumvex::testing::writeFile(d.file("Lumvex_8_0.ini"), ini.substr(0, at));
  });
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("Error Reading Initialization File: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Error in section = LegacySoftwareFilterClassCode, variable = LegacySWUnfiltCode"),
            std::string::npos)
      << r.err;

  r = cli(u.host() + " status",
          [](const lumvex::testing::TempDir& d) { std::filesystem::remove(d.file("Lumvex_8_0.ini")); });
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Aborting"), std::string::npos) << r.err;
}
