// The live display of the Live Display page: the unit's LEDs where they are
// right now, drawn as ovals on the live graph and redrawn on every pass of a
// loop; the legend, colours and views of each unit family, the graph's
// manual ranges and the page's help text.
#pragma once

#include "core/station.h"
#include "link/positions.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumvex {

constexpr double kLiveOvalHalfWidth = 3.0;   // mm to each side horizontally
constexpr double kLiveOvalHalfHeight = 1.5;  // mm up and down
constexpr double kLiveLegendParked = -999;   // mm: the legend's ovals lie far outside the graph
// Ranges the start button gives the live graph (mm).
constexpr double kLiveVerticalMin = 0, kLiveVerticalMax = 190;
constexpr double kLiveHorizontalMin = -165, kLiveHorizontalMax = 165;

// Colour (0xRRGGBB) of LED `led` (0-based): the six-colour cycle, one colour
// per WorldSID rib, or the twelve-colour list of the adjustable 50th.
uint32_t LiveLedColour(int dummyType, bool adjustable, int led);

struct LiveLegendEntry {
  std::string text;
  uint32_t colour = 0;
};
// One entry per rib ("RIB n", Polar ribs 4 to 6, the six 50th 3D texts), or
// for the adjustable 50th one per LED named from its LED table ISO cell.
std::vector<LiveLegendEntry> LiveLegend(const Station& st, bool adjustable);

// Where an LED's oval goes: horizontal and vertical mm from its coordinates
// (X, Y and, for three-axis types, Z) in the view `view` (COORD_SYS_SW).
struct LiveCentre {
  double h = 0, v = 0;
};
LiveCentre LiveLedCentre(int dummyType, int view, const double* led, int axes);
// The horizontal axis's name in that view; "" where the set-up's name stays.
std::string_view LiveHorizontalAxisName(int dummyType, int view);

// One run of the live display, between DemoStart and DemoFinish.
struct LiveDisplay {
  int dummyType = 0;
  bool adjustable = false;  // "50th ADJ"
  int axes = 2;
  int maxLeds = 0;
  bool timerWasRunning = false;
  int count = 0;                                 // values of the last good reading
  std::array<double, kMaxPointValues> points{};  // its positions (mm), kept when a reading fails
  size_t legendCurves = 0;                       // the graph's curves before the first LED oval
};

// Clears the graph, holds the status timer off, disables the unit's
// manual-arm input and draws the legend entries.
LiveDisplay DemoStart(Station& st);
// One pass: the current positions (the last good ones when the query fails),
// then DrawLive. 0, or getPoints' failure (the kept positions were drawn).
int DemoPass(Station& st, LiveDisplay& d);
// Reads the view and side selectors, turns Polar pairs to the side and
// redraws one oval per LED in front of the legend (no unit exchange).
void DrawLive(Station& st, LiveDisplay& d);
// Gives the timer back and, while connected, re-enables manual arming.
void DemoFinish(Station& st, LiveDisplay& d);

// The loop: passes while demoRunning is set, each ending with the pending
// events. 0, or -2 when it ended because the link closed (the ovals stay
// where they were last drawn).
int Demo(Station& st);
// The start button's manual ranges of the live graph, also over the
// operator's zoom.
void LiveManualRanges(Model& m);
// The page's "Help" box.
void demohelp(Station& st);

}  // namespace lumvex
