// DIAdem export: the header file byte for byte (CR CR LF line ends, key 240
// offsets, key 211 and 221), the channel-after-channel float file, the file
// names made from the chosen path, and failures that must not pass as success.
#include "files/diadem.h"
#include "support/scripted_operator.h"

#include "support/export_data.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

using namespace lumvex;
namespace lt = lumvex::testing;

namespace {

float sampleValue(int s, int n) { return static_cast<float>(n) * 10.0f + static_cast<float>(s) * 0.25f; }

void fill(Station& st, int samples, int channels) { lt::fillTables(st.data, samples, channels, sampleValue); }

void identify(Station& st, int type, const char* typeName) {
  st.session.DummyType = type;
  std::snprintf(st.data.codes.DummyTypeNames[static_cast<size_t>(type)].data(), 50, "%s", typeName);
  st.session.SerialNumberText = "117";
  st.session.DirectionText = "Left Side";
  st.session.TriggerSetting = 1;
  st.session.SoftwareTriggerOffset = 4;
  st.data.ident.TestDateDotted = "06.11.2024";
  st.data.ident.TestTimeText = "14:03:59";
  st.data.ident.AtdText = "ATD 0042";
}

// Polar: 6 LEDs of X and Y, then the left and right sensors (15 columns).
void polar(Station& st, int samples) {
  identify(st, 0, "Polar");
  st.data.layout = {6, 2, 2, 2};
  lt::setPolarCodes(st.data);
  fill(st, samples, 15);
  for (int n = 1; n < 15; ++n) st.data.ChannelOffsets[static_cast<size_t>(n)] = 0.5f * static_cast<float>(n);
}

// The header block of column n as the table gives it, line by line.
std::string block(const std::string& lines) {
  return "#BEGINCHANNELHEADER\r\r\n" + lines + "#ENDCHANNELHEADER\r\r\n\r\r\n";
}

struct DiademTest : ::testing::Test {
  lt::TempDir dir;
  ScriptedOperator op;
  std::unique_ptr<Station> st = std::make_unique<Station>(op);
  int save(const std::string& name, int relative) {
    st->session.CurrentDataPath = dir.file(name);
    return FileSave_DIADEM(*st, st->session.CurrentDataPath, relative);
  }
};

}  // namespace

TEST_F(DiademTest, PolarHeaderIsByteForByteTheKeyTables) {
  polar(*st, 3000);
  ASSERT_EQ(save("TEST1.DAT", 1), 0);
  const std::string h = lt::readFile(dir.file("TEST1.DAT"));
  const std::string global =
      "DIAEXTENDED  {@:ENGLISH\r\n\r\r\n"
      "#BEGINGLOBALHEADER\r\r\n"
      "  1,WINDOWS 32Bit\r\r\n"
      "  2,{@R:810 {@V:8.10.1292 {@F:4.00\r\r\n"
      "101,Lumvex Type:Polar \r\r\n"
      "102,Data is Relative\r\r\n"
      "103,117  Direction:Left Side Trigger:5\r\r\n"
      "104,06.11.2024\r\r\n"
      "105,14:03:59\r\r\n"
      "106,ATD 0042\r\r\n"
      "111,9.9E+34\r\r\n"
      "112,High -> Low\r\r\n"
      "#ENDGLOBALHEADER\r\r\n\r\r\n";
  const std::string time = block(
      "200,time\r\r\n211,TEST1.R32\r\r\n213,CHANNEL\r\r\n214,REAL32\r\r\n220,3000 \r\r\n221,1\r\r\n"
      "240,0\r\r\n241,1.0\r\r\n252,No\r\r\n253,increasing\r\r\n260,Numeric\r\r\n261,1\r\r\n262,1\r\r\n"
      "263,0\r\r\n265,0\r\r\n");
  const std::string led = block(
      "200,10RIBS01LEPEDSX0\r\r\n201,Lumvex Left Rib 01 Relative Displacement X\r\r\n202,mm\r\r\n"
      "210,EXPLICIT\r\r\n211,TEST1.R32\r\r\n213,CHANNEL\r\r\n214,REAL32\r\r\n220,3000 \r\r\n"
      "221,3001\r\r\n240,-0.500000\r\r\n241,1.0\r\r\n252,No\r\r\n253,not calculated\r\r\n"
      "260,Numeric\r\r\n261,1\r\r\n262,2\r\r\n263,0\r\r\n265,0\r\r\n");
  const std::string sensor = block(
      "200,10SENSRI9999PO00\r\r\n201,Lumvex Ambient Right\r\r\n202,1\r\r\n"
      "210,EXPLICIT\r\r\n211,TEST1.R32\r\r\n213,CHANNEL\r\r\n214,REAL32\r\r\n220,3000 \r\r\n"
      "221,42001\r\r\n240,0\r\r\n241,1.0\r\r\n252,No\r\r\n253,not calculated\r\r\n"
      "260,Numeric\r\r\n261,1\r\r\n262,15\r\r\n263,0\r\r\n265,0\r\r\n");
  EXPECT_EQ(h.substr(0, global.size() + time.size() + led.size()), global + time + led);
  ASSERT_GE(h.size(), sensor.size());
  EXPECT_EQ(h.substr(h.size() - sensor.size()), sensor);  // column 14 is the last header

  int headers = 0;
  for (size_t at = 0; (at = h.find("#BEGINCHANNELHEADER", at)) != std::string::npos; ++at) ++headers;
  EXPECT_EQ(headers, 15);
  // Every line end in the file is CR CR LF (the first line's CR LF aside).
  std::string rest = h.substr(std::strlen("DIAEXTENDED  {@:ENGLISH\r\n"));
  for (size_t lf = rest.find('\n'); lf != std::string::npos; lf = rest.find('\n', lf + 1))
    ASSERT_TRUE(lf >= 2 && rest[lf - 1] == '\r' && rest[lf - 2] == '\r') << lf;
}

