// The Plot page without a toolkit: the selections offered for the data in
// memory, the curves each selection draws (legend texts, colours, time
// histories or rib paths with their reference outline, relative and filtered
// as asked), the state of the filter list and the relative/absolute switch,
// and the page's callbacks. Front ends only draw the GraphState of PLOT_GRAPH.
#pragma once

#include "core/station.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumvex {

inline constexpr std::string_view kPlotHelpTitle = "Help";
inline constexpr std::string_view kPlotHelpText =
    "PLOT HELP\nZoom the plot by holding the CTRL key and Left mouse button and draw a box around the area "
    "of "
    "interest\nPAN the plot by holding the CTRL and SHIFT keys and Left mouse button and moving the "
    "mouse\nUndo "
    "Zoom and Pan operations by pressing CTRL and SPACEBAR \nYou can UNDO the last 25 operations\nYou can "
    "Zoom Out "
    "by holding the CTRL key and clicking the Right mouse button\n\nRight click on a trace name in the "
    "Legend Box "
    "to change colors, line thickness, and plot style";

// Curve colours (0xRRGGBB) in order of use.
inline constexpr std::array<uint32_t, 14> kPlotColours = {0xFF0000, 0x00FF00, 0x0000FF, 0x00FFFF, 0xFF00FF,
                                                          0xFF8000, 0x800000, 0x008000, 0x000080, 0x008080,
                                                          0x800080, 0x808000, 0xC0C0C0, 0x808080};
inline constexpr uint32_t kOutlineColour = 0x000000;  // the "Range" outline

inline constexpr int kLegendNameWidth = 13;   // characters the name is padded to
inline constexpr float kLegendClamp = 65535;  // peaks beyond are shown at this size

// What a selection value draws.
enum class PlotKind { None, Time, XY, YZ };
PlotKind PlotKindOf(int selection);
bool IsAmbientSelection(int selection);       // 3, 10
bool IsLengthChangeSelection(int selection);  // 13 to 15

// The selection list for the layout and ChannelCount in memory (label, value).
std::vector<Item> PlotSelections(const Station& st);

// The data columns a time selection plots, in order; columns beyond the data
// in memory are left out.
std::vector<int> TimeColumns(const Station& st, int selection);

// The curves of a trajectory selection: legend and the data columns of the
// horizontal and the vertical coordinate.
struct PathColumns {
  std::string legend;
  int horizontal, vertical;
  int led;  // the LED, for the error-code test
};
std::vector<PathColumns> TrajectoryColumns(const Station& st, int selection);

// The reference outline of a trajectory selection as (horizontal, vertical)
// points in mm, first point repeated at the end; empty when the type and plot
// have none. A direction text holding "Right" flips the horizontal side, and
// in X-Y plots the vertical one too.
std::vector<std::pair<double, double>> ReferenceOutline(int dummyType, int selection,
                                                        std::string_view direction);

// Legend name of a time-plot column from its channel code.
std::string LegendName(const Station& st, int selection, int column);
// "%4.1f" below 999 in magnitude, else "%d" of the truncated value; beyond
// +-65535 shown as +-65535. Locale-free.
std::string FormatPeak(float v);
// The name padded to 13 characters, then the largest and the smallest value
// separated by one blank.
std::string LegendText(std::string_view name, float largest, float smallest);

// What PlotData reads from the page's controls.
struct PlotRequest {
  int selection = -1;   // -1: nothing selected
  int filterClass = 0;  // CFC, 0 = no filter
  bool relative = false;
};
// The graph of a request for the data in memory (pure: no control changes).
GraphState BuildPlot(Station& st, const PlotRequest& r);

// Prepares the page for a new data set: the selection list (first item
// selected), the filter list and the switch.
void SetupPlotScreen(Station& st);
// Redraws PLOT_GRAPH for the selection, filter class and switch; does nothing
// while the Export page reports "Nothing to Export".
void PlotData(Station& st);
// Shows the page's help text.
void help(Station& st);

// Control callbacks: each acts on a commit event only.
void PLOTDATA(Station& st, const Event& e);
void PLOTFILTER(Station& st, const Event& e);
void REL_ABS_SWITCH(Station& st, const Event& e);
void PLOTHELP(Station& st, const Event& e);

// Image files of the graph: the format follows the extension (any case).
enum class PlotImageFormat { Unknown, Png, Pdf, Svg };
PlotImageFormat PlotImageFormatOf(std::string_view path);
// "Save Plot...": asks for the file and hands it to the front end's writer
// (Station::savePlotImage); without one, says that this front end cannot.
void PLOT_SAVE(Station& st);

// Binds PLOTDATA, PLOTFILTER, REL_ABS_SWITCH, PLOTHELP and PLOT_SAVE.
void BindPlotPage(Station& st);

}  // namespace lumvex
