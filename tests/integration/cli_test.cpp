// lumvex-cli against the in-process simulated unit: the status command's
// output and exit status, operator messages on stderr, a Communication Error
// box answered "Disconnect" without waiting, and a raw WorldSID download
// converted with the calibration files lumvex-sim writes.
#include "sim/unit.h"
#include "sim/wsid_model.h"
#include "support/cli_run.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

using namespace lumvex;

namespace {

using lumvex::testing::CliRun;
using lumvex::testing::installConfiguration;
using lumvex::testing::runCli;

// Runs lumvex-cli with args in a fresh working folder holding the
// configuration files installed beside the program.
CliRun cli(const std::string& args) {
  lumvex::testing::TempDir dir;
  installConfiguration(dir);
  return runCli(dir, args);
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
  EXPECT_EQ(runCli(dir, "--host 127.0.0.1 status").exitCode, 1);
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
  lumvex::testing::TempDir cut;
  installConfiguration(cut);
  std::string ini = lumvex::testing::readFile(cut.file("Lumvex_8_0.ini"));
  size_t at = ini.find("LegacySWUnfiltCode = 0");
  ASSERT_NE(at, std::string::npos);
  lumvex::testing::writeFile(cut.file("Lumvex_8_0.ini"), ini.substr(0, at));
  CliRun r = runCli(cut, u.host() + " status");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("Error Reading Initialization File: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Error in section = LegacySoftwareFilterClassCode, variable = LegacySWUnfiltCode"),
            std::string::npos)
      << r.err;

  lumvex::testing::TempDir missing;
  installConfiguration(missing);
  std::filesystem::remove(missing.file("Lumvex_8_0.ini"));
  // Named as the working folder, a folder without the configuration is not
  // replaced by the user's own.
  r = runCli(missing, "--workdir . " + u.host() + " status");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Aborting"), std::string::npos) << r.err;
}

namespace {

std::vector<std::string> splitOn(const std::string& s, char sep) {
  std::vector<std::string> out(1);
  for (char c : s) {
    if (c == sep) {
      out.emplace_back();
    } else {
      out.back().push_back(c);
    }
  }
  if (out.back().empty()) out.pop_back();
  return out;
}

}  // namespace

