// The CSV reader: four header lines (type, side and serial, ATD and date, the
// column names), then rows of numbers read as "%f," reads them.
#include "files/readers.h"
#include "files/textin.h"
#include "platform/text.h"
#include "processing/assembly.h"

#include <algorithm>

namespace lumvex {
namespace {

constexpr size_t kLineSize = 3999;    // lines of up to 3 998 characters
constexpr size_t kAtdMax = 80;        // characters of the ATD text
constexpr size_t kDateMax = 31;       // characters of a date text
constexpr size_t kCodeStored = 24;    // characters of a column name kept as a code
constexpr size_t kFilterOffset = 16;  // "ISO Filter code=" then the class letter

// The character after the line's first '=' ('1' without one); C's string
// ends in a zero byte, so "=" at the very end gives it.
char afterEquals(std::string_view line) {
  const size_t at = line.find('=');
  if (at == std::string_view::npos) return '1';
  return at + 1 < line.size() ? line[at + 1] : '\0';
}

void putCode(CodeSlot& slot, std::string_view text) {
  slot.fill('\0');
  std::copy_n(text.begin(), std::min(text.size(), slot.size() - 1), slot.begin());
}

// Line 4 read character by character to its end: field k (after the time
// column's name) becomes code slot k - 1.
void readColumnNames(TextFileIn& in, FileDataSet& ds) {
  std::string field;
  int k = 0;  // field number
  for (;;) {
    const int c = in.getChar();
    const bool end = c < 0 || c == '\r' || c == '\n';
    if (end || c == ',') {
      if (k >= 1 && k <= kCodeSlots) putCode(ds.ChannelCodes[static_cast<size_t>(k - 1)], field);
      field.clear();
      ++k;
      if (end) return;
    } else if (field.size() < kCodeStored) {
      field.push_back(static_cast<char>(c));
    }
  }
}

// The ten characters 0-3, 5-6 and 8-9 of a configured ISO name, as bytes
// (a short name gives its terminating zero, which ends the code).
template <size_t N>
std::string isoPart(const std::array<char, N>& name) {
  std::string s;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) s.push_back(i < N ? name[i] : '\0');
  return s;
}

void setAlt(CodeSlot& slot, char object, char position, std::string_view body) {
  std::string code{object, position};
  code.append(body);
  slot.fill('\0');
  std::copy_n(code.begin(), std::min(code.size(), slot.size() - 1), slot.begin());
}

// The alternative format names its columns for people; the codes are made
// again from the configuration, for the types that have such names.
void rebuildCodes(const IniSettings& ini, FileDataSet& ds, char object, char position) {
  auto& c = ds.ChannelCodes;
  const char f = ds.DataFilterCode;
  const int type = ds.DummyType;
  if (type == DummyHybridIII5th || type == DummyHybridIII50th) {
    const char* x = type == DummyHybridIII5th ? "H3DSX" : "HFDSX";
    const char* y = type == DummyHybridIII5th ? "H3DSY" : "HFDSY";
    for (int s = 0; s < 24; ++s)
      setAlt(c[s], object, position, isoPart(ini.HybridIIIIsoNames[s / 2]) + (s % 2 == 0 ? x : y) + f);
    setAlt(c[24], object, position, "SENSLE9999PO00");
    setAlt(c[25], object, position, "SENSRI9999PO00");
    return;
  }
  if (!isWorldSid(type)) return;  // the codes in memory stay
  const bool fifth = type == DummyWorldSID5th;
  const char* axes[3] = {fifth ? "W5DSX" : "WSDSX", fifth ? "WFDSY" : "WSDSY", fifth ? "WFDSZ" : "WSDSZ"};
  const bool left = !ds.DirectionText.empty() && ds.DirectionText[0] == 'L';
  const auto& names = left ? ini.WorldSidLeftIsoNames : ini.WorldSidRightIsoNames;
  for (int s = 0; s < 54; ++s) setAlt(c[s], object, position, isoPart(names[s / 3]) + axes[s % 3] + f);
  const char* sensors[6] = {"SENSTORE99PO00", "SENSBORE99PO00", "SENSMIRE99PO00",
                            "SENSTOBL99PO00", "SENSBOBL99PO00", "SENSMIBL99PO00"};
  for (int s = 0; s < 6; ++s) setAlt(c[54 + s], object, position, sensors[s]);
  for (int p = 0; p < 6; ++p) {
    c[60 + p] = c[4 + 9 * p];
    c[60 + p][14] = 'U';
    c[66 + p] = c[4 + 9 * p];
    c[66 + p][14] = 'C';
  }
  if (ds.ChannelCount > 73) {
    for (int i = 0; i < 18; ++i) {
      c[72 + i] = c[3 * i];
      c[72 + i][14] = 'L';
    }
  }
}

}  // namespace

