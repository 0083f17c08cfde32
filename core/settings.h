// IniSettings: the configuration record read once at start-up from
// "Lumvex_8_0.ini" and "MultipleNICs.ini".
#pragma once

#include <array>

namespace lumvex {

// A fixed text slot: room for N characters plus the terminating zero.
template <int N>
using TextSlot = std::array<char, N + 1>;

struct IniSettings {
  int FuelGaugeInstalled = 0;
  std::array<TextSlot<10>, 18> WorldSidLeftIsoNames{};
  std::array<TextSlot<10>, 18> WorldSidRightIsoNames{};
  int UseMmeIrtChannelNames = 0;
  std::array<TextSlot<10>, 12> HybridIIIIsoNames{};
  int UseAltCsv = 0;
  std::array<TextSlot<10>, 10> AltIsoPosnNames{};
  std::array<TextSlot<30>, 12> AltH3RibNames{};
  std::array<TextSlot<30>, 18> AltWsLedNames{};
  int WidgetType = 0;
  int BufferType = 0;
  int DataAfterTrigger = 0;
  int DownloadStartTime = 0;
  int DownloadStopTime = 0;
  int DefaultExportFormat = 0;
  int DefaultRelativeAbsolute = 0;
  TextSlot<254> DefaultStorageLocation{};
  TextSlot<254> DefaultFileReadLocation{};
  int LegacySwUnfiltCode = 0;
  TextSlot<15> NicToUse{};
  // Optional key "AutoCheck_On" of [LED_Position_AutoCheck]: 1 turns the
  // position autocheck on for WorldSID LX2 units; missing or anything else, off.
  int AutoCheckSwitchedOn = 0;
};

}  // namespace lumvex
