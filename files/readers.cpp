// What the readers share: the data set a read fills and its installation,
// type recognition, the saved trigger, the side of a header line and the
// refusal messages.
#include "files/readers.h"

#include "files/naming.h"
#include "platform/text.h"

#include <algorithm>
#include <utility>

namespace lumvex {

FileDataSet CurrentDataSet(const Station& st) {
  const MeasurementData& d = st.data;
  FileDataSet ds;
  ds.DummyType = st.session.DummyType;
  ds.DummyTypeNames = d.codes.DummyTypeNames;
  ds.layout = d.layout;
  ds.ChannelCount = d.ChannelData.ChannelCount;
  ds.SampleCount = d.ChannelData.SampleCount;
  ds.SampleIntervalMs = d.SampleIntervalMs;
  ds.StartTimeMs = d.StartTimeMs;
  ds.ChannelOffsets = d.ChannelOffsets;
  ds.ChannelCodes = d.codes.ChannelCodes;
  ds.DataFilterCode = d.codes.DataFilterCode;
  ds.AlreadyZeroed = d.AlreadyZeroed;
  ds.SerialNumberText = st.session.SerialNumberText;
  ds.DirectionText = st.session.DirectionText;
  ds.TriggerSetting = st.session.TriggerSetting;
  ds.ident = d.ident;
  return ds;
}

void InstallDataSet(Station& st, const FileDataSet& ds, bool table) {
  MeasurementData& d = st.data;
  if (table) {
    // The work area keeps the previous values; the exports refill it anyway.
    std::swap(d.ChannelData.values, d.ExportData.values);
    d.ExportData.SampleCount = d.ChannelData.SampleCount;
    d.ExportData.ChannelCount = d.ChannelData.ChannelCount;
  }
  st.session.DummyType = ds.DummyType;
  d.codes.DummyTypeNames = ds.DummyTypeNames;
  d.layout = ds.layout;
  d.ChannelData.ChannelCount = ds.ChannelCount;
  d.ChannelData.SampleCount = ds.SampleCount;
  d.SampleIntervalMs = ds.SampleIntervalMs;
  d.StartTimeMs = ds.StartTimeMs;
  d.ChannelOffsets = ds.ChannelOffsets;
  d.codes.ChannelCodes = ds.ChannelCodes;
  d.codes.DataFilterCode = ds.DataFilterCode;
  d.AlreadyZeroed = ds.AlreadyZeroed;
  st.session.SerialNumberText = ds.SerialNumberText;
  st.session.DirectionText = ds.DirectionText;
  st.session.TriggerSetting = ds.TriggerSetting;
  d.ident = ds.ident;
}

std::string RefusalText(ReadRefusal why, const std::string& path) {
  switch (why) {
    case ReadRefusal::SamplesOutOfRange:
      return "Number of Samples out of Range (0 to " + std::to_string(kMaxRecords) + ") in File: \r\n " +
             path + " \r\n File not read";
    case ReadRefusal::SamplesMissing:
      return "Number of Samples missing in File: \r\n " + path + " \r\n File not read";
    case ReadRefusal::DataTooShort:
      return "Data File too Short: \r\n " + path + " \r\n File not read";
    case ReadRefusal::DataNotOpened:
      break;
  }
  return "Could not Open Data File: \r\n " + path + " \r\n File not read";
}

void RefuseFile(Station& st, ReadRefusal why, const std::string& path) {
  st.ui->message(kReadErrorTitle, RefusalText(why, path));
}

int GetLXtype(Station& st, FileDataSet& ds, std::string_view text) {
  auto has = [text](std::string_view part) { return Contains(text, part); };
  if (!has("Lumvex Type")) {
    st.ui->message("Error", "Not a Valid Lumvex File");
    return -1;
  }
  // The first match decides: "50th 3D" before "WorldSID" before "50th" / "5th".
  int type;
  if (has("Polar"))
    type = DummyPolar;
  else if (has("50th 3D"))
    type = DummyHybridIII50th3D;
  else if (has("WorldSID"))
    type = has("5th") ? DummyWorldSID5th : DummyWorldSID50th;
  else if (has("50th") || has("5th"))
    type = has("5th") ? DummyHybridIII5th : DummyHybridIII50th;
  else if (has("SIDIIs"))
    type = DummySIDIIs;
  else if (has("Ballistic"))
    type = DummyBallistic;
  else {
    st.ui->message("Error in Plot", "Not a Valid Lumvex Type");
    return -1;
  }
  const UnitFamily& fam = unitFamily(type);
  ds.DummyType = type;
  ds.layout = {fam.LedCount, fam.AxesPerLed, fam.SensorChannelCount, fam.transformWidth};
  ds.ChannelCount = fam.ChannelCount;
  if (isWorldSid(type)) {
    constexpr int kIrTraccColumns = 12;  // six ribs, uncorrected and X-corrected
    std::string name(fam.name);
    if (has("w/IRT")) {
      name += " w/IRT";
      ds.ChannelCount = fam.ChannelCount + kIrTraccColumns;
    }
    if (has("Length Change")) {
      name += " w/Length Change";
      ds.ChannelCount = fam.DerivedChannelCount;
    }
    auto& slot = ds.DummyTypeNames[static_cast<size_t>(type)];
    slot.fill('\0');
    name.copy(slot.data(), std::min(name.size(), slot.size() - 1));
  }
  ds.SampleIntervalMs = fam.SampleIntervalMs;
  return 0;
}

int GetSavedTrigger(std::string_view text) {
  for (int k = 0; k <= 7; ++k)
    if (Contains(text, "Trigger:" + std::to_string(k))) return k;
  return 9;
}

std::string DirectionFromText(std::string_view line, int dummyType) {
  if (Contains(line, "CENTER")) return "CENTER in X Dir";
  if (Contains(line, "Left")) return "Left Side";
  if (Contains(line, "Right")) return "Right Side";
  return isWorldSid(dummyType) || dummyType == DummySIDIIs ? "Left Side" : "CENTER in X Dir";
}

std::string_view AfterFirst(std::string_view line, char c) {
  const size_t at = line.find(c);
  return at == std::string_view::npos ? std::string_view() : line.substr(at + 1);
}

std::string_view UntilLineEnd(std::string_view text) { return text.substr(0, text.find_first_of("\r\n")); }

}  // namespace lumvex
