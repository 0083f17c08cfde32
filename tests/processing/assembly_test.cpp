// Assembly of unit-computed positions: the side transforms (Polar rotation,
// sign flips with error codes kept), the row time base and scaling, the date
// texts and the line reader.
#include "processing/assembly.h"
#include "support/scripted_operator.h"
#include "testing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace lumvex;

namespace {

struct Fixture : ::testing::Test {
  ScriptedOperator op;
  std::unique_ptr<Station> st = std::make_unique<Station>(op);
  void side(const char* value) {
    st->model.setItems(Ctl::LX_DIRECTION,
                       {{"Left Side", "LE"}, {"Right Side", "RI"}, {"CENTER in X Dir", "CX"}});
    st->model.selectValue(Ctl::LX_DIRECTION, value);
  }
};

}  // namespace

using CoordConvertTest = Fixture;

TEST_F(CoordConvertTest, WorldSidFlipsOneAxisPerSideAndKeepsErrorCodes) {
  st->session.DummyType = DummyWorldSID50th;
  double v[6] = {10.0, 50.0, -20.0, 5, 5, 5};
  side("LE");
  CoordConvert(*st, 6, v);
  EXPECT_DOUBLE_EQ(v[0], 10.0);
  EXPECT_DOUBLE_EQ(v[1], -50.0);
  EXPECT_DOUBLE_EQ(v[2], -20.0);
  EXPECT_DOUBLE_EQ(v[3], 5);
  EXPECT_DOUBLE_EQ(v[4], 5);
  double w[6] = {10.0, 50.0, -20.0, 9, 9, 9};
  side("RI");
  CoordConvert(*st, 6, w);
  EXPECT_DOUBLE_EQ(w[0], -10.0);
  EXPECT_DOUBLE_EQ(w[1], 50.0);
  EXPECT_DOUBLE_EQ(w[3], 9);
  // 10 is no longer a code: a triple (10, 10, 10) is a position.
  double big[3] = {10, 10, 10};
  CoordConvert(*st, 3, big);
  EXPECT_DOUBLE_EQ(big[0], -10);
}

TEST_F(CoordConvertTest, PolarRotatesBy41DegreesAndKeepsStatusPairs) {
  st->session.DummyType = DummyPolar;
  side("RI");
  double v[4] = {100, 0, 2, 2};
  CoordConvert(*st, 4, v);
  EXPECT_NEAR(v[0], 75.47, 0.005);
  EXPECT_NEAR(v[1], 65.61, 0.005);
  EXPECT_DOUBLE_EQ(v[2], 2);
  EXPECT_DOUBLE_EQ(v[3], 2);
  side("LE");
  double w[2] = {100, 0};
  CoordConvert(*st, 2, w);
  EXPECT_NEAR(w[1], -65.61, 0.005);
}

TEST_F(CoordConvertTest, CentreSideAndTwoDimensionalRibTypesAreUntouched) {
  st->session.DummyType = DummySIDIIs;
  side("CX");
  double v[3] = {1.5, 2.5, 3.5};
  CoordConvert(*st, 3, v);
  EXPECT_DOUBLE_EQ(v[0], 1.5);
  st->session.DummyType = DummyHybridIII50th;
  side("RI");
  CoordConvert(*st, 3, v);
  EXPECT_DOUBLE_EQ(v[0], 1.5);
  EXPECT_DOUBLE_EQ(v[1], 2.5);
}

using AssembleTest = Fixture;

TEST_F(AssembleTest, PositionsScaleSensorsDoubleAndTimeRunsFromTheStart) {
  st->session.DummyType = DummySIDIIs;
  side("RI");
  MeasurementData& d = st->data;
  d.layout.SensorChannelCount = 3;
  d.ChannelData.SampleCount = 3;
  d.ChannelData.ChannelCount = 21;  // 6 LEDs x 3 + 3 sensors
  d.StartTimeMs = -10;
  d.SampleIntervalMs = 0.1;
  auto* w = reinterpret_cast<int16_t*>(d.RawWords.begin());
  for (int i = 0; i < 3 * 21; ++i) w[i] = static_cast<int16_t>(i * 100 - 1000);
  w[3] = w[4] = w[5] = 700;  // LED 2 reports code 7 (700 hundredths)
  AssemblePositions(*st);
  ASSERT_EQ(d.ChannelData.ChannelCount, 22);
  EXPECT_FLOAT_EQ(d.ChannelData.at(0, 0), -10.0f);
  EXPECT_FLOAT_EQ(d.ChannelData.at(2, 0), static_cast<float>(-10 + 2 * 0.1));
  EXPECT_FLOAT_EQ(d.ChannelData.at(0, 1), 10.0f);                      // X = -10.00 mm, right side negates
  EXPECT_FLOAT_EQ(d.ChannelData.at(0, 2), -9.0f);                      // Y kept
  EXPECT_FLOAT_EQ(d.ChannelData.at(0, 4), 7.0f);                       // code kept
  EXPECT_FLOAT_EQ(d.ChannelData.at(0, 19), 2.0f * (18 * 100 - 1000));  // first sensor word doubled
  EXPECT_FLOAT_EQ(d.ChannelData.at(1, 21), 2.0f * (41 * 100 - 1000));
}

