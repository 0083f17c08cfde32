#include "files/csv.h"

#include "files/naming.h"
#include "files/output.h"
#include "platform/paths.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace lumvex {
namespace {

template <size_t N>
std::string_view slotText(const std::array<char, N>& slot) {
  return std::string_view(slot.data(), strnlen(slot.data(), N));
}

std::string_view cutAt(std::string_view s, std::string_view stops) {
  return s.substr(0, std::min(s.size(), s.find_first_of(stops)));
}

std::string_view filterText(char code) {
  switch (code) {
    case '0':
      return " - no filter,,,,";
    case 'A':
      return " - class 1000,,,,";
    case 'B':
      return " - class 600,,,,";
    case 'C':
      return " - class 180,,,,";
    case 'D':
      return " - class 60,,,,";
    default:
      return ",,,,";
  }
}

// A name must stay one field of one line: commas and line ends become "_".
std::string fieldText(std::string_view name) {
  std::string s(name);
  std::replace_if(
      s.begin(), s.end(), [](char c) { return c == ',' || c == '\r' || c == '\n'; }, '_');
  return s;
}

bool hasAltNames(int dummyType) {
  return dummyType == DummyHybridIII5th || dummyType == DummyHybridIII50th || isWorldSid(dummyType);
}

void putHeader(OutFile& out, Station& st, int relative, bool altNames) {
  const auto& slot1 = st.data.codes.ChannelCodes[1];
  std::string& serial = st.session.SerialNumberText;
  serial.resize(cutAt(serial, "\r,").size());  // for good: later files show the cut text too
  std::string h;
  h += "Lumvex Type: ";
  h += currentTypeName(st);
  h += ",,,,,,";
  h += relative != 0 ? "Data is Relative,,,,,," : "Data is Absolute,,,,,,";
  h += "ISO Filter code=";
  h += slot1[15];
  h += filterText(slot1[15]);
  h += altNames ? "Alternate CSV Format\r" : "ISO CSV Format\r";
  h += "Lumvex Facing Toward Dummy " + st.session.DirectionText + ",,,,,,";
  h += "Serial Number:" + serial + ",,,,,,";
  h += "ISO Test Object code=";
  h += slot1[0];
  h += ",,,,Trigger:" + std::to_string(SavedTriggerCode(st.session)) + "\r";
  h += "ATD: " + st.data.ident.AtdText + ",,,,,,";
  h += "Test Date:" + st.data.ident.TestDateUs + ",,,,,,";
  h += "ISO Position code=";
  h += slot1[1];
  h += "\r";
  out.put(h);
}

void putColumnNames(OutFile& out, const Station& st, bool altNames) {
  const int columns = st.data.ExportData.ChannelCount;
  std::vector<std::string> alt = altNames ? AltCsvNames(st) : std::vector<std::string>{};
  std::string line = "Time(ms),";
  for (int j = 1; j < columns; ++j) {
    if (altNames)
      line += fieldText(static_cast<size_t>(j - 1) < alt.size() ? alt[j - 1] : std::string());
    else
      line += fieldText(j - 1 < kCodeSlots ? codeText(st.data.codes.ChannelCodes[j - 1]) : "");
    line += j + 1 < columns ? ',' : '\r';
  }
  if (columns <= 1) line += '\r';
  out.put(line);
}

void putSamples(OutFile& out, const ChannelTable& t) {
  const size_t columns = static_cast<size_t>(std::max(t.ChannelCount, 0));
  const float* row = t.values.data.get();
  for (int s = 0; s < t.SampleCount; ++s, row += columns) {
    char* p = out.reserve(columns * (kMaxNumberText + 1) + 1);
    for (size_t c = 0; c < columns; ++c) {
      p = formatFixed2(p, row[c]);
      *p++ = ',';
    }
    *p++ = '\r';
    out.commit(p);
  }
}

std::string timeOfDay() {
  std::time_t now = std::time(nullptr);
  std::tm tmv{};
  localtime_r(&now, &tmv);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", tmv.tm_hour, tmv.tm_min, tmv.tm_sec);
  return buf;
}

}  // namespace

