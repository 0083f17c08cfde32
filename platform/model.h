// The control model: a toolkit-free picture of the station's windows. Every
// control the behaviour code talks about lives here with its value, label,
// visibility, dimming, colours, list items and table cells. Behaviour code
// reads and writes the model; front ends (Qt, CLI, tests) render it and feed
// user commits back through commit().
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumvex {

enum class Panel : int {
#define LUMVEX_PANEL(name, object, title, page) name,
#include "platform/panels.def"
#undef LUMVEX_PANEL
  Count
};

namespace detail {
constexpr int kPanelPages[] = {
#define LUMVEX_PANEL(name, object, title, page) page,
#include "platform/panels.def"
#undef LUMVEX_PANEL
};
}  // namespace detail

constexpr int kPageCount = 7;
// Tab page index of a page panel (Setup = 0 ... AutoCheck = 6), -1 otherwise.
constexpr int pageIndex(Panel p) {
  const int i = static_cast<int>(p);
  return i >= 0 && i < static_cast<int>(Panel::Count) ? detail::kPanelPages[i] : -1;
}
constexpr Panel pagePanel(int page) {
  for (int i = 0; i < static_cast<int>(Panel::Count); ++i)
    if (detail::kPanelPages[i] == page) return static_cast<Panel>(i);
  return Panel::Count;
}
// The name front ends give a panel ("PANEL" for the main window, "Setup",
// "LoaderWait", ...) and the title it starts with.
std::string_view panelName(Panel p);
std::string_view panelTitle(Panel p);

enum class CtlKind {
  Button,
  Toggle,
  Text,
  Numeric,
  Ring,
  List,
  Table,
  Led,
  Gauge,
  Graph,
  Label,
  Picture,
  Timer,
  Tab
};

enum class Ctl : int {
#define LUMVEX_CONTROL(name, panel, kind) name,
#include "platform/controls.def"
#undef LUMVEX_CONTROL
  Count
};
constexpr int kControlCount = static_cast<int>(Ctl::Count);

std::string_view controlName(Ctl c);
Panel controlPanel(Ctl c);
CtlKind controlKind(Ctl c);
// Looks a control up by its name; false when there is none of that name.
bool controlByName(std::string_view name, Ctl& out);

// Colours are 0xRRGGBB.
namespace colour {
constexpr uint32_t Black = 0x000000;
constexpr uint32_t White = 0xFFFFFF;
constexpr uint32_t Red = 0xFF0000;
constexpr uint32_t DarkGreen = 0x008000;
constexpr uint32_t DarkRed = 0x800000;
constexpr uint32_t Yellow = 0xFFFF00;
constexpr uint32_t Transparent = 0x1000000;  // "no colour": the panel shows through
}  // namespace colour

struct Item {
  std::string label;
  std::string value;
};

// One cell of a table control. A choice cell offers `choices` and shows the
// one at `choiceIndex`.
struct Cell {
  std::string text;
  uint32_t background = colour::White;
  bool choice = false;
  std::vector<std::string> choices;
  int choiceIndex = -1;
};

// Rows of `width` single-precision values shared by the curves of one plot:
// a plot of 250,001-point curves hands its series to the front ends by
// reference instead of copying them into every curve.
struct SeriesTable {
  std::vector<float> values;
  int rows = 0;
  int width = 0;
  // Smallest and largest number in each column (empty: not worked out; a
  // column without numbers has +inf and -inf).
  std::vector<float> lowest, highest;
  float at(int row, int col) const { return values[static_cast<size_t>(row) * width + col]; }
};

struct Curve {
  std::string legend;
  std::vector<double> x, y;
  uint32_t colour = colour::Black;
  bool points = false;              // drawn as markers (ovals, outlines) instead of a line
  double markerW = 0, markerH = 0;  // marker half sizes in axis units, 0 = default
  uint32_t fill = colour::Transparent;
  // When set, the points are columns xColumn and yColumn of `table` (all its
  // rows) instead of x and y.
  std::shared_ptr<const SeriesTable> table{};
  int xColumn = 0, yColumn = 0;
  bool trajectory = false;  // points joined in sample order (an X-Y path), not a function of x
};

struct GraphState {
  std::string xName, yName;
  bool autoScale = true;
  double xMin = 0, xMax = 1, yMin = 0, yMax = 1;
  // Counts the times the program set the ranges anew: a view that keeps the
  // operator's zoom from one redraw to the next takes them again when it
  // changes.
  unsigned rangesSet = 0;
  std::vector<Curve> curves;
};

enum class EventKind { Commit, RightClick, TimerTick, GotFocus, Close, TabChanged, CellCommit };

struct Event {
  EventKind kind = EventKind::Commit;
  int data = 0;          // TabChanged: the new page index
  int row = 0, col = 0;  // CellCommit: 1-based row and column
};

struct Control;
using Callback = std::function<void(const Event&)>;

struct Control {
  Ctl id{};
  std::string label;  // caption / label text
  std::string text;   // value of text fields and labels
  double number = 0;  // numeric value; toggle and LED state 0/1; gauge level
  double minimum = -1e300, maximum = 1e300;
  int precision = 0;                      // digits shown after the decimal point of a numeric
  bool indicator = false;                 // shows a value; the operator cannot edit it
  int index = -1;                         // selected item of a ring or list, -1 none
  std::vector<Item> items;                // ring and list entries
  std::vector<std::vector<Cell>> cells;   // table cells [row][col], 0-based storage
  std::vector<std::string> columnTitles;  // table column headings
  std::vector<std::string> stateTexts;    // toggle's off / on texts
  GraphState graph;
  bool visible = true;
  bool dimmed = false;
  uint32_t textColour = colour::Black;
  uint32_t background = colour::White;
  int intervalMs = 200;  // timer period
  bool enabled = false;  // timer running
  Callback callback;
};

struct PanelState {
  std::string title;
  bool visible = false;
};

// Observer of model changes. `what` names the control that changed; panel
// changes (visibility, active page, title) arrive with control Ctl::Count and
// the panel set.
struct ModelChange {
  Ctl control = Ctl::Count;
  Panel panel = Panel::Count;
};
using Observer = std::function<void(const ModelChange&)>;

class Model {
 public:
  Model();

  const Control& operator[](Ctl c) const { return controls_[static_cast<int>(c)]; }
  // Direct access for bulk set-up; call changed(c) afterwards so front ends redraw.
  Control& edit(Ctl c) { return controls_[static_cast<int>(c)]; }
  void changed(Ctl c);

  // Values
  const std::string& text(Ctl c) const { return (*this)[c].text; }
  void setText(Ctl c, std::string_view t);
  double number(Ctl c) const { return (*this)[c].number; }
  int intValue(Ctl c) const;
  void setNumber(Ctl c, double v);  // clamped to the control's range
  void setRange(Ctl c, double minimum, double maximum);
  const std::string& label(Ctl c) const { return (*this)[c].label; }
  void setLabel(Ctl c, std::string_view l);
  bool visible(Ctl c) const { return (*this)[c].visible; }
  void setVisible(Ctl c, bool v);
  bool dimmed(Ctl c) const { return (*this)[c].dimmed; }
  void setDimmed(Ctl c, bool d);
  void setTextColour(Ctl c, uint32_t rgb);
  void setBackground(Ctl c, uint32_t rgb);

  // Rings and lists
  void setItems(Ctl c, std::vector<Item> items, int index = 0);
  void appendItem(Ctl c, std::string_view label, std::string_view value);
  void clearItems(Ctl c);
  int index(Ctl c) const { return (*this)[c].index; }
  void setIndex(Ctl c, int i);  // -1 or within the items
  // Selects the first item whose value equals v; false when there is none.
  bool selectValue(Ctl c, std::string_view v);
  // Value / label of the selected item, "" when nothing is selected.
  std::string itemValue(Ctl c) const;
  std::string itemLabel(Ctl c) const;
  int itemCount(Ctl c) const { return static_cast<int>((*this)[c].items.size()); }

  // Tables (rows and columns 1-based, as the windows count them)
  int rows(Ctl c) const { return static_cast<int>((*this)[c].cells.size()); }
  void setTableSize(Ctl c, int rows, int cols);
  const Cell& cell(Ctl c, int row, int col) const;
  void setCell(Ctl c, int row, int col, std::string_view text);
  void setCellBackground(Ctl c, int row, int col, uint32_t rgb);
  Cell& editCell(Ctl c, int row, int col);

  // Timer
  bool timerRunning() const { return (*this)[Ctl::TIMER].enabled; }
  void setTimerRunning(bool on);

  // Panels and pages
  const PanelState& panel(Panel p) const { return panels_[static_cast<int>(p)]; }
  void setPanelVisible(Panel p, bool v);
  void setPanelTitle(Panel p, std::string_view title);
  bool pageVisible(int page) const { return panel(pagePanel(page)).visible; }
  void setPageVisible(int page, bool v) { setPanelVisible(pagePanel(page), v); }
  int activePage() const { return activePage_; }
  // Makes `page` the active page without running the TAB callback (a program
  // switch); the front end's user switch goes through commit(TAB, TabChanged).
  void setActivePage(int page);

  // Callbacks
  void bind(Ctl c, Callback cb) { edit(c).callback = std::move(cb); }
  // A user action on control c: the front end has already stored the new value.
  // Runs the control's callback, if any. A TabChanged event on TAB first makes
  // the page active.
  void commit(Ctl c, const Event& e = {});
  // Panel events (focus, close) go to this callback.
  void bindPanel(std::function<void(Panel, const Event&)> cb) { panelCallback_ = std::move(cb); }
  void panelEvent(Panel p, const Event& e);

  // Observers (front ends)
  int observe(Observer o);
  void unobserve(int id);

 private:
  void notify(const ModelChange& ch);
  std::array<Control, kControlCount> controls_;
  std::array<PanelState, static_cast<int>(Panel::Count)> panels_;
  int activePage_ = 0;
  std::function<void(Panel, const Event&)> panelCallback_;
  std::vector<std::pair<int, Observer>> observers_;
  int nextObserver_ = 1;
};

}  // namespace lumvex
