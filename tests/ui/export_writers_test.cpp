// The export button to the DIAdem and ISO MME writers: the typed name picks
// the writer, a relative DIAdem export stays absolute with the offset in key
// 240 while the ISO files hold the zeroed values, and error codes survive both.
#include "ui/export_page.h"
#include "support/scripted_operator.h"
#include "processing/filter.h"

#include "ui/callbacks.h"
#include "files/naming.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

using namespace lumvex;
namespace lt = lumvex::testing;

namespace {

struct ExportToMme : ::testing::Test {
  ScriptedOperator op;
  std::unique_ptr<Station> st = std::make_unique<Station>(op);
  lt::TempDir dir;

  // A Polar recording of 200 rows from -20 ms: LED values 50 + column, sensors
  // 1000 + column, and LED 2 (columns 3 and 4) holding the code 5 at row 150.
  void SetUp() override {
    Model& m = st->model;
    m.setItems(Ctl::EXPORT_ZEROING, {{"Absolute (no zeroing)", "0"}, {"Relative to Pre-T0 Average", "1"}}, 1);
    m.setItems(Ctl::EXPORT_FILTER, {{"Unfiltered", "0"}, {"(A) Class 1000", "1000"}}, 0);
    m.setItems(Ctl::EXPORT_FORMAT, {{"CSV", "0"}, {"Diadem", "1"}, {"ISO", "2"}}, 0);
    BindCallbacks(*st);
    InitDummyTypeNames(st->data);
    st->session.DummyType = DummyPolar;
    st->data.layout = {6, 2, 2, 2};
    st->data.StartTimeMs = -20;
    st->data.SampleIntervalMs = 0.1;
    ChannelTable& t = st->data.ChannelData;
    t.ChannelCount = 15;
    t.SampleCount = 200;
    for (int s = 0; s < 200; ++s) {
      t.at(s, 0) = static_cast<float>(-20.0 + s * 0.1);
      for (int c = 1; c < 15; ++c) t.at(s, c) = c > 12 ? 1000.0f + c : 50.0f + c;
    }
    t.at(150, 3) = t.at(150, 4) = 5.0f;
    for (int c = 1; c < 15; ++c) st->data.ChannelOffsets[static_cast<size_t>(c)] = t.at(0, c);
    m.setTableSize(Ctl::LED_TABLE, 6, 4);
    for (int r = 1; r <= 6; ++r)
      m.setCell(Ctl::LED_TABLE, r, 4, "1 0 RIBS 0" + std::to_string(r) + " LE PE DS X/Y ");
    BuildChannelCodes(*st);
    m.setText(Ctl::EXPORT_STATUS, "Downloaded Lumvex Data in Memory");
    st->session.DirectionText = "Left Side";
  }

  void exportTo(const std::string& name) {
    op.clear();
    op.fileAnswers.push_back(dir.file(name));
    st->model.commit(Ctl::EXPORT_BUT);
  }
  bool succeeded() const { return op.showed("Export Status", "Export Successful"); }
};

float r32(const std::string& data, int samples, int column, int row) {
  uint32_t bits;
  std::memcpy(&bits, data.data() + (static_cast<size_t>(column) * samples + row) * 4, 4);
  return std::bit_cast<float>(bits);
}

std::string cE(float v) {
  char b[32];
  return std::string(b, static_cast<size_t>(std::snprintf(b, sizeof b, "%E", static_cast<double>(v))));
}

}  // namespace

