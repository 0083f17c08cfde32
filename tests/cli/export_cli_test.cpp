// lumvex-cli download exporting to DIAdem and ISO MME by the output's
// extension, against the in-process simulated unit over loopback: the files
// land where --out names them (a bare name in the current folder), hold the
// downloaded samples, and a second ISO export to the same name fails.
#include "sim/wsid_model.h"
#include "support/cli_station.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using lumvex::testing::CliRun;
using lumvex::testing::CliStation;

namespace {

// A unit holding a recording from -100 to 200 ms, and the station's
// configuration files in a working folder of its own.
struct ExportCli : CliStation {
  explicit ExportCli(Props props) : CliStation(props, 3) {
    set("window.start", "-100");
    set("window.stop", "200");
  }
};

}  // namespace

TEST(ExportCli, BareDatNameWritesTheHeaderAndTheFloatFileInTheCurrentFolder) {
  ExportCli c({{"type", "Polar"}, {"serial", "42"}, {"firmware", "V7.3"}, {"side", "LEFT"}});
  CliRun r = c.run("download --start -20 --stop 60 --relative --out run1.dat");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r, "downloaded: 801 samples, 15 columns\n")) << r.out;
  EXPECT_TRUE(has(r, "Export Status: Export Successful")) << r.out;
  EXPECT_TRUE(has(r, "exported: " + c.dir.file("run1.R32") + "\n")) << r.out;
  const std::string h = lumvex::testing::readFile(c.dir.file("run1.DAT"));
  EXPECT_EQ(h.rfind("DIAEXTENDED  {@:ENGLISH\r\n\r\r\n#BEGINGLOBALHEADER\r\r\n", 0), 0u);
  EXPECT_NE(h.find("101,Lumvex Type:Polar \r\r\n102,Data is Relative\r\r\n"), std::string::npos);
  EXPECT_NE(h.find("211,run1.R32\r\r\n213,CHANNEL\r\r\n214,REAL32\r\r\n220,801 \r\r\n221,11215\r\r\n"),
            std::string::npos);  // column 14
  EXPECT_EQ(fs::file_size(c.dir.file("run1.R32")), 15u * 801 * 4);
  EXPECT_FALSE(fs::exists(c.dir.file("run1.dat")));
}

TEST(ExportCli, MmeNameWritesTheTestFolderOnceOnly) {
  ExportCli c({{"type", "WorldSID"}, {"serial", "42"}, {"firmware", "V7.3"}, {"side", "LEFT"}});
  fs::create_directory(c.dir.file("out"));
  CliRun r = c.run("download --start -20 --stop 10 --filter 180 --out out/TEST1.mme");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r, "exported: " + c.dir.file("out/TEST1/TEST1.MME") + "\n")) << r.out;
  const std::string chn = lumvex::testing::readFile(c.dir.file("out/TEST1/CHANNEL/TEST1.CHN"));
  EXPECT_NE(chn.find("Number of channels          :90\r\n"), std::string::npos) << chn;
  const std::string f = lumvex::testing::readFile(c.dir.file("out/TEST1/CHANNEL/TEST1.090"));
  EXPECT_NE(f.find("Time of first sample        :-0.0200\r\nNumber of samples           :301\r\n"),
            std::string::npos)
      << f;
  EXPECT_FALSE(fs::exists(c.dir.file("out/TEST1/CHANNEL/TEST1.091")));

  r = c.run("download --start -20 --stop 10 --out out/TEST1.MME");
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_TRUE(has(r, "ISO Export Problem: Unable to create the output directory.\n")) << r.out;
  EXPECT_TRUE(has(r, "ERROR: Export Failed")) << r.out;
}

// --timings reports, after the run, every phase of a raw download and export
// once, the download's parts under it, and totals that do not count a part
// twice: the phases, "other" and the freeing add up to main's whole time.
TEST(ExportCli, TimingsListEveryPhaseOfARawDownloadAndAddUp) {
  ExportCli c({{"type", "WorldSID"},
               {"serial", "150"},
               {"firmware", "LX2 V8.0"},
               {"side", "LEFT"},
               {"caldate", "12-Mar-2024"}});
  ASSERT_EQ(lumvex::sim::wsidWriteCalibrationFiles(c.dir.path(), "150", "12-Mar-2024",
                                                   lumvex::DummyWorldSID50th, 1),
            0);
  CliRun r = c.run("download --start -20 --stop 10 --out plain.csv");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_FALSE(has(r, "timings")) << r.out;

  r = c.run("--timings download --start -20 --stop 10 --out run.csv");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  ASSERT_TRUE(has(r, "raw file: ")) << r.out;
  const size_t report = r.out.find("timings (ms):\n");
  ASSERT_NE(report, std::string::npos) << r.out;
  const char* order[] = {"start-up, configuration",
                         "connect, identify",
                         "download",
                         "download: waiting for the link",
                         "download: station's receive/parse",
                         "raw conversion",
                         "derived channels",
                         "export data (zeroing, filter)",
                         "export file write",
                         "raw file write",
                         "disconnect",
                         "freeing the station",
                         "other",
                         "main, in all"};
  size_t at = report;
  double counted = 0, main = -1;
  for (const char* name : order) {
    const size_t line = r.out.find(std::string("\n  ") + name + " ", at);
    ASSERT_NE(line, std::string::npos) << name << " after offset " << at << "\n" << r.out;
    at = line + 1;
    const double ms = std::stod(r.out.substr(r.out.find_first_not_of(' ', line + 3 + strlen(name))));
    if (std::string(name) == "main, in all")
      main = ms;
    else if (std::string(name).find(": ") == std::string::npos)
      counted += ms;
    if (std::string(name) != "other") {
      EXPECT_GE(ms, 0.0) << name;
    }
  }
  // Each printed figure is rounded to 0.1 ms.
  EXPECT_NEAR(counted, main, 0.1 * std::size(order)) << r.out;
}
