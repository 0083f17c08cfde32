#include "maintenance/live.h"

#include "files/ledcell.h"
#include "link/query.h"
#include "maintenance/hwtests.h"
#include "maintenance/loops.h"
#include "processing/assembly.h"

#include <algorithm>

namespace lumvex {
namespace {

constexpr uint32_t kSixColours[] = {0xFF0000, 0x0000FF, 0x00FF00, 0xFFFF00, 0x00FFFF, 0xFF00FF};
constexpr uint32_t kTwelveColours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0x00FFFF, 0xFF00FF, 0xFFFF00,
                                       0xC0C0C0, 0x800000, 0x008000, 0x000080, 0x008080, 0x800080};
constexpr int kColourCycleLeds = 12;  // entries of the six-colour cycle and the twelve-colour list
constexpr int kWorldSidLeds = 18;
constexpr int kLedsPerWorldSidRib = 3;
constexpr const char* k50th3DLegend[] = {"UP LE", "MI LE", "LO LE", "UP RI", "MI RI", "LO RI"};

constexpr char kHelpText[] =
    "PLOT HELP\nZoom the plot by holding the CTRL key and Left mouse button and draw a box around the area "
    "of interest\nPAN the plot by holding the CTRL and SHIFT keys and Left mouse button and moving the "
    "mouse\nYou can Zoom Out by holding the CTRL key and clicking the Right mouse button\n\nTo get back to "
    "the original plot scales click the Stop Button and then restart Live mode";

int axesOf(const Station& st, int type) {
  const int a = st.data.layout.AxesPerLed;
  if (a == 2 || a == 3) return a;
  return (type == DummyPolar || type == DummyHybridIII5th || type == DummyHybridIII50th) ? 2 : 3;
}

Curve oval(double h, double v, uint32_t rgb, std::string legend = {}) {
  Curve c;
  c.legend = std::move(legend);
  c.x = {h};
  c.y = {v};
  c.colour = rgb;
  c.fill = rgb;
  c.points = true;
  c.markerW = kLiveOvalHalfWidth;
  c.markerH = kLiveOvalHalfHeight;
  return c;
}

void drawLegend(Station& st, LiveDisplay& d) {
  GraphState& g = st.model.edit(Ctl::LIVE_GRAPH).graph;
  g.curves.clear();
  for (LiveLegendEntry& e : LiveLegend(st, d.adjustable))
    g.curves.push_back(oval(kLiveLegendParked, kLiveLegendParked, e.colour, std::move(e.text)));
  d.legendCurves = g.curves.size();
}

// "RIB first" ... "RIB first+n-1" in the first n colours of the cycle.
void ribLegend(std::vector<LiveLegendEntry>& out, int first, int n) {
  for (int k = 0; k < n; ++k) out.push_back({"RIB " + std::to_string(first + k), kSixColours[k]});
}

}  // namespace

uint32_t LiveLedColour(int dummyType, bool adjustable, int led) {
  if (led < 0) return kSixColours[0];
  if (isWorldSid(dummyType)) return kSixColours[(led / kLedsPerWorldSidRib) % 6];
  if (adjustable) return kTwelveColours[led % kColourCycleLeds];
  return kSixColours[led % 6];
}

std::vector<LiveLegendEntry> LiveLegend(const Station& st, bool adjustable) {
  std::vector<LiveLegendEntry> out;
  const int type = st.session.DummyType;
  if (adjustable) {
    for (int i = 0; i < kColourCycleLeds; ++i) {
      // Main location (three characters), fine location 1's second
      // character and fine location 2 of the row's spaced-out ISO cell.
      const std::string& cell = st.model.cell(Ctl::LED_TABLE, i + 1, ledtable::Iso).text;
      auto at = [&](size_t k) { return k < cell.size() ? cell[k] : ' '; };
      out.push_back({{at(4), at(5), at(6), ' ', at(10), ' ', at(12), at(13)}, kTwelveColours[i]});
    }
    return out;
  }
  switch (type) {
    case DummyPolar:
      ribLegend(out, 4, 3);
      break;
    case DummyBallistic:
      ribLegend(out, 1, 3);
      break;
    case DummyHybridIII50th3D:
      for (int k = 0; k < 6; ++k) out.push_back({k50th3DLegend[k], kSixColours[k]});
      break;
    default:
      ribLegend(out, 1, 6);
      break;
  }
  return out;
}

