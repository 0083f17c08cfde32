// The file readers on files the writers made and on damaged or foreign ones:
// type recognition and its order, the saved trigger, header texts that do not
// survive a round trip as the readers say, the alternative CSV's rebuilt
// codes, and every refusal (counts beyond the buffers, short or missing data
// and channel files, files without a Lumvex type) with its exact box.
#include "files/csv.h"
#include "files/diadem.h"
#include "files/iso.h"
#include "files/readers.h"
#include "files/textin.h"
#include "support/export_data.h"
#include "support/scripted_operator.h"
#include "support/testing.h"
#include "support/unit_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

using namespace lumvex;
namespace lt = lumvex::testing;

namespace {

float sampleValue(int s, int n) { return static_cast<float>(n) * 10.0f + static_cast<float>(s) * 0.25f; }

struct ReadersTest : ::testing::Test {
  lt::TempDir dir;
  lt::TestStation t;
  Station& st = t.st;

  // A Polar data set of `samples` rows (15 columns) with a serial number that
  // does not start with a digit.
  void polar(int samples) {
    st.session.DummyType = DummyPolar;
    st.data.layout = {6, 2, 2, 2};
    st.session.SerialNumberText = "A-117";
    st.session.DirectionText = "Left Side";
    st.session.TriggerSetting = 2;
    st.data.ident = {"ATD 0042", "14:03:59", "2024-06-11", "06-11-2024", "06.11.2024", "", ""};
    lt::setPolarCodes(st.data);
    lt::fillTables(st.data, samples, 15, sampleValue);
    st.data.StartTimeMs = -20;
  }
  // The writer of the name's extension; the path of the file a reader takes.
  std::string save(const std::string& name, int relative = 0) {
    std::string path = dir.file(name);
    const std::string ext = name.substr(name.size() - 3);
    const int rc = ext == "CSV"   ? FileSave_NATIVE(st, path, relative)
                   : ext == "DAT" ? FileSave_DIADEM(st, path, relative)
                                  : FileSave_ISO(st, path, relative);
    EXPECT_EQ(rc, 0) << name;
    // The DIAdem writer leaves the data file's path; the ISO writer the ".MME".
    return ext == "DAT" ? dir.file(name) : path;
  }
  FileDataSet fresh() { return CurrentDataSet(st); }
  bool refused(ReadRefusal why, const std::string& path) {
    return t.op.showed(kReadErrorTitle, RefusalText(why, path));
  }
};

}  // namespace

