// The Plot page's model on small data sets of every family: the selection
// lists, the columns and legends of each kind of selection, relative values
// around error codes, filtering, the switch and filter-list rules, the
// reference outlines with their side flips, and the page's callbacks.
#include "ui/main_window.h"
#include "ui/plot_model.h"

#include "processing/filter.h"
#include "support/plot_data.h"
#include "support/unit_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace lumvex;

namespace {

constexpr int kRows = 300;

struct PlotStation : lumvex::testing::TestStation {
  std::vector<std::string> saved;  // paths the image writer was given
  int writerResult = 0;

  PlotStation() {
    BindPlotPage(st);
    st.savePlotImage = [this](const std::string& path) {
      saved.push_back(path);
      return writerResult;
    };
  }

  void load(const std::string& typeText, int columns, int rows = kRows, float start = -20) {
    ASSERT_TRUE(lumvex::testing::LoadPlotData(st, typeText, columns, rows, start));
  }

  void select(int value) {
    ASSERT_TRUE(st.model.selectValue(Ctl::PLOTDATA, std::to_string(value))) << value;
    st.model.commit(Ctl::PLOTDATA);
  }
  void setFilter(int index) {
    st.model.setIndex(Ctl::PLOTFILTER, index);
    st.model.commit(Ctl::PLOTFILTER);
  }
  void setRelative(bool on) {
    st.model.setNumber(Ctl::REL_ABS_SWITCH, on ? 1 : 0);
    st.model.commit(Ctl::REL_ABS_SWITCH);
  }
  const GraphState& graph() const { return st.model[Ctl::PLOT_GRAPH].graph; }
  std::vector<std::string> legends() const {
    std::vector<std::string> out;
    for (const Curve& c : graph().curves) out.push_back(c.legend);
    return out;
  }
  std::vector<std::string> labels() const {
    std::vector<std::string> out;
    for (const Item& i : st.model[Ctl::PLOTDATA].items) out.push_back(i.label + "=" + i.value);
    return out;
  }
  static float x(const Curve& c, int row) { return c.table->at(row, c.xColumn); }
  static float y(const Curve& c, int row) { return c.table->at(row, c.yColumn); }
  float data(int row, int col) const { return st.data.ChannelData.at(row, col); }
};

using Labels = std::vector<std::string>;
const Labels kWorldSidPaths = {"Shoulder XY=28",  "Thorax 1 XY=29",  "Thorax 2 XY=30",  "Thorax 3 XY=31",
                               "Abdomen 1 XY=32", "Abdomen 2 XY=33", "Shoulder YZ=34",  "Thorax 1 YZ=35",
                               "Thorax 2 YZ=36",  "Thorax 3 YZ=37",  "Abdomen 1 YZ=38", "Abdomen 2 YZ=39"};

Labels concat(Labels a, const Labels& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

TEST(PlotSelections, EachFamilyOffersItsListAndDerivedChannelsOnlyWhenPresent) {
  const Labels ws = {"ribs 1-3 X=4", "ribs 4-6 X=5", "ribs 1-3 Y=6",    "ribs 4-6 Y=7",
                     "ribs 1-3 Z=8", "ribs 4-6 Z=9", "Ambient Light=10"};
  const Labels irt = {"Uncorrected IRT=11", "X Corrected IRT=12"};
  const Labels length = {"Shldr Len Chg=13", "T1-T3 Len Chg=14", "A1-A2 Len Chg=15"};
  const Labels ribs = {"Rib 1 XY=16", "Rib 2 XY=17", "Rib 3 XY=18",
                       "Rib 4 XY=19", "Rib 5 XY=20", "Rib 6 XY=21"};
  struct {
    const char* type;
    int columns;
    Labels items;
  } cases[] = {
      {"WorldSID", 61, concat(ws, kWorldSidPaths)},
      {"WorldSID", 73, concat(concat(ws, irt), kWorldSidPaths)},
      {"WorldSID Female", 91, concat(concat(concat(ws, irt), length), kWorldSidPaths)},
      {"Polar", 15, {"all X=0", "all Y=1", "Ambient Light=3"}},
      {"SIDIIs", 22, {"all X=0", "all Y=1", "all Z=2", "Ambient Light=3"}},
      {"Ballistic", 13, {"all X=0", "all Y=1", "all Z=2", "Ambient Light=3"}},
      {"Hybrid III 50th 3D", 22, {"all X=0", "all Y=1", "all Z=2", "Ambient Light=3"}},
      {"Hybrid III 50th", 27, concat({"all X=0", "all Y=1", "Ambient Light=3"}, ribs)},
      {"Hybrid III 5th Female", 27, concat({"all X=0", "all Y=1", "Ambient Light=3"}, ribs)},
  };
  for (const auto& c : cases) {
    PlotStation p;
    p.load(c.type, c.columns, 120);
    EXPECT_EQ(p.labels(), c.items) << c.type << " " << c.columns;
    EXPECT_EQ(p.st.model.index(Ctl::PLOTDATA), 0);
  }
}

TEST(PlotColumns, EachTimeSelectionPlotsItsColumnsAndNothingBeyondTheData) {
  PlotStation p;
  p.load("WorldSID", 91);
  using Cols = std::vector<int>;
  EXPECT_EQ(TimeColumns(p.st, 4), (Cols{1, 4, 7, 10, 13, 16, 19, 22, 25}));
  EXPECT_EQ(TimeColumns(p.st, 7), (Cols{29, 32, 35, 38, 41, 44, 47, 50, 53}));
  EXPECT_EQ(TimeColumns(p.st, 10), (Cols{55, 56, 57, 58, 59, 60}));
  EXPECT_EQ(TimeColumns(p.st, 13), (Cols{73, 74, 75}));
  EXPECT_EQ(TimeColumns(p.st, 15), (Cols{85, 86, 87, 88, 89, 90}));
  for (int s = 22; s <= 27; ++s) {
    p.st.model.edit(Ctl::PLOTDATA).items.push_back({"x", std::to_string(s)});
    p.select(s);
    EXPECT_TRUE(p.graph().curves.empty()) << s;
  }
  p.st.data.ChannelData.ChannelCount = 61;  // no derived channels: nothing is read past the row
  EXPECT_TRUE(TimeColumns(p.st, 11).empty());

  PlotStation s;
  s.load("SIDIIs", 22);
  EXPECT_EQ(TimeColumns(s.st, 2), (Cols{3, 6, 9, 12, 15, 18}));
  EXPECT_EQ(TimeColumns(s.st, 3), (Cols{19, 20, 21}));
  PlotStation h;
  h.load("Hybrid III 50th", 27);
  EXPECT_TRUE(TimeColumns(h.st, 2).empty());  // no Z in a two-axis layout
}

TEST(PlotLegend, TimeCurvesAreNamedFromTheirCodesWithTheirPeaksInColourOrder) {
  EXPECT_EQ(FormatPeak(0.25f), " 0.2");  // an exact tie rounds to even, as printf does
  EXPECT_EQ(FormatPeak(-0.04f), "-0.0");
  EXPECT_EQ(FormatPeak(998.94f), "998.9");
  EXPECT_EQ(FormatPeak(999), "999");
  EXPECT_EQ(FormatPeak(-1234.9f), "-1234");
  EXPECT_EQ(FormatPeak(-1e30f), "-65535");
  PlotStation p;
  p.load("WorldSID", 91);
  ChannelTable& t = p.st.data.ChannelData;
  t.at(150, 1) = 12.345f;
  t.at(151, 1) = -3.21f;
  t.at(152, 4) = 1234.56f;
  t.at(153, 7) = 70000;
  p.select(4);
  const auto l = p.legends();
  ASSERT_EQ(l.size(), 9u);
  EXPECT_EQ(l[0], "WL01 01 RE X 21.2 -3.2");
  EXPECT_EQ(l[1], "WL02 01 MI X 1234 24.0");
  EXPECT_EQ(l[2], "WL03 01 FR X 65535 27.0");
  EXPECT_EQ(l[8], "WL09 03 FR X 51.2 45.0");
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(p.graph().curves[i].colour, kPlotColours[i]);
  const Curve& c = p.graph().curves[0];
  EXPECT_EQ(p.graph().xName, "Time (ms)");
  EXPECT_EQ(p.graph().yName, "");
  ASSERT_EQ(c.table->rows, kRows);
  EXPECT_EQ(p.x(c, 10), p.data(10, 0));
  EXPECT_EQ(p.y(c, 10), p.data(10, 1));

  p.select(10);
  EXPECT_EQ(p.legends(), (std::vector<std::string>{"Top Red      88.8 75.0", "Bottom Red   90.0 76.0",
                                                   "Middle Red   91.2 77.0", "Top Blue     92.5 78.0",
                                                   "Bottom Blue  93.8 79.0", "Middle Blue  95.0 80.0"}));
  p.select(11);
  EXPECT_EQ(p.legends()[0].substr(0, 13), "WL02 01 MI U ");
  p.select(13);
  EXPECT_EQ(p.legends()[2].substr(0, 13), "WL03 01 FR L ");

  PlotStation s;
  s.load("SIDIIs", 22);
  s.select(3);
  EXPECT_EQ(s.legends(), (std::vector<std::string>{"Top          43.8 39.0", "Bottom       45.0 40.0",
                                                   "Middle       46.2 41.0"}));
  PlotStation d;
  d.load("Hybrid III 50th 3D", 22);
  d.select(0);
  EXPECT_EQ(d.legends()[0], "UP LE X      21.2 21.0");
  d.select(3);
  EXPECT_EQ(d.legends()[1].substr(0, 13), "Right        ");
}

TEST(PlotRelative, OffsetsAreSubtractedExceptFromErrorCodeSamples) {
  PlotStation p;
  p.load("WorldSID", 91);
  ChannelTable& t = p.st.data.ChannelData;
  for (int c = 1; c <= 3; ++c) t.at(200, c) = 7;  // LED 0 reports error code 7
  t.at(201, 1) = 7.5f;                            // ... a position that only looks small
  t.at(201, 2) = 30;
  p.setRelative(true);
  p.select(4);
  const Curve& c = p.graph().curves[0];
  const float off = p.st.data.ChannelOffsets[1];
  EXPECT_FLOAT_EQ(off, 21.0f);
  EXPECT_EQ(p.y(c, 10), p.data(10, 1) - off);
  EXPECT_EQ(p.y(c, 200), 7.0f);
  EXPECT_EQ(p.y(c, 201), 7.5f - off);
  EXPECT_EQ(c.legend, "WL01 01 RE X  7.0 -13.5");

  // Data exported relative is not made relative again, but ambient levels are.
  p.st.data.AlreadyZeroed = 1;
  p.select(4);
  EXPECT_EQ(p.y(p.graph().curves[0], 10), p.data(10, 1));
  p.select(10);
  EXPECT_EQ(p.y(p.graph().curves[0], 10), p.data(10, 55) - p.st.data.ChannelOffsets[55]);
}

TEST(PlotFilter, UnfilteredDataIsFilteredAtTheIntervalOfTheFirstTwoTimes) {
  PlotStation p;
  p.load("WorldSID", 91);
  p.setFilter(2);  // CFC 180
  p.select(5);
  std::vector<float> expect(kRows);
  for (int i = 0; i < kRows; ++i) expect[i] = p.data(i, 28);
  Butfilt(expect.data(), 180, kRows, p.data(1, 0) - p.data(0, 0), p.st.data.filterWork);
  const Curve& c = p.graph().curves[0];
  for (int i : {0, 149, 150, 151, 299}) EXPECT_EQ(p.y(c, i), expect[i]) << i;
  EXPECT_NE(p.y(c, 150), p.data(150, 28));

  // Length change was made at class 600: shown so, and never filtered again.
  p.select(14);
  EXPECT_EQ(p.st.model.index(Ctl::PLOTFILTER), 3);
  EXPECT_TRUE(p.st.model.dimmed(Ctl::PLOTFILTER));
  EXPECT_EQ(p.y(p.graph().curves[0], 150), p.data(150, 76));

  // Data read back filtered shows its class and is drawn as it is.
  p.st.data.codes.DataFilterCode = 'C';
  p.select(4);
  EXPECT_EQ(p.st.model.index(Ctl::PLOTFILTER), 2);
  EXPECT_TRUE(p.st.model.dimmed(Ctl::PLOTFILTER));
  EXPECT_EQ(p.y(p.graph().curves[0], 150), p.data(150, 1));
  // ... except the ambient levels, which keep the list free and take its class.
  p.select(10);
  EXPECT_FALSE(p.st.model.dimmed(Ctl::PLOTFILTER));
  EXPECT_NE(p.y(p.graph().curves[0], 150), p.data(150, 55));
  for (char code : {'A', 'B', 'D'}) {
    p.st.data.codes.DataFilterCode = code;
    SetupPlotScreen(p.st);
    EXPECT_EQ(p.st.model.index(Ctl::PLOTFILTER), code == 'A' ? 4 : code == 'B' ? 3 : 1) << code;
  }
}

TEST(PlotSwitch, FixedAtRelativeForRelativeDataAndAtAbsoluteWithoutPreTrigger) {
  PlotStation p;
  p.load("WorldSID", 91);
  EXPECT_FALSE(p.st.model.dimmed(Ctl::REL_ABS_SWITCH));
  EXPECT_FALSE(p.st.model.dimmed(Ctl::PLOTFILTER));

  p.st.data.AlreadyZeroed = 1;
  SetupPlotScreen(p.st);
  EXPECT_EQ(p.st.model.intValue(Ctl::REL_ABS_SWITCH), 1);
  EXPECT_TRUE(p.st.model.dimmed(Ctl::REL_ABS_SWITCH));
  p.select(10);  // ambient levels may still be shown either way
  EXPECT_FALSE(p.st.model.dimmed(Ctl::REL_ABS_SWITCH));

  PlotStation late;
  late.load("WorldSID", 91, kRows, -5);
  late.setRelative(true);
  EXPECT_EQ(late.st.model.intValue(Ctl::REL_ABS_SWITCH), 0);
  EXPECT_TRUE(late.st.model.dimmed(Ctl::REL_ABS_SWITCH));
  EXPECT_EQ(late.y(late.graph().curves[0], 10), late.data(10, 1));

  PlotStation shortRun;
  shortRun.load("Polar", 15, 99);
  EXPECT_EQ(shortRun.st.model.intValue(Ctl::REL_ABS_SWITCH), 0);
  EXPECT_TRUE(shortRun.st.model.dimmed(Ctl::REL_ABS_SWITCH));
}

TEST(PlotTrajectory, RibPathsWithTheirOutlineFlippedForTheRightSide) {
  using Pts = std::vector<std::pair<double, double>>;
  EXPECT_EQ(ReferenceOutline(DummyWorldSID50th, 30, "Left Side"),
            (Pts{{-110, 131}, {-25, 29}, {-25, -29}, {-110, -131}, {-110, 131}}));
  EXPECT_EQ(ReferenceOutline(DummyWorldSID50th, 30, "Right Side"),
            (Pts{{110, -131}, {25, -29}, {25, 29}, {110, 131}, {110, -131}}));
  struct {
    int type, selection;
    size_t points;
    double h, v;  // the second point
  } outlines[] = {{DummyWorldSID50th, 36, 9, -65, 88}, {DummyWorldSID50th, 37, 9, -85, 85},
                  {DummyWorldSID5th, 28, 5, -25, 28},  {DummyWorldSID5th, 33, 5, -25, 28},
                  {DummyWorldSID5th, 34, 7, -70, 65},  {DummyWorldSID5th, 39, 5, -25, 33},
                  {DummyHybridIII5th, 16, 5, 65, 40},  {DummyHybridIII50th, 21, 7, 88.7, 55}};
  for (const auto& o : outlines) {
    const Pts pts = ReferenceOutline(o.type, o.selection, "Left Side");
    ASSERT_EQ(pts.size(), o.points) << o.selection;
    EXPECT_EQ(pts[1], (std::pair<double, double>{o.h, o.v})) << o.selection;
  }
  EXPECT_EQ(ReferenceOutline(DummyWorldSID5th, 31, "Left Side")[0], (std::pair<double, double>{-100, 120}));
  EXPECT_TRUE(ReferenceOutline(DummySIDIIs, 30, "Left Side").empty());

  PlotStation p;
  p.load("WorldSID", 91);
  p.select(30);  // Thorax 2 XY: LEDs 6, 7, 8
  const GraphState& g = p.graph();
  EXPECT_EQ(g.xName, "Y (mm)");
  EXPECT_EQ(g.yName, "X (mm)");
  EXPECT_EQ(p.legends(), (std::vector<std::string>{"Range", "Rear", "Middle", "Front"}));
  EXPECT_EQ(g.curves[0].x, (std::vector<double>{-110, -25, -25, -110, -110}));
  EXPECT_TRUE(g.curves[3].trajectory);
  EXPECT_EQ(p.x(g.curves[3], 5), p.data(5, 3 * 8 + 2));  // Y of LED 8 across
  EXPECT_EQ(p.y(g.curves[3], 5), p.data(5, 3 * 8 + 1));  // X of LED 8 up

  p.st.session.DirectionText = "Right Side";
  p.select(36);  // Thorax 2 YZ
  EXPECT_EQ(p.graph().yName, "Z (mm)");
  EXPECT_EQ(p.graph().curves[0].y.front(), 88);
  EXPECT_EQ(p.x(p.graph().curves[1], 5), p.data(5, 3 * 6 + 2));
  EXPECT_EQ(p.y(p.graph().curves[1], 5), p.data(5, 3 * 6 + 3));

  // Relative paths leave the outline out and error codes alone.
  for (int c = 19; c <= 21; ++c) p.st.data.ChannelData.at(200, c) = 7;
  p.setRelative(true);
  EXPECT_EQ(p.legends(), (std::vector<std::string>{"Rear", "Middle", "Front"}));
  EXPECT_EQ(p.y(p.graph().curves[0], 200), 7.0f);
  EXPECT_EQ(p.y(p.graph().curves[0], 10), p.data(10, 21) - p.st.data.ChannelOffsets[21]);

  PlotStation h;
  h.load("Hybrid III 50th", 27);
  h.select(17);  // Rib 2: LEDs 1 and 7
  EXPECT_EQ(h.legends(), (std::vector<std::string>{"Range", "Left", "Right"}));
  EXPECT_EQ(h.graph().curves[0].y.front(), 90);
  EXPECT_EQ(h.y(h.graph().curves[2], 5), h.data(5, 2 * 7 + 1));
}

TEST(PlotPage, CallbacksActOnCommitAndNothingIsDrawnWithoutData) {
  PlotStation p;
  p.load("WorldSID", 91);
  p.st.model.setText(Ctl::EXPORT_STATUS, "Nothing to Export");
  p.select(4);
  EXPECT_TRUE(p.graph().curves.empty());

  p.st.model.setText(Ctl::EXPORT_STATUS, "Downloaded Lumvex Data in Memory");
  p.st.model.commit(Ctl::PLOTDATA, {EventKind::RightClick});
  EXPECT_TRUE(p.graph().curves.empty());
  TAB(p.st, pageIndex(Panel::Plot));  // opening the page draws

  EXPECT_EQ(p.graph().curves.size(), 9u);

  p.st.model.commit(Ctl::PLOTHELP, {EventKind::RightClick});
  EXPECT_TRUE(p.op.transcript.empty());
  p.st.model.commit(Ctl::PLOTHELP);
  EXPECT_TRUE(p.op.showed("Help",
                          "PLOT HELP\n"
                          "Zoom the plot by holding the CTRL key and Left mouse button and draw a box around "
                          "the area of interest\n"
                          "PAN the plot by holding the CTRL and SHIFT keys and Left mouse button and moving "
                          "the mouse\n"
                          "Undo Zoom and Pan operations by pressing CTRL and SPACEBAR \n"
                          "You can UNDO the last 25 operations\n"
                          "You can Zoom Out by holding the CTRL key and clicking the Right mouse button\n\n"
                          "Right click on a trace name in the Legend Box to change colors, line thickness, "
                          "and plot style"));
}

TEST(PlotPage, SavePlotAsksForAnImageFileAndReportsFailures) {
  PlotStation p;
  p.st.model.commit(Ctl::PLOT_SAVE);  // cancelled
  EXPECT_TRUE(p.saved.empty());
  p.op.fileAnswers = {"/tmp/plot.jpg", "/tmp/plot.SVG", "/tmp/x/plot.png"};
  p.st.model.commit(Ctl::PLOT_SAVE);
  EXPECT_TRUE(p.op.showed("Save Plot",
                          "Plots are saved as PNG, PDF or SVG:\nend the file name in .png, .pdf or .svg"));
  p.st.model.commit(Ctl::PLOT_SAVE);
  EXPECT_EQ(p.saved, (std::vector<std::string>{"/tmp/plot.SVG"}));
  p.writerResult = -2;
  p.st.model.commit(Ctl::PLOT_SAVE);
  EXPECT_TRUE(p.op.showed("Save Plot", "The plot could not be written to\n/tmp/x/plot.png"));
  EXPECT_EQ(p.op.transcript.front().kind, Shown::File);
  EXPECT_EQ(PlotImageFormatOf("a.b/plot"), PlotImageFormat::Unknown);
  EXPECT_EQ(PlotImageFormatOf("plot.Pdf"), PlotImageFormat::Pdf);
}
