// Every file the station writes reads back with the plot page's file button:
// for every family a download from the simulated unit is exported as CSV,
// DIAdem and ISO MME (and raw units' raw file is reprocessed), read, and
// exported again; what the readers keep comes out byte for byte, what they
// change changes as they say (side, ATD text, relative flag, trigger code).
#include "support/file_station.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace lumvex;
using lumvex::testing::FileStation;
using lumvex::testing::readFile;
using lumvex::testing::splitCr;
using lumvex::testing::TempDir;

namespace {

struct Unit {
  const char* type;
  const char* serial;
  const char* firmware;
  const char* side;
  bool center;  // the family's side is "CENTER in X Dir"
};

const Unit kUnits[] = {
    {"Polar", "42", "V7.3", "LEFT", false},     {"5th Female", "42", "V7.3", "LEFT", true},
    {"50th Male", "42", "V7.3", "LEFT", true},  {"SIDIIs", "42", "V7.3", "RIGHT", false},
    {"Ballistic", "42", "V7.3", "LEFT", true},  {"WorldSID", "42", "V7.3", "RIGHT", false},
    {"50th 3D", "42", "V7.3", "LEFT", true},    {"WorldSID 5th", "42", "V7.3", "LEFT", false},
    {"WorldSID", "150", "V7.3", "LEFT", false}, {"WorldSID 5th", "150", "LX2 V8.0", "LEFT", false},
};

#define UNIT_PROPS(u)                                                                           \
  {                                                                                             \
    {"type", (u).type}, {"serial", (u).serial}, {"firmware", (u).firmware}, {"side", (u).side}, \
        {"caldate", "12-Mar-2024"}, {                                                           \
      "comment", "sled 4 run 2"                                                                 \
    }                                                                                           \
  }

std::vector<uint32_t> tableBits(const Station& st) {
  const ChannelTable& t = st.data.ChannelData;
  std::vector<uint32_t> v(static_cast<size_t>(t.SampleCount) * t.ChannelCount);
  std::memcpy(v.data(), t.values.data.get(), v.size() * 4);
  return v;
}

// "" when two files hold the same bytes, else where they part.
std::string difference(const std::string& a, const std::string& b) {
  const std::string x = readFile(a), y = readFile(b);
  if (x == y) return "";
  size_t i = 0;
  while (i < x.size() && i < y.size() && x[i] == y[i]) ++i;
  return a + " and " + b + " part at byte " + std::to_string(i) + ": '" + x.substr(i, 40) + "' / '" +
         y.substr(i, 40) + "'";
}

// Every file of two ISO MME test folders.
void expectSameFolder(const std::string& a, const std::string& b) {
  int files = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(a)) {
    if (!e.is_regular_file()) continue;
    const std::string rel = std::filesystem::relative(e.path(), a).string();
    EXPECT_EQ(difference(e.path().string(), b + "/" + rel), "");
    ++files;
  }
  EXPECT_GT(files, 2);
}

}  // namespace

