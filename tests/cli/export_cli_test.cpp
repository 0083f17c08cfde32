// lumvex-cli download exporting to DIAdem and ISO MME by the output's
// extension, against the in-process simulated unit over loopback: the files
// land where --out names them (a bare name in the current folder), hold the
// downloaded samples, and a second ISO export to the same name fails.
#include "support/drive_station.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using lumvex::testing::DriveStation;

namespace {

struct CliRun {
  int status = -1;
  std::string output;  // stdout and stderr
};

// A unit holding a recording from -100 to 200 ms, and the station's
// configuration files in a working folder of its own.
struct ExportCli : DriveStation {
  lumvex::testing::TempDir dir;
  explicit ExportCli(Props props) : DriveStation(props, 3) {
    set("window.start", "-100");
    set("window.stop", "200");
    fs::path config = lumvex::testing::sourcePath("config");
    for (const auto& e : fs::directory_iterator(config))
      if (e.is_regular_file()) fs::copy_file(e.path(), fs::path(dir.path()) / e.path().filename());
  }
  CliRun run(const std::string& args) {
    std::string cmd = "cd '" + dir.path() +
                      "' && '" LUMVEX_BINARY_DIR "/cli/lumvex-cli' --timeout 1000 --host 127.0.0.1:" +
                      std::to_string(port) + " " + args + " 2>&1";
    CliRun r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    int w = pclose(p);
    r.status = WIFEXITED(w) ? WEXITSTATUS(w) : -1;
    return r;
  }
};

bool has(const CliRun& r, std::string_view text) { return r.output.find(text) != std::string::npos; }

}  // namespace

TEST(ExportCli, BareDatNameWritesTheHeaderAndTheFloatFileInTheCurrentFolder) {
  ExportCli c({{"type", "Polar"}, {"serial", "42"}, {"firmware", "V7.3"}, {"side", "LEFT"}});
  CliRun r = c.run("download --start -20 --stop 60 --relative --out run1.dat");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(has(r, "downloaded: 801 samples, 15 columns\n")) << r.output;
  EXPECT_TRUE(has(r, "Export Status: Export Successful")) << r.output;
  EXPECT_TRUE(has(r, "exported: " + c.dir.file("run1.R32") + "\n")) << r.output;
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
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(has(r, "exported: " + c.dir.file("out/TEST1/TEST1.MME") + "\n")) << r.output;
  const std::string chn = lumvex::testing::readFile(c.dir.file("out/TEST1/CHANNEL/TEST1.CHN"));
  EXPECT_NE(chn.find("Number of channels          :90\r\n"), std::string::npos) << chn;
  const std::string f = lumvex::testing::readFile(c.dir.file("out/TEST1/CHANNEL/TEST1.090"));
  EXPECT_NE(f.find("Time of first sample        :-0.0200\r\nNumber of samples           :301\r\n"),
            std::string::npos)
      << f;
  EXPECT_FALSE(fs::exists(c.dir.file("out/TEST1/CHANNEL/TEST1.091")));

  r = c.run("download --start -20 --stop 10 --out out/TEST1.MME");
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_TRUE(has(r, "ISO Export Problem: Unable to create the output directory.\n")) << r.output;
  EXPECT_TRUE(has(r, "ERROR: Export Failed")) << r.output;
}
