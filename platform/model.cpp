#include "platform/model.h"

#include <algorithm>
#include <stdexcept>

namespace lumvex {
namespace {

struct ControlInfo {
  std::string_view name;
  Panel panel;
  CtlKind kind;
};

constexpr ControlInfo kInfo[] = {
#define LUMVEX_CONTROL(name, panel, kind) {#name, Panel::panel, CtlKind::kind},
#include "platform/controls.def"
#undef LUMVEX_CONTROL
};
static_assert(sizeof(kInfo) / sizeof(kInfo[0]) == kControlCount);

const Cell kNoCell{};

struct PanelInfo {
  std::string_view object, title;
};
constexpr PanelInfo kPanels[] = {
#define LUMVEX_PANEL(name, object, title, page) {object, title},
#include "platform/panels.def"
#undef LUMVEX_PANEL
};
static_assert(sizeof(kPanels) / sizeof(kPanels[0]) == static_cast<size_t>(Panel::Count));

}  // namespace

std::string_view controlName(Ctl c) { return kInfo[static_cast<int>(c)].name; }
Panel controlPanel(Ctl c) { return kInfo[static_cast<int>(c)].panel; }
CtlKind controlKind(Ctl c) { return kInfo[static_cast<int>(c)].kind; }

std::string_view panelName(Panel p) { return kPanels[static_cast<int>(p)].object; }
std::string_view panelTitle(Panel p) { return kPanels[static_cast<int>(p)].title; }

bool controlByName(std::string_view name, Ctl& out) {
  for (int i = 0; i < kControlCount; ++i) {
    if (kInfo[i].name == name) {
      out = static_cast<Ctl>(i);
      return true;
    }
  }
  return false;
}

Model::Model() {
  for (int i = 0; i < kControlCount; ++i) controls_[i].id = static_cast<Ctl>(i);
  controls_[static_cast<int>(Ctl::TAB)].index = activePage_;  // the tab control shows the active page
  panels_[static_cast<int>(Panel::Main)].visible = true;
  for (int p = 0; p < kPageCount; ++p) panels_[static_cast<int>(pagePanel(p))].visible = true;
}

void Model::changed(Ctl c) { notify({c, controlPanel(c)}); }

void Model::setText(Ctl c, std::string_view t) {
  Control& k = edit(c);
  if (k.text == t) return;
  k.text.assign(t);
  changed(c);
}

int Model::intValue(Ctl c) const {
  double v = number(c);
  return static_cast<int>(v < 0 ? v - 0.5 : v + 0.5);
}

void Model::setNumber(Ctl c, double v) {
  Control& k = edit(c);
  v = std::clamp(v, k.minimum, k.maximum);
  if (k.number == v) return;
  k.number = v;
  changed(c);
}

void Model::setRange(Ctl c, double minimum, double maximum) {
  Control& k = edit(c);
  k.minimum = minimum;
  k.maximum = maximum;
  k.number = std::clamp(k.number, minimum, maximum);
  changed(c);
}

void Model::setLabel(Ctl c, std::string_view l) {
  Control& k = edit(c);
  if (k.label == l) return;
  k.label.assign(l);
  changed(c);
}

void Model::setVisible(Ctl c, bool v) {
  Control& k = edit(c);
  if (k.visible == v) return;
  k.visible = v;
  changed(c);
}

void Model::setDimmed(Ctl c, bool d) {
  Control& k = edit(c);
  if (k.dimmed == d) return;
  k.dimmed = d;
  changed(c);
}

void Model::setTextColour(Ctl c, uint32_t rgb) {
  Control& k = edit(c);
  if (k.textColour == rgb) return;
  k.textColour = rgb;
  changed(c);
}

void Model::setBackground(Ctl c, uint32_t rgb) {
  Control& k = edit(c);
  if (k.background == rgb) return;
  k.background = rgb;
  changed(c);
}

void Model::setItems(Ctl c, std::vector<Item> items, int i) {
  Control& k = edit(c);
  k.items = std::move(items);
  k.index = k.items.empty() ? -1 : std::clamp(i, -1, static_cast<int>(k.items.size()) - 1);
  changed(c);
}

void Model::appendItem(Ctl c, std::string_view label, std::string_view value) {
  Control& k = edit(c);
  k.items.push_back({std::string(label), std::string(value)});
  if (k.index < 0) k.index = 0;
  changed(c);
}

void Model::clearItems(Ctl c) { setItems(c, {}); }

void Model::setIndex(Ctl c, int i) {
  Control& k = edit(c);
  if (i < -1 || i >= static_cast<int>(k.items.size())) return;
  if (k.index == i) return;
  k.index = i;
  changed(c);
}

bool Model::selectValue(Ctl c, std::string_view v) {
  const auto& items = (*this)[c].items;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].value == v) {
      setIndex(c, static_cast<int>(i));
      return true;
    }
  }
  return false;
}