TEST_F(DiademTest, DataFileHoldsEachColumnInTurnAsLittleEndianSingles) {
  polar(*st, 3000);
  ASSERT_EQ(save("TEST1.DAT", 0), 0);
  const std::string d = lt::readFile(dir.file("TEST1.R32"));
  ASSERT_EQ(d.size(), 180'000u);
  for (int n : {0, 1, 7, 14}) {
    for (int s : {0, 1, 1499, 2999}) {
      size_t at = (static_cast<size_t>(n) * 3000 + s) * 4;
      uint32_t bits = std::bit_cast<uint32_t>(sampleValue(s, n));
      unsigned char le[4] = {static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
                             static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)};
      EXPECT_EQ(0, std::memcmp(d.data() + at, le, 4)) << n << " " << s;
    }
  }
}

// Beyond one block of the writer (16384 rows), with a last partial tile, and
// written over the files of a larger earlier export of the same name.
TEST_F(DiademTest, LongDataFileIsWholeAndReplacesALargerOne) {
  polar(*st, 40'000);
  ASSERT_EQ(save("RUN5.DAT", 0), 0);
  const int samples = 16384 + 16384 + 23;
  polar(*st, samples);
  ASSERT_EQ(save("RUN5.DAT", 0), 0);
  std::string want;
  want.reserve(static_cast<size_t>(samples) * 15 * 4);
  for (int n = 0; n < 15; ++n)
    for (int s = 0; s < samples; ++s) {
      uint32_t bits = std::bit_cast<uint32_t>(sampleValue(s, n));
      for (int b = 0; b < 4; ++b) want.push_back(static_cast<char>(bits >> (8 * b)));
    }
  EXPECT_TRUE(lt::readFile(dir.file("RUN5.R32")) == want);
  const std::string h = lt::readFile(dir.file("RUN5.DAT"));
  EXPECT_EQ(h.substr(h.size() - 31), "265,0\r\r\n#ENDCHANNELHEADER\r\r\n\r\r\n");
  EXPECT_EQ(h.find("220,40000"), std::string::npos);         // nothing left of the first header
  EXPECT_NE(h.find("221,459075\r\r\n"), std::string::npos);  // column 14 at 14 x 32791 + 1
}

TEST_F(DiademTest, OffsetKeyFollowsTheZeroingChoice) {
  polar(*st, 10);
  st->data.ChannelOffsets[3] = 12.5f;
  st->data.ChannelOffsets[13] = 4.0f;  // a sensor column: never offset
  ASSERT_EQ(save("A.DAT", 0), 0);
  const std::string absolute = lt::readFile(dir.file("A.DAT"));
  int zeros = 0;
  for (size_t at = absolute.find("\n240,"); at != std::string::npos; at = absolute.find("\n240,", at + 1)) {
    EXPECT_EQ(absolute.compare(at + 1, 8, "240,0\r\r\n"), 0);
    ++zeros;
  }
  EXPECT_EQ(zeros, 15);
  EXPECT_NE(absolute.find("102,Data is Absolute\r\r\n"), std::string::npos);

  ASSERT_EQ(save("R.DAT", 1), 0);
  const std::string relative = lt::readFile(dir.file("R.DAT"));
  EXPECT_NE(relative.find("221,31\r\r\n240,-12.500000\r\r\n"), std::string::npos);
  EXPECT_NE(relative.find("221,131\r\r\n240,0\r\r\n"), std::string::npos);
  EXPECT_NE(relative.find("Lumvex Left Rib 01 Relative Displacement X"), std::string::npos);
}

TEST_F(DiademTest, WorldSidWithDerivedChannelsOffsetsColumnsOneTo84) {
  identify(*st, 5, "WorldSID w/IRT w/Length Change");
  st->data.layout = {18, 3, 6, 6};
  for (int k = 0; k < 90; ++k)
    setCode(st->data.codes.ChannelCodes[static_cast<size_t>(k)],
            k >= 54 && k < 60 ? "11SENSTORE99PO00" : "11ABRILERIWSDSX0");
  fill(*st, 2, 91);
  for (int n = 1; n < 91; ++n) st->data.ChannelOffsets[static_cast<size_t>(n)] = 1.0f;
  ASSERT_EQ(save("W.DAT", 1), 0);
  const std::string h = lt::readFile(dir.file("W.DAT"));
  for (int n = 1; n < 91; ++n) {
    std::string key = "262," + std::to_string(n + 1) + "\r\r\n";
    size_t end = h.find(key);
    ASSERT_NE(end, std::string::npos);
    size_t k240 = h.rfind("240,", end);
    std::string expect = n <= 84 ? "240,-1.000000\r\r\n" : "240,0\r\r\n";
    EXPECT_EQ(h.compare(k240, expect.size(), expect), 0) << n;
  }
  EXPECT_EQ(lt::readFile(dir.file("W.R32")).size(), 91u * 2 * 4);
}

TEST_F(DiademTest, LowerCaseNameGivesUpperCaseHeaderAndR32) {
  polar(*st, 5);
  ASSERT_EQ(save("RUN1.dat", 0), 0);
  EXPECT_EQ(st->session.CurrentDataPath, dir.file("RUN1.R32"));
  struct stat sb;
  EXPECT_EQ(::stat(dir.file("RUN1.DAT").c_str(), &sb), 0);
  EXPECT_EQ(::stat(dir.file("RUN1.dat").c_str(), &sb), -1);
  const std::string h = lt::readFile(dir.file("RUN1.DAT"));
  EXPECT_NE(h.find("211,RUN1.R32\r\r\n"), std::string::npos);
  EXPECT_EQ(h.find("211,RUN1.R32\r\r\n"), h.find("211,"));
  EXPECT_EQ(lt::readFile(dir.file("RUN1.R32")).size(), 15u * 5 * 4);
}

TEST_F(DiademTest, PathWithoutExtensionFolderOrNameFailsAndWritesNothing) {
  polar(*st, 5);
  for (std::string p : {dir.file("NOEXT"), std::string("RUN1.DAT"), dir.file(".DAT")}) {
    st->session.CurrentDataPath = p;
    EXPECT_EQ(FileSave_DIADEM(*st, st->session.CurrentDataPath, 0), -1) << p;
  }
  struct stat sb;
  EXPECT_EQ(::stat("RUN1.DAT", &sb), -1);
  EXPECT_EQ(::stat(dir.file(".R32").c_str(), &sb), -1);
}

TEST_F(DiademTest, FilesThatCannotBeWrittenFailTheExport) {
  polar(*st, 3000);
  EXPECT_EQ(save("missing/RUN1.DAT", 0), -1);
  // A full disk under the data file, and then under the header file.
  ASSERT_EQ(::symlink("/dev/full", dir.file("FULL.R32").c_str()), 0);
  EXPECT_EQ(save("FULL.DAT", 0), -1);
  ASSERT_EQ(::symlink("/dev/full", dir.file("HEAD.DAT").c_str()), 0);
  EXPECT_EQ(save("HEAD.DAT", 0), -1);
  // A shape the tables cannot hold is refused, not written past.
  st->data.ChannelData.ChannelCount = 92;
  EXPECT_EQ(save("BIG.DAT", 0), -1);
}
