#include "ui/plot_model.h"

#include "files/naming.h"
#include "platform/text.h"
#include "processing/filter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>

namespace lumvex {
namespace {

constexpr float kPathFilterIntervalMs = 0.1f;  // ms, the rib paths are filtered at 10 kHz
constexpr float kErrorCodeLimit = 12;          // mm; |X| below it may be an error code
constexpr int kWorldSidLeds = 18;

// Selection values of the list.
enum : int {
  kAllX = 0,
  kAllZ = 2,
  kAmbient = 3,
  kRibs13X = 4,
  kRibs46Z = 9,
  kWsAmbient = 10,
  kShoulderLength = 13,
  kAbdomenLength = 15,
  kRib1XY = 16,
  kRib6XY = 21,
  kShoulderXY = 28,
  kAbdomen2XY = 33,
  kShoulderYZ = 34,
  kAbdomen2YZ = 39,
};

int parseInt(std::string_view s, int fallback) {
  int v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && p == s.data() + s.size() ? v : fallback;
}

// Rows of the table that lie within its buffer.
int usableRows(const ChannelTable& t) {
  if (t.ChannelCount <= 0 || t.SampleCount <= 0) return 0;
  const size_t fit = t.values.size / static_cast<size_t>(t.ChannelCount);
  return static_cast<int>(std::min(static_cast<size_t>(t.SampleCount), fit));
}

// An LED sample holding an error code instead of a position: |X| small and
// all its coordinates equal in size to within 1.
bool carriesErrorCode(const float* led, int axes) {
  const float x = std::fabs(led[0]);
  if (!(x < kErrorCodeLimit)) return false;
  float lo = x, hi = x;
  for (int a = 1; a < axes; ++a) {
    const float v = std::fabs(led[a]);
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  return hi - lo < 1;
}

// The first column of the LED a column belongs to or is derived from, -1 for
// sensor columns: LED columns by their LED, the WorldSID IR-TRACC columns by
// their rib's middle LED, the length-change columns by their LED.
int sourceLedColumn(const Station& st, int col) {
  const Layout& l = st.data.layout;
  if (l.AxesPerLed <= 0) return -1;
  const int ledColumns = l.LedCount * l.AxesPerLed;
  if (col >= 1 && col <= ledColumns) return 1 + (col - 1) / l.AxesPerLed * l.AxesPerLed;
  if (!isWorldSid(st.session.DummyType) || l.LedCount < kWorldSidLeds || l.AxesPerLed != 3) return -1;
  if (col >= 61 && col <= 72) return 1 + 3 * (3 * ((col - 61) % 6) + 1);
  if (col >= 73 && col <= 90) return 1 + 3 * (col - 73);
  return -1;
}

// The LED column of the error-code test, -1 when the LED's coordinates do not
// all lie within the rows in memory.
int errorTestColumn(const Station& st, int ledColumn) {
  const int last = ledColumn + st.data.layout.AxesPerLed - 1;
  return ledColumn >= 1 && last < std::min(st.data.ChannelData.ChannelCount, kMaxChannels) ? ledColumn : -1;
}

// The extent of every column in one pass over the rows.
void findBounds(SeriesTable& t) {
  t.lowest.assign(static_cast<size_t>(t.width), std::numeric_limits<float>::infinity());
  t.highest.assign(static_cast<size_t>(t.width), -std::numeric_limits<float>::infinity());
  float* lo = t.lowest.data();
  float* hi = t.highest.data();
  const float* v = t.values.data();
  for (int r = 0; r < t.rows; ++r, v += t.width)
    for (int c = 0; c < t.width; ++c) {
      lo[c] = v[c] < lo[c] ? v[c] : lo[c];  // a NaN never wins either comparison
      hi[c] = v[c] > hi[c] ? v[c] : hi[c];
    }
}

// Copies `cols` of the data into a new table of rows x (cols.size() + first)
// after `first` leading columns, subtracting offsets where asked. sources[j]
// is the LED column whose error codes are left alone (-1: none).
struct Copy {
  std::vector<int> cols, sources;
  bool subtract = false;
};

std::shared_ptr<SeriesTable> copyColumns(const Station& st, const Copy& c, bool withTime) {
  const ChannelTable& data = st.data.ChannelData;
  auto out = std::make_shared<SeriesTable>();
  const int first = withTime ? 1 : 0;
  const int k = static_cast<int>(c.cols.size());
  out->rows = usableRows(data);
  out->width = first + k;
  out->values.resize(static_cast<size_t>(out->rows) * out->width);
  std::vector<float> offsets(static_cast<size_t>(k));
  for (int j = 0; j < k; ++j) offsets[j] = st.data.ChannelOffsets[c.cols[j]];
  const int axes = st.data.layout.AxesPerLed;
  const float* in = data.values.data.get();
  float* o = out->values.data();
  const int* cols = c.cols.data();
  // The extents are found on the way (a filter finds them again).
  out->lowest.assign(static_cast<size_t>(out->width), std::numeric_limits<float>::infinity());
  out->highest.assign(static_cast<size_t>(out->width), -std::numeric_limits<float>::infinity());
  float* lo = out->lowest.data();
  float* hi = out->highest.data();
  auto put = [lo, hi](float* row, int col, float v) {
    row[col] = v;
    lo[col] = v < lo[col] ? v : lo[col];  // a NaN never wins either comparison
    hi[col] = v > hi[col] ? v : hi[col];
  };
  for (int r = 0; r < out->rows; ++r, in += data.ChannelCount, o += out->width) {
    if (withTime) put(o, 0, in[0]);
    if (!c.subtract) {
      for (int j = 0; j < k; ++j) put(o, first + j, in[cols[j]]);
      continue;
    }
    for (int j = 0; j < k; ++j) {
      float v = in[cols[j]];
      if (!(c.sources[j] >= 0 && carriesErrorCode(in + c.sources[j], axes))) v -= offsets[j];
      put(o, first + j, v);
    }
  }
  return out;
}

// Filters the columns from firstColumn on and finds their extents again.
void filterColumns(SeriesTable& t, int firstColumn, int cfc, float intervalMs, FilterWork& work) {
  // A zero, negative or missing interval would make the section blow up or
  // flatten the series: such a plot is drawn unfiltered.
  if (cfc <= 0 || !(intervalMs > 0) || !std::isfinite(intervalMs)) return;
  std::vector<int> lanes;
  for (int c = firstColumn; c < t.width; ++c) lanes.push_back(c);
  ButfiltColumns(t.values.data(), t.width, lanes, t.rows, cfc, intervalMs, work);
  findBounds(t);
}

bool unfilteredData(const Station& st) { return st.data.codes.DataFilterCode == '0'; }

void buildTimePlot(Station& st, const PlotRequest& r, GraphState& g) {
  g.xName = "Time (ms)";
  g.yName.clear();
  const bool ambient = IsAmbientSelection(r.selection);
  Copy c;
  c.cols = TimeColumns(st, r.selection);
  if (c.cols.empty()) return;
  for (int col : c.cols) c.sources.push_back(ambient ? -1 : errorTestColumn(st, sourceLedColumn(st, col)));
  c.subtract = r.relative && (ambient || st.data.AlreadyZeroed == 0);
  std::shared_ptr<SeriesTable> t = copyColumns(st, c, true);
  // The length-change channels were made at class 600 and are never filtered again.
  if ((unfilteredData(st) || ambient) && r.selection < kShoulderLength && t->rows >= 2)
    filterColumns(*t, 1, r.filterClass, t->values[t->width] - t->values[0], st.data.filterWork);
  for (size_t j = 0; j < c.cols.size(); ++j) {
    const int col = static_cast<int>(j) + 1;
    // A curve without a single number shows 0.0 for both.
    const bool none = !(t->lowest[col] <= t->highest[col]);
    Curve cv;
    cv.legend = LegendText(LegendName(st, r.selection, c.cols[j]), none ? 0 : t->highest[col],
                           none ? 0 : t->lowest[col]);
    cv.colour = kPlotColours[j % kPlotColours.size()];
    cv.table = t;
    cv.xColumn = 0;
    cv.yColumn = col;
    g.curves.push_back(std::move(cv));
  }
}

void buildTrajectory(Station& st, const PlotRequest& r, PlotKind kind, GraphState& g) {
  g.xName = "Y (mm)";
  g.yName = kind == PlotKind::XY ? "X (mm)" : "Z (mm)";
  if (!r.relative) {
    const auto outline = ReferenceOutline(st.session.DummyType, r.selection, st.session.DirectionText);
    if (!outline.empty()) {
      Curve range;
      range.legend = "Range";
      range.colour = kOutlineColour;
      range.trajectory = true;
      for (const auto& [h, v] : outline) {
        range.x.push_back(h);
        range.y.push_back(v);
      }
      g.curves.push_back(std::move(range));
    }
  }
  const std::vector<PathColumns> paths = TrajectoryColumns(st, r.selection);
  if (paths.empty()) return;
  Copy c;
  const int axes = st.data.layout.AxesPerLed;
  for (const PathColumns& p : paths) {
    c.cols.insert(c.cols.end(), {p.horizontal, p.vertical});
    c.sources.insert(c.sources.end(), 2, errorTestColumn(st, 1 + axes * p.led));
  }
  // Data exported relative is never made relative a second time.
  c.subtract = r.relative && st.data.AlreadyZeroed == 0;
  std::shared_ptr<SeriesTable> t = copyColumns(st, c, false);
  if (unfilteredData(st)) filterColumns(*t, 0, r.filterClass, kPathFilterIntervalMs, st.data.filterWork);
  for (size_t i = 0; i < paths.size(); ++i) {
    Curve cv;
    cv.legend = paths[i].legend;
    cv.colour = kPlotColours[i % kPlotColours.size()];
    cv.table = t;
    cv.xColumn = static_cast<int>(2 * i);
    cv.yColumn = static_cast<int>(2 * i + 1);
    cv.trajectory = true;
    g.curves.push_back(std::move(cv));
  }
}

int selectedValue(const Model& m) {
  return m.index(Ctl::PLOTDATA) < 0 ? -1 : parseInt(m.itemValue(Ctl::PLOTDATA), -1);
}

// Filter list: free for unfiltered data, else fixed at the data's class; the
// length-change groups show the class they were made with.
void applyFilterState(Station& st, int selection) {
  Model& m = st.model;
  const char code = st.data.codes.DataFilterCode;
  if (code == '0') {
    m.setDimmed(Ctl::PLOTFILTER, false);
  } else {
    m.setIndex(Ctl::PLOTFILTER, code == 'A' ? 4 : code == 'B' ? 3 : code == 'C' ? 2 : 1);
    m.setDimmed(Ctl::PLOTFILTER, true);
  }
  if (IsLengthChangeSelection(selection)) {
    m.setIndex(Ctl::PLOTFILTER, 3);
    m.setDimmed(Ctl::PLOTFILTER, true);
  }
}

// Switch: fixed at relative for data exported relative, at absolute without
// enough pre-trigger data to average.
void applySwitchState(Station& st, int selection) {
  Model& m = st.model;
  const MeasurementData& d = st.data;
  if (d.AlreadyZeroed != 0 && !IsAmbientSelection(selection)) {
    m.setNumber(Ctl::REL_ABS_SWITCH, 1);
    m.setDimmed(Ctl::REL_ABS_SWITCH, true);
  } else if (d.StartTimeMs > -10 || d.ChannelData.SampleCount < 100) {
    m.setNumber(Ctl::REL_ABS_SWITCH, 0);
    m.setDimmed(Ctl::REL_ABS_SWITCH, true);
  } else {
    m.setDimmed(Ctl::REL_ABS_SWITCH, false);
  }
}

template <typename Fn>
void onCommit(Station& st, Ctl c, Fn fn) {
  st.model.bind(c, [&st, fn](const Event& e) { fn(st, e); });
}

}  // namespace

PlotKind PlotKindOf(int s) {
  if (s >= kAllX && s <= kAbdomenLength) return PlotKind::Time;
  if ((s >= kRib1XY && s <= kRib6XY) || (s >= kShoulderXY && s <= kAbdomen2XY)) return PlotKind::XY;
  if (s >= kShoulderYZ && s <= kAbdomen2YZ) return PlotKind::YZ;
  return PlotKind::None;
}

bool IsAmbientSelection(int s) { return s == kAmbient || s == kWsAmbient; }
bool IsLengthChangeSelection(int s) { return s >= kShoulderLength && s <= kAbdomenLength; }

std::vector<Item> PlotSelections(const Station& st) {
  const Layout& l = st.data.layout;
  const int type = st.session.DummyType;
  const int columns = st.data.ChannelData.ChannelCount;
  std::vector<Item> items;
  auto add = [&items](std::string label, int value) {
    items.push_back({std::move(label), std::to_string(value)});
  };
  if (l.LedCount >= kWorldSidLeds) {
    const char* groups[] = {"ribs 1-3 X", "ribs 4-6 X", "ribs 1-3 Y",
                            "ribs 4-6 Y", "ribs 1-3 Z", "ribs 4-6 Z"};
    for (int i = 0; i < 6; ++i) add(groups[i], kRibs13X + i);
    add("Ambient Light", kWsAmbient);
    if (isWorldSid(type) && columns >= 63) {
      add("Uncorrected IRT", 11);
      add("X Corrected IRT", 12);
    }
    if (isWorldSid(type) && columns >= 75) {
      add("Shldr Len Chg", 13);
      add("T1-T3 Len Chg", 14);
      add("A1-A2 Len Chg", 15);
    }
    const char* ribs[] = {"Shoulder", "Thorax 1", "Thorax 2", "Thorax 3", "Abdomen 1", "Abdomen 2"};
    for (int i = 0; i < 6; ++i) add(std::string(ribs[i]) + " XY", kShoulderXY + i);
    for (int i = 0; i < 6; ++i) add(std::string(ribs[i]) + " YZ", kShoulderYZ + i);
  } else {
    add("all X", 0);
    add("all Y", 1);
    if (l.AxesPerLed == 3) add("all Z", kAllZ);
    add("Ambient Light", kAmbient);
    if (type == DummyHybridIII5th || type == DummyHybridIII50th)
      for (int n = 0; n < 6; ++n) add("Rib " + std::to_string(n + 1) + " XY", kRib1XY + n);
  }
  return items;
}

std::vector<int> TimeColumns(const Station& st, int s) {
  const int n = st.data.layout.LedCount, a = st.data.layout.AxesPerLed;
  std::vector<int> cols;
  auto range = [&cols](int from, int to, int step) {
    for (int c = from; c <= to; c += step) cols.push_back(c);
  };
  if (s >= kAllX && s <= kAllZ) {
    if (s < a) range(1 + s, n * a, a);  // no Z of a two-axis layout
  } else if (s == kAmbient) {
    if (a > 0) range(n * a + 1, n * a + a, 1);
  } else if (s >= kRibs13X && s <= kRibs46Z) {
    const int axis = (s - kRibs13X) / 2;
    if ((s - kRibs13X) % 2 == 0)
      range(1 + axis, 27, 3);
    else
      range(28 + axis, 54, 3);
  } else {
    struct Group {
      int value, from, to;
    };
    constexpr Group groups[] = {{10, 55, 60}, {11, 61, 66}, {12, 67, 72},
                                {13, 73, 75}, {14, 76, 84}, {15, 85, 90}};
    for (const Group& grp : groups)
      if (grp.value == s) range(grp.from, grp.to, 1);
  }
  const int limit = std::min(st.data.ChannelData.ChannelCount, kMaxChannels);
  std::erase_if(cols, [limit](int c) { return c < 1 || c >= limit; });
  return cols;
}

std::vector<PathColumns> TrajectoryColumns(const Station& st, int s) {
  const int n = st.data.layout.LedCount, a = st.data.layout.AxesPerLed;
  const int limit = std::min(st.data.ChannelData.ChannelCount, kMaxChannels);
  std::vector<PathColumns> paths;
  auto add = [&](const char* legend, int led, int verticalAxis) {
    const int x = 1 + a * led;
    const int h = x + 1, v = x + verticalAxis;
    if (led < n && verticalAxis < a && h < limit && v < limit) paths.push_back({legend, h, v, led});
  };
  if (a <= 1) return paths;
  if (s >= kRib1XY && s <= kRib6XY) {
    add("Left", s - kRib1XY, 0);
    add("Right", s - kRib1XY + 6, 0);
  } else if (s >= kShoulderXY && s <= kAbdomen2YZ) {
    const bool yz = s >= kShoulderYZ;
    const int rib = s - (yz ? kShoulderYZ : kShoulderXY);
    const char* names[] = {"Rear", "Middle", "Front"};
    for (int i = 0; i < 3; ++i) add(names[i], 3 * rib + i, yz ? 2 : 0);
  }
  return paths;
}

std::vector<std::pair<double, double>> ReferenceOutline(int type, int s, std::string_view direction) {
  using Points = std::vector<std::pair<double, double>>;
  static const Points h50 = {{93.5, 90}, {88.7, 55}, {29, 36}, {-29, 36}, {-88.7, 55}, {-93.5, 90}};
  static const Points h5 = {{68.3, 95}, {65, 40}, {-65, 40}, {-68.3, 95}};
  static const Points wsXY = {{-110, 131}, {-25, 29}, {-25, -29}, {-110, -131}};
  static const Points wsUpperYZ = {{-110, 88}, {-65, 88},   {-45, 80},   {-25, 33},
                                   {-25, -74}, {-45, -110}, {-70, -134}, {-110, -134}};
  static const Points wsLowerYZ = {{-110, 85}, {-85, 85},  {-45, 70},  {-25, 50},
                                   {-25, -50}, {-45, -80}, {-80, -86}, {-110, -86}};
  static const Points w5UpperXY = {{-100, 110}, {-25, 28}, {-25, -28}, {-100, -110}};
  static const Points w5LowerXY = {{-100, 120}, {-25, 28}, {-25, -28}, {-100, -120}};
  static const Points w5UpperYZ = {{-100, 65}, {-70, 65}, {-25, 30}, {-25, -70}, {-70, -120}, {-100, -120}};
  static const Points w5LowerYZ = {{-100, 105}, {-25, 33}, {-25, -33}, {-100, -105}};

  const Points* p = nullptr;
  const PlotKind kind = PlotKindOf(s);
  if (s >= kRib1XY && s <= kRib6XY) {
    if (type == DummyHybridIII50th) p = &h50;
    if (type == DummyHybridIII5th) p = &h5;
  } else if (kind == PlotKind::XY || kind == PlotKind::YZ) {
    // Shoulder, thorax 1 and thorax 2 (ribs 0 to 2) have their own outline.
    const bool upper = (s - (kind == PlotKind::XY ? kShoulderXY : kShoulderYZ)) < 3;
    if (type == DummyWorldSID50th) p = kind == PlotKind::XY ? &wsXY : upper ? &wsUpperYZ : &wsLowerYZ;
    if (type == DummyWorldSID5th)
      p = kind == PlotKind::XY ? (upper ? &w5UpperXY : &w5LowerXY) : (upper ? &w5UpperYZ : &w5LowerYZ);
  }
  if (!p) return {};
  Points out = *p;
  if (Contains(direction, "Right"))
    for (auto& [h, v] : out) {
      h = -h;
      if (kind == PlotKind::XY) v = -v;
    }
  out.push_back(out.front());
  return out;
}

std::string LegendName(const Station& st, int s, int column) {
  std::string_view code;
  if (column >= 1 && column <= kCodeSlots) code = codeText(st.data.codes.ChannelCodes[column - 1]);
  auto ch = [code](size_t i) { return i < code.size() ? code[i] : ' '; };
  auto part = [&ch](size_t from, size_t count) {
    std::string t;
    for (size_t i = from; i < from + count; ++i) t += ch(i);
    return t;
  };
  if (IsAmbientSelection(s)) {
    std::string name;
    switch (ch(6)) {
      case 'L':
        name = "Left";
        break;
      case 'R':
        name = "Right";
        break;
      case 'T':
        name = "Top";
        break;
      case 'B':
        name = "Bottom";
        break;
      case 'M':
        name = "Middle";
        break;
      default:
        break;
    }
    if (s == kWsAmbient) name += ch(8) == 'R' ? " Red" : " Blue";
    return name;
  }
  if (st.session.DummyType == DummyHybridIII50th3D) return part(6, 2) + " " + part(8, 2) + " " + ch(14);
  return part(2, 4) + " " + part(6, 2) + " " + part(8, 2) + " " + ch(14);
}

std::string FormatPeak(float v) {
  const double d = std::clamp(static_cast<double>(v), -double{kLegendClamp}, double{kLegendClamp});
  char buf[32];
  if (std::fabs(d) < 999) {
    // "%4.1f" without the locale's decimal comma
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, 1);
    (void)ec;
    std::string s(buf, end);
    return s.size() < 4 ? std::string(4 - s.size(), ' ') + s : s;
  }
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<long>(d));
  (void)ec;
  return std::string(buf, end);
}

