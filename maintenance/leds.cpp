#include "maintenance/leds.h"

#include "link/query.h"

namespace lumvex {
namespace {

constexpr int kTries = 3;

int showList(Station& st, std::string_view cmd, std::string_view name, int n, double* out) {
  Exchange x = Ask(st, cmd, name);
  if (!x.ok()) return -1;
  ReadNumberList(x.second, out, n);
  return 0;
}

// A number from the unit cut toward zero, or `fallback` when it is not in
// lo..hi: the table indexes its lists with it (a huge or NaN value cannot even
// be cut to an int).
int assignmentValue(double v, int lo, int hi, int fallback) {
  if (!(v > lo - 1.0 && v < hi + 1.0)) return fallback;
  const int i = static_cast<int>(v);
  return i >= lo && i <= hi ? i : fallback;
}

// Fills `to` with the unit's list (each value in lo..hi), or with `fallback`.
template <typename Show>
void readAssignment(Station& st, Show show, std::array<int, kAssignedLeds>& to, int lo, int hi,
                    int fallback) {
  double v[kAssignedLeds] = {};
  for (int t = 0; t < kTries; ++t) {
    if (show(st, kAssignedLeds, v) == 0) {
      for (int i = 0; i < kAssignedLeds; ++i) to[i] = assignmentValue(v[i], lo, hi, fallback);
      return;
    }
  }
  st.ui->message("Communication Error",
                 "Could not read LED RIB information from Lumvex.  Dsconnect and check communication cables");
  to.fill(fallback);
}

}  // namespace

int ShowLedRib(Station& st, int n, double* out) {
  return showList(st, "SHOW_LEDRIB#117\r\n", "SHOW_LEDRIB", n, out);
}

int ShowLedPosn(Station& st, int n, double* out) {
  return showList(st, "SHOW_LEDPOSN#216\r\n", "SHOW_LEDPOSN", n, out);
}

void GetLedInfo(Station& st) {
  readAssignment(st, ShowLedRib, st.session.LedRib, 1, kLedRibs, 1);
  readAssignment(st, ShowLedPosn, st.session.LedPosn, 0, kLedPositions - 1, 0);
}

}  // namespace lumvex
