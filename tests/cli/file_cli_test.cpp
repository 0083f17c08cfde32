// lumvex-cli read and convert on files a download from the simulated unit
// exported: the data set printed as "Key: value" lines and its codes, a
// refused file's box on stderr with exit 1, a raw file reprocessed with the
// selectors and calibration file of the options, and a batch run in parallel
// processes that gives what one-at-a-time conversions give.
#include "support/cli_run.h"
#include "support/file_station.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using lumvex::testing::CliRun;
using lumvex::testing::has;
using lumvex::testing::readFile;
using lumvex::testing::runCli;
using lumvex::testing::splitCr;
using lumvex::testing::Stderr;
using lumvex::testing::TempDir;

namespace {

// A raw WorldSID download (-20 to 10 ms) exported as run.CSV (with its raw
// file run.RDF), run.DAT and run.MME into a CLI working folder that holds the
// configuration and the unit's calibration files.
struct Exports {
  TempDir cli;
  Exports() {
    lumvex::testing::installConfiguration(cli);
    lumvex::testing::FileStation s({{"type", "WorldSID"},
                                    {"serial", "150"},
                                    {"firmware", "V7.3"},
                                    {"side", "LEFT"},
                                    {"caldate", "12-Mar-2024"},
                                    {"comment", "sled 4 run 2"}});
    s.st.workDir = cli.path();
    download(s);
  }
  void download(lumvex::testing::FileStation& s) {
    ASSERT_NO_FATAL_FAILURE(s.download(-20, 10));
    for (const char* name : {"run.CSV", "run.DAT", "run.MME"}) ASSERT_TRUE(s.exportTo(cli.file(name)));
  }
  CliRun run(const std::string& args) { return runCli(cli, args); }
};

}  // namespace

TEST(FileCli, ReadPrintsTheDataSetAndItsCodes) {
  Exports e;
  CliRun r = e.run("read run.CSV --codes");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const std::string head =
      "Type: WorldSID w/IRT w/Length Change\nSerial: 150\nSide: Left Side\nATD:  sled 4 run 2\nTrigger: 0\n"
      "Date: " +
      lumvex::testing::today() +
      "\nTime: 01:01:01\nStart (ms): -20\nInterval (ms): 0.1\nSamples: 301\nChannels: 91\nFilter: 0\n"
      "Relative: 0\n";
  ASSERT_EQ(r.out.substr(0, head.size()), head);
  std::vector<std::string> codes = lumvex::testing::fields(splitCr(readFile(e.cli.file("run.CSV")))[3]);
  codes.erase(codes.begin());
  std::string listed;
  for (const std::string& c : codes) listed += c + "\n";
  EXPECT_EQ(r.out.substr(head.size()), listed);
  EXPECT_EQ(r.err, "");

  r = e.run("read run.DAT");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r, "\nTime: ")) << r.out;
  EXPECT_TRUE(has(r, "\nSamples: 301\nChannels: 91\n")) << r.out;
  r = e.run("read run/run.MME");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r, "\nATD: sled 4 run 2\n")) << r.out;

  // The raw file reprocesses with the selectors' defaults.
  r = e.run("read run.RDF");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(
      has(r, "Type: WorldSID w/IRT w/Length Change\nSerial: 150\nSide: Left Side\nATD: sled 4 run 2  \n"))
      << r.out;
  EXPECT_NE(
      r.err.find("Re-Processing Raw Data File: Set the ISO Codes and then click on Continue Reprocessing "
                 "button\n"),
      std::string::npos)
      << r.err;
}

TEST(FileCli, RefusedFilesAndBadArguments) {
  Exports e;
  std::string header = readFile(e.cli.file("run.DAT"));
  header.replace(header.find("Lumvex Type"), 11, "Source Type");
  lumvex::testing::writeFile(e.cli.file("foreign.DAT"), header);
  CliRun r = e.run("read foreign.DAT");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "Error: Not a Valid Lumvex File\n");
  EXPECT_EQ(r.out, "");

  fs::remove(e.cli.file("run/CHANNEL/run.045"));
  r = e.run("read run/run.MME");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "File Read Error: Could not Open Data File: \r\n " + e.cli.file("run/CHANNEL/run.045") +
                       " \r\n File not read\n");

  r = e.run("read nothing.CSV");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("read: nothing.CSV was not read"), std::string::npos) << r.err;
  for (const char* args :
       {"read", "read a.CSV b.CSV", "convert run.CSV", "convert run.CSV --out a.CSV --side XX",
        "convert run.CSV --out-dir . ", "convert run.CSV --out a.CSV --test-object Q"})
    EXPECT_EQ(e.run(args).exitCode, 2) << args;
}

