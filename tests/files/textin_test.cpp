// Numbers and lines read back from files: every number scanned reads bit for
// bit as the C library's sscanf("%f") / sscanf("%d") reads it, taking the same
// characters, over hand-picked and generated texts; the buffered file hands
// out the same numbers across block boundaries, and lines as
// readfile_until_cr does (text-mode CR LF, cut long lines, top-bit bytes).
#include "files/textin.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace lumvex;
using lumvex::testing::TempDir;
using lumvex::testing::writeFile;

namespace {

uint32_t bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

// "" when ScanFloat agrees with sscanf("%f%n") on s, else what differs.
std::string floatDiffers(const std::string& s) {
  float want = 0;
  int taken = -1;
  const bool read = std::sscanf(s.c_str(), "%f%n", &want, &taken) == 1;
  const char* p = s.data();
  float got = 0;
  const bool ok = ScanFloat(p, s.data() + s.size(), true, got) == ScanResult::Ok;
  if (read != ok) return "'" + s + "': read " + std::to_string(read) + " vs " + std::to_string(ok);
  if (read && (bits(want) != bits(got) || taken != p - s.data()))
    return "'" + s + "': " + std::to_string(bits(want)) + "/" + std::to_string(taken) + " vs " +
           std::to_string(bits(got)) + "/" + std::to_string(p - s.data());
  return "";
}

std::string wordDiffers(const std::string& s) {
  int want = 0, taken = -1;
  const bool read = std::sscanf(s.c_str(), "%d%n", &want, &taken) == 1;
  const char* p = s.data();
  uint16_t got = 0;
  const bool ok = ScanWord(p, s.data() + s.size(), true, got) == ScanResult::Ok;
  if (read != ok || (read && (static_cast<uint16_t>(want) != got || taken != p - s.data())))
    return "'" + s + "'";
  return "";
}

}  // namespace

TEST(ScanFloat, ReadsTheSpecialFormsAsScanfDoes) {
  for (const char* s : {"1",
                        "-1.5",
                        "1e",
                        "1e+",
                        "1e+-5",
                        ".",
                        "-.",
                        ".5",
                        "1.",
                        "0x",
                        "0x.",
                        "0x1p3",
                        "0x1.8p3",
                        "-0x1p",
                        "nan",
                        "NaN(12)",
                        "-nan",
                        "inf",
                        "infinity",
                        "infin",
                        "infx",
                        "  \r\n 12.25,",
                        "1e39",
                        "-1e39",
                        "1e-45",
                        "1e-50",
                        "3.4028235e38",
                        "3.4028236e38",
                        "123456789012345678901234567890",
                        "-0.00",
                        "+5",
                        "+-5",
                        "0x1P-150",
                        "1.2.3",
                        "1e5e6",
                        "e5",
                        "0e5",
                        "0X",
                        "0xg",
                        "-1.234568E+01",
                        "9.999999E-11",
                        " nan",
                        "-inf,",
                        ""})
    EXPECT_EQ(floatDiffers(s), "");
  EXPECT_EQ(wordDiffers("  -12,"), "");
  EXPECT_EQ(wordDiffers("70000"), "");
  EXPECT_EQ(wordDiffers("99999999999999999999999"), "");
  EXPECT_EQ(wordDiffers("-"), "");
  EXPECT_EQ(wordDiffers("+0x5"), "");
}

// Texts of number characters in any order, and every float printed as the
// writers print them ("%4.2f", "%E") and in full: sscanf and ScanFloat agree.
TEST(ScanFloat, AgreesWithScanfOnGeneratedTexts) {
  std::mt19937 rng(13);
  const char alphabet[] = "0123456789.eE+-xXpPnaifINty ,\r\n";
  std::vector<std::string> wrong;
  for (int i = 0; i < 300000 && wrong.size() < 5; ++i) {
    std::string s;
    for (int k = static_cast<int>(rng() % 12); k > 0; --k) s += alphabet[rng() % (sizeof alphabet - 1)];
    if (std::string d = floatDiffers(s); !d.empty()) wrong.push_back(d);
    if (std::string d = wordDiffers(s); !d.empty()) wrong.push_back(d);
  }
  for (int i = 0; i < 300000 && wrong.size() < 5; ++i) {
    float f;
    const uint32_t u = static_cast<uint32_t>(rng());
    std::memcpy(&f, &u, 4);
    char b[80];
    for (const char* format : {"%4.2f", "%E", "%.9g"}) {
      std::snprintf(b, sizeof b, format, static_cast<double>(f));
      if (std::string d = floatDiffers(b); !d.empty()) wrong.push_back(d);
    }
  }
  EXPECT_TRUE(wrong.empty()) << wrong.front();
}

