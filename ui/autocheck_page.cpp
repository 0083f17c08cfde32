// The position autocheck page: the tables drawn from Station::autoCheck and
// AutoCheckLimits, the page's buttons and the check before arming.
#include "ui/autocheck_page.h"

#include "link/link.h"
#include "maintenance/autocheck.h"
#include "maintenance/leds.h"
#include "platform/text.h"
#include "ui/screens.h"

#include <algorithm>
#include <string>

namespace lumvex {
namespace {

constexpr int kAutoCheckPage = pageIndex(Panel::AutoCheck);
constexpr int kLeds = kAutoCheckValues / 3;
constexpr int kGoldenFirstColumn = 2;  // column 1 numbers the LEDs
constexpr int kCurrentFirstColumn = 1;

// A button whose exchange lost the link leaves the screens showing it.
void followLink(Station& st) {
  if (!LinkOpen(st)) CtrlScreens(st);
}

void showLimits(Station& st) {
  for (int a = 0; a < 3; ++a)
    st.model.setCell(Ctl::AUTOCHECK_ERROR_LIM, 1, a + 1,
                     std::to_string(st.AutoCheckLimits[static_cast<size_t>(a)]));
}

void showReferences(Station& st) {
  Model& m = st.model;
  Control& t = m.edit(Ctl::GOLDEN_POSN_TABLE);
  const int rows = std::min(kLeds, m.rows(Ctl::GOLDEN_POSN_TABLE));
  for (int r = 0; r < rows; ++r)
    for (int a = 0; a < 3; ++a) {
      auto& row = t.cells[static_cast<size_t>(r)];
      const size_t col = static_cast<size_t>(kGoldenFirstColumn - 1 + a);
      if (col < row.size())
        row[col].text = PositionText(st.autoCheck.reference[static_cast<size_t>(3 * r + a)]);
    }
  m.changed(Ctl::GOLDEN_POSN_TABLE);
}

// The current positions, yellow where out of limits. `texts` false only
// recolours the cells; `blank` empties them (nothing read yet for this unit).
void showCurrent(Station& st, bool texts = true, bool blank = false) {
  Model& m = st.model;
  const AutoCheckTables& t = st.autoCheck;
  Control& table = m.edit(Ctl::CURR_POSN_TABLE);
  const int rows = std::min(kLeds, m.rows(Ctl::CURR_POSN_TABLE));
  for (int r = 0; r < rows; ++r)
    for (int a = 0; a < 3; ++a) {
      auto& row = table.cells[static_cast<size_t>(r)];
      const size_t col = static_cast<size_t>(kCurrentFirstColumn - 1 + a);
      if (col >= row.size()) continue;
      const size_t i = static_cast<size_t>(3 * r + a);
      if (texts) row[col].text = blank ? std::string() : PositionText(t.current[i]);
      row[col].background = t.outOfLimits[i] ? colour::Yellow : colour::White;
    }
  m.changed(Ctl::CURR_POSN_TABLE);
}

}  // namespace

bool AutoCheckEnabled(const Station& st) { return AutoCheckOn(st.session, st.ini.AutoCheckSwitchedOn != 0); }

void ShowAutoCheckPage(Station& st) {
  if (!AutoCheckEnabled(st)) {
    st.model.setPageVisible(kAutoCheckPage, false);
    return;
  }
  // The page is filled where it comes into view, not on every screen update.
  if (st.model.pageVisible(kAutoCheckPage)) return;
  InitAutocheckScreen(st);
  if (LinkOpen(st)) st.model.setPageVisible(kAutoCheckPage, true);
}

int InitAutocheckScreen(Station& st) {
  AutoCheckTables& t = st.autoCheck;
  const int rc = InitAutocheck(st, t);
  showLimits(st);
  showReferences(st);
  // The positions of an earlier unit or recording are no reading of this one.
  t.current.fill(0.0);
  t.outOfLimits.fill(false);
  showCurrent(st, true, true);
  return rc;
}

int SAVELIMITS(Station& st) {
  for (int a = 0; a < 3; ++a) {
    // A deviation is a magnitude: a negative limit would mark every coordinate.
    const int v = std::max(0, FieldInt(st.model.cell(Ctl::AUTOCHECK_ERROR_LIM, 1, a + 1).text));
    st.AutoCheckLimits[static_cast<size_t>(a)] = v;
  }
  showLimits(st);  // what was typed, as it is used
  return WriteAutoCheckIni(st);
}

int AUTOCK_CURR_POSNS(Station& st) {
  const int count = checkPosnsForAutoCheck(st, st.autoCheck);
  showCurrent(st);
  followLink(st);
  return count;
}

int UPDATE_GOLDENS(Station& st) {
  const int rc = UpdateGoldens(st, st.autoCheck);
  if (rc != 2) {
    showReferences(st);
    showCurrent(st, false);  // the marks are gone; the positions read stay
  }
  followLink(st);
  return rc;
}

bool AutoCheckBeforeArming(Station& st) {
  if (!AutoCheckEnabled(st)) return true;
  const bool go = AutoCheckBeforeArm(st, st.autoCheck);
  showCurrent(st);
  return go;
}

}  // namespace lumvex
