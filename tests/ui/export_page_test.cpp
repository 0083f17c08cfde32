// The export: header lines byte for byte, CR line ends, zeroing that keeps
// error samples, filtering except sensor and length-change channels, the
// extension over the format selector, alternative column names, the raw file
// once per raw download, the page's state rules and the operator's verdict
// ("Export Failed" for every file not written completely).
#include "ui/export_page.h"
#include "support/scripted_operator.h"
#include "processing/filter.h"

#include "ui/callbacks.h"
#include "files/csv.h"
#include "files/naming.h"
#include "processing/filter.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace lumvex {
namespace {

using lumvex::testing::readFile;
using lumvex::testing::TempDir;

std::vector<std::string> splitLines(const std::string& s) {
  std::vector<std::string> lines;
  std::string cur;
  for (char c : s) {
    cur += c;
    if (c == '\r') {
      lines.push_back(cur);
      cur.clear();
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

std::vector<std::string> fields(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::vector<std::string> out;
  std::stringstream ss(line);
  std::string f;
  while (std::getline(ss, f, ',')) out.push_back(f);
  if (!line.empty() && line.back() == ',') out.push_back("");
  return out;
}

// The path as the export leaves it: the extension's three letters upper case.
std::string upperExt(std::string path) {
  size_t dot = path.rfind('.');
  for (size_t i = dot + 1; i < path.size() && i <= dot + 3; ++i)
    path[i] = static_cast<char>(toupper(path[i]));
  return path;
}

template <size_t N>
void setSlot(std::array<char, N>& slot, const std::string& text) {
  std::fill(slot.begin(), slot.end(), 0);
  std::copy(text.begin(), text.begin() + std::min(text.size(), N - 1), slot.begin());
}

struct ExportFixture {
  ScriptedOperator op;
  std::unique_ptr<Station> st = std::make_unique<Station>(op);
  TempDir dir;

  ExportFixture() {
    Model& m = st->model;
    m.setItems(Ctl::EXPORT_ZEROING, {{"Absolute (no zeroing)", "0"}, {"Relative to Pre-T0 Average", "1"}}, 0);
    m.setItems(Ctl::EXPORT_FILTER,
               {{"Unfiltered", "0"},
                {"(A) Class 1000", "1000"},
                {"(B) Class 600", "600"},
                {"(C) Class 180", "180"},
                {"(D) Class 60", "60"}},
               0);
    m.setItems(Ctl::EXPORT_FORMAT,
               {{"Comma Separated Values - *.CSV", "0"},
                {"Diadem - *.DAT, *.R32", "1"},
                {"ISO - *.MME, *.CHN", "2"}},
               0);
    BindCallbacks(*st);
  }

  // A recorded test of the given layout: samples rows from -20 ms, LED values
  // around 50 + column, sensors around 1000, codes built from LED cells.
  void load(int type, int leds, int axes, int sensors, int samples, const char* family) {
    st->session.DummyType = type;
    st->data.layout = {leds, axes, sensors, axes};
    st->data.StartTimeMs = -20;
    st->data.SampleIntervalMs = type == DummyBallistic ? 0.05 : 0.1;
    const int columns = 1 + leds * axes + sensors;
    auto& t = st->data.ChannelData;
    t.ChannelCount = columns;
    t.SampleCount = samples;
    for (int s = 0; s < samples; ++s) {
      t.at(s, 0) = static_cast<float>(-20.0 + s * st->data.SampleIntervalMs);
      for (int c = 1; c < columns; ++c)
        t.at(s, c) = c > leds * axes ? 1000.0f + c : 50.0f + c + (s > samples / 2 ? 0.25f * c : 0.0f);
    }
    for (int c = 1; c < columns; ++c) st->data.ChannelOffsets[c] = c > leds * axes ? 1000.0f + c : 50.0f + c;
    st->model.setTableSize(Ctl::LED_TABLE, leds, 4);
    for (int r = 1; r <= leds; ++r) {
      std::string cellText = "1 2 RIBS 0" + std::to_string(r % 10) + " MI " + family + " DS " +
                             (axes == 2 ? "X/Y" : "XYZ") + " ";
      st->model.setCell(Ctl::LED_TABLE, r, 4, cellText);
    }
    BuildChannelCodes(*st);
    st->model.setText(Ctl::EXPORT_STATUS, "Downloaded Lumvex Data in Memory");
    st->session.DirectionText = "Left Side";
    st->session.SerialNumberText = "117";
    st->data.ident.AtdText = "WS-07";
    st->data.ident.TestDateUs = "03-04-2021";
    st->session.TriggerSetting = 1;
  }

  // Runs the export button with the given answer to the file dialog.
  std::string exportTo(const std::string& name) {
    std::string path = dir.file(name);
    op.fileAnswers.push_back(path);
    op.clear();
    st->model.commit(Ctl::EXPORT_BUT);
    return path;
  }
  bool failed() const { return op.showed("ERROR", "Export Failed"); }
  bool succeeded() const { return op.showed("Export Status", "Export Successful"); }
};

TEST(CsvExport, WorldSidHeaderLinesByteForByte) {
  ExportFixture f;
  f.load(DummyWorldSID50th, 18, 3, 6, 300, "WS");
  AssignIrTraccCodes(*f.st);
  f.st->data.ChannelData.ChannelCount = 73;
  AppendTypeNameSuffix(*f.st, "IRT", " w/IRT");
  f.st->session.SerialNumberText = "117,extra\rmore";
  f.st->model.setIndex(Ctl::EXPORT_ZEROING, 1);
  f.st->model.setIndex(Ctl::EXPORT_FILTER, 2);
  std::string path = f.exportTo("TEST1.csv");
  ASSERT_TRUE(f.succeeded()) << f.op.messages()[0];
  std::vector<std::string> lines = splitLines(readFile(upperExt(path)));
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0],
            "Lumvex Type: WorldSID w/IRT,,,,,,Data is Relative,,,,,,ISO Filter code=B - class 600,,,,ISO CSV "
            "Format\r");
  EXPECT_EQ(lines[1],
            "Lumvex Facing Toward Dummy Left Side,,,,,,Serial Number:117,,,,,,ISO Test Object code=1,,,,"
            "Trigger:1\r");
  EXPECT_EQ(lines[2], "ATD: WS-07,,,,,,Test Date:03-04-2021,,,,,,ISO Position code=2\r");
  EXPECT_EQ(f.st->session.SerialNumberText, "117");  // cut for good
  std::vector<std::string> names = fields(lines[3]);
  ASSERT_EQ(names.size(), 73u);
  EXPECT_EQ(names[0], "Time(ms)");
  EXPECT_EQ(names[1], "12RIBS01MIWSDSXB");
  EXPECT_EQ(names[55], "12SENSTORE99PO00");
  EXPECT_EQ(names[61], "12RIBS02MIWSDSUB");
  EXPECT_EQ(lines[3].substr(lines[3].size() - 2), "B\r");  // no comma before the CR
  EXPECT_EQ(lines.size(), 4u + 300u);
  for (size_t i = 4; i < lines.size(); ++i) ASSERT_EQ(lines[i].substr(lines[i].size() - 2), ",\r") << i;
  EXPECT_EQ(readFile(upperExt(path)).find('\n'), std::string::npos);
}

TEST(CsvExport, DataLinesHoldEveryColumnAsPercent42f) {
  ExportFixture f;
  f.load(DummyPolar, 6, 2, 2, 120, "PE");
  f.st->data.ChannelData.at(0, 1) = -0.004f;  // prints as -0.00
  f.st->data.ChannelData.at(0, 2) = 0.125f;   // exact tie: 0.12
  f.st->data.ChannelData.at(0, 3) = 2.675f;
  std::string path = f.exportTo("RUN1.CSV");
  ASSERT_TRUE(f.succeeded());
  std::vector<std::string> lines = splitLines(readFile(path));
  ASSERT_EQ(lines.size(), 4u + 120u);
  EXPECT_EQ(
      lines[0],
      "Lumvex Type: Polar,,,,,,Data is Absolute,,,,,,ISO Filter code=0 - no filter,,,,ISO CSV Format\r");
  EXPECT_EQ(lines[4].substr(0, 28), "-20.00,-0.00,0.12,2.67,54.00");
  std::vector<std::string> row = fields(lines[4]);
  EXPECT_EQ(row.size(), 16u);  // 15 columns and the empty field after the last comma
  EXPECT_EQ(row[13], "1013.00");
  EXPECT_EQ(fields(lines[5])[0], "-19.90");
}

TEST(CsvExport, RelativeKeepsErrorSamplesAndSensorsAbsolute) {
  ExportFixture f;
  f.load(DummySIDIIs, 6, 3, 3, 200, "S2");
  auto& t = f.st->data.ChannelData;
  for (int c = 1; c <= 3; ++c) t.at(10, c) = 3.0f;  // LED 1 lost: error code 3
  t.at(11, 4) = 5.7f;                               // code 5 with mixed fractions
  t.at(11, 5) = -5.2f;
  t.at(11, 6) = 5.9f;
  t.at(12, 7) = 4.0f;  // not a code: the group's values differ
  t.at(12, 8) = 4.0f;
  f.st->model.setIndex(Ctl::EXPORT_ZEROING, 1);
  std::string path = f.exportTo("REL.CSV");
  ASSERT_TRUE(f.succeeded());
  std::vector<std::string> lines = splitLines(readFile(path));
  std::vector<std::string> r10 = fields(lines[4 + 10]);
  EXPECT_EQ(r10[1], "3.00");
  EXPECT_EQ(r10[2], "3.00");
  EXPECT_EQ(r10[3], "3.00");
  EXPECT_EQ(r10[4], "0.00");  // valid LED 2: offset subtracted
  std::vector<std::string> r11 = fields(lines[4 + 11]);
  EXPECT_EQ(r11[4], "5.70");
  EXPECT_EQ(r11[5], "-5.20");
  EXPECT_EQ(r11[6], "5.90");
  std::vector<std::string> r12 = fields(lines[4 + 12]);
  EXPECT_EQ(r12[7], "-53.00");    // 4.0 - 57
  EXPECT_EQ(r12[19], "1019.00");  // sensors are never zeroed
  EXPECT_NE(lines[0].find("Data is Relative"), std::string::npos);

  // Data already relative are not zeroed again.
  f.st->data.AlreadyZeroed = 1;
  f.exportTo("REL2.CSV");
  EXPECT_EQ(fields(splitLines(readFile(f.dir.file("REL2.CSV")))[4 + 12])[7], "4.00");
}

TEST(FillExportData, DiademAddsTheOffsetToErrorSamplesOnly) {
  ExportFixture f;
  f.load(DummyPolar, 6, 2, 2, 150, "PE");
  auto& t = f.st->data.ChannelData;
  t.at(5, 1) = 2.0f;  // two-axis group: X and Y decide
  t.at(5, 2) = -2.5f;
  FillExportData(f.st->data, 1, 0, true);
  const auto& e = f.st->data.ExportData;
  EXPECT_EQ(e.at(5, 1), 2.0f + 51.0f);
  EXPECT_EQ(e.at(5, 2), -2.5f + 52.0f);
  EXPECT_EQ(e.at(6, 1), t.at(6, 1));  // valid samples stay absolute
  FillExportData(f.st->data, 1, 0, false);
  EXPECT_EQ(e.at(5, 1), 2.0f);
  EXPECT_EQ(e.at(6, 1), t.at(6, 1) - 51.0f);
}

TEST(FillExportData, FiltersEveryChannelButSensorsAndLengthChange) {
  ExportFixture f;
  f.load(DummyWorldSID50th, 18, 3, 6, 400, "WS");
  auto& t = f.st->data.ChannelData;
  AssignIrTraccCodes(*f.st);
  AssignLengthChangeCodes(*f.st);
  // Widen to the 91-column layout by rebuilding the rows.
  std::vector<float> rows;
  for (int s = 0; s < 400; ++s)
    for (int c = 0; c < 91; ++c) rows.push_back(c < 61 ? t.at(s, c) : (s > 200 ? 7.0f : 1.0f) * c);
  t.ChannelCount = 91;
  std::copy(rows.begin(), rows.end(), t.values.begin());
  f.st->data.SampleIntervalMs = 0.1;
  FillExportData(f.st->data, 0, 180, false);
  const auto& e = f.st->data.ExportData;
  ASSERT_EQ(e.ChannelCount, 91);
  for (int c : {1, 54, 61, 72, 55, 60, 73, 90}) {
    std::vector<float> col(400);
    for (int s = 0; s < 400; ++s) col[s] = t.at(s, c);
    bool filtered = (c >= 1 && c <= 54) || (c >= 61 && c <= 72);
    if (filtered) Butfilt(col.data(), 180, 400, 0.1f, f.st->data.filterWork);
    for (int s = 0; s < 400; ++s) ASSERT_EQ(e.at(s, c), col[s]) << "column " << c << " sample " << s;
  }
  for (int s = 0; s < 400; ++s) ASSERT_EQ(e.at(s, 0), t.at(s, 0));
}

TEST(FileSave, ExtensionDecidesTheWriterNotTheSelector) {
  ExportFixture f;
  f.load(DummyPolar, 6, 2, 2, 120, "PE");
  f.st->model.setIndex(Ctl::EXPORT_FORMAT, 0);
  f.exportTo("RUN7.dat");
  EXPECT_EQ(f.op.transcript.front().title, "Select CSV Data File");
  EXPECT_FALSE(std::filesystem::exists(f.dir.file("RUN7.dat")));
  std::string dat = f.dir.file("RUN7.DAT");
  if (std::filesystem::exists(dat)) {
    EXPECT_NE(readFile(dat).rfind("Lumvex Type:", 0), 0u);
  }
  EXPECT_NE(f.st->session.CurrentDataPath.find("RUN7."), std::string::npos);
  EXPECT_EQ(f.st->session.CurrentDataPath.find("RUN7.dat"), std::string::npos);

  f.st->model.setIndex(Ctl::EXPORT_FORMAT, 2);
  std::string csv = f.exportTo("iso_selected.csv");
  EXPECT_EQ(f.op.transcript.front().title, "Select ISO Data File");
  EXPECT_TRUE(f.succeeded());
  EXPECT_EQ(readFile(upperExt(csv)).rfind("Lumvex Type: Polar", 0), 0u);
}

TEST(FileSave, CancelAndUnknownExtensionsFail) {
  ExportFixture f;
  f.load(DummyPolar, 6, 2, 2, 120, "PE");
  f.op.fileAnswers.push_back(std::nullopt);
  f.st->model.commit(Ctl::EXPORT_BUT);
  EXPECT_TRUE(f.failed());
  for (const char* name : {"noextension", "data.TXT", "folder.CSV/file"}) {
    f.exportTo(name);
    EXPECT_TRUE(f.failed()) << name;
    EXPECT_FALSE(f.succeeded()) << name;
  }
  f.st->model.setIndex(Ctl::EXPORT_FORMAT, 1);
  f.exportTo("x.DAT");
  EXPECT_EQ(f.op.transcript.front().title, "Select Diadem Data File");
}

TEST(FileSave, UnwritableFolderOrFullDiskIsExportFailed) {
  ExportFixture f;
  f.load(DummyPolar, 6, 2, 2, 120, "PE");
  f.exportTo("missing/folder/RUN.CSV");
  EXPECT_TRUE(f.failed());
  EXPECT_FALSE(f.succeeded());

  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  f.load(DummyPolar, 6, 2, 2, 20000, "PE");  // more than one block of output
  std::filesystem::create_symlink("/dev/full", f.dir.file("FULL.CSV"));
  f.exportTo("FULL.CSV");
  EXPECT_TRUE(f.failed());
  EXPECT_FALSE(f.succeeded());
}

TEST(FileSave, AlreadyFilteredDataKeepTheirClass) {
  ExportFixture f;
  f.load(DummyPolar, 6, 2, 2, 120, "PE");
  for (int k = 0; k < 14; ++k) f.st->data.codes.ChannelCodes[k][15] = 'C';
  f.st->data.codes.DataFilterCode = 'C';
  SetupExportScreen(*f.st);
  EXPECT_EQ(f.st->model.index(Ctl::EXPORT_FILTER), 3);
  EXPECT_TRUE(f.st->model.dimmed(Ctl::EXPORT_FILTER));
  EXPECT_TRUE(f.st->model.visible(Ctl::EXPORT_NOTICE1));
  f.st->model.setIndex(Ctl::EXPORT_FILTER, 1);  // even a class 1000 choice filters nothing
  std::string path = f.exportTo("F.CSV");
  std::vector<std::string> lines = splitLines(readFile(path));
  EXPECT_NE(lines[0].find("ISO Filter code=C - class 180,,,,"), std::string::npos);
  EXPECT_EQ(fields(lines[3])[1], "12RIBS01MIPEDSXC");
  EXPECT_EQ(fields(lines[3])[13], "12SENSLE9999PO0C");
  EXPECT_EQ(fields(lines[4 + 61])[1], "51.25");  // the step at the middle is not smoothed
  EXPECT_EQ(fields(lines[4 + 60])[1], "51.00");
}

TEST(FileSave, LegacyUnfilteredCharacterInLineOne) {
  ExportFixture f;
  f.load(DummyHybridIII50th, 12, 2, 2, 120, "H3");
  f.st->ini.LegacySwUnfiltCode = 1;
  std::string path = f.exportTo("P.CSV");
  std::vector<std::string> lines = splitLines(readFile(path));
  EXPECT_NE(lines[0].find(",,,,,,ISO Filter code=P,,,,ISO CSV Format\r"), std::string::npos) << lines[0];
  for (const std::string& name : fields(lines[3]))
    if (name != "Time(ms)") {
      EXPECT_EQ(name.back(), 'P') << name;
    }
}

TEST(CsvExport, HybridAlternativeNamesWithCommasProtected) {
  ExportFixture f;
  f.load(DummyHybridIII5th, 12, 2, 2, 120, "HF");
  f.st->ini.UseAltCsv = 2;  // any non-zero value selects the format
  f.st->data.codes.ChannelCodes[1][1] = '3';
  setSlot(f.st->ini.AltIsoPosnNames[3], "P3");
  for (int r = 0; r < 12; ++r) setSlot(f.st->ini.AltH3RibNames[r], "_Rib" + std::to_string(r));
  setSlot(f.st->ini.AltH3RibNames[1], "_Up,per");
  std::string path = f.exportTo("ALT.CSV");
  std::vector<std::string> lines = splitLines(readFile(path));
  EXPECT_NE(lines[0].find("Alternate CSV Format\r"), std::string::npos);
  EXPECT_EQ(lines[2].back(), '\r');
  std::vector<std::string> names = fields(lines[3]);
  ASSERT_EQ(names.size(), 27u);  // a comma inside a name must not add a column
  EXPECT_EQ(names[1], "P3_Rib0X");
  EXPECT_EQ(names[2], "P3_Rib0Y");
  EXPECT_EQ(names[3], "P3_Up_perX");
  EXPECT_EQ(names[25], "P3_Amb_Left");
  EXPECT_EQ(lines[3].substr(lines[3].size() - 14), ",P3_Amb_Right\r");
}

TEST(CsvExport, WorldSidAlternativeNamesFollowTheLayout) {
  ExportFixture f;
  f.load(DummyWorldSID5th, 18, 3, 6, 120, "WF");
  AssignIrTraccCodes(*f.st);
  f.st->data.ChannelData.ChannelCount = 73;
  f.st->ini.UseAltCsv = 1;
  f.st->ini.UseMmeIrtChannelNames = 1;
  f.st->data.codes.ChannelCodes[1][1] = '0';
  setSlot(f.st->ini.AltIsoPosnNames[0], "Q");
  for (int s = 0; s < 18; ++s) setSlot(f.st->ini.AltWsLedNames[s], "L" + std::to_string(s) + "_");
  f.st->data.ExportData.ChannelCount = 73;
  std::vector<std::string> names = AltCsvNames(*f.st);
  ASSERT_EQ(names.size(), 72u);
  EXPECT_EQ(names[0], "QL0_X");
  EXPECT_EQ(names[53], "QL17_Z");
  EXPECT_EQ(names[54], "Q_Amb_Top_R");
  EXPECT_EQ(names[59], "Q_Amb_Mid_B");
  EXPECT_EQ(names[60], "QL1_0");
  EXPECT_EQ(names[65], "QL16_0");
  EXPECT_EQ(names[66], "QL1_Y");
  f.st->ini.UseMmeIrtChannelNames = 0;
  f.st->data.ExportData.ChannelCount = 91;
  names = AltCsvNames(*f.st);
  ASSERT_EQ(names.size(), 90u);
  EXPECT_EQ(names[60], "QL1_U");
  EXPECT_EQ(names[71], "QL16_C");
  EXPECT_EQ(names[89], "QL17_L");
}

TEST(CsvExport, TypesWithoutAlternativeNamesWriteCodesAsIsoFormat) {
  ExportFixture f;
  f.load(DummyBallistic, 3, 3, 3, 120, "BA");
  f.st->ini.UseAltCsv = 1;
  std::string path = f.exportTo("B.CSV");
  std::vector<std::string> lines = splitLines(readFile(path));
  EXPECT_NE(lines[0].find("ISO CSV Format\r"), std::string::npos);
  EXPECT_EQ(fields(lines[3])[1], "12RIBS01MIBADSX0");
  EXPECT_EQ(fields(lines[4])[0], "-20.00");
  EXPECT_EQ(fields(lines[5])[0], "-19.95");  // 20 kHz
}

void fillRaw(Station& st, int words) {
  for (int r = 0; r < st.data.ChannelData.SampleCount; ++r)
    for (int k = 0; k < words; ++k)
      st.data.RawWords[static_cast<size_t>(r) * words + k] = static_cast<uint16_t>(r * 1000 + k);
  st.data.RawWords[0] = 65535;
}

TEST(RawFile, WrittenOnceBesideTheFirstExport) {
  ExportFixture f;
  f.load(DummyWorldSID5th, 18, 3, 6, 120, "WF");
  f.st->data.RawPresent = 1;
  f.st->data.RawSaved = 0;
  f.st->data.ident.TestCommentText = "sled run 4\rsecond line";
  f.st->session.SoftwareTriggerOffset = 4;
  fillRaw(*f.st, 120);
  f.exportTo("TEST1.CSV");
  ASSERT_TRUE(f.succeeded());
  EXPECT_EQ(f.st->data.RawSaved, 1);
  EXPECT_EQ(f.st->session.CurrentDataPath, f.dir.file("TEST1.RDF"));
  std::vector<std::string> lines = splitLines(readFile(f.dir.file("TEST1.RDF")));
  ASSERT_EQ(lines.size(), 7u + 120u);
  EXPECT_EQ(lines[0], "Lumvex Type: WorldSID 5th\r");
  EXPECT_EQ(lines[1], "117\r");
  EXPECT_EQ(lines[2], "WS-07  Trigger:5\r");
  EXPECT_EQ(lines[3], "03-04-2021\r");
  ASSERT_EQ(lines[4].size(), 9u);
  EXPECT_EQ(lines[4][2], ':');
  EXPECT_EQ(lines[4][5], ':');
  EXPECT_EQ(lines[5], "-20.000000\r");
  EXPECT_EQ(lines[6], "sled run 4\r");
  EXPECT_EQ(lines[7].substr(0, 12), "65535,1,2,3,");
  EXPECT_EQ(fields(lines[8]).size(), 120u);
  EXPECT_EQ(lines[8].substr(lines[8].size() - 5), "1119\r");
  EXPECT_NE(splitLines(readFile(f.dir.file("TEST1.CSV")))[1].find(",,,,Trigger:5\r"), std::string::npos);

  std::filesystem::remove(f.dir.file("TEST1.RDF"));
  f.exportTo("TEST2.CSV");
  EXPECT_FALSE(std::filesystem::exists(f.dir.file("TEST2.RDF")));
}

TEST(RawFile, SecondGenerationWordsAndAFailedRawFileIsRetried) {
  ExportFixture f;
  f.load(DummyWorldSID50th, 18, 3, 6, 50, "WS");
  f.st->session.IsLX2 = 1;
  f.st->data.RawPresent = 1;
  f.st->data.RawSaved = 0;
  fillRaw(*f.st, 232);
  std::filesystem::create_directory(f.dir.file("RUN.RD2"));  // the raw file cannot be created
  f.exportTo("RUN.CSV");
  EXPECT_TRUE(f.succeeded());
  EXPECT_EQ(f.st->data.RawSaved, 0);
  f.exportTo("RUN2.CSV");
  EXPECT_EQ(f.st->data.RawSaved, 1);
  std::vector<std::string> lines = splitLines(readFile(f.dir.file("RUN2.RD2")));
  ASSERT_EQ(lines.size(), 7u + 50u);
  EXPECT_EQ(lines[0], "Lumvex Type: WorldSID\r");
  EXPECT_EQ(fields(lines[7]).size(), 232u);

  f.st->session.CurrentDataPath = "/tmp/noextension";
  EXPECT_EQ(FileSave_Raw(*f.st, f.st->session.CurrentDataPath), -1);
}

TEST(ExportScreen, StateRulesAndTheIsoNotice) {
  ExportFixture f;
  Model& m = f.st->model;
  f.st->ini.DefaultExportFormat = 2;
  f.st->ini.DefaultRelativeAbsolute = 1;
  m.setText(Ctl::EXPORT_STATUS, "Nothing to Export");
  SetupExportScreen(*f.st);
  EXPECT_EQ(m.index(Ctl::EXPORT_FORMAT), 2);
  EXPECT_TRUE(m.visible(Ctl::ISO_NOTICE));
  EXPECT_FALSE(m.visible(Ctl::EXPORT_NOTICE1));
  EXPECT_FALSE(m.visible(Ctl::EXPORT_NOTICE2));
  EXPECT_FALSE(m.visible(Ctl::EXPORT_NOTICE3));
  EXPECT_EQ(m.index(Ctl::EXPORT_ZEROING), 0);  // untouched without data

  f.load(DummyPolar, 6, 2, 2, 200, "PE");
  m.setDimmed(Ctl::EXPORT_ZEROING, true);
  SetupExportScreen(*f.st);
  EXPECT_EQ(m.index(Ctl::EXPORT_ZEROING), 1);
  EXPECT_FALSE(m.dimmed(Ctl::EXPORT_ZEROING));
  EXPECT_FALSE(m.visible(Ctl::EXPORT_NOTICE2));
  EXPECT_FALSE(m.dimmed(Ctl::EXPORT_FILTER));

  f.st->data.AlreadyZeroed = 1;
  f.st->ini.DefaultRelativeAbsolute = 0;
  SetupExportScreen(*f.st);
  EXPECT_EQ(m.index(Ctl::EXPORT_ZEROING), 1);
  EXPECT_TRUE(m.dimmed(Ctl::EXPORT_ZEROING));
  EXPECT_TRUE(m.visible(Ctl::EXPORT_NOTICE3));
  EXPECT_FALSE(m.visible(Ctl::EXPORT_NOTICE2));

  f.st->data.AlreadyZeroed = 0;
  f.st->data.StartTimeMs = -5;
  f.st->ini.DefaultRelativeAbsolute = 1;
  SetupExportScreen(*f.st);
  EXPECT_EQ(m.index(Ctl::EXPORT_ZEROING), 0);
  EXPECT_TRUE(m.dimmed(Ctl::EXPORT_ZEROING));
  EXPECT_TRUE(m.visible(Ctl::EXPORT_NOTICE2));
  EXPECT_FALSE(m.visible(Ctl::EXPORT_NOTICE3));

  // Start at -10 with exactly 100 samples: only the default index changes.
  f.st->data.StartTimeMs = -10;
  f.st->data.ChannelData.SampleCount = 100;
  SetupExportScreen(*f.st);
  EXPECT_EQ(m.index(Ctl::EXPORT_ZEROING), 1);
  EXPECT_TRUE(m.dimmed(Ctl::EXPORT_ZEROING));
  EXPECT_TRUE(m.visible(Ctl::EXPORT_NOTICE2));

  m.setIndex(Ctl::EXPORT_FORMAT, 0);
  m.commit(Ctl::EXPORT_FORMAT);
  EXPECT_FALSE(m.visible(Ctl::ISO_NOTICE));
  m.setIndex(Ctl::EXPORT_FORMAT, 2);
  m.commit(Ctl::EXPORT_FORMAT);
  EXPECT_TRUE(m.visible(Ctl::ISO_NOTICE));
}

}  // namespace
}  // namespace lumvex