int ReadCSVFile(Station& st, const std::string& path, FileDataSet& ds) {
  TextFileIn in;
  if (!in.open(path)) return -1;
  std::string line;

  in.readLine(line, kLineSize, true);
  if (GetLXtype(st, ds, line) != 0) return -1;
  ds.AlreadyZeroed = Contains(line, "Relative") ? 1 : 0;
  const size_t filter = line.find("ISO Filter code");
  ds.DataFilterCode = filter == std::string::npos            ? 'x'
                      : filter + kFilterOffset < line.size() ? line[filter + kFilterOffset]
                                                             : '\0';
  const bool alternative = Contains(line, "Alternate CSV Format");

  in.readLine(line, kLineSize, true);
  if (Contains(line, "Left Side"))
    ds.DirectionText = "Left Side";
  else if (Contains(line, "Right Side"))
    ds.DirectionText = "Right Side";
  else if (Contains(line, "Center in the X"))
    ds.DirectionText = "Center in the X direction";
  else
    ds.DirectionText = "unknown";
  const size_t number = line.find("Number:");
  if (number == std::string::npos) {
    ds.SerialNumberText = "unknown";
  } else {
    size_t e = number + 7;
    while (e < line.size() && line[e] >= '0' && line[e] <= '9') ++e;
    ds.SerialNumberText = line.substr(number + 7, e - (number + 7));
  }
  const char object = afterEquals(line);
  ds.TriggerSetting = GetSavedTrigger(line);

  in.readLine(line, kLineSize, true);
  std::string_view atd = AfterFirst(line, ':');
  atd = UntilLineEnd(atd.substr(0, atd.find(",,,,,")));
  ds.ident.AtdText = std::string(atd.substr(0, kAtdMax));
  ds.ident.TestTimeText = "01:01:01";
  const size_t date = line.find("Date:");
  GetFileDates(ds.ident, date == std::string::npos ? std::string_view("01-01-1900")
                                                   : std::string_view(line).substr(date + 5, kDateMax));
  const char position = afterEquals(line);

  if (alternative) {
    in.readLine(line, kLineSize, true);
    rebuildCodes(st.ini, ds, object, position);
  } else {
    readColumnNames(in, ds);
  }

  // Every number in turn fills the table row after row; the count read ends
  // at the first that cannot be read. One row more than the buffers hold
  // refuses the file before it could be stored.
  ChannelTable& work = st.data.ExportData;
  const size_t columns = static_cast<size_t>(ds.ChannelCount);
  const size_t limit = (static_cast<size_t>(kMaxRecords) + 1) * columns;
  static_assert((static_cast<size_t>(kMaxRecords) + 1) * kMaxChannels <= kChannelDataValues);
  const size_t read = in.readFloats(work.values.begin(), limit, 1, true);
  if (read == limit) {
    RefuseFile(st, ReadRefusal::SamplesOutOfRange, path);
    return -1;
  }
  ds.SampleCount = static_cast<int>(read / columns);
  ds.StartTimeMs = read > 0 ? work.values[0] : 0.0f;
  return 0;
}

}  // namespace lumvex