TEST(FileRoundTrip, EveryFamilyAndFormatReadsBackAndExportsTheSameFiles) {
  for (const Unit& u : kUnits) {
    SCOPED_TRACE(std::string(u.type) + " SN" + u.serial + " " + u.firmware);
    FileStation s(UNIT_PROPS(u));
    ASSERT_NO_FATAL_FAILURE(s.download(-20, 30));
    Station& st = s.st;
    const bool raw = std::string(u.serial) == "150";
    const int rows = st.data.ChannelData.SampleCount, columns = st.data.ChannelData.ChannelCount;
    const std::vector<uint32_t> downloaded = tableBits(st);
    const std::string typeName(
        st.data.codes.DummyTypeNames[static_cast<size_t>(st.session.DummyType)].data());
    TempDir a, b;
    ASSERT_TRUE(s.exportTo(a.file("run.CSV")));
    ASSERT_TRUE(s.exportTo(a.file("run.DAT")));
    ASSERT_TRUE(s.exportTo(a.file("run.MME")));

    // CSV: everything but the side of a centred family ("unknown") and the
    // space the ATD text gains.
    ASSERT_TRUE(s.read(a.file("run.CSV"))) << ::testing::PrintToString(s.op.messages());
    EXPECT_EQ(st.data.ChannelData.SampleCount, rows);
    EXPECT_EQ(st.data.ChannelData.ChannelCount, columns);
    EXPECT_EQ(st.data.ident.AtdText, " sled 4 run 2");
    EXPECT_EQ(st.model.text(Ctl::EXPORT_STATUS), a.file("run.CSV"));
    ASSERT_TRUE(s.exportTo(b.file("run.CSV")));
    std::vector<std::string> was = splitCr(readFile(a.file("run.CSV")));
    std::vector<std::string> is = splitCr(readFile(b.file("run.CSV")));
    ASSERT_EQ(was.size(), is.size());
    if (u.center) {
      const size_t side = was[1].find("Dummy CENTER in X Dir,");
      ASSERT_NE(side, std::string::npos) << was[1];
      was[1].replace(side + 6, 15, "unknown");
    }
    was[2].replace(0, 5, "ATD:  ");
    for (size_t i = 0; i < was.size(); ++i) ASSERT_EQ(is[i], was[i]) << "line " << i + 1;

    // DIAdem: the values come back bit for bit, the files byte for byte.
    ASSERT_TRUE(s.read(a.file("run.DAT"))) << ::testing::PrintToString(s.op.messages());
    EXPECT_EQ(tableBits(st), downloaded);
    EXPECT_EQ(std::string(st.data.codes.DummyTypeNames[static_cast<size_t>(st.session.DummyType)].data()),
              typeName);
    ASSERT_TRUE(s.exportTo(b.file("run.DAT")));
    EXPECT_EQ(difference(a.file("run.DAT"), b.file("run.DAT")), "");
    EXPECT_EQ(difference(a.file("run.R32"), b.file("run.R32")), "");

    // ISO MME: every file of the test folder.
    ASSERT_TRUE(s.read(a.file("run/run.MME"))) << ::testing::PrintToString(s.op.messages());
    EXPECT_EQ(st.data.ChannelData.SampleCount, rows);
    ASSERT_TRUE(s.exportTo(b.file("run.MME")));
    expectSameFolder(a.file("run"), b.file("run"));

    if (!raw) continue;
    // The raw file, reprocessed from the same start estimates, gives the
    // download's table again; its ATD text keeps the two blanks before
    // "Trigger:", and its comment line the unit's comment.
    const std::string rawFile =
        a.file(std::string("run.") + (std::string(u.firmware).find("LX2") == 0 ? "RD2" : "RDF"));
    EXPECT_EQ(splitCr(readFile(rawFile))[6], "sled 4 run 2");
    st.conversionStart = {};
    st.model.setText(Ctl::TESTINFO, "");
    ASSERT_TRUE(s.read(rawFile)) << ::testing::PrintToString(s.op.messages());
    EXPECT_EQ(st.model.text(Ctl::TESTINFO), "sled 4 run 2");
    EXPECT_EQ(st.data.ident.AtdText, "sled 4 run 2  ");
    EXPECT_EQ(tableBits(st), downloaded);
    ASSERT_TRUE(s.exportTo(b.file("raw.CSV")));
    was = splitCr(readFile(a.file("run.CSV")));
    is = splitCr(readFile(b.file("raw.CSV")));
    was[2].replace(0, 17, "ATD: sled 4 run 2  ");
    ASSERT_EQ(was.size(), is.size());
    for (size_t i = 0; i < was.size(); ++i) ASSERT_EQ(is[i], was[i]) << "line " << i + 1;
  }
}