LiveCentre LiveLedCentre(int dummyType, int view, const double* led, int axes) {
  const double x = led[0], y = led[1], z = axes > 2 ? led[2] : 0;
  switch (dummyType) {
    case DummyPolar:
    case DummyHybridIII5th:
    case DummyHybridIII50th:
      return {y, x};
    case DummyHybridIII50th3D:
      return {view ? z : y, x};
    default:  // SIDIIs, Ballistic, WorldSID
      return {view ? z : x, y};
  }
}

std::string_view LiveHorizontalAxisName(int dummyType, int view) {
  switch (dummyType) {
    case DummyPolar:
    case DummyHybridIII5th:
    case DummyHybridIII50th:
      return {};
    case DummyHybridIII50th3D:
      return view ? "Z" : "Y";
    case DummyBallistic:
      return view ? "Z" : "Y";
    default:
      return view ? "Z" : "X";
  }
}

LiveDisplay DemoStart(Station& st) {
  LiveDisplay d;
  d.dummyType = st.session.DummyType;
  d.adjustable = Contains(st.model.text(Ctl::LXtype), "50th ADJ");
  d.axes = axesOf(st, d.dummyType);
  d.maxLeds = isWorldSid(d.dummyType) ? kWorldSidLeds : kColourCycleLeds;
  if (st.data.layout.LedCount > 0) d.maxLeds = std::min(d.maxLeds, st.data.layout.LedCount);
  drawLegend(st, d);  // every earlier curve goes
  st.model.changed(Ctl::LIVE_GRAPH);
  d.timerWasRunning = SuspendStatusTimer(st);
  ManualArmCtrl(st, 0);
  return d;
}

int DemoPass(Station& st, LiveDisplay& d) {
  // getPoints zeroes its array when the link fails: read into a scratch one
  // so that the last good positions stay on the graph.
  std::array<double, kMaxPointValues> fresh;
  int count = 0;
  const int r = getPoints(st, count, fresh.data());
  if (r == 0) {
    d.points = fresh;
    d.count = count;
  }
  DrawLive(st, d);
  return r;
}

void DrawLive(Station& st, LiveDisplay& d) {
  Model& m = st.model;
  const int view = m.number(Ctl::COORD_SYS_SW) != 0 ? 1 : 0;
  const bool right = m.number(Ctl::DEMO_DIR_SW) != 0;
  // Turn a copy: the kept positions are drawn again when the next reading fails.
  std::array<double, kMaxPointValues> v = d.points;
  if (d.dummyType == DummyPolar && !view) RotatePolarPairs(d.count, v.data(), right);
  const int leds = std::min(d.count / d.axes, d.maxLeds);

  GraphState& g = m.edit(Ctl::LIVE_GRAPH).graph;
  // A nested callback may have cleared the graph meanwhile.
  if (g.curves.size() < d.legendCurves) drawLegend(st, d);
  const std::string_view name = LiveHorizontalAxisName(d.dummyType, view);
  if (!name.empty() && g.xName != name) g.xName.assign(name);
  g.curves.resize(d.legendCurves + static_cast<size_t>(leds));
  for (int i = 0; i < leds; ++i) {
    const LiveCentre c = LiveLedCentre(d.dummyType, view, &v[static_cast<size_t>(i * d.axes)], d.axes);
    Curve& o = g.curves[d.legendCurves + static_cast<size_t>(i)];
    if (o.x.size() != 1) o = oval(c.h, c.v, LiveLedColour(d.dummyType, d.adjustable, i));
    o.x[0] = c.h;
    o.y[0] = c.v;
  }
  m.changed(Ctl::LIVE_GRAPH);
}

void DemoFinish(Station& st, LiveDisplay& d) {
  if (st.session.unitStatus != StatusDisconnected) ManualArmCtrl(st, 1);
  RestoreStatusTimer(st, d.timerWasRunning);
}

int Demo(Station& st) {
  LiveDisplay d = DemoStart(st);
  while (st.session.demoRunning) {
    DemoPass(st, d);
    FinishPass(st, st.session.demoRunning);
  }
  DemoFinish(st, d);
  return LoopResult(st);
}

void LiveManualRanges(Model& m) {
  GraphState& g = m.edit(Ctl::LIVE_GRAPH).graph;
  g.autoScale = false;
  g.yMin = kLiveVerticalMin;
  g.yMax = kLiveVerticalMax;
  g.xMin = kLiveHorizontalMin;
  g.xMax = kLiveHorizontalMax;
  // Also over a zoom of the operator's: the way back to these ranges.
  ++g.rangesSet;
  m.changed(Ctl::LIVE_GRAPH);
}

void demohelp(Station& st) { st.ui->message("Help", kHelpText); }

}  // namespace lumvex