// A raw-recording WorldSID unit (serial above 100) downloaded from the command
// line, in the folder where lumvex-sim wrote its calibration files: the unit
// sends detector words (120 per record, 232 for LX2), the station converts them
// to the positions the simulator placed its LEDs at, with the failures where it
// made them, turns them to the impact side, exports the CSV and writes the raw
// words beside it.
TEST(Cli, RawWorldSidDownloadConvertsExportsAndWritesTheRawFile) {
  struct {
    const char* type;
    const char* firmware;
    int dummyType, lx2, words;
    const char* typeLine;
    const char* rawExt;
  } units[] = {{"WorldSID", "V7.3", 5, 0, 120, "Lumvex Type: WorldSID", "RDF"},
               {"WorldSID 5th", "V7.3", 7, 0, 120, "Lumvex Type: WorldSID 5th", "RDF"},
               {"WorldSID 5th", "LX2 V8.0", 7, 1, 232, "Lumvex Type: WorldSID 5th", "RD2"}};
  constexpr int kStartMs = -20, kSamples = 1501;  // ms, 0.1 ms apart up to 130 ms
  for (const auto& k : units) {
    SCOPED_TRACE(std::string(k.type) + " " + k.firmware);
    Unit u;
    u.sim.withUnit([&](sim::UnitState& s) {
      s.props["type"] = k.type;
      s.props["firmware"] = k.firmware;
      s.props["serial"] = "150";
      s.props["caldate"] = "12-Mar-2024";
      s.props["side"] = "LEFT";
      s.props["window.start"] = "-100";
      s.props["window.stop"] = "200";
      s.status = 3;
    });
    lumvex::testing::TempDir dir;
    installConfiguration(dir);
    const std::string writeCal = "'" LUMVEX_BINARY_DIR "/sim/lumvex-sim' --set 'type=" + std::string(k.type) +
                                 "' --set 'firmware=" + k.firmware +
                                 "' --set serial=150 --set caldate=12-Mar-2024 --write-calibration '" +
                                 dir.path() + "'";
    ASSERT_EQ(std::system(writeCal.c_str()), 0);

    // The simulator works out every record before it answers: a loaded machine needs time.
    CliRun r = runCli(dir, u.host() + " --timeout 20000 download --start -20 --stop 130 --out '" +
                               dir.file("crash.CSV") + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("downloaded: " + std::to_string(kSamples) + " samples"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("exported: " + dir.file("crash.CSV") +
                         "\nraw file: " + dir.file(std::string("crash.") + k.rawExt) + "\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.err.find("Converting Raw Data to Engineering Units"), std::string::npos);
    int rawDumps = 0;
    for (const auto& l : u.sim.received()) rawDumps += l.rfind("RAWDUMP#-20#130#", 0) == 0;
    EXPECT_EQ(rawDumps, 1);

    // The CSV: every LED where the model put it (left side: Y turned), codes as they were made.
    const sim::WsidModel model = sim::wsidModel(k.dummyType, k.lx2);
    const std::vector<std::string> lines = splitOn(lumvex::testing::readFile(dir.file("crash.CSV")), '\r');
    size_t first = 0;
    while (first < lines.size() && lines[first].rfind("Time(ms)", 0) != 0) ++first;
    ASSERT_EQ(lines.size(), first + 1 + kSamples);
    std::set<int> codes;
    double deepest = 1e9;
    for (int i = 0; i < kSamples; ++i) {
      const std::vector<std::string> f = splitOn(lines[first + 1 + i], ',');
      ASSERT_GE(f.size(), 55u);
      const double t = kStartMs + 0.1 * i;
      ASSERT_NEAR(std::stod(f[0]), t, 0.006) << "row " << i;
      for (int head = 1; head <= 2; ++head)
        for (int slot = 0; slot < 9; ++slot) {
          const sim::WsidTruth w = sim::wsidTruth(model, head, slot, t);
          const int col = 1 + (head == 1 ? 0 : 27) + 3 * slot;
          const double x = std::stod(f[col]), y = std::stod(f[col + 1]), z = std::stod(f[col + 2]);
          if (w.code > 0) {
            codes.insert(w.code);
            EXPECT_TRUE(x == w.code && y == w.code && z == w.code)
                << "t " << t << " head " << head << " slot " << slot << ": " << x << " for code " << w.code;
          } else if (w.code == 0) {
            deepest = std::min(deepest, w.y);
            // Printed with two decimals: 0.05 mm plus the rounding.
            ASSERT_NEAR(x, w.x, 0.056) << "t " << t << " head " << head << " slot " << slot;
            ASSERT_NEAR(y, -w.y, 0.056) << "t " << t << " head " << head << " slot " << slot;
            ASSERT_NEAR(z, w.z, 0.056) << "t " << t << " head " << head << " slot " << slot;
          }
        }
    }
    EXPECT_EQ(codes, (std::set<int>{2, 4, 5, 7, 9}));
    EXPECT_LT(deepest, 60);  // the ribs really moved

    // The raw file beside the export holds the words the unit sent.
    const std::vector<std::string> raw =
        splitOn(lumvex::testing::readFile(dir.file(std::string("crash.") + k.rawExt)), '\r');
    ASSERT_EQ(raw.size(), 7u + kSamples);
    EXPECT_EQ(raw[0], k.typeLine);
    EXPECT_EQ(raw[1], "150");
    std::vector<uint16_t> sent(static_cast<size_t>(k.words) * kSamples);
    sim::wsidFillRecords(model, kStartMs, kSamples, sent.data());
    for (int i : {0, 700, kSamples - 1}) {
      const std::vector<std::string> words = splitOn(raw[7 + i], ',');
      ASSERT_EQ(static_cast<int>(words.size()), k.words) << "record " << i;
      for (int w = 0; w < k.words; ++w)
        ASSERT_EQ(std::stoi(words[w]), sent[static_cast<size_t>(i) * k.words + w]) << "record " << i;
    }
  }
}
