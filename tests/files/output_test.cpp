// Number formats of the exporters against the C library's own printf (the
// tests run in the C locale), and output files that report failed writes,
// including files rewritten in place.
#include "files/output.h"
#include "platform/paths.h"

#include "support/testing.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <bit>
#include <csignal>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

using namespace lumvex;

namespace {

std::string cE(double v) {
  char b[64];
  return std::string(b, static_cast<size_t>(std::snprintf(b, sizeof b, "%E", v)));
}

std::string fastE(float v) {
  char b[kFloatEChars];
  return std::string(b, formatFloatE(b, v));
}

std::string cF(const char* fmt, double v) {
  char b[512];
  return std::string(b, static_cast<size_t>(std::snprintf(b, sizeof b, fmt, v)));
}

}  // namespace

TEST(FloatE, MatchesPrintfOnRandomBitPatterns) {
  std::mt19937 rng(20240611);
  for (int i = 0; i < 400'000; ++i) {
    float v = std::bit_cast<float>(static_cast<uint32_t>(rng()));
    ASSERT_EQ(fastE(v), cE(v)) << std::bit_cast<uint32_t>(v);
  }
}

TEST(FloatE, MatchesPrintfOnMeasurementSizedValues) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> mm(-500.0f, 500.0f);
  for (int i = 0; i < 200'000; ++i) {
    float v = mm(rng);
    ASSERT_EQ(fastE(v), cE(v));
  }
}

TEST(FloatE, ExactTiesRoundToEvenAndCarriesMoveTheExponent) {
  // Integers below 2^24 are exact floats, so the eighth digit 5 is an exact tie.
  EXPECT_EQ(fastE(12345675.0f), "1.234568E+07");
  EXPECT_EQ(fastE(12345665.0f), "1.234566E+07");
  EXPECT_EQ(fastE(0.5f), "5.000000E-01");
  EXPECT_EQ(fastE(9.9999999f), "1.000000E+01");
  EXPECT_EQ(fastE(-9999999.5f), cE(-9999999.5f));
  for (float v : {1e-21f, 9.999999e-22f, 1e7f, 9999999.0f, 10000001.0f, 3.0f, 7.0005f, -20.0f, 1e-45f})
    EXPECT_EQ(fastE(v), cE(v)) << v;
}

TEST(FloatE, ZerosInfinitiesAndNaNsAsPrintfSpellsThem) {
  EXPECT_EQ(fastE(0.0f), "0.000000E+00");
  EXPECT_EQ(fastE(-0.0f), "-0.000000E+00");
  float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(fastE(inf), cE(inf));
  EXPECT_EQ(fastE(-inf), cE(-inf));
  float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(fastE(nan), cE(nan));
  EXPECT_EQ(fastE(-nan), cE(-nan));
  EXPECT_EQ(fastE(std::numeric_limits<float>::denorm_min()), "1.401298E-45");
}

TEST(FixedAndInt, MatchPrintf) {
  for (double v : {-12.5, 0.0078125, 0.0000625, -0.0, 1e-7, 123456789.125, 1e30, -0.02, 0.0001, 0.00005})
    EXPECT_EQ(formatFixed(v, 6), cF("%f", v)) << v;
  for (double v : {-0.02, -0.00005, 0.00015, -0.00025, 1.23445, -0.0})
    EXPECT_EQ(formatFixed(v, 4), cF("%.4f", v)) << v;
  EXPECT_EQ(formatFixed(-static_cast<double>(0.0f), 6), "-0.000000");
  EXPECT_EQ(formatInt(-7), "-7");
  EXPECT_EQ(formatInt(42001), "42001");
  EXPECT_EQ(formatE(9.9e34), "9.900000E+34");
}

TEST(OutFile, TextModeStoresEachLineFeedAsCrLf) {
  lumvex::testing::TempDir dir;
  OutFile f(8);  // a tiny buffer: the text crosses many flushes
  ASSERT_TRUE(f.open(dir.file("a.txt")));
  f.text("one\r\ntwo\nthree");
  f.put("\n");
  ASSERT_TRUE(f.close());
  EXPECT_EQ(lumvex::testing::readFile(dir.file("a.txt")), "one\r\r\ntwo\r\nthree\n");
}