std::string Model::itemValue(Ctl c) const {
  const Control& k = (*this)[c];
  if (k.index < 0 || k.index >= static_cast<int>(k.items.size())) return {};
  return k.items[k.index].value;
}

std::string Model::itemLabel(Ctl c) const {
  const Control& k = (*this)[c];
  if (k.index < 0 || k.index >= static_cast<int>(k.items.size())) return {};
  return k.items[k.index].label;
}

void Model::setTableSize(Ctl c, int nrows, int ncols) {
  Control& k = edit(c);
  k.cells.resize(std::max(nrows, 0));
  for (auto& row : k.cells) row.resize(std::max(ncols, 0));
  changed(c);
}

const Cell& Model::cell(Ctl c, int row, int col) const {
  const Control& k = (*this)[c];
  if (row < 1 || row > static_cast<int>(k.cells.size())) return kNoCell;
  const auto& r = k.cells[row - 1];
  if (col < 1 || col > static_cast<int>(r.size())) return kNoCell;
  return r[col - 1];
}

Cell& Model::editCell(Ctl c, int row, int col) {
  Control& k = edit(c);
  if (row < 1 || row > static_cast<int>(k.cells.size()) || col < 1 ||
      col > static_cast<int>(k.cells[row - 1].size()))
    throw std::out_of_range("table cell outside " + std::string(controlName(c)));
  return k.cells[row - 1][col - 1];
}

void Model::setCell(Ctl c, int row, int col, std::string_view t) {
  Cell& cl = editCell(c, row, col);
  if (cl.text == t) return;
  cl.text.assign(t);
  changed(c);
}

void Model::setCellBackground(Ctl c, int row, int col, uint32_t rgb) {
  Cell& cl = editCell(c, row, col);
  if (cl.background == rgb) return;
  cl.background = rgb;
  changed(c);
}

void Model::setTimerRunning(bool on) {
  Control& k = edit(Ctl::TIMER);
  if (k.enabled == on) return;
  k.enabled = on;
  changed(Ctl::TIMER);
}

void Model::setPanelVisible(Panel p, bool v) {
  PanelState& s = panels_[static_cast<int>(p)];
  if (s.visible == v) return;
  s.visible = v;
  notify({Ctl::Count, p});
}

void Model::setPanelTitle(Panel p, std::string_view title) {
  PanelState& s = panels_[static_cast<int>(p)];
  if (s.title == title) return;
  s.title.assign(title);
  notify({Ctl::Count, p});
}

void Model::setActivePage(int page) {
  if (page < 0 || page >= kPageCount || page == activePage_) return;
  activePage_ = page;
  edit(Ctl::TAB).index = page;
  notify({Ctl::TAB, Panel::Main});
}

void Model::commit(Ctl c, const Event& e) {
  if (c == Ctl::TAB && e.kind == EventKind::TabChanged) setActivePage(e.data);
  // Copy: the callback may rebind or the control may be edited while it runs.
  Callback cb = (*this)[c].callback;
  if (cb) cb(e);
}

void Model::panelEvent(Panel p, const Event& e) {
  auto cb = panelCallback_;
  if (cb) cb(p, e);
}

int Model::observe(Observer o) {
  int id = nextObserver_++;
  observers_.emplace_back(id, std::move(o));
  return id;
}

void Model::unobserve(int id) {
  std::erase_if(observers_, [id](const auto& p) { return p.first == id; });
}

void Model::notify(const ModelChange& ch) {
  for (size_t i = 0; i < observers_.size(); ++i) observers_[i].second(ch);
}

}  // namespace lumvex