// Relative and filtered exports: a relative DIAdem file reads back absolute
// with its error codes restored (the LED and sensor columns of the download,
// bit for bit), a relative CSV stays relative, a relative ISO test reads back
// absolute-flagged and is zeroed once more, a filtered file keeps its class
// and is not filtered again.
TEST(FileRoundTrip, RelativeAndFilteredExportsReadBackAsEachFormatSays) {
  FileStation s(UNIT_PROPS(kUnits[5]));
  ASSERT_NO_FATAL_FAILURE(s.download(-20, 30));
  Station& st = s.st;
  Model& m = st.model;
  const ChannelTable& t = st.data.ChannelData;
  auto code = [&t](int r, int c) {
    const float x = t.at(r, c);
    return x >= 1 && x <= 9 && x == static_cast<float>(static_cast<int>(x)) && t.at(r, c + 1) == x &&
           t.at(r, c + 2) == x;
  };
  // The LED and sensor columns (the derived ones near zero pass the export's
  // error-sample test and are written shifted, which no reader undoes).
  auto ledColumns = [&t] {
    std::vector<float> v;
    for (int r = 0; r < t.SampleCount; ++r)
      for (int c = 0; c <= 60; ++c) v.push_back(t.at(r, c));
    return v;
  };
  const std::vector<float> leds = ledColumns();
  int codes = 0;  // error samples of the download
  for (int r = 0; r < t.SampleCount; ++r)
    for (int c = 1; c < 55; c += 3) codes += code(r, c);
  EXPECT_GT(codes, 0) << "the recording must carry error codes";
  TempDir a, b;
  ASSERT_TRUE(s.exportTo(a.file("rel.CSV"), 1));
  ASSERT_TRUE(s.exportTo(a.file("rel.DAT"), 1));
  ASSERT_TRUE(s.exportTo(a.file("rel.MME"), 1));
  ASSERT_TRUE(s.exportTo(a.file("cfc.CSV"), 0, 3));

  ASSERT_TRUE(s.read(a.file("rel.DAT")));
  EXPECT_EQ(st.data.AlreadyZeroed, 0);
  EXPECT_EQ(st.data.ChannelData.ChannelCount, 91);
  const std::vector<float> back = ledColumns();
  ASSERT_EQ(back.size(), leds.size());
  EXPECT_EQ(std::memcmp(back.data(), leds.data(), back.size() * 4), 0);

  ASSERT_TRUE(s.read(a.file("rel.CSV")));
  EXPECT_EQ(st.data.AlreadyZeroed, 1);
  EXPECT_EQ(m.index(Ctl::EXPORT_ZEROING), 1);
  EXPECT_TRUE(m.dimmed(Ctl::EXPORT_ZEROING));
  ASSERT_TRUE(s.exportTo(b.file("rel.CSV"), 1));
  std::vector<std::string> was = splitCr(readFile(a.file("rel.CSV")));
  std::vector<std::string> is = splitCr(readFile(b.file("rel.CSV")));
  was[2].replace(0, 5, "ATD:  ");
  EXPECT_EQ(is, was);

  ASSERT_TRUE(s.read(a.file("rel/rel.MME")));
  EXPECT_EQ(st.data.AlreadyZeroed, 0);
  // A sample the export zeroes: its LED's coordinates do not truncate alike.
  int row = 200;
  auto zeroed = [&t](int r) {
    const int x = static_cast<int>(t.at(r, 1)), y = static_cast<int>(t.at(r, 2)),
              z = static_cast<int>(t.at(r, 3));
    return std::abs(x) != std::abs(y) || std::abs(x) != std::abs(z) || std::abs(x) >= 10;
  };
  while (row < t.SampleCount && !zeroed(row)) ++row;
  ASSERT_LT(row, t.SampleCount);
  const float value = t.at(row, 2), offset = st.data.ChannelOffsets[2];
  ASSERT_NE(offset, 0.0f);
  ASSERT_TRUE(s.exportTo(b.file("rel.MME"), 1));
  const std::string column = readFile(b.file("rel/CHANNEL/rel.002"));
  size_t at = 0;
  for (int line = 0; line < 26 + row; ++line) at = column.find("\r\n", at) + 2;
  char want[32];
  std::snprintf(want, sizeof want, "%E\r\n", static_cast<double>(value - offset));
  EXPECT_EQ(column.substr(at, std::strlen(want)), want);

  ASSERT_TRUE(s.read(a.file("cfc.CSV")));
  EXPECT_EQ(st.data.codes.DataFilterCode, 'C');
  EXPECT_TRUE(m.dimmed(Ctl::EXPORT_FILTER));
  EXPECT_TRUE(m.visible(Ctl::EXPORT_NOTICE1));
  ASSERT_TRUE(s.exportTo(b.file("cfc.CSV")));
  was = splitCr(readFile(a.file("cfc.CSV")));
  is = splitCr(readFile(b.file("cfc.CSV")));
  was[2].replace(0, 5, "ATD:  ");
  EXPECT_EQ(is, was);
}

// The saved trigger code read from a file replaces TriggerSetting while the
// station-trigger offset of the last test stays: re-exported, such a file
// carries 4 more, and a code beyond 7 reads back as 9.
TEST(FileRoundTrip, SavedTriggerReplacesTheSettingWhileTheStationOffsetStays) {
  FileStation s({{"type", "SIDIIs"}, {"serial", "42"}, {"firmware", "V7.3"}});
  ASSERT_NO_FATAL_FAILURE(s.download(-20, 10));
  s.st.session.TriggerSetting = 1;
  s.st.session.SoftwareTriggerOffset = 4;  // the test was triggered from the station
  TempDir a;
  ASSERT_TRUE(s.exportTo(a.file("t.CSV")));
  EXPECT_NE(splitCr(readFile(a.file("t.CSV")))[1].find("Trigger:5"), std::string::npos);
  ASSERT_TRUE(s.read(a.file("t.CSV")));
  EXPECT_EQ(s.st.session.TriggerSetting, 5);
  EXPECT_EQ(s.st.session.SoftwareTriggerOffset, 4);
  ASSERT_TRUE(s.exportTo(a.file("u.DAT")));
  EXPECT_NE(readFile(a.file("u.DAT")).find("Trigger:9\r"), std::string::npos);
  ASSERT_TRUE(s.read(a.file("u.DAT")));
  EXPECT_EQ(s.st.session.TriggerSetting, 9);
}