std::string LegendText(std::string_view name, float largest, float smallest) {
  std::string t(name);
  if (t.size() < kLegendNameWidth) t.resize(kLegendNameWidth, ' ');
  return t + FormatPeak(largest) + " " + FormatPeak(smallest);
}

GraphState BuildPlot(Station& st, const PlotRequest& r) {
  GraphState g;
  g.autoScale = true;
  const PlotKind kind = PlotKindOf(r.selection);
  if (kind == PlotKind::Time) {
    buildTimePlot(st, r, g);
  } else if (kind != PlotKind::None) {
    buildTrajectory(st, r, kind, g);
  } else {
    // Nothing to draw: the axes keep their names.
    g.xName = st.model[Ctl::PLOT_GRAPH].graph.xName;
    g.yName = st.model[Ctl::PLOT_GRAPH].graph.yName;
  }
  return g;
}

void SetupPlotScreen(Station& st) {
  std::vector<Item> items = PlotSelections(st);
  const int first = items.empty() ? -1 : 0;
  st.model.setItems(Ctl::PLOTDATA, std::move(items), first);
  const int s = selectedValue(st.model);
  applyFilterState(st, s);
  applySwitchState(st, s);
}

void PlotData(Station& st) {
  Model& m = st.model;
  if (Contains(m.text(Ctl::EXPORT_STATUS), "Nothing to Export")) return;
  PlotRequest r;
  r.selection = selectedValue(m);
  applyFilterState(st, r.selection);
  applySwitchState(st, r.selection);
  if (IsAmbientSelection(r.selection)) {
    m.setDimmed(Ctl::PLOTFILTER, false);
    m.setDimmed(Ctl::REL_ABS_SWITCH, false);
  }
  r.filterClass = m.index(Ctl::PLOTFILTER) < 0 ? 0 : parseInt(m.itemValue(Ctl::PLOTFILTER), 0);
  r.relative = m.intValue(Ctl::REL_ABS_SWITCH) == 1;
  m.edit(Ctl::PLOT_GRAPH).graph = BuildPlot(st, r);
  m.changed(Ctl::PLOT_GRAPH);
}

