#include "maintenance/side.h"

#include "files/ledcell.h"
#include "link/info.h"
#include "link/link.h"
#include "link/query.h"
#include "maintenance/upload.h"
#include "platform/paths.h"
#include "core/callayout.h"
#include "processing/rawconv.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace lumvex {
namespace {

constexpr int kWorldSidLeds = 18;
constexpr char kFailedSideLabel[] = "????????";
constexpr char kFailedSideValue[] = "??";

bool startsWithLeft(const std::string& directionText) {
  return !directionText.empty() && directionText[0] == 'L';
}

// The selector shows the side the unit was last known to use.
void selectCurrentSide(Station& st) {
  st.model.selectValue(Ctl::LX_DIRECTION, startsWithLeft(st.session.DirectionText) ? "LE" : "RI");
}

int ledRows(const Station& st) { return std::min(kWorldSidLeds, st.model.rows(Ctl::LED_TABLE)); }

void rewriteIsoCells(Station& st, bool left) {
  const auto& names = left ? st.ini.WorldSidLeftIsoNames : st.ini.WorldSidRightIsoNames;
  for (int r = 1; r <= ledRows(st); ++r) PutIsoFragment(st, r, names[r - 1].data());
}

// A unit below serial 100 keeps its calibration for both sides: the rear and
// front LEDs of every rib trade places in the table, nothing goes to the unit.
void relabelTable(Station& st, bool left) {
  for (int r = 1; r <= ledRows(st); ++r) {
    const int k = (r - 1) / 3, j = (r - 1) % 3;
    if (j == 0) st.model.setCell(Ctl::LED_TABLE, r, ledtable::Position, left ? "REAR" : "FRONT");
    if (j == 2) st.model.setCell(Ctl::LED_TABLE, r, ledtable::Position, left ? "FRONT" : "REAR");
    // On the right the rib's rear and front entries swap.
    const auto& fragment =
        left ? st.ini.WorldSidLeftIsoNames[r - 1] : st.ini.WorldSidRightIsoNames[3 * k + (2 - j)];
    PutIsoFragment(st, r, fragment.data());
  }
}

bool hasFailedEntry(const Model& m) {
  for (const Item& it : m[Ctl::LX_DIRECTION].items)
    if (it.value == kFailedSideValue) return true;
  return false;
}

void markFailedSide(Station& st) {
  Model& m = st.model;
  if (!hasFailedEntry(m)) m.appendItem(Ctl::LX_DIRECTION, kFailedSideLabel, kFailedSideValue);
  m.selectValue(Ctl::LX_DIRECTION, kFailedSideValue);
}

void clearFailedSide(Station& st, const char* picked) {
  Model& m = st.model;
  if (!hasFailedEntry(m)) return;
  std::vector<Item> items = m[Ctl::LX_DIRECTION].items;
  std::erase_if(items, [](const Item& it) { return it.value == kFailedSideValue; });
  m.setItems(Ctl::LX_DIRECTION, std::move(items), 0);
  m.selectValue(Ctl::LX_DIRECTION, picked);
}

// Copies the calibration image into the upload buffer as the file holds it
// (little-endian floats).
void fillUploadBuffer(Station& st, int floats) {
  uint8_t* out = st.data.CalUploadBuffer.begin();
  const float* in = st.data.CalImage.begin();
  for (int i = 0; i < floats; ++i) {
    uint32_t u;
    std::memcpy(&u, &in[i], 4);
    for (int b = 0; b < 4; ++b) *out++ = static_cast<uint8_t>(u >> (8 * b));
  }
}

SideChange loadCalibration(Station& st, bool left) {
  SessionState& s = st.session;
  const int side = left ? 0 : 1;
  std::string question = "This will load a calibration file into the Lumvex\n\r";
  question += left ? "If the Lumvex is installed for LEFT side impact, click on Load File\n\r"
                   : "If the Lumvex is installed for RIGHT side impact, click on the Load File button\n\r";
  question += "Otherwise click on the Cancel button";
  if (st.ui->twoButton("Lumvex Direction Change", question, "Cancel", "Load Cal File") != 2) {
    selectCurrentSide(st);
    return SideChange::Cancelled;
  }

  const std::string keptDate = s.calDate;
  auto giveUp = [&] {
    selectCurrentSide(st);
    s.calDate = keptDate;
    st.model.setText(Ctl::CALDATE, keptDate);
    return SideChange::Failed;
  };
  // Without the new side's date the file name would be that of another
  // calibration; the failed query has been reported.
  if (GetCalDate(st, side) != 0 || !LinkOpen(st)) return giveUp();

  SessionState named;
  named.SerialNumberText = s.SerialNumberText;
  named.calDate = s.calDate;
  named.DirectionText = left ? "Left Side" : "Right Side";
  const int floats = calLayout(calLayoutFor(s.DummyType, s.IsLX2)).floats;
  const int got =
      readCalibrationFile(pathJoin(st.workDir, calibrationFileName(named)), st.data.CalImage.begin(), floats);
  st.data.CalImageFloats = got < 0 ? 0 : got;
  // A short file would send the rest of an earlier image as calibration.
  if (got < floats) {
    st.ui->message("Calibration File Error", "Could not find calibration file, Load aborted");
    return giveUp();
  }
  fillUploadBuffer(st, floats);

  const int sent = SendCal(st, floats * static_cast<int>(sizeof(float)), side);
  if (sent != 0) {
    markFailedSide(st);
  } else {
    clearFailedSide(st, left ? "LE" : "RI");
    Direction(st);
  }
  rewriteIsoCells(st, left);
  return sent == 0 ? SideChange::Loaded : SideChange::Failed;
}

SideChange switchLX2(Station& st, bool left) {
  if (Set_LX2_Direction(st, left ? 0 : 1) != 0) {
    selectCurrentSide(st);
    return SideChange::Failed;
  }
  GetCalDate(st, -1);
  Direction(st);
  rewriteIsoCells(st, left);
  return SideChange::Switched;
}

}  // namespace

