#include "files/naming.h"

#include "platform/paths.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace lumvex {
namespace {

constexpr int kLedCellColumn = 4;
constexpr int kCellLength = 25;
constexpr size_t kCodeLength = 16;
constexpr size_t kPlotNameMax = 127;

char at(std::string_view s, size_t i) { return i < s.size() ? s[i] : ' '; }

// The fixed 14-character texts that follow test object and position in the
// sensor codes of each type, in column order.
std::vector<std::string_view> sensorCodeTails(int dummyType, int axesPerLed) {
  if (isWorldSid(dummyType))
    return {"SENSTORE99PO00", "SENSBORE99PO00", "SENSMIRE99PO00",
            "SENSTOBL99PO00", "SENSBOBL99PO00", "SENSMIBL99PO00"};
  if (dummyType == DummyHybridIII50th3D) return {"SENSLE9999PO00", "SENSRI9999PO00", "SENSMI9999PO00"};
  if (axesPerLed == 2) return {"SENSLE9999PO00", "SENSRI9999PO00"};
  return {"SENSTO9999PO00", "SENSBO9999PO00", "SENSMI9999PO00"};
}

// Sets character `pos` of column 4 of every LED row to c.
void setCellCharacter(Station& st, size_t pos, char c) {
  const auto& cells = st.model[Ctl::LED_TABLE].cells;
  for (int row = 1; row <= st.data.layout.LedCount && row <= static_cast<int>(cells.size()); ++row) {
    if (cells[row - 1].size() < static_cast<size_t>(kLedCellColumn)) continue;
    std::string text = cells[row - 1][kLedCellColumn - 1].text;
    if (text.size() < kCellLength) text.resize(kCellLength, ' ');
    text[pos] = c;
    st.model.setCell(Ctl::LED_TABLE, row, kLedCellColumn, text);
  }
}

std::string_view ribPhrase(std::string_view two) {
  if (two == "LE") return "Left Rib ";
  if (two == "RI") return "Right Rib ";
  if (two == "TO") return "Top Rib ";
  if (two == "MI") return "Middle Rib ";
  if (two == "BO") return "Bottom Rib ";
  if (two == "IN") return "Inner Rib ";
  if (two == "OU") return "Outer Rib ";
  return "";
}

std::string_view ambientSide(std::string_view two) {
  if (two == "LE") return "Left";
  if (two == "RI") return "Right";
  if (two == "TO") return "Top";
  if (two == "MI") return "Middle";
  if (two == "BO") return "Bottom";
  if (two == "IN") return "Inner";
  if (two == "OU") return "Outer";
  return "";
}

void setPlotName(std::array<char, 128>& slot, std::string_view text) {
  size_t n = std::min(text.size(), kPlotNameMax);
  std::memcpy(slot.data(), text.data(), n);
  slot[n] = 0;
}

// One line of the plot-names file, read as a text stream reads it: a CR LF
// pair counts as one line end. At most size - 1 characters are kept, the rest
// of the line is dropped. False at the end of the file or at a byte with its
// top bit set, with whatever was read before it kept.
bool readPlotNameLine(std::FILE* f, std::string& line, size_t size) {
  line.clear();
  for (;;) {
    int ch = std::fgetc(f);
    if (ch == EOF || (ch & 0x80) != 0) return false;
    if (ch == '\r') {
      int next = std::fgetc(f);
      if (next == '\n')
        ch = '\n';
      else if (next != EOF)
        std::ungetc(next, f);
    }
    if (line.size() + 1 < size) line.push_back(static_cast<char>(ch));
    if (ch == '\r' || ch == '\n') return true;
  }
}

void worldSidPlotNames(Station& st) {
  auto& codes = st.data.codes;
  std::FILE* f = std::fopen(pathJoin(st.workDir, kPlotNamesFile).c_str(), "rb");
  if (f == nullptr) {
    for (int k = 0; k < kCodeSlots; ++k) setPlotName(codes.PlotNames[k], codeText(codes.ChannelCodes[k]));
    return;
  }
  std::string prefix = "Lumvex ";
  prefix += codes.ChannelCodes[0][6] == 'L' ? "Left " : "Right ";
  std::string line;
  bool more = true;
  for (int k = 0; k < kCodeSlots; ++k) {
    if (more) {
      more = readPlotNameLine(f, line, kPlotNameMax + 1);
    } else {
      line.clear();
    }
    // A CR never belongs to a name, whatever line ends the file uses.
    line.resize(std::min(line.size(), line.find_first_of("\n,\r")));
    setPlotName(codes.PlotNames[k], prefix + line);
  }
  std::fclose(f);
}

std::string otherPlotName(std::string_view code, int relative) {
  std::string_view main = code.substr(std::min<size_t>(2, code.size()), 4);
  std::string name;
  if (main == "RIBS") {
    name = "Lumvex ";
    name += ribPhrase(code.substr(std::min<size_t>(8, code.size()), 2));
    name += code.substr(std::min<size_t>(6, code.size()), 2);
    if (relative != 0) name += " Relative";
    name += " Displacement ";
    if (code.size() > 14) name += code[14];
  } else if (main == "SENS") {
    name = "Lumvex Ambient ";
    name += ambientSide(code.substr(std::min<size_t>(6, code.size()), 2));
  } else {
    name = code;
  }
  return name;
}

}  // namespace

