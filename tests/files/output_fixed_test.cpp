// Number texts against the C library's own "%4.2f" and "%d" (ties, negative
// zero, large and non-finite values, millions of random floats), and the
// writer's failure reports of a file that removes itself when incomplete
// (missing folder, full disk).
#include "files/output.h"

#include "support/testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>

namespace lumvex {
namespace {

std::string fast(float v) {
  char buf[kMaxNumberText];
  return std::string(buf, formatFixed2(buf, v));
}

std::string libc(float v) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%4.2f", static_cast<double>(v));
  return buf;
}

TEST(FormatFixed2, EdgeValuesAsTheCLibraryPrintsThem) {
  const float cases[] = {0.0f,
                         -0.0f,
                         0.125f,
                         0.375f,
                         -0.125f,
                         2.675f,
                         1.005f,
                         -0.004f,
                         -0.005f,
                         -0.0051f,
                         0.005f,
                         9.995f,
                         99.995f,
                         0.625f,
                         1.0e7f,
                         16777216.0f,
                         -3.0f,
                         3.0f,
                         123.456f,
                         -75.47f,
                         1e-30f,
                         -1e-30f,
                         1e15f,
                         -1e15f,
                         3.4e38f,
                         -3.4e38f,
                         1e14f,
                         9.99999e14f,
                         std::numeric_limits<float>::denorm_min(),
                         std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(),
                         std::numeric_limits<float>::quiet_NaN(),
                         -std::numeric_limits<float>::quiet_NaN()};
  for (float v : cases) EXPECT_EQ(fast(v), libc(v)) << v;
  EXPECT_EQ(fast(-0.0f), "-0.00");
  EXPECT_EQ(fast(0.125f), "0.12");  // exact tie: to even
  EXPECT_EQ(fast(2.675f), "2.67");  // the float lies below the tie
  EXPECT_EQ(fast(3.0f), "3.00");
}

TEST(FormatFixed2, RandomFloatsOfEveryMagnitudeMatch) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<uint32_t> bits;
  std::uniform_real_distribution<float> mm(-500.0f, 500.0f);
  for (int i = 0; i < 300000; ++i) {
    uint32_t b = bits(rng);
    float v;
    std::memcpy(&v, &b, sizeof v);
    ASSERT_EQ(fast(v), libc(v)) << b;
    float w = mm(rng);
    ASSERT_EQ(fast(w), libc(w)) << w;
    // Values on the hundredths grid and halfway between them.
    float h = static_cast<float>(static_cast<int>(b % 200000) - 100000) / 200.0f;
    ASSERT_EQ(fast(h), libc(h)) << h;
  }
}

TEST(FormatWord, AsPercentD) {
  for (unsigned v : {0u, 7u, 10u, 65535u, 32768u}) {
    char buf[kMaxNumberText];
    EXPECT_EQ(std::string(buf, formatWord(buf, v)), std::to_string(v));
  }
}

TEST(OutFileRemovingIncomplete, WritesLargeOutputCompletely) {
  lumvex::testing::TempDir dir;
  std::string path = dir.file("big.txt");
  std::string expected;
  {
    OutFile out(4096);
    ASSERT_TRUE(out.open(path, OutFile::Incomplete::Remove));
    ASSERT_TRUE(out.opened());
    for (int i = 0; i < 20000; ++i) {
      std::string line = std::to_string(i) + ",\r";
      out.put(line);
      expected += line;
    }
    out.put(std::string(10000, 'x'));  // larger than the buffer
    expected += std::string(10000, 'x');
    EXPECT_TRUE(out.close());
  }
  EXPECT_EQ(lumvex::testing::readFile(path), expected);
}

TEST(OutFileRemovingIncomplete, MissingFolderAndFullDiskFail) {
  lumvex::testing::TempDir dir;
  OutFile missing;
  missing.open(dir.file("no/such/folder/x.CSV"), OutFile::Incomplete::Remove);
  EXPECT_FALSE(missing.opened());
  missing.put("abc");
  EXPECT_FALSE(missing.close());

  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::string link = dir.file("full.CSV");
  std::filesystem::create_symlink("/dev/full", link);
  OutFile full(1024);
  full.open(link, OutFile::Incomplete::Remove);
  ASSERT_TRUE(full.opened());
  for (int i = 0; i < 4; ++i) full.put(std::string(800, 'y'));  // blocks go out while writing
  EXPECT_TRUE(full.failed());
  EXPECT_FALSE(full.close());
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));  // a device is never removed
}

}  // namespace
}  // namespace lumvex
