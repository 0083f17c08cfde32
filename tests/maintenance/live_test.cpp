// The live display: ovals, colours and legend entries per family, the views
// and the Polar side rotation that leaves status pairs alone; the loop
// against the simulated unit (manual-arm input around it, status timer held
// off), a reply that fails to parse and a lost link keeping the last
// positions, and the help box.
#include "link/link.h"
#include "maintenance/live.h"
#include "support/diag_station.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace lumvex;
using lumvex::testing::DiagStation;
using lumvex::testing::line;

namespace {

using Lines = std::vector<std::string>;

const std::vector<Curve>& curves(const Station& st) { return st.model[Ctl::LIVE_GRAPH].graph.curves; }

// The drawn centre (horizontal, vertical) of LED i.
std::pair<double, double> centre(const Station& st, const LiveDisplay& d, int i) {
  const Curve& c = curves(st).at(d.legendCurves + static_cast<size_t>(i));
  return {c.x.at(0), c.y.at(0)};
}

LiveDisplay polar(lumvex::testing::TestStation& t, std::vector<double> pts) {
  t.st.session.DummyType = DummyPolar;
  LiveDisplay d;
  d.dummyType = DummyPolar;
  d.axes = 2;
  d.maxLeds = 6;
  d.count = static_cast<int>(pts.size());
  std::copy(pts.begin(), pts.end(), d.points.begin());
  return d;
}

}  // namespace

TEST(LiveDisplay, PolarTurnsPairsToTheSideButNotStatusPairs) {
  lumvex::testing::TestStation t;
  Model& m = t.st.model;
  LiveDisplay d = polar(t, {2, 2, 100, 0});
  for (int side : {0, 1}) {
    m.setNumber(Ctl::DEMO_DIR_SW, side);
    DrawLive(t.st, d);
    EXPECT_EQ(centre(t.st, d, 0), std::make_pair(2.0, 2.0)) << side;
  }
  // Right side: (100, 0) turns to about (75.47, 65.61), drawn Y across, X up.
  auto [h, v] = centre(t.st, d, 1);
  EXPECT_NEAR(h, 65.61, 0.01);
  EXPECT_NEAR(v, 75.47, 0.01);
  m.setNumber(Ctl::DEMO_DIR_SW, 0);
  DrawLive(t.st, d);
  EXPECT_NEAR(centre(t.st, d, 1).first, -65.61, 0.01);
  // The unit's own frame: no turn, and the kept positions are never turned twice.
  m.setNumber(Ctl::COORD_SYS_SW, 1);
  DrawLive(t.st, d);
  DrawLive(t.st, d);
  EXPECT_EQ(centre(t.st, d, 1), std::make_pair(0.0, 100.0));
  const Curve& o = curves(t.st).at(d.legendCurves + 1);
  EXPECT_TRUE(o.points);
  EXPECT_EQ(o.markerW, 3.0);
  EXPECT_EQ(o.markerH, 1.5);
  EXPECT_EQ(o.colour, 0x0000FFu);
}

TEST(LiveDisplay, ViewsPerFamily) {
  const double led[3] = {1, 2, 3};
  auto at = [&](int type, int view) {
    LiveCentre c = LiveLedCentre(type, view, led, 3);
    return std::make_tuple(c.h, c.v, std::string(LiveHorizontalAxisName(type, view)));
  };
  EXPECT_EQ(at(DummyHybridIII50th, 1), std::make_tuple(2.0, 1.0, std::string()));
  EXPECT_EQ(at(DummyHybridIII50th3D, 0), std::make_tuple(2.0, 1.0, std::string("Y")));
  EXPECT_EQ(at(DummyHybridIII50th3D, 1), std::make_tuple(3.0, 1.0, std::string("Z")));
  EXPECT_EQ(at(DummyWorldSID5th, 0), std::make_tuple(1.0, 2.0, std::string("X")));
  EXPECT_EQ(at(DummyBallistic, 0), std::make_tuple(1.0, 2.0, std::string("Y")));
  EXPECT_EQ(at(DummySIDIIs, 1), std::make_tuple(3.0, 2.0, std::string("Z")));
}