TEST_F(ReadersTest, TypeTextsDecideInTheirOwnOrder) {
  struct Case {
    const char* text;
    int type, channels;
    double intervalMs;
    const char* name;  // the type's name afterwards
  } cases[] = {
      {"Lumvex Type: Polar", 0, 15, 0.1, "Polar"},
      {"Lumvex Type: 50th 3D", 6, 22, 0.1, "50th 3D"},
      {"Lumvex Type: WorldSID 50th", 5, 61, 0.1, "WorldSID"},  // "WorldSID" before "50th"
      {"Lumvex Type: WorldSID 5th w/IRT", 7, 73, 0.1, "WorldSID 5th w/IRT"},
      {"Lumvex Type: WorldSID w/Length Change", 5, 91, 0.1, "WorldSID w/Length Change"},
      {"Lumvex Type: WorldSID w/IRT w/Length Change", 5, 91, 0.1, "WorldSID w/IRT w/Length Change"},
      {"Lumvex Type: 5th Female", 1, 27, 0.1, "5th Female"},
      {"Lumvex Type: 50th Male", 2, 27, 0.1, "50th Male"},
      {"Lumvex Type: SIDIIs 5th", 1, 27, 0.1, "5th Female"},  // "5th" before "SIDIIs"
      {"Lumvex Type: SIDIIs", 3, 22, 0.1, "SIDIIs"},
      {"Lumvex Type: Ballistic", 4, 13, 0.05, "Ballistic"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FileDataSet ds = fresh();
    std::snprintf(ds.DummyTypeNames[5].data(), 50, "WorldSID w/IRT");  // a suffix left by an earlier data set
    ASSERT_EQ(GetLXtype(st, ds, c.text), 0);
    EXPECT_EQ(ds.DummyType, c.type);
    EXPECT_EQ(ds.ChannelCount, c.channels);
    EXPECT_EQ(ds.SampleIntervalMs, c.intervalMs);
    EXPECT_EQ(1 + ds.layout.LedCount * ds.layout.AxesPerLed + ds.layout.SensorChannelCount,
              unitFamily(c.type).ChannelCount);
    EXPECT_STREQ(ds.DummyTypeNames[static_cast<size_t>(c.type)].data(), c.name);
  }
  FileDataSet ds = fresh();
  EXPECT_EQ(GetLXtype(st, ds, "Type: Polar"), -1);
  EXPECT_EQ(GetLXtype(st, ds, "Lumvex Type: Hybrid II"), -1);
  EXPECT_EQ(t.op.messages(), (std::vector<std::string>{"Error: Not a Valid Lumvex File",
                                                       "Error in Plot: Not a Valid Lumvex Type"}));
  EXPECT_EQ(GetSavedTrigger("x,Trigger:3\r"), 3);
  EXPECT_EQ(GetSavedTrigger("Trigger:8 Trigger:6"), 6);
  EXPECT_EQ(GetSavedTrigger("no trigger here"), 9);
}

// What the header texts become: the CSV's ATD text gains the blank after
// "ATD:", a serial that does not start with a digit reads empty, a centred
// side reads "unknown"; the sample interval comes from the type.
TEST_F(ReadersTest, CsvHeaderTextsAndAPartialLastRow) {
  polar(40);
  st.session.DirectionText = "CENTER in X Dir";
  const std::string path = save("h.CSV", 1);
  lt::writeFile(path, lt::readFile(path) + "1.00,2.00,3.00,");  // a row cut short
  FileDataSet ds = fresh();
  ASSERT_EQ(ReadCSVFile(st, path, ds), 0);
  EXPECT_EQ(ds.SampleCount, 40);
  EXPECT_EQ(ds.ChannelCount, 15);
  EXPECT_EQ(ds.AlreadyZeroed, 1);
  EXPECT_EQ(ds.SerialNumberText, "");
  EXPECT_EQ(ds.DirectionText, "unknown");
  EXPECT_EQ(ds.ident.AtdText, " ATD 0042");
  EXPECT_EQ(ds.ident.TestDateIso, "2024-06-11");
  EXPECT_EQ(ds.ident.TestTimeText, "01:01:01");
  EXPECT_EQ(ds.TriggerSetting, 2);
  EXPECT_EQ(ds.StartTimeMs, 0.0f);  // the first time value of the file
  EXPECT_EQ(std::string(ds.ChannelCodes[13].data()), "10SENSRI9999PO00");
  EXPECT_EQ(st.data.ExportData.at(39, 14), 140.0f + 39 * 0.25f);

  // DIAdem and ISO read the same serial number as empty too.
  polar(40);
  const std::string dat = save("h.DAT");
  const std::string mme = save("h.MME");
  for (const std::string& p : {dat, mme}) {
    FileDataSet d = fresh();
    ASSERT_EQ(p == dat ? ReadDiademFile(st, p, d) : ReadISOFile(st, p, d), 0) << p;
    EXPECT_EQ(d.SerialNumberText, "") << p;
    EXPECT_EQ(d.DirectionText, "Left Side") << p;
    EXPECT_EQ(d.ident.TestTimeText, "14:03:59") << p;
    EXPECT_EQ(d.ident.TestDateUs, "06-11-2024") << p;
    EXPECT_EQ(d.ident.AtdText, "ATD 0042") << p;
    EXPECT_EQ(d.SampleCount, 40) << p;
    EXPECT_EQ(d.StartTimeMs, p == dat ? 0.0f : -20.0f) << p;  // DIAdem: the time column; ISO: the header
  }
}

// The alternative CSV format names its columns for people; the codes are
// made again from the configuration: WorldSID 5th by axis "W5DSX", "WFDSY",
// "WFDSZ", the right side's fragments, the derived copies; Hybrid III type 1
// "H3"; the length-change codes keep the file's filter character.
TEST_F(ReadersTest, AlternativeCsvRebuildsTheCodesFromTheConfiguration) {
  auto csv = [&](const std::string& line1, const std::string& line2) {
    const std::string path = dir.file("alt.CSV");
    lt::writeFile(path, line1 + "\r" + line2 +
                            "\rATD: x,,,,,,Test Date:01-02-2024,,,,,,ISO Position code=3\r" +
                            "names,would,be,here\r0.00,1.00,\r");
    return path;
  };
  FileDataSet ds = fresh();
  ASSERT_EQ(
      ReadCSVFile(st,
                  csv("Lumvex Type: WorldSID 5th w/IRT w/Length Change,,,,,,Data is Absolute,,,,,,ISO Filter "
                      "code=C - class 180,,,,Alternate CSV Format",
                      "Lumvex Facing Toward Dummy Right Side,,,,,,Serial Number:150,,,,,,ISO Test Object "
                      "code=D,,,,Trigger:1"),
                  ds),
      0);
  auto code = [&ds](int k) { return std::string(ds.ChannelCodes[static_cast<size_t>(k)].data()); };
  EXPECT_EQ(code(0), "D3WR0101REW5DSXC");
  EXPECT_EQ(code(1), "D3WR0101REWFDSYC");
  EXPECT_EQ(code(5), "D3WR0201MIWFDSZC");
  EXPECT_EQ(code(54), "D3SENSTORE99PO00");
  EXPECT_EQ(code(60), "D3WR0201MIWFDSUC");  // slot 4 with 'U'
  EXPECT_EQ(code(71), "D3WR1706MIWFDSCC");  // slot 49 with 'C'
  EXPECT_EQ(code(89), "D3WR1806FRW5DSLC");  // slot 51 with 'L', the file's class kept
  EXPECT_EQ(ds.SerialNumberText, "150");
  EXPECT_EQ(ds.DataFilterCode, 'C');
  EXPECT_EQ(ds.SampleCount, 0);  // one row of two numbers is not a row of 91

  ds = fresh();
  ASSERT_EQ(
      ReadCSVFile(st,
                  csv("Lumvex Type: 5th Female,,,,,,Data is Absolute,,,,,,ISO Filter code=0 - no "
                      "filter,,,,Alternate CSV Format",
                      "Lumvex Facing Toward Dummy CENTER in X Dir,,,,,,Serial Number:7,,,,,,ISO Test Object "
                      "code=1,,,,Trigger:0"),
                  ds),
      0);
  EXPECT_EQ(code(0), "13H30101LEH3DSX0");
  EXPECT_EQ(code(3), "13H30202LEH3DSY0");
  EXPECT_EQ(code(25), "13SENSRI9999PO00");

  // A family without alternative names keeps the codes in memory.
  lt::setPolarCodes(st.data);
  ds = fresh();
  ASSERT_EQ(
      ReadCSVFile(
          st,
          csv("Lumvex Type: Polar,,,,,,Data is Absolute,,,,,,ISO Filter code=0,,,,Alternate CSV Format", "x"),
          ds),
      0);
  EXPECT_EQ(code(0), "10RIBS01LEPEDSX0");
  EXPECT_EQ(ds.SerialNumberText, "unknown");
}

// A count beyond the buffers is refused before a value is stored; so is a
// file whose data are shorter than its header says, or missing, with a box
// that names the file.
TEST_F(ReadersTest, DiademCountsAndDataFileAreCheckedBeforeUse) {
  polar(30);
  const std::string dat = save("d.DAT");
  const std::string r32 = dir.file("d.R32");
  const std::string header = lt::readFile(dat);
  const std::string data = lt::readFile(r32);
  auto withCount = [&](const std::string& count) {
    std::string h = header;
    for (size_t at = h.find("220,30 "); at != std::string::npos; at = h.find("220,30 ", at + 1))
      h.replace(at, 7, "220," + count + " ");
    lt::writeFile(dat, h);
  };
  struct {
    const char* count;
    ReadRefusal why;
  } bad[] = {{"250002", ReadRefusal::SamplesOutOfRange},
             {"-1", ReadRefusal::SamplesOutOfRange},
             {"x", ReadRefusal::SamplesMissing},
             {"31", ReadRefusal::DataTooShort}};
  for (const auto& b : bad) {
    SCOPED_TRACE(b.count);
    withCount(b.count);
    t.op.clear();
    FileDataSet ds = fresh();
    EXPECT_EQ(ReadDiademFile(st, dat, ds), -1);
    EXPECT_TRUE(refused(b.why, b.why == ReadRefusal::DataTooShort ? r32 : dat))
        << lt::readFile(dat).size() << ::testing::PrintToString(t.op.messages());
  }
  withCount("30");
  std::filesystem::remove(r32);
  t.op.clear();
  FileDataSet ds = fresh();
  EXPECT_EQ(ReadDiademFile(st, dat, ds), -1);
  EXPECT_TRUE(refused(ReadRefusal::DataNotOpened, r32));
  lt::writeFile(r32, data);
  ASSERT_EQ(ReadDiademFile(st, dat, ds), 0);
  EXPECT_EQ(st.data.ExportData.at(29, 14), 140.0f + 29 * 0.25f);

  // A DIAdem file of another program.
  std::string foreign = header;
  foreign.replace(foreign.find("Lumvex Type:"), 12, "Source:     ");
  lt::writeFile(dat, foreign);
  t.op.clear();
  EXPECT_EQ(ReadDiademFile(st, dat, ds), -1);
  EXPECT_EQ(t.op.messages(), std::vector<std::string>{"Error: Not a Valid Lumvex File"});
}

TEST_F(ReadersTest, FilesHeldInMemoryReadAsOnDiskAndOnlyThey) {
  polar(30);
  const std::string dat = save("d.DAT");
  const std::string header = lt::readFile(dat), data = lt::readFile(dir.file("d.R32"));
  MemoryFiles files{{"/mem/d.DAT", header}, {"/mem/d.R32", data}};
  UseMemoryFiles(&files);
  struct Restore {
    ~Restore() { UseMemoryFiles(nullptr); }
  } restore;
  FileDataSet ds = fresh();
  ASSERT_EQ(ReadDiademFile(st, "/mem/d.DAT", ds), 0);
  EXPECT_EQ(ds.SampleCount, 30);
  EXPECT_EQ(st.data.ExportData.at(29, 14), 140.0f + 29 * 0.25f);
  // The disk is out of reach while a table is installed.
  EXPECT_EQ(ReadDiademFile(st, dat, ds), -1);
  files.erase("/mem/d.R32");
  EXPECT_EQ(ReadDiademFile(st, "/mem/d.DAT", ds), -1);
  EXPECT_TRUE(refused(ReadRefusal::DataNotOpened, "/mem/d.R32"));
  files["/mem/d.R32"] = std::string_view(data).substr(0, data.size() - 1);
  t.op.clear();
  EXPECT_EQ(ReadDiademFile(st, "/mem/d.DAT", ds), -1);
  EXPECT_TRUE(refused(ReadRefusal::DataTooShort, "/mem/d.R32"));
}

TEST_F(ReadersTest, IsoChannelFilesAreCheckedBeforeUse) {
  polar(30);
  const std::string mme = save("i.MME");
  const std::string channel = dir.file("i/CHANNEL/i.");
  const std::string first = lt::readFile(channel + "001");
  const std::string seventh = lt::readFile(channel + "007");

  // One number fewer than announced in the seventh channel.
  lt::writeFile(channel + "007", seventh.substr(0, seventh.rfind("\r\n", seventh.size() - 3) + 2));
  FileDataSet ds = fresh();
  EXPECT_EQ(ReadISOFile(st, mme, ds), -1);
  EXPECT_TRUE(refused(ReadRefusal::DataTooShort, channel + "007"))
      << ::testing::PrintToString(t.op.messages());
  std::filesystem::remove(channel + "007");
  t.op.clear();
  EXPECT_EQ(ReadISOFile(st, mme, ds), -1);
  EXPECT_TRUE(refused(ReadRefusal::DataNotOpened, channel + "007"));
  lt::writeFile(channel + "007", seventh);

  std::string count = first;
  count.replace(count.find("Number of samples           :30"), 31, "Number of samples           :300000");
  lt::writeFile(channel + "001", count);
  t.op.clear();
  EXPECT_EQ(ReadISOFile(st, mme, ds), -1);
  EXPECT_TRUE(refused(ReadRefusal::SamplesOutOfRange, channel + "001"));

  std::string foreign = first;
  foreign.replace(foreign.find("Lumvex Type"), 11, "Accel Type ");
  lt::writeFile(channel + "001", foreign);
  t.op.clear();
  EXPECT_EQ(ReadISOFile(st, mme, ds), -1);
  EXPECT_EQ(t.op.messages(), std::vector<std::string>{"Error: Not a Valid Lumvex File"});

  lt::writeFile(channel + "001", first);
  ASSERT_EQ(ReadISOFile(st, mme, ds), 0);
  EXPECT_EQ(ds.SampleCount, 30);
  EXPECT_EQ(std::string(ds.ChannelCodes[0].data()), "10RIBS01LEPEDSX0");
  EXPECT_EQ(st.data.ExportData.at(29, 0), static_cast<float>(0.1 * 29 - 20));  // rebuilt time column
}

// One CSV row or raw record more than the buffers hold is refused.
TEST_F(ReadersTest, RowsAndRecordsBeyondTheBuffersAreRefused) {
  std::string csv = "Lumvex Type: Ballistic,,,,,,Data is Absolute,,,,,,ISO Filter code=0\r\r\r\r";
  const std::string row = "1,2,3,4,5,6,7,8,9,10,11,12,13\r";
  csv.reserve(csv.size() + row.size() * (kMaxRecords + 1));
  for (int r = 0; r < kMaxRecords; ++r) csv += row;
  lt::writeFile(dir.file("max.CSV"), csv);
  FileDataSet ds = fresh();
  ASSERT_EQ(ReadCSVFile(st, dir.file("max.CSV"), ds), 0);
  EXPECT_EQ(ds.SampleCount, kMaxRecords);
  lt::writeFile(dir.file("max.CSV"), csv + row);
  EXPECT_EQ(ReadCSVFile(st, dir.file("max.CSV"), ds), -1);
  EXPECT_TRUE(refused(ReadRefusal::SamplesOutOfRange, dir.file("max.CSV")));

  std::string raw =
      "Lumvex Type: WorldSID\r150\rATD  Trigger:0\r06-11-2024\r12:00:00\r-20.000000\rrun 4, sled\r";
  std::string record;
  for (int k = 0; k < kRawRecordWords; ++k) record += k + 1 < kRawRecordWords ? "7," : "7\r";
  raw.reserve(raw.size() + record.size() * (kMaxRecords + 1));
  for (int r = 0; r < kMaxRecords; ++r) raw += record;
  lt::writeFile(dir.file("max.RDF"), raw + "1,2,3\r");
  ds = fresh();
  ASSERT_EQ(ReadRawWords(st, dir.file("max.RDF"), ds, 0), 0);
  EXPECT_EQ(ds.SampleCount, kMaxRecords);
  EXPECT_EQ(st.data.RawRecordCount, kMaxRecords);
  EXPECT_EQ(ds.ident.TestCommentText, "run 4");
  EXPECT_EQ(ds.ident.AtdText, "ATD  ");
  EXPECT_EQ(ds.StartTimeMs, -20.0f);
  t.op.clear();
  lt::writeFile(dir.file("max.RDF"), raw + record);
  EXPECT_EQ(ReadRawWords(st, dir.file("max.RDF"), ds, 0), -2);
  EXPECT_TRUE(refused(ReadRefusal::SamplesOutOfRange, dir.file("max.RDF")));
}

// ".RD2" records have 232 words, ".RDF" records 120; a record cut short is
// not counted.
TEST_F(ReadersTest, RawRecordsHaveTheirGenerationsWidth) {
  std::string words;
  for (int k = 0; k < 464 + 5; ++k) words += std::to_string(k) + ",";
  lt::writeFile(dir.file("r.RD2"), "Lumvex Type: WorldSID 5th\r151\rA  Trigger:3\r\r12:00\r-5\r\r" + words);
  FileDataSet ds = fresh();
  ASSERT_EQ(ReadRawWords(st, dir.file("r.RD2"), ds, 1), 0);
  EXPECT_EQ(ds.SampleCount, 2);
  EXPECT_EQ(ds.DummyType, DummyWorldSID5th);
  EXPECT_EQ(ds.TriggerSetting, 3);
  EXPECT_EQ(ds.ident.TestDateUs, "00-00-0000");  // an empty line holds its CR
  EXPECT_EQ(ds.ident.TestTimeText, "01:01:01");
  EXPECT_EQ(st.data.RawWords[463], 463);
  ASSERT_EQ(ReadRawWords(st, dir.file("r.RD2"), ds, 0), 0);
  EXPECT_EQ(ds.SampleCount, 3);
}