std::string CodeFromLedCell(std::string_view cell, char axis) {
  static constexpr int kPick[14] = {0, 2, 4, 5, 6, 7, 9, 10, 12, 13, 15, 16, 18, 19};
  std::string code;
  code.reserve(kCodeLength);
  for (int p : kPick) code.push_back(at(cell, p));
  code.push_back(axis);
  code.push_back('0');
  return code;
}

void BuildChannelCodes(Station& st) {
  auto& codes = st.data.codes;
  const Layout& lay = st.data.layout;
  static constexpr char kAxes[3] = {'X', 'Y', 'Z'};
  int slot = 0;
  for (int i = 0; i < lay.LedCount; ++i) {
    const std::string& cell = st.model.cell(Ctl::LED_TABLE, i + 1, kLedCellColumn).text;
    std::string code = CodeFromLedCell(cell, 'X');
    for (int a = 0; a < lay.AxesPerLed && a < 3 && slot < kCodeSlots; ++a, ++slot) {
      code[14] = kAxes[a];
      setCode(codes.ChannelCodes[slot], code);
    }
  }
  std::string head{codes.ChannelCodes[0][0], codes.ChannelCodes[0][1]};
  for (std::string_view tail : sensorCodeTails(st.session.DummyType, lay.AxesPerLed)) {
    if (slot >= kCodeSlots) break;
    setCode(codes.ChannelCodes[slot++], head + std::string(tail));
  }
  codes.DataFilterCode = '0';
}

void TestObjectChange(Station& st) {
  std::string v = st.model.itemValue(Ctl::TESTOBJECT);
  if (!v.empty()) setCellCharacter(st, 0, v[0]);
}

void IsoPosnChange(Station& st) {
  std::string v = st.model.itemValue(Ctl::POSITION);
  if (!v.empty()) setCellCharacter(st, 2, v[0]);
}

char UnfilteredCode(const IniSettings& ini) { return ini.LegacySwUnfiltCode == 1 ? 'P' : '0'; }

void EncodeFilter(Station& st, char letter) {
  auto& codes = st.data.codes;
  char unfiltered = UnfilteredCode(st.ini);
  int last = std::min(st.data.ChannelData.ChannelCount - 2, kCodeSlots - 1);
  for (int k = 0; k <= last; ++k) {
    std::string_view code = codeText(codes.ChannelCodes[k]);
    if (Contains(code, "SENS"))
      codes.ChannelCodes[k][15] = unfiltered;
    else if (!Contains(code, "DSL"))
      codes.ChannelCodes[k][15] = letter;
  }
}

int GetCAC(const Station& st, int k) {
  struct Rule {
    std::string_view part;
    int cls;
  };
  static constexpr Rule kRules[] = {{"H3DSX", 90},  {"H3DSY", 196}, {"HFDSX", 75}, {"HFDSY", 150},
                                    {"WSDSY", 75},  {"WSDSX", 240}, {"WSDSZ", 80}, {"W5DSY", 65},
                                    {"W5DSX", 200}, {"W5DSZ", 80}};
  if (k < 0 || k >= kCodeSlots) return 327;
  std::string_view code = codeText(st.data.codes.ChannelCodes[k]);
  for (const Rule& r : kRules)
    if (Contains(code, r.part)) return r.cls;
  return 327;
}

int GeneratePlotNames(Station& st, int relative) {
  auto& codes = st.data.codes;
  for (auto& name : codes.PlotNames) setPlotName(name, " ");
  if (isWorldSid(st.session.DummyType)) {
    worldSidPlotNames(st);
    return 0;
  }
  int last = std::min(st.data.ChannelData.ChannelCount - 2, kCodeSlots - 1);
  for (int k = 0; k <= last; ++k)
    setPlotName(codes.PlotNames[k], otherPlotName(codeText(codes.ChannelCodes[k]), relative));
  return 0;
}

}  // namespace lumvex
