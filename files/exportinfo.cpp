#include "files/exportinfo.h"

#include <cstring>

namespace lumvex {

bool exportShape(const MeasurementData& d, ExportShape& out) {
  const ChannelTable& t = d.ChannelData;
  const Layout& l = d.layout;
  if (t.ChannelCount < 2 || t.ChannelCount > kMaxChannels || t.SampleCount < 0) return false;
  if (static_cast<size_t>(t.SampleCount) * t.ChannelCount > t.values.size) return false;
  if (static_cast<size_t>(t.SampleCount) * t.ChannelCount > d.ExportData.values.size) return false;
  if (l.LedCount < 0 || l.AxesPerLed < 0 || l.SensorChannelCount < 0) return false;
  if (l.LedCount * l.AxesPerLed + l.SensorChannelCount > t.ChannelCount - 1) return false;
  out = {t.SampleCount, t.ChannelCount, l.LedCount, l.AxesPerLed, l.SensorChannelCount};
  return true;
}

std::string_view codeText(const MeasurementData& d, int k) {
  const CodeSlot& c = d.codes.ChannelCodes[static_cast<size_t>(k)];
  return {c.data(), strnlen(c.data(), c.size() - 1)};
}

std::string_view plotText(const MeasurementData& d, int k) {
  const auto& p = d.codes.PlotNames[static_cast<size_t>(k)];
  return {p.data(), strnlen(p.data(), p.size() - 1)};
}

std::string_view typeNameText(const Station& st) {
  const auto& names = st.data.codes.DummyTypeNames;
  int t = st.session.DummyType;
  if (t < 0 || t >= static_cast<int>(names.size())) t = static_cast<int>(names.size()) - 1;
  const auto& n = names[static_cast<size_t>(t)];
  return {n.data(), strnlen(n.data(), n.size() - 1)};
}

int savedTriggerCode(const SessionState& s) { return s.TriggerSetting + s.SoftwareTriggerOffset; }

}  // namespace lumvex