void help(Station& st) { st.ui->message(kPlotHelpTitle, kPlotHelpText); }

void PLOTDATA(Station& st, const Event& e) {
  if (e.kind == EventKind::Commit) PlotData(st);
}
void PLOTFILTER(Station& st, const Event& e) {
  if (e.kind == EventKind::Commit) PlotData(st);
}
void REL_ABS_SWITCH(Station& st, const Event& e) {
  if (e.kind == EventKind::Commit) PlotData(st);
}
void PLOTHELP(Station& st, const Event& e) {
  if (e.kind == EventKind::Commit) help(st);
}

PlotImageFormat PlotImageFormatOf(std::string_view path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos)
    return PlotImageFormat::Unknown;
  std::string ext(path.substr(dot + 1));
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "png") return PlotImageFormat::Png;
  if (ext == "pdf") return PlotImageFormat::Pdf;
  if (ext == "svg") return PlotImageFormat::Svg;
  return PlotImageFormat::Unknown;
}

void PLOT_SAVE(Station& st) {
  const auto& write = st.savePlotImage;
  FileRequest req;
  req.title = "Save Plot";
  req.filter = "*.png;*.pdf;*.svg";
  req.defaultName = "plot.png";
  req.save = true;
  const std::optional<std::string> path = st.ui->chooseFile(req);
  if (!path) return;
  if (PlotImageFormatOf(*path) == PlotImageFormat::Unknown) {
    st.ui->message("Save Plot",
                   "Plots are saved as PNG, PDF or SVG:\nend the file name in .png, .pdf or .svg");
    return;
  }
  if (!write) {
    st.ui->message("Save Plot", "This station cannot write plot images");
    return;
  }
  if (write(*path) != 0) st.ui->message("Save Plot", "The plot could not be written to\n" + *path);
}

void BindPlotPage(Station& st) {
  onCommit(st, Ctl::PLOTDATA, PLOTDATA);
  onCommit(st, Ctl::PLOTFILTER, PLOTFILTER);
  onCommit(st, Ctl::REL_ABS_SWITCH, REL_ABS_SWITCH);
  onCommit(st, Ctl::PLOTHELP, PLOTHELP);
  st.model.bind(Ctl::PLOT_SAVE, [&st](const Event& e) {
    if (e.kind == EventKind::Commit) PLOT_SAVE(st);
  });
}

}  // namespace lumvex
