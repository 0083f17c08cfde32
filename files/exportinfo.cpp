#include "files/exportinfo.h"

#include "files/naming.h"
#include "platform/paths.h"

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

std::string_view columnCode(const MeasurementData& d, int n) {
  return codeText(d.codes.ChannelCodes[static_cast<size_t>(n - 1)]);
}

std::string_view columnPlotName(const MeasurementData& d, int n) {
  const auto& p = d.codes.PlotNames[static_cast<size_t>(n - 1)];
  return {p.data(), strnlen(p.data(), p.size() - 1)};
}

bool exportTarget(std::string& path, const MeasurementData& d, size_t& dot, size_t& sep, ExportShape& shape) {
  dot = pathLastDot(path);
  if (dot == std::string::npos) return false;
  pathUpperExtension(path, dot);
  sep = pathLastSeparator(path);
  if (sep == std::string::npos || dot <= sep + 1) return false;
  return exportShape(d, shape);
}

}  // namespace lumvex