// A file of numbers read through a buffer far smaller than the file, so that
// numbers and separators fall across every block boundary.
TEST(TextFileIn, NumbersAcrossBlockBoundariesReadAsInOnePiece) {
  TempDir dir;
  std::string text;
  std::vector<float> want;
  for (int i = 0; i < 5000; ++i) {
    char b[40];
    const float v = static_cast<float>(i) * 1.37f - 3000.0f;
    std::snprintf(b, sizeof b, i % 3 ? "%4.2f," : "%E,\r", static_cast<double>(v));
    text += b;
    float r;
    std::sscanf(b, "%f", &r);
    want.push_back(r);
  }
  text += "12.5,,7";  // the second comma stops the reading
  want.push_back(12.5f);
  writeFile(dir.file("n.txt"), text);
  for (size_t buffer : {size_t{64}, size_t{100}, size_t{1} << 20}) {
    TextFileIn in(buffer);
    ASSERT_TRUE(in.open(dir.file("n.txt")));
    std::vector<float> got(want.size() + 5);
    ASSERT_EQ(in.readFloats(got.data(), got.size(), 1, true), want.size()) << buffer;
    for (size_t k = 0; k < want.size(); ++k) ASSERT_EQ(bits(got[k]), bits(want[k])) << k;
  }
  // A number longer than the buffer grows it instead of being cut.
  writeFile(dir.file("long.txt"), "0." + std::string(300, '0') + "15e2 8");
  TextFileIn in(64);
  ASSERT_TRUE(in.open(dir.file("long.txt")));
  float two[2];
  ASSERT_EQ(in.readFloats(two, 2, 1, false), 2u);
  EXPECT_EQ(bits(two[0]), bits(std::strtof(("0." + std::string(300, '0') + "15e2").c_str(), nullptr)));
  EXPECT_EQ(two[1], 8.0f);
}

TEST(TextFileIn, LinesReadAsReadfileUntilCr) {
  TempDir dir;
  writeFile(dir.file("l.txt"), std::string("one\r\ntwo\rthree is long\nfo\xC3ur\nlast"));
  for (bool textMode : {false, true}) {
    TextFileIn in(64);
    ASSERT_TRUE(in.open(dir.file("l.txt")));
    std::string line;
    EXPECT_EQ(in.readLine(line, 100, textMode), 0);
    EXPECT_EQ(line, textMode ? "one\n" : "one\r");
    if (!textMode) {
      EXPECT_EQ(in.readLine(line, 100, textMode), 0);
      EXPECT_EQ(line, "\n");  // binary: CR LF gives a line of its own LF
    }
    EXPECT_EQ(in.readLine(line, 100, textMode), 0);
    EXPECT_EQ(line, "two\r");
    EXPECT_EQ(in.readLine(line, 6, textMode), 0);  // cut to 5 characters, the rest consumed
    EXPECT_EQ(line, "three");
    EXPECT_EQ(in.readLine(line, 100, textMode), -1);  // a top-bit byte ends the line
    EXPECT_EQ(line, "fo");
    EXPECT_EQ(in.readLine(line, 100, textMode), 0);  // and the next read goes on after it
    EXPECT_EQ(line, "ur\n");
    EXPECT_EQ(in.readLine(line, 100, textMode), -1);
    EXPECT_EQ(line, "last");
  }
}

// Long runs are read in halves on two threads: the same numbers, the same
// stop at a number that cannot be read, and the same place to go on from
// when the count is reached, as one thread reading them in turn.
TEST(TextFileIn, LongRunsReadInHalvesAsInTurn) {
  TempDir dir;
  constexpr size_t kNumbers = 3'000'000;
  std::string text;
  text.reserve(kNumbers * 8);
  std::vector<float> want;
  want.reserve(kNumbers);
  for (size_t i = 0; i < kNumbers; ++i) {
    char b[32];
    const float v = static_cast<float>(static_cast<int>(i % 200003) - 100000) / 100.0f;
    std::snprintf(b, sizeof b, "%4.2f,", static_cast<double>(v));
    text += b;
    if (i % 91 == 90) text += '\r';
    want.push_back(std::strtof(b, nullptr));
  }
  writeFile(dir.file("all.txt"), text);
  std::vector<float> got(kNumbers + 10);
  {
    TextFileIn in;
    ASSERT_TRUE(in.open(dir.file("all.txt")));
    ASSERT_EQ(in.readFloats(got.data(), got.size(), 1, true), kNumbers);
    EXPECT_EQ(std::memcmp(got.data(), want.data(), kNumbers * 4), 0);
  }
  {
    // The count reached in the middle: the next number is the one after it.
    TextFileIn in;
    ASSERT_TRUE(in.open(dir.file("all.txt")));
    ASSERT_EQ(in.readFloats(got.data(), 2'500'001, 1, true), 2'500'001u);
    float next = 0;
    ASSERT_TRUE(in.readFloat(next));
    EXPECT_EQ(bits(next), bits(want[2'500'001]));
  }
  // A word that is no number late in the file ends the reading there.
  const size_t bad = text.find(',', text.size() * 9 / 10);
  text.insert(bad + 1, "x");
  writeFile(dir.file("bad.txt"), text);
  TextFileIn in;
  ASSERT_TRUE(in.open(dir.file("bad.txt")));
  const size_t read = in.readFloats(got.data(), got.size(), 1, true);
  size_t commas = 0;
  for (size_t i = 0; i <= bad; ++i) commas += text[i] == ',';
  EXPECT_EQ(read, commas);
}