// A raw file converted with the operator's choices given as options, and its
// calibration file named when the working folder holds several.
TEST(FileCli, ConvertReprocessesRawFilesWithTheSelectorsOfTheOptions) {
  Exports e;
  ASSERT_EQ(lumvex::sim::wsidWriteCalibrationFiles(e.cli.path(), "150", "02-Feb-2025", 5, 0), 0);
  CliRun r = e.run("convert run.RDF --out raw.CSV --test-object D --position 4 --side RI");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Calibration File Error: Several Calibration files found: \r\n "
                       "SN150_02-Feb-2025_Right Side_cal.bin \r\n SN150_12-Mar-2024_Right Side_cal.bin \r\n"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(e.cli.file("raw.CSV")));

  r = e.run(
      "convert run.RDF --out raw.CSV --test-object D --position 4 --side RI --cal "
      "'SN150_12-Mar-2024_Right Side_cal.bin' --filter 180");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "exported: " + e.cli.file("raw.CSV") + "\n");
  const std::vector<std::string> lines = splitCr(readFile(e.cli.file("raw.CSV")));
  ASSERT_EQ(lines.size(), 4u + 301u);
  EXPECT_NE(lines[0].find("ISO Filter code=C"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("Dummy Right Side,"), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find("ISO Test Object code=D"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("ISO Position code=4"), std::string::npos) << lines[2];
  for (const std::string& code : lumvex::testing::fields(lines[3])) {
    if (code == "Time(ms)") continue;
    EXPECT_EQ(code.substr(0, 2), "D4") << code;
  }
}

// Several inputs at once: each one's output as a convert of it alone makes
// it; a failed input is reported while the others go on.
TEST(FileCli, BatchConvertsEveryInputAsOneAtATime) {
  Exports e;
  lumvex::testing::writeFile(e.cli.file("bad.CSV"), "Lumvex Type: Unknown\r");
  fs::create_directories(e.cli.file("par"));
  fs::create_directories(e.cli.file("one"));
  const std::string inputs = "run.CSV run.DAT bad.CSV run/run.MME run.RDF";
  // Two inputs named "run" would become one output.
  EXPECT_EQ(e.run("convert " + inputs + " --out-dir par --format MME").exitCode, 2);

  fs::rename(e.cli.file("run.DAT"), e.cli.file("d.DAT"));
  fs::rename(e.cli.file("run.R32"), e.cli.file("d.R32"));
  fs::rename(e.cli.file("run.RDF"), e.cli.file("r.RDF"));
  CliRun par = e.run("convert run.CSV d.DAT bad.CSV r.RDF --out-dir par --format MME --jobs 2 --relative");
  EXPECT_EQ(par.exitCode, 1);
  EXPECT_NE(par.err.find("Error in Plot: Not a Valid Lumvex Type\n"), std::string::npos) << par.err;
  EXPECT_NE(par.err.find("convert: bad.CSV failed\n"), std::string::npos) << par.err;
  for (const char* name : {"run", "d", "r"}) {
    EXPECT_NE(par.out.find(std::string("exported: ") +
                           e.cli.file(std::string("par/") + name + "/" + name + ".MME")),
              std::string::npos)
        << par.out;
    const CliRun one = e.run(std::string("convert ") +
                             (name == std::string("run") ? "run.CSV"
                              : name == std::string("d") ? "d.DAT"
                                                         : "r.RDF") +
                             " --out one/" + name + ".MME --relative");
    ASSERT_EQ(one.exitCode, 0) << one.err;
    int files = 0;
    for (const auto& f : fs::recursive_directory_iterator(e.cli.file(std::string("one/") + name))) {
      if (!f.is_regular_file()) continue;
      const std::string rel = fs::relative(f.path(), e.cli.file("one")).string();
      EXPECT_EQ(readFile(f.path().string()), readFile(e.cli.file("par/" + rel))) << rel;
      ++files;
    }
    EXPECT_EQ(files, 92) << name;  // .MME, .CHN and 90 channels
  }
}