TEST(OutFile, ReportsAFullDiskAndAMissingFolder) {
  OutFile f;
  if (f.open("/dev/full")) {
    f.put(std::string(3 << 20, 'x'));
    EXPECT_FALSE(f.close());
  }
  lumvex::testing::TempDir dir;
  EXPECT_FALSE(f.open(dir.file("no/such/folder.txt")));
  EXPECT_FALSE(f.close());
  ASSERT_TRUE(f.open(dir.file("ok.txt")));  // a failure does not stick to the next file
  f.put("x");
  EXPECT_TRUE(f.close());
}

TEST(OutFile, InPlaceRewriteLeavesExactlyTheNewBytes) {
  lumvex::testing::TempDir dir;
  const std::string path = dir.file("r.bin");
  lumvex::testing::writeFile(path, std::string(100'000, 'o'));
  OutFile f(16);
  ASSERT_TRUE(f.openInPlace(path));
  f.put("head");
  f.putAt("tail", 4, 40);  // past the buffer, beyond the sequential end
  f.putAt("mid", 3, 10);
  ASSERT_TRUE(f.close());
  std::string want = std::string(44, 'o');  // old bytes that nothing overwrote stay, as in any rewrite
  want.replace(0, 4, "head").replace(10, 3, "mid").replace(40, 4, "tail");
  EXPECT_EQ(lumvex::testing::readFile(path), want);

  // The sequential end may lie past the last offset written.
  ASSERT_TRUE(f.openInPlace(path));
  f.putAt("ab", 2, 0);
  f.put("0123456789");
  ASSERT_TRUE(f.close());
  EXPECT_EQ(lumvex::testing::readFile(path), "0123456789");

  // A new file, and the same failures as open().
  ASSERT_TRUE(f.openInPlace(dir.file("new.bin")));
  f.put("x");
  ASSERT_TRUE(f.close());
  EXPECT_EQ(lumvex::testing::readFile(dir.file("new.bin")), "x");
  EXPECT_FALSE(f.openInPlace(dir.file("no/such/folder.bin")));
  if (f.openInPlace("/dev/full")) {
    f.putAt("x", 1, 0);
    EXPECT_FALSE(f.close());
  }
}

TEST(OutFile, InPlaceRewriteThatFailsLeavesNothingOfTheOldFileBehindIt) {
  lumvex::testing::TempDir dir;
  const std::string path = dir.file("r.bin");
  lumvex::testing::writeFile(path, std::string(100'000, 'o'));
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 20'000;  // bytes: writes past this fail
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  OutFile f(4096);
  bool opened = f.openInPlace(path);
  f.put(std::string(30'000, 'n'));
  bool closed = f.close();
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  ASSERT_TRUE(opened);
  EXPECT_FALSE(closed);
  EXPECT_EQ(lumvex::testing::readFile(path), std::string(20'000, 'n'));
}

TEST(Paths, ExtensionAndFolderHelpers) {
  std::string p = "/d/run1.dat";
  size_t dot = pathLastDot(p);
  pathUpperExtension(p, dot);
  EXPECT_EQ(p, "/d/run1.DAT");
  pathReplaceExtension(p, dot, "R32");
  EXPECT_EQ(p, "/d/run1.R32");
  std::string shortExt = "/d/a.m";
  pathUpperExtension(shortExt, pathLastDot(shortExt));
  EXPECT_EQ(shortExt, "/d/a.M");
  std::string longExt = "/d/a.mmex";
  pathUpperExtension(longExt, pathLastDot(longExt));
  EXPECT_EQ(longExt, "/d/a.MMEx");
  EXPECT_EQ(pathLastSeparator("/d/a.M"), 2u);

  lumvex::testing::TempDir dir;
  EXPECT_EQ(makeFolder(dir.file("T"), false), 0);
  EXPECT_EQ(makeFolder(dir.file("T"), false), -1);
  EXPECT_EQ(makeFolder(dir.file("T"), true), 0);
  lumvex::testing::writeFile(dir.file("F"), "x");
  EXPECT_EQ(makeFolder(dir.file("F"), true), -1);  // a file is not a folder
  EXPECT_EQ(makeFolder(dir.file("x/y"), true), -1);
}
