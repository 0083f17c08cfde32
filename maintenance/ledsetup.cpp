// The writing half of the LED assignment (maintenance/leds.h): table edits,
// saving to the unit, cancelling, and the current positions in the table.
#include "files/ledcell.h"
#include "link/link.h"
#include "link/positions.h"
#include "link/query.h"
#include "link/status.h"
#include "maintenance/leds.h"
#include "processing/assembly.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

namespace lumvex {
namespace {

constexpr int kTries = 3;
constexpr char kCommTitle[] = "Communication Error";
constexpr size_t kIsoRibChar = 10;  // second character of fine location 1
constexpr size_t kIsoMainAt = 4;    // main location, 4 characters
constexpr size_t kIsoSideAt = 12;   // fine location 2: "LE" or "RI"
constexpr int kBallisticLeds = 3;

// A reply field that holds exactly the decimal number v (blanks around it allowed).
bool fieldIs(std::string_view f, int v) {
  while (!f.empty() && f.front() == ' ') f.remove_prefix(1);
  while (!f.empty() && (f.back() == ' ' || f.back() == '\r' || f.back() == '\n')) f.remove_suffix(1);
  int got = 0;
  auto [p, ec] = std::from_chars(f.data(), f.data() + f.size(), got);
  return ec == std::errc() && p == f.data() + f.size() && !f.empty() && got == v;
}

int setAssignment(Station& st, const std::string& name, int led, int value) {
  Exchange x =
      Ask(st, CommandFrame(name + "#" + std::to_string(led) + "#" + std::to_string(value) + "#"), name);
  return x.ok() && fieldIs(x.first, led) && fieldIs(x.second, value) ? 0 : -1;
}

template <typename Fn>
bool tried(Fn fn) {
  for (int t = 0; t < kTries; ++t)
    if (fn() == 0) return true;
  return false;
}

// What a cell shows: its chosen entry, or its text.
std::string shownText(const Cell& c) {
  if (c.choice && c.choiceIndex >= 0 && c.choiceIndex < static_cast<int>(c.choices.size()))
    return c.choices[static_cast<size_t>(c.choiceIndex)];
  return c.text;
}

// The adjustable layout: twelve rows whose rib and position cells are lists.
int assignmentRows(const Station& st) {
  const Model& m = st.model;
  const int rows = std::min(kAssignedLeds, m.rows(Ctl::LED_TABLE));
  for (int r = 1; r <= rows; ++r)
    if (!m.cell(Ctl::LED_TABLE, r, ledtable::Rib).choice ||
        !m.cell(Ctl::LED_TABLE, r, ledtable::Position).choice)
      return 0;
  return rows;
}

// The buttons that say the table holds unsaved edits; while they show, the
// download is dimmed. Otherwise the download is available only with a
// recording held, as the status table has it.
void showEdited(Station& st, bool edited) {
  st.model.setVisible(Ctl::SAVE_LED_INFO, edited);
  st.model.setVisible(Ctl::CANCEL_LED_CHANGES, edited);
  st.model.setDimmed(Ctl::DOWNLOAD_BUT, edited || st.session.unitStatus != StatusDataHeld);
}

void selectEntry(Cell& c, int index) {
  if (index < 0 || index >= static_cast<int>(c.choices.size())) return;
  c.choiceIndex = index;
  c.text = c.choices[static_cast<size_t>(index)];
}

}  // namespace

int SetLedRib(Station& st, int led, int rib) { return setAssignment(st, "LED_RIB", led, rib); }

int SetLedPosn(Station& st, int led, int posn) { return setAssignment(st, "LED_POSN", led, posn); }

int SaveLeds(Station& st) {
  Exchange x = Ask(st, "SAVE#82\r\n", "SAVE");
  if (x.reply == Reply::LinkFailed) return -1;
  if (x.reply == Reply::Bad) {
    st.ui->message("COMM ERROR", "Error saving led information to Lumvex");
    return -1;
  }
  return 0;
}

int SetLedInfo(Station& st) {
  const int rows = assignmentRows(st);
  if (rows == 0) return -1;  // not the adjustable layout: nothing to write
  for (int r = 1; r <= rows; ++r) {
    const int rib = FieldInt(shownText(st.model.cell(Ctl::LED_TABLE, r, ledtable::Rib)));
    if (!tried([&] { return SetLedRib(st, r, rib); })) {
      st.ui->message(
          kCommTitle,
          "Could not set LED RIB information in Lumvex.  Dsconnect and check communication cables");
      return -1;
    }
    st.session.LedRib[static_cast<size_t>(r - 1)] = rib;
    const int posn = st.model.cell(Ctl::LED_TABLE, r, ledtable::Position).choiceIndex;
    if (!tried([&] { return SetLedPosn(st, r, posn); })) {
      st.ui->message(
          kCommTitle,
          "Could not set LED POSITION information in Lumvex.  Dsconnect and check communication cables");
      return -1;
    }
    st.session.LedPosn[static_cast<size_t>(r - 1)] = posn;
  }
  if (!tried([&] { return SaveLeds(st); })) {
    st.ui->message(kCommTitle,
                   "Could not save LED information in Lumvex.  Dsconnect and check communication cables");
    return -1;
  }
  showEdited(st, false);
  return 0;
}

bool LedTableEdit(Station& st, int row, int col) {
  Model& m = st.model;
  if (col != ledtable::Rib && col != ledtable::Position) return false;
  // LedRib and LedPosn hold the twelve assigned LEDs only.
  if (row < 1 || row > std::min(kAssignedLeds, m.rows(Ctl::LED_TABLE))) return false;
  std::string iso = m.cell(Ctl::LED_TABLE, row, ledtable::Iso).text;
  if (iso.size() < kLedIsoCellChars) iso.resize(kLedIsoCellChars, ' ');
  const size_t i = static_cast<size_t>(row - 1);
  bool change = false;
  if (col == ledtable::Rib) {
    const std::string rib = shownText(m.cell(Ctl::LED_TABLE, row, ledtable::Rib));
    iso[kIsoRibChar] = rib.empty() ? ' ' : rib[0];
    change = FieldInt(rib) != st.session.LedRib[i];
  } else {
    const Cell& c = m.cell(Ctl::LED_TABLE, row, ledtable::Position);
    const std::string text = shownText(c);
    iso.replace(kIsoMainAt, 4, Contains(text, "RIB") ? "RIBS" : "STRN");
    iso[kIsoSideAt] = !text.empty() ? text[0] : ' ';
    iso[kIsoSideAt + 1] = text.size() > 1 ? text[1] : ' ';
    change = c.choiceIndex != st.session.LedPosn[i];
  }
  m.setCell(Ctl::LED_TABLE, row, ledtable::Iso, iso);
  if (change) {
    m.setVisible(Ctl::SAVE_LED_INFO, true);
    m.setVisible(Ctl::CANCEL_LED_CHANGES, true);
    m.setDimmed(Ctl::DOWNLOAD_BUT, true);
  }
  return change;
}

void CancelLedChanges(Station& st) {
  GetLedInfo(st);
  Model& m = st.model;
  const int rows = assignmentRows(st);
  for (int r = 1; r <= rows; ++r) {
    const size_t i = static_cast<size_t>(r - 1);
    selectEntry(m.editCell(Ctl::LED_TABLE, r, ledtable::Rib), st.session.LedRib[i] - 1);
    m.changed(Ctl::LED_TABLE);
    LedTableEdit(st, r, ledtable::Rib);
    selectEntry(m.editCell(Ctl::LED_TABLE, r, ledtable::Position), st.session.LedPosn[i]);
    m.changed(Ctl::LED_TABLE);
    LedTableEdit(st, r, ledtable::Position);
  }
  showEdited(st, false);
}

bool LedButtonsActive(Station& st) {
  const int s = CheckStatus(st);
  return s == StatusReady || s == StatusDataHeld;
}

int DummyFramePositions(Station& st, int& count, double* points) {
  count = 0;
  const int rc = getPoints(st, count, points);
  if (rc != 0) return rc;
  CoordConvert(st, count, points);
  // The Ballistic unit's first two axes are the dummy's second and first.
  if (st.session.DummyType == DummyBallistic)
    for (int led = 0; led < kBallisticLeds && 3 * led + 1 < count; ++led)
      std::swap(points[3 * led], points[3 * led + 1]);
  return 0;
}

int ShowCurrentPositions(Station& st) {
  std::array<double, kMaxPointValues> p{};
  int count = 0;
  const int rc = DummyFramePositions(st, count, p.data());
  if (rc != 0) return rc;
  Model& m = st.model;
  const int axes = std::clamp(st.data.layout.AxesPerLed, 0, 3);
  const int rows = std::min(st.data.layout.LedCount, m.rows(Ctl::LED_TABLE));
  Control& t = m.edit(Ctl::LED_TABLE);
  size_t k = 0;
  for (int r = 1; r <= rows; ++r)
    for (int a = 0; a < axes && k < p.size(); ++a, ++k) {
      auto& row = t.cells[static_cast<size_t>(r - 1)];
      const size_t col = static_cast<size_t>(ledtable::X - 1 + a);
      if (col < row.size()) row[col].text = PositionText(p[k]);
    }
  m.changed(Ctl::LED_TABLE);
  return 0;
}

std::string PositionText(double mm) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, mm, std::chars_format::fixed, 2);
  return std::string(buf, r.ptr);
}

}  // namespace lumvex