TEST(LiveDisplay, ColoursAndLegendEntries) {
  lumvex::testing::TestStation t;
  auto legend = [&](int type, bool adjustable = false) {
    t.st.session.DummyType = type;
    Lines texts;
    for (const LiveLegendEntry& e : LiveLegend(t.st, adjustable)) texts.push_back(e.text);
    return texts;
  };
  EXPECT_EQ(legend(DummyPolar), (Lines{"RIB 4", "RIB 5", "RIB 6"}));
  EXPECT_EQ(legend(DummyWorldSID5th), (Lines{"RIB 1", "RIB 2", "RIB 3", "RIB 4", "RIB 5", "RIB 6"}));
  EXPECT_EQ(legend(DummyHybridIII50th3D), (Lines{"UP LE", "MI LE", "LO LE", "UP RI", "MI RI", "LO RI"}));
  EXPECT_EQ(legend(DummyBallistic).size(), 3u);
  t.st.session.DummyType = DummySIDIIs;
  EXPECT_EQ(LiveLegend(t.st, false).at(3).colour, 0xFFFF00u);

  // One entry per LED from the ISO cell: main location, fine 1's second
  // character, fine 2; a short cell gives blanks.
  t.st.model.setTableSize(Ctl::LED_TABLE, 12, 7);
  t.st.model.setCell(Ctl::LED_TABLE, 1, 4, "1 1 H301 01 LE H3 DS X/Y ");
  t.st.model.setCell(Ctl::LED_TABLE, 2, 4, "1 1 RIB");
  std::vector<LiveLegendEntry> adj = LiveLegend(t.st, true);
  ASSERT_EQ(adj.size(), 12u);
  EXPECT_EQ(adj[0].text, "H30 1 LE");
  EXPECT_EQ(adj[1].text, "RIB     ");
  EXPECT_EQ(adj[6].colour, 0xC0C0C0u);
  EXPECT_EQ(adj[11].colour, 0x800080u);

  EXPECT_EQ(LiveLedColour(DummyWorldSID50th, false, 3), 0x0000FFu);
  EXPECT_EQ(LiveLedColour(DummyWorldSID50th, false, 17), 0xFF00FFu);
  EXPECT_EQ(LiveLedColour(DummyHybridIII50th, false, 6), 0xFF0000u);
  EXPECT_EQ(LiveLedColour(DummyHybridIII50th, true, 1), 0x00FF00u);
}

TEST(LiveDisplay, LoopDrawsTheUnitsLedsWithManualArmingOffMeanwhile) {
  DiagStation d({{"type", "WorldSID"}, {"serial", "150"}, {"firmware", "LX2 V8.0"}});
  ASSERT_TRUE(d.connected());
  Station& st = d.st;
  bool timerDuring = true;
  size_t drawn = 0;
  st.session.demoRunning = 1;
  d.onPasses(st.session.demoRunning, 3, [&](int) {
    timerDuring = st.model.timerRunning();
    drawn = curves(st).size();
  });
  const size_t from = d.mark();
  EXPECT_EQ(Demo(st), 0);
  const Lines pos(3, "CURRENT_POSITIONS#109");
  Lines want{line("MANARMENABLE#0#")};
  want.insert(want.end(), pos.begin(), pos.end());
  want.push_back(line("MANARMENABLE#1#"));
  EXPECT_EQ(d.since(from), want);
  EXPECT_FALSE(timerDuring);
  EXPECT_TRUE(st.model.timerRunning());
  EXPECT_EQ(drawn, 6u + 18u);
  // LED 1 at rest (3.75, 23.75, 43.75): X across, Y up in the first view.
  EXPECT_EQ(curves(st)[6].x.at(0), 3.75);
  EXPECT_EQ(curves(st)[6].y.at(0), 23.75);
  EXPECT_EQ(curves(st)[0].legend, "RIB 1");
  EXPECT_EQ(curves(st)[0].x.at(0), -999);
  EXPECT_EQ(st.model[Ctl::LIVE_GRAPH].graph.xName, "X");
  EXPECT_TRUE(d.op.transcript.empty());
}

TEST(LiveDisplay, FailedReadingsKeepTheLastPositions) {
  DiagStation d({{"type", "SIDIIs"}, {"serial", "40"}});
  ASSERT_TRUE(d.connected());
  Station& st = d.st;
  // A reply that fails to parse: reported, the loop goes on with the last positions.
  d.sim.addFault({sim::FaultKind::CorruptChecksum, "CURRENT_POSITIONS", 2});
  std::vector<double> seen;
  st.session.demoRunning = 1;
  d.onPasses(st.session.demoRunning, 3, [&](int) { seen.push_back(curves(st).at(6).x.at(0)); });
  EXPECT_EQ(Demo(st), 0);
  EXPECT_EQ(seen, (std::vector<double>{3.75, 3.75, 3.75}));
  EXPECT_EQ(d.op.messages(), Lines{"COMM ERROR: Comm Error getting current positions"});

  // A lost link ends the loop after its pass; the ovals stay where they were.
  d.op.clear();
  int calls = 0;
  st.session.demoRunning = 1;
  d.onPasses(st.session.demoRunning, 20, [&](int n) {
    calls = n;
    if (n == 1) d.sim.dropClients();
  });
  const size_t from = d.mark();
  EXPECT_EQ(Demo(st), -2);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(curves(st).at(6).x.at(0), 3.75);
  EXPECT_EQ(curves(st).at(6).y.at(0), 23.75);
  EXPECT_FALSE(st.model.timerRunning());
  // The second query met the closed link; the unit never saw it.
  EXPECT_EQ(d.since(from), (Lines{line("MANARMENABLE#0#"), "CURRENT_POSITIONS#109"}));
}

TEST(LiveDisplay, Help) {
  lumvex::testing::TestStation t;
  demohelp(t.st);
  EXPECT_TRUE(t.op.showed("Help",
                          "PLOT HELP\nZoom the plot by holding the CTRL key and Left mouse button and draw a "
                          "box around the area of "
                          "interest\nPAN the plot by holding the CTRL and SHIFT keys and Left mouse button "
                          "and moving the mouse\nYou "
                          "can Zoom Out by holding the CTRL key and clicking the Right mouse button\n\nTo "
                          "get back to the original "
                          "plot scales click the Stop Button and then restart Live mode"));
}
