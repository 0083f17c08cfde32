// lumvex-cli download and rawdump against the in-process simulated unit: the
// exported CSV checked line by line (header lines byte for byte, column
// names, every row against the simulator's recording), the ISO selectors and
// export choices taken from the flags, and a file that cannot be written
// completely ending in a failed exit status for both commands.
#include "sim/recording.h"
#include "sim/unit.h"
#include "support/cli_run.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

using namespace lumvex;

namespace {

using lumvex::testing::CliRun;
using lumvex::testing::fields;
using lumvex::testing::today;

// A working folder holding the configuration files installed beside the program.
struct Work {
  lumvex::testing::TempDir dir;
  Work() { lumvex::testing::installConfiguration(dir); }
  // Runs lumvex-cli in the folder; `shell` runs first in the same shell.
  CliRun run(const std::string& args, const std::string& shell = "") const {
    return lumvex::testing::runCli(dir, args, lumvex::testing::Stderr::Apart, shell);
  }
};

struct Unit {
  explicit Unit(std::initializer_list<std::pair<std::string, std::string>> props) {
    sim.withUnit([&](sim::UnitState& u) {
      for (const auto& [k, v] : props) u.props[k] = v;
      u.status = 3;
    });
    port = sim.listenTcp("127.0.0.1", 0);
    sim.start();
  }
  ~Unit() { sim.stop(); }
  std::string host() const { return "--host 127.0.0.1:" + std::to_string(port); }
  sim::Simulator sim;
  int port;
};

// A last line without its CR shows as such.
std::vector<std::string> splitCr(const std::string& s) { return lumvex::testing::splitCr(s, "<no CR>"); }

}  // namespace

// Hybrid III 50th (whose side is "CENTER in X Dir"), relative to the pre-trigger average, class 600,
// test object D and position 3 from the flags.
TEST(CliDownload, ExportsTheCsvTheExportButtonWrites) {
  Unit u({{"type", "50th Male"},
          {"serial", "42"},
          {"firmware", "V7.3"},
          {"side", "LEFT"},
          {"trigger", "1"},
          {"comment", "H350-0042 sled 7"},
          {"window.start", "-100"},
          {"window.stop", "300"}});
  Work w;
  const std::string day = today();
  CliRun r = w.run(u.host() +
                   " download --start -20 --stop 60 --out run7.csv --filter 600 --relative --test-object D "
                   "--position 3");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("downloaded: 801 samples, 27 columns"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("Export Status: Export Successful"), std::string::npos) << r.err;
  // The extension is upper-cased in the name the file gets.
  const std::vector<std::string> lines = splitCr(lumvex::testing::readFile(w.dir.file("run7.CSV")));
  ASSERT_EQ(lines.size(), 4u + 801u);
  EXPECT_EQ(
      lines[0],
      "Lumvex Type: 50th Male,,,,,,Data is Relative,,,,,,ISO Filter code=B - class 600,,,,ISO CSV Format");
  EXPECT_EQ(lines[1],
            "Lumvex Facing Toward Dummy CENTER in X Dir,,,,,,Serial Number:42,,,,,,ISO Test Object code=D,,,,"
            "Trigger:1");
  ASSERT_EQ(today(), day) << "the date changed during the test";
  EXPECT_EQ(lines[2], "ATD: H350-0042 sled 7,,,,,,Test Date:" + day + ",,,,,,ISO Position code=3");
  std::string names = "Time(ms),";
  for (int i = 0; i < 12; ++i) {
    char code[32];
    for (char axis : {'X', 'Y'}) {
      std::snprintf(code, sizeof code, "D3RIBS%02d%sH3DS%cB,", i % 6 + 1, i < 6 ? "LE" : "RI", axis);
      names += code;
    }
  }
  names += "D3SENSLE9999PO00,D3SENSRI9999PO00";
  EXPECT_EQ(lines[3], names);

  // Every row: the time exact, ribs relative to rest and filtered lightly
  // (a class-600 filter barely touches a 32 ms pulse), sensors absolute.
  const sim::RecordingShape shape = sim::recordingShape(2);
  for (int row = 0; row < 801; ++row) {
    const std::string& line = lines[4 + row];
    ASSERT_EQ(line.back(), ',') << row;
    const std::vector<std::string> f = fields(line);
    ASSERT_EQ(f.size(), 27u) << row;
    const double t = -20 + row * 0.1;
    char want[32];
    std::snprintf(want, sizeof want, "%4.2f", static_cast<double>(static_cast<float>(t)));
    ASSERT_EQ(f[0], want) << row;
    for (int led = 0; led < shape.ledCount; ++led) {
      double now[3], rest[3];
      const int code = sim::ledPosition(2, led, t, now);
      sim::ledPosition(2, led, -15, rest);
      for (int a = 0; a < 2; ++a) {
        const double v = std::atof(f[1 + 2 * led + a].c_str());
        if (code) {
          // Near a drop-out the filter smears the code; away from it the
          // code stays as the unit sent it.
          continue;
        }
        if (std::fabs(t - 22) < 3 || std::fabs(t - 40.6) < 3) continue;
        EXPECT_NEAR(v, now[a] - rest[a], 0.3) << "row " << row << " led " << led << " axis " << a;
      }
    }
    const double ambient = std::atof(f[25].c_str());
    EXPECT_GT(ambient, 400) << row;
    EXPECT_LT(ambient, 500) << row;
  }
}

