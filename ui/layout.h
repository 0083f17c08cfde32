// The main window's layout: what the layout resource holds for every page and
// pop-up panel. LoadMainLayout writes the window, page and panel titles, each
// control's caption, selector entries, table size, numeric range and its
// state before any unit is connected into the control model; MainLayoutGroups
// says where each control sits, so that front ends place them without knowing
// the behaviour. No toolkit here.
#pragma once

#include "platform/model.h"

#include <string_view>
#include <vector>

namespace lumvex {

inline constexpr int kStatusTimerMs = 500;  // status poll period

// Lays the whole window out in the model: titles, captions, entries, ranges
// and the disconnected state (the first row of the status table).
void LoadMainLayout(Model& m);

// A framed group of controls on a page or pop-up panel. Groups of one panel
// are listed in reading order; `column` is the column of the panel's grid the
// group stacks into (0 = leftmost). An empty title means an unframed group.
struct LayoutGroup {
  Panel panel;
  int column;
  std::string_view title;
  std::vector<Ctl> controls;
};

// Every control except TAB and TIMER appears in exactly one group, on the
// panel it belongs to.
const std::vector<LayoutGroup>& MainLayoutGroups();

}  // namespace lumvex