// A unit that announces records shorter than the type's sensor block: the
// words are taken as sensor words, and nothing before the record is read.
TEST_F(AssembleTest, RecordShorterThanTheSensorBlockStaysInsideTheRecord) {
  st->session.DummyType = DummyPolar;
  side("LE");
  MeasurementData& d = st->data;
  d.layout.SensorChannelCount = 2;
  d.ChannelData.SampleCount = 2;
  d.ChannelData.ChannelCount = 1;
  d.StartTimeMs = 0;
  d.SampleIntervalMs = 0.1;
  auto* w = reinterpret_cast<int16_t*>(d.RawWords.begin());
  w[0] = 300;
  w[1] = -7;
  AssemblePositions(*st);
  ASSERT_EQ(d.ChannelData.ChannelCount, 2);
  EXPECT_FLOAT_EQ(d.ChannelData.at(0, 1), 600.0f);
  EXPECT_FLOAT_EQ(d.ChannelData.at(1, 1), -14.0f);
}

TEST(ChannelOffsets, MeanOfTheFirstHundredRowsAndNoTimeOffset) {
  ScriptedOperator op;
  auto st = std::make_unique<Station>(op);
  ChannelTable& t = st->data.ChannelData;
  t.SampleCount = 150;
  t.ChannelCount = 2;
  for (int r = 0; r < 150; ++r) {
    t.at(r, 0) = 99;
    t.at(r, 1) = r < 100 ? static_cast<float>(r) : 1000.0f;
  }
  st->data.ChannelOffsets[0] = -1;
  CalcChannelOffsets(st->data);
  EXPECT_FLOAT_EQ(st->data.ChannelOffsets[1], 49.5f);
  EXPECT_FLOAT_EQ(st->data.ChannelOffsets[0], -1);
}

TEST(DateTexts, MonthFirstAndYearFirst) {
  TestIdentification id;
  GetFileDates(id, "12-31-2020");
  EXPECT_EQ(id.TestDateIso, "2020-12-31");
  EXPECT_EQ(id.TestDateUs, "12-31-2020");
  EXPECT_EQ(id.TestDateDotted, "12.31.2020");
  GetFileDates(id, "2021-03-04");
  EXPECT_EQ(id.TestDateIso, "2021-03-04");
  EXPECT_EQ(id.TestDateUs, "03-04-2021");
  EXPECT_EQ(id.TestDateDotted, "03.04.2021");
  GetCurrentDates(id);
  EXPECT_EQ(id.TestDateIso.size(), 10u);
}

TEST(LineReader, KeepsTheEndCutsLongLinesAndStopsAtHighBytes) {
  lumvex::testing::TempDir dir;
  lumvex::testing::writeFile(dir.file("f"), std::string("ab\r\nlonger line here\rx\xC3y\r"));
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(dir.file("f").c_str(), "rb"), &std::fclose);
  char buf[8];
  ASSERT_EQ(readfile_until_cr(buf, f.get(), sizeof buf), 0);
  EXPECT_STREQ(buf, "ab\r");
  ASSERT_EQ(readfile_until_cr(buf, f.get(), sizeof buf), 0);
  EXPECT_STREQ(buf, "\n");
  ASSERT_EQ(readfile_until_cr(buf, f.get(), sizeof buf), 0);
  EXPECT_STREQ(buf, "longer ");  // 7 characters kept, the rest of the line consumed
  EXPECT_EQ(readfile_until_cr(buf, f.get(), sizeof buf), -1);  // 'x' then a byte with the top bit
  EXPECT_EQ(readfile_until_cr(buf, f.get(), sizeof buf), 0);
  EXPECT_STREQ(buf, "y\r");
  EXPECT_EQ(readfile_until_cr(buf, f.get(), sizeof buf), -1);  // end of file
}