std::vector<std::string> AltCsvNames(const Station& st) {
  const IniSettings& ini = st.ini;
  const int type = st.session.DummyType;
  std::vector<std::string> names;
  if (!hasAltNames(type)) return names;
  // A position character that is not a digit has no name of its own: no prefix.
  char digit = st.data.codes.ChannelCodes[1][1];
  std::string p = digit >= '0' && digit <= '9' ? std::string(slotText(ini.AltIsoPosnNames[digit - '0'])) : "";
  if (!isWorldSid(type)) {
    for (int r = 0; r < 12; ++r)
      for (const char* axis : {"X", "Y"})
        names.push_back(p + std::string(slotText(ini.AltH3RibNames[r])) + axis);
    names.push_back(p + "_Amb_Left");
    names.push_back(p + "_Amb_Right");
  } else {
    auto led = [&](int s) { return p + std::string(slotText(ini.AltWsLedNames[s])); };
    for (int s = 0; s < 18; ++s)
      for (const char* axis : {"X", "Y", "Z"}) names.push_back(led(s) + axis);
    for (const char* amb :
         {"_Amb_Top_R", "_Amb_Bot_R", "_Amb_Mid_R", "_Amb_Top_B", "_Amb_Bot_B", "_Amb_Mid_B"})
      names.push_back(p + amb);
    const bool mme = ini.UseMmeIrtChannelNames != 0;
    for (const char* letter : {mme ? "0" : "U", mme ? "Y" : "C"})
      for (int s = 1; s < 18; s += 3) names.push_back(led(s) + letter);
    for (int s = 0; s < 18; ++s) names.push_back(led(s) + "L");
  }
  size_t columns = static_cast<size_t>(std::max(st.data.ExportData.ChannelCount - 1, 0));
  if (names.size() > columns) names.resize(columns);
  return names;
}

int FileSave_NATIVE(Station& st, const std::string& path, int relative) {
  // Types without alternative names write their codes, and the file says it is
  // in the ISO format so that reading it back takes those codes.
  const bool altNames = st.ini.UseAltCsv != 0 && hasAltNames(st.session.DummyType);
  OutFile out(size_t{4} << 20);
  if (!out.open(path, OutFile::Incomplete::Remove)) return -1;
  putHeader(out, st, relative, altNames);
  putColumnNames(out, st, altNames);
  putSamples(out, st.data.ExportData);
  return out.close() ? 0 : -1;
}

int FileSave_Raw(Station& st, std::string& path) {
  size_t dot = pathLastDot(path);
  if (dot == std::string::npos) return -1;
  path = path.substr(0, dot + 1) + (st.session.IsLX2 != 0 ? "RD2" : "RDF") +
         path.substr(std::min(path.size(), dot + 4));
  OutFile out(size_t{4} << 20);
  if (!out.open(path, OutFile::Incomplete::Remove)) return -1;
  std::string h;
  if (st.session.DummyType == DummyWorldSID5th) h += "Lumvex Type: WorldSID 5th\r";
  if (st.session.DummyType == DummyWorldSID50th) h += "Lumvex Type: WorldSID\r";
  h += std::string(cutAt(st.session.SerialNumberText, "\r,")) + "\r";
  h += st.data.ident.AtdText + "  Trigger:" + std::to_string(SavedTriggerCode(st.session)) + "\r";
  h += st.data.ident.TestDateUs + "\r";
  h += timeOfDay() + "\r";
  h += formatFixed(static_cast<double>(st.data.StartTimeMs), 6) + "\r";  // "%f", whatever the locale
  h += std::string(cutAt(st.data.ident.TestCommentText, "\r")) + "\r";
  out.put(h);

  const size_t words = static_cast<size_t>(rawRecordWords(st.session.IsLX2));
  const size_t records = std::min(static_cast<size_t>(std::max(st.data.ChannelData.SampleCount, 0)),
                                  st.data.RawWords.size / words);
  const uint16_t* w = st.data.RawWords.data.get();
  for (size_t r = 0; r < records; ++r, w += words) {
    char* p = out.reserve(words * 8);
    for (size_t k = 0; k < words; ++k) {
      p = formatWord(p, w[k]);
      *p++ = k + 1 < words ? ',' : '\r';
    }
    out.commit(p);
  }
  return out.close() ? 0 : -1;
}

}  // namespace lumvex
