#include "files/ledcell.h"

#include "files/naming.h"
#include "platform/text.h"
#include "platform/paths.h"

#include <cstdio>
#include <memory>

namespace lumvex {
namespace {

// The first character of a selector's value, a space when nothing is selected.
char selectorChar(const Model& m, Ctl c) {
  std::string v = m.itemValue(c);
  return v.empty() ? ' ' : v[0];
}

void put(std::string& cell, size_t at, std::string_view text) {
  for (size_t i = 0; i < text.size() && at + i < cell.size(); ++i) cell[at + i] = text[i];
}

// A 10-character configuration fragment (main location, fine locations 1 and
// 2); a shorter fragment leaves the rest of its place blank.
template <size_t N>
void putFragment(std::string& cell, const std::array<char, N>& slot) {
  std::string_view f(slot.data());
  put(cell, 4, f.substr(0, 10));
}

const char* familyCode(int type) {
  switch (type) {
    case DummyPolar:
      return "PE";
    case DummyHybridIII5th:
      return "HF";
    case DummyHybridIII50th:
      return "H3";
    case DummySIDIIs:
      return "S2";
    case DummyBallistic:
      return "BA";
    case DummyWorldSID50th:
      return "WS";
    case DummyHybridIII50th3D:
      return "H3";
    case DummyWorldSID5th:
      return "WF";
    default:
      return "  ";
  }
}

}  // namespace

std::string LedIsoCellText(const Station& st, int row) {
  const Model& m = st.model;
  const int type = st.session.DummyType;
  const IniSettings& ini = st.ini;
  std::string cell(30, ' ');
  cell[0] = selectorChar(m, Ctl::TESTOBJECT);
  cell[2] = selectorChar(m, Ctl::POSITION);
  const std::string& rib = m.cell(Ctl::LED_TABLE, row, ledtable::Rib).text;
  const std::string& posName = m.cell(Ctl::LED_TABLE, row, ledtable::Position).text;
  const int i = row - 1;

  switch (type) {
    case DummyWorldSID50th:
    case DummyWorldSID5th:
      if (i >= 0 && i < 18) {
        bool right = !st.session.DirectionText.empty() && st.session.DirectionText[0] == 'R';
        putFragment(cell, right ? ini.WorldSidRightIsoNames[i] : ini.WorldSidLeftIsoNames[i]);
      }
      break;
    case DummyHybridIII5th:
    case DummyHybridIII50th:
      if (i >= 0 && i < 12) putFragment(cell, ini.HybridIIIIsoNames[i]);
      break;
    case DummySIDIIs: {
      // Rib 1 is the shoulder rib, 2 to 4 the thorax ribs, 5 and 6 the abdomen ribs.
      static constexpr const char* kMain[] = {"    ", "SHRI", "THRI", "THRI", "THRI", "ABRI", "ABRI"};
      static constexpr const char* kFine[] = {"  ", "00", "01", "02", "03", "01", "02"};
      int r = FieldInt(rib);
      if (r < 0 || r > 6) r = 0;
      put(cell, 4, kMain[r]);
      put(cell, 9, kFine[r]);
      break;
    }
    case DummyHybridIII50th3D:
      put(cell, 4, "STRN");
      put(cell, 9, (row == 1 || row == 4) ? "UP" : (row == 2 || row == 5) ? "MI" : "LO");
      break;
    case DummyPolar:
    case DummyBallistic:
      put(cell, 4, "RIBS");
      cell[9] = '0';
      cell[10] = rib.empty() ? ' ' : rib[0];
      break;
    default:
      break;
  }

  if (type == DummyHybridIII50th3D) put(cell, 12, row <= 3 ? "LE" : "RI");
  if (type == DummyPolar || type == DummySIDIIs || type == DummyBallistic)
    put(cell, 12, posName.substr(0, 2));
  put(cell, 15, familyCode(type));
  put(cell, 18, "DS");
  put(cell, 21, type <= DummyHybridIII50th ? "X/Y" : "XYZ");
  cell.resize(kLedIsoCellChars);
  return cell;
}

void ComposeLedIsoCell(Station& st, int row) {
  if (row < 1 || row > st.model.rows(Ctl::LED_TABLE)) return;
  st.model.setCell(Ctl::LED_TABLE, row, ledtable::Iso, LedIsoCellText(st, row));
}

void AddTestObject(Station& st) {
  auto text =
      st.ui->prompt("ADD ISO TEST OBJECT", "Enter a new test object in the form:\n 1 - Vehicle 1", 40);
  if (!text || text->size() <= 2) return;
  Model& m = st.model;
  m.appendItem(Ctl::TESTOBJECT, *text, text->substr(0, 1));
  m.setIndex(Ctl::TESTOBJECT, m.itemCount(Ctl::TESTOBJECT) - 1);
  std::string path = pathJoin(st.workDir, "isotestobject.txt");
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "a"), &std::fclose);
  if (f) std::fprintf(f.get(), "\n%s", text->c_str());
  TestObjectChange(st);
}

}  // namespace lumvex
