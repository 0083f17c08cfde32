// lumvex-cli plot on a CSV a simulated WorldSID download exported: images of
// the asked size and kind, legend lines equal to what the plot page shows for
// the same file, selection and choices, and an unknown label that lists the
// file's labels with exit 2.
#include "support/cli_run.h"
#include "support/file_station.h"
#include "support/testing.h"
#include "ui/plot_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

using lumvex::testing::CliRun;
using lumvex::testing::readFile;
using lumvex::testing::runCli;
using lumvex::testing::TempDir;

namespace {

// Width and height from a PNG's IHDR chunk; {0, 0} when the bytes are no PNG.
std::pair<uint32_t, uint32_t> pngSize(const std::string& b) {
  if (b.size() < 24 || b.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || b.compare(12, 4, "IHDR") != 0) return {};
  auto be32 = [&](size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
  };
  return {be32(16), be32(20)};
}

// The legend lines the page itself shows for the file, selection and choices.
std::string pageLegend(lumvex::testing::FileStation& s, const std::string& csv,
                       const lumvex::PlotRequest& r) {
  EXPECT_TRUE(s.read(csv));
  std::string lines;
  for (const lumvex::Curve& c : lumvex::BuildPlot(s.st, r).curves)
    if (!c.legend.empty()) lines += c.legend + "\n";
  return lines;
}

}  // namespace

TEST(PlotCli, ImagesLegendsAndUnknownLabels) {
  TempDir cli;
  lumvex::testing::installConfiguration(cli);
  if (runCli(cli, "--help").out.find("\n  plot FILE") == std::string::npos)
    GTEST_SKIP() << "this lumvex-cli is built without the Qt front end";
  lumvex::testing::FileStation s(
      {{"type", "WorldSID"}, {"serial", "150"}, {"firmware", "V7.3"}, {"side", "LEFT"}});
  ASSERT_NO_FATAL_FAILURE(s.download(-20, 10));
  const std::string csv = cli.file("run.CSV");
  ASSERT_TRUE(s.exportTo(csv));

  CliRun r = runCli(cli, "plot run.CSV --selection 'ribs 1-3 X' --out t.png --size 640x480 --legend");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(pngSize(readFile(cli.file("t.png"))), std::make_pair(640u, 480u));
  const std::string absolute = pageLegend(s, csv, {4, 0, false});
  EXPECT_EQ(r.out, absolute);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 9);

  // Relative and filtered: other peaks, the same as the page's.
  r = runCli(cli, "plot run.CSV --selection 'ribs 1-3 X' --filter 180 --relative --out t.png --legend");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(pngSize(readFile(cli.file("t.png"))), std::make_pair(1200u, 800u));
  EXPECT_EQ(r.out, pageLegend(s, csv, {4, 180, true}));
  EXPECT_NE(r.out, absolute);

  // A rib path: the outline first, then the LEDs.
  r = runCli(cli, "plot run.CSV --selection 'Thorax 2 YZ' --out p.svg --legend");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Range\nRear\nMiddle\nFront\n");
  EXPECT_NE(readFile(cli.file("p.svg")).find("<svg"), std::string::npos);
  ASSERT_EQ(runCli(cli, "plot run.CSV --selection 'Thorax 2 XY' --out p.pdf").exitCode, 0);
  EXPECT_EQ(readFile(cli.file("p.pdf")).substr(0, 5), "%PDF-");

  r = runCli(cli, "plot run.CSV --selection 'Thorax 9 XY' --out u.png");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("\nribs 1-3 X\nribs 4-6 X\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("\nAbdomen 2 YZ\n"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(cli.file("u.png")));

  lumvex::testing::writeFile(cli.file("bad.CSV"), "not a station file\r");
  r = runCli(cli, "plot bad.CSV --selection 'ribs 1-3 X' --out b.png");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "Error: Not a Valid Lumvex File\n");
  for (const char* args : {"plot run.CSV --out x.png", "plot run.CSV --selection 'ribs 1-3 X' --out x.gif",
                           "plot run.CSV --selection 'ribs 1-3 X' --out x.png --size 640",
                           "plot run.CSV --selection 'ribs 1-3 X' --out x.png --filter 100"})
    EXPECT_EQ(runCli(cli, args).exitCode, 2) << args;
}
