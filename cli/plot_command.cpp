// lumvex-cli plot: a saved file read as the plot page's file button reads it,
// the page's selection, filter class and switch set as the operator would set
// them, and the graph the page then shows written as a PNG, PDF or SVG image
// without a screen. This is the one file of the CLI that uses Qt: the image is
// drawn by the Plot page's own Qt view, so that it is the graph the operator
// sees, and the Qt application exists only while this command runs.
#include "cli/cli.h"
#include "ui/plot_model.h"
#include "ui/qt/plot_view.h"

#include <QApplication>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace lumvex::cli {
namespace {

constexpr int kFailed = 1;
constexpr int kBadArguments = 2;
constexpr int kDefaultWidth = 1200, kDefaultHeight = 800;  // px
// px; beyond this an image would take gigabytes of memory to draw
constexpr int kMinSide = 100, kMaxSide = 10000;

struct PlotArgs {
  std::string file;
  std::string selection;  // label of a plot list item
  int filter = 0;         // 0: no filter
  bool relative = false;
  std::string out;
  int width = kDefaultWidth, height = kDefaultHeight;
  bool legend = false;
};

bool parseSize(std::string_view s, int& w, int& h) {
  const size_t x = s.find('x');
  return x != std::string_view::npos && ParseCliInt(s.substr(0, x), w) && ParseCliInt(s.substr(x + 1), h) &&
         w >= kMinSide && w <= kMaxSide && h >= kMinSide && h <= kMaxSide;
}

bool parseArgs(const std::vector<std::string>& a, PlotArgs& p, std::string& error) {
  bool haveSelection = false;
  for (size_t i = 0; i < a.size(); ++i) {
    const std::string& k = a[i];
    std::string v;
    auto value = [&]() {
      if (i + 1 >= a.size()) return false;
      v = a[++i];
      return true;
    };
    if (k.empty() || k[0] != '-') {
      if (!p.file.empty()) {
        error = "one file at a time";
        return false;
      }
      p.file = k;
    } else if (k == "--selection" && value()) {
      p.selection = v;
      haveSelection = true;
    } else if (k == "--filter" && value() && ParseCliInt(v, p.filter) &&
               (p.filter == 1000 || p.filter == 600 || p.filter == 180 || p.filter == 60)) {
    } else if (k == "--relative") {
      p.relative = true;
    } else if (k == "--out" && value()) {
      p.out = v;
    } else if (k == "--size" && value()) {
      if (!parseSize(v, p.width, p.height)) {
        error = "--size takes WxH, each from " + std::to_string(kMinSide) + " to " + std::to_string(kMaxSide);
        return false;
      }
    } else if (k == "--legend") {
      p.legend = true;
    } else {
      error = "bad argument: " + k;
      return false;
    }
  }
  if (p.file.empty())
    error = "no file given";
  else if (!haveSelection)
    error = "--selection LABEL is needed";
  else if (p.out.empty())
    error = "--out IMAGE.png|.pdf|.svg is needed";
  else if (PlotImageFormatOf(p.out) == PlotImageFormat::Unknown)
    error = "--out must end in .png, .pdf or .svg";
  return error.empty();
}

// The list item labelled `label`; -1 when the list offers none.
int itemIndex(const Model& m, Ctl c, std::string_view label) {
  const std::vector<Item>& items = m[c].items;
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].label == label) return static_cast<int>(i);
  return -1;
}

// The filter list and the switch as the operator leaves them, each committed
// as a click would. A choice the page does not offer for this data and
// selection is not made: the note says what the graph shows instead.
void setFilterAndSwitch(Model& m, const PlotArgs& p) {
  const std::string wanted = std::to_string(p.filter);
  if (!m.dimmed(Ctl::PLOTFILTER)) {
    m.selectValue(Ctl::PLOTFILTER, wanted);
    m.commit(Ctl::PLOTFILTER);
  } else if (m.itemValue(Ctl::PLOTFILTER) != wanted) {
    std::fprintf(stderr, "plot: the filter class is fixed at %s for this data and selection\n",
                 m.itemLabel(Ctl::PLOTFILTER).c_str());
  }
  if (!m.dimmed(Ctl::REL_ABS_SWITCH)) {
    m.setNumber(Ctl::REL_ABS_SWITCH, p.relative ? 1 : 0);
    m.commit(Ctl::REL_ABS_SWITCH);
  } else if ((m.intValue(Ctl::REL_ABS_SWITCH) == 1) != p.relative) {
    std::fprintf(stderr, "plot: %s\n",
                 m.intValue(Ctl::REL_ABS_SWITCH) == 1
                     ? "the data is already relative: the values are shown relative"
                     : "not enough pre-trigger data for relative values: the values are shown absolute");
  }
}

int plot(CliContext& c) {
  PlotArgs p;
  std::string error;
  if (!parseArgs(c.opt.args, p, error)) {
    std::fprintf(stderr, "plot: %s\n", error.c_str());
    return kBadArguments;
  }
  if (CliReadFile(c, p.file, "plot") != 0) return kFailed;
  Model& m = c.st.model;
  const int index = itemIndex(m, Ctl::PLOTDATA, p.selection);
  if (index < 0) {
    std::fprintf(stderr, "plot: %s offers no selection \"%s\"; it offers:\n", p.file.c_str(),
                 p.selection.c_str());
    for (const Item& item : m[Ctl::PLOTDATA].items) std::fprintf(stderr, "%s\n", item.label.c_str());
    return kBadArguments;
  }
  m.setIndex(Ctl::PLOTDATA, index);
  m.commit(Ctl::PLOTDATA);
  setFilterAndSwitch(m, p);
  const GraphState& g = m[Ctl::PLOT_GRAPH].graph;

  // No display is needed: the offscreen platform draws into memory.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "lumvex-cli";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  const int rc = qt::RenderPlotImage(g, p.out, p.width, p.height);
  if (rc != 0) {
    std::fprintf(stderr, "plot: %s could not be written\n", p.out.c_str());
    return kFailed;
  }
  if (p.legend)
    for (const Curve& curve : g.curves)
      if (!curve.legend.empty()) std::printf("%s\n", curve.legend.c_str());
  return 0;
}

}  // namespace

void AddPlotCommands(std::vector<CliCommand>& out) {
  out.push_back(
      {"plot",
       "plot FILE --selection LABEL [--filter 1000|600|180|60] [--relative] --out IMAGE.png|.pdf|.svg "
       "[--size WxH] [--legend]",
       plot, false});
}

}  // namespace lumvex::cli