void PutIsoFragment(Station& st, int row, const char* fragment) {
  if (row < 1 || row > st.model.rows(Ctl::LED_TABLE)) return;
  std::string cell = st.model.cell(Ctl::LED_TABLE, row, ledtable::Iso).text;
  if (cell.size() < kLedIsoCellChars) cell.resize(kLedIsoCellChars, ' ');
  const size_t len = strnlen(fragment, 10);
  for (size_t i = 0; i < 10; ++i) cell[4 + i] = i < len ? fragment[i] : ' ';
  st.model.setCell(Ctl::LED_TABLE, row, ledtable::Iso, cell);
}

int Set_LX2_Direction(Station& st, int side) {
  Exchange x = Ask(st, CommandFrame("SETSIDECAL#" + std::to_string(side) + "#"), "SETSIDECAL");
  // A failed exchange is no switch: the unit may still use the other side.
  if (x.reply == Reply::LinkFailed) return -1;
  if (x.reply == Reply::Bad) {
    st.ui->message("COMM ERROR", "Communication error changing Lumvex cal curve");
    return -1;
  }
  if (Contains(x.first, "OK")) return 0;
  if (Contains(x.first, "BAD2")) {
    st.ui->message("Cal Curve Error:", side == 0
                                           ? "Left Side Cal is corrupted, reverting to Right Side"
                                           : "Right Side Cal data is corrupted, reverting to Left Side");
    return -1;
  }
  if (Contains(x.first, "BAD")) {
    st.ui->message("Cal Curve Error:", side == 0
                                           ? "Left Side Cal data does not exist, reverting to Right Side"
                                           : "Right Side Cal data does not exist, reverting to Left Side");
  }
  return -1;
}

SideChange DirChange(Station& st) {
  const SessionState& s = st.session;
  const std::string picked = st.model.itemValue(Ctl::LX_DIRECTION);
  if (picked != "LE" && picked != "RI") return SideChange::Nothing;
  const bool left = picked == "LE";
  const int serial = FieldInt(s.SerialNumberText);
  if (s.DummyType == DummyWorldSID50th && serial < 100) {
    relabelTable(st, left);
    return SideChange::Relabelled;
  }
  if (!isWorldSid(s.DummyType) || serial <= 100) return SideChange::Nothing;
  // A reprocessing in progress owns the side selector.
  if (st.model.visible(Ctl::REPROCESS_BUTTON)) return SideChange::Nothing;
  const char current = s.DirectionText.empty() ? '\0' : s.DirectionText[0];
  if (current == (left ? 'L' : 'R')) return SideChange::Nothing;
  return s.IsLX2 ? switchLX2(st, left) : loadCalibration(st, left);
}

}  // namespace lumvex