TEST_F(ExportToMme, RelativeDiademKeepsValuesAndCarriesTheOffset) {
  exportTo("RUN1.dat");  // the CSV format is selected: the name decides
  ASSERT_TRUE(succeeded()) << op.messages().front();
  EXPECT_EQ(st->session.CurrentDataPath, dir.file("RUN1.R32"));
  EXPECT_FALSE(std::filesystem::exists(dir.file("RUN1.dat")));
  const std::string h = lt::readFile(dir.file("RUN1.DAT"));
  EXPECT_NE(h.find("200,10RIBS02LEPEDSX0\r\r\n201,Lumvex Left Rib 02 Relative Displacement X\r\r\n"),
            std::string::npos);
  EXPECT_NE(h.find("221,601\r\r\n240,-53.000000\r\r\n"), std::string::npos);
  const std::string d = lt::readFile(dir.file("RUN1.R32"));
  ASSERT_EQ(d.size(), 15u * 200 * 4);
  EXPECT_EQ(r32(d, 200, 3, 10), 53.0f);           // absolute
  EXPECT_EQ(r32(d, 200, 3, 150) + -53.0f, 5.0f);  // loads as the code again
  EXPECT_EQ(r32(d, 200, 0, 2), st->data.ChannelData.at(2, 0));
}

TEST_F(ExportToMme, RelativeIsoHoldsZeroedValuesAndTheCodes) {
  exportTo("TEST1.mme");
  ASSERT_TRUE(succeeded()) << op.messages().front();
  EXPECT_EQ(st->session.CurrentDataPath, dir.file("TEST1/TEST1.MME"));
  const std::string f = lt::readFile(dir.file("TEST1/CHANNEL/TEST1.003"));
  EXPECT_NE(f.find("Errors occurred             :YES\r\n"), std::string::npos);
  EXPECT_NE(f.find("Channel code                :10RIBS02LEPEDSX0\r\n"), std::string::npos);
  EXPECT_NE(f.find("Time of first sample        :-0.0200\r\n"), std::string::npos);
  size_t values = f.find("End offset interval         :NOVALUE\r\n");
  ASSERT_NE(values, std::string::npos);
  std::string expect;
  for (int s = 0; s < 200; ++s) expect += (s == 150 ? cE(5.0f) : cE(0.0f)) + "\r\n";
  EXPECT_EQ(f.substr(values + std::strlen("End offset interval         :NOVALUE\r\n")), expect);
  EXPECT_NE(lt::readFile(dir.file("TEST1/CHANNEL/TEST1.013")).find("Errors occurred             :NO\r\n"),
            std::string::npos);

  exportTo("TEST1.MME");
  EXPECT_TRUE(op.showed("ERROR", "Export Failed"));
  EXPECT_TRUE(op.showed("ISO Export Problem",
                        "Unable to create the output directory.\nMost likely cause - it already exists.\n"
                        "If this is the case you must delete\nor rename it before proceeding."));
}

// The writer, not the first three letters of the extension, decides how a
// relative export is zeroed: zeroing twice or not at all would be wrong data.
TEST_F(ExportToMme, ZeroingFollowsTheWriterThatTheNameChose) {
  exportTo("RUN2.XDAT");  // contains DAT: the DIAdem writer
  ASSERT_TRUE(succeeded()) << op.messages().front();
  EXPECT_NE(lt::readFile(dir.file("RUN2.XDAT")).find("221,601\r\r\n240,-53.000000\r\r\n"), std::string::npos);
  const std::string d = lt::readFile(dir.file("RUN2.R32T"));  // the three letters after the dot
  ASSERT_EQ(d.size(), 15u * 200 * 4);
  EXPECT_EQ(r32(d, 200, 3, 10), 53.0f);  // absolute: the header's -53 zeroes it once

  exportTo("RUN3.DATCSV");  // contains CSV: the CSV writer
  ASSERT_TRUE(succeeded()) << op.messages().front();
  const std::string csv = lt::readFile(dir.file("RUN3.DATCSV"));
  size_t row = 0;
  for (int line = 0; line < 4 + 10; ++line) row = csv.find('\r', row) + 1;
  EXPECT_EQ(csv.substr(row, csv.find('\r', row) - row),
            "-19.00,0.00,0.00,0.00,0.00,0.00,0.00,0.00,0.00,0.00,0.00,0.00,0.00,1013.00,1014.00,");
}