// A test object the selector does not offer is refused before anything is
// downloaded; relative output without enough pre-trigger data is written
// absolute, with the export page's notice.
TEST(CliDownload, UnknownTestObjectIsRefusedAndShortPreTriggerStaysAbsolute) {
  Unit u({{"type", "Polar"}, {"serial", "42"}, {"firmware", "V7.3"}, {"window.start", "-100"}});
  Work w;
  CliRun r = w.run(u.host() + " download --start -10 --stop 10 --out a.csv --test-object Z");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("the test object selector offers no Z"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(w.dir.file("a.CSV")));
  r = w.run(u.host() + " download --start -5 --stop 10 --out b.csv --relative");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("download: Not Enough pre-T0 Data for Zeroing"), std::string::npos) << r.err;
  const std::vector<std::string> lines = splitCr(lumvex::testing::readFile(w.dir.file("b.CSV")));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_NE(lines[0].find(",,,,,,Data is Absolute,,,,,,"), std::string::npos) << lines[0];
}

TEST(CliDownload, ExportThatCannotBeWrittenCompletelyFails) {
  Unit u({{"type", "SIDIIs"}, {"serial", "42"}, {"firmware", "V7.3"}, {"window.start", "-100"}});
  Work w;
  // A file-size limit of 8 blocks: the writes past it fail (the signal is ignored).
  CliRun r =
      w.run(u.host() + " download --start -100 --stop 200 --out big.csv", "trap '' XFSZ; ulimit -f 8;");
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_NE(r.err.find("ERROR: Export Failed"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("exported"), std::string::npos);
  // No truncated export is left behind.
  EXPECT_FALSE(std::filesystem::exists(w.dir.file("big.CSV")));
  r = w.run(u.host() + " download --start -10 --stop 10 --out nowhere/x.csv");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("ERROR: Export Failed"), std::string::npos) << r.err;
}

TEST(CliRawdump, WritesTheDumpAndFailsWhenTheFileIsIncomplete) {
  Unit u({{"type", "Polar"}, {"serial", "42"}, {"firmware", "V7.3"}, {"window.start", "-100"}});
  Work w;
  CliRun r = w.run(u.host() + " rawdump --start -10 --stop 10 --out dump.CSV");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::vector<std::string> lines = splitCr(lumvex::testing::readFile(w.dir.file("dump.CSV")));
  ASSERT_EQ(lines.size(), 1u + 201u);
  EXPECT_EQ(lines[0], "Lumvex Type:Polar");
  EXPECT_EQ(lines[1].rfind("-10.0,", 0), 0u) << lines[1];
  EXPECT_EQ(fields(lines[1]).size(), 1u + 120u);
  // The download itself succeeds, but the dump did not reach the disk.
  r = w.run(u.host() + " rawdump --start -10 --stop 10 --out /dev/full");
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_EQ(r.out.find("raw dump:"), std::string::npos) << r.out;
}
