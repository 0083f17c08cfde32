#include "core/config.h"

#include "core/ini.h"
#include "platform/paths.h"

#include <cstring>
#include <string>
#include <vector>

namespace lumvex {

const std::array<std::string_view, 18> kWorldSidLedKeys = {
    "Shoulder Rib Rear LED",  "Shoulder Rib Middle LED",  "Shoulder Rib Front LED",
    "Thorax 1 Rib Rear LED",  "Thorax 1 Rib Middle LED",  "Thorax 1 Rib Front LED",
    "Thorax 2 Rib Rear LED",  "Thorax 2 Rib Middle LED",  "Thorax 2 Rib Front LED",
    "Thorax 3 Rib Rear LED",  "Thorax 3 Rib Middle LED",  "Thorax 3 Rib Front LED",
    "Abdomen 1 Rib Rear LED", "Abdomen 1 Rib Middle LED", "Abdomen 1 Rib Front LED",
    "Abdomen 2 Rib Rear LED", "Abdomen 2 Rib Middle LED", "Abdomen 2 Rib Front LED"};

const std::array<std::string_view, 12> kHybridIIIRibKeys = {
    "Rib 1 Left",  "Rib 2 Left",  "Rib 3 Left",  "Rib 4 Left",  "Rib 5 Left",  "Rib 6 Left",
    "Rib 1 Right", "Rib 2 Right", "Rib 3 Right", "Rib 4 Right", "Rib 5 Right", "Rib 6 Right"};

namespace {

constexpr char kReadErrorTitle[] = "Error Reading Initialization File";
constexpr char kShortNameTitle[] = "Error in Lumvex INI file";
constexpr size_t kIsoNameLength = 10;  // characters 4 to 13 of an LED's ISO cell

constexpr char kUnreadableText[] =
    "Error reading initialization file,\r Check Lumvex_8_0.ini in Lumvex program directory \r Aborting";
constexpr char kKeyFailureHead[] =
    "Error reading initialization file\rCheck Lumvex_8_0.ini in Lumvex program directory \r";
constexpr char kKeyFailureCheck[] = "\r\r Check for blank or bad entries in the initialization file\r\r";
constexpr char kKeyFailureBackup[] =
    "A backup copy of the file as installed, Lumvex_8_0.ini.bak, is supplied beside it in the Lumvex program "
    "directory and in the config folder of the installation.\r"
    "To restore the installed settings, copy Lumvex_8_0.ini.bak over Lumvex_8_0.ini and start Lumvex "
    "again.\r\r";
constexpr char kAborting[] = "Aborting";

constexpr char kNicFailureText[] =
    "Error reading initialization file for Multiple Network Adaptors\r"
    "Check MultipleNICs.ini in Lumvex program directory \r"
    "Using windows Default netwrk Adaptor\r"
    "If Default network adaptor doesn't work with Lumvex run Find Lumvexs to fix the file";

// One key of the main file and the field it fills: an integer or a text slot.
struct KeyRead {
  std::string_view section;
  std::string key;
  int* number = nullptr;
  char* text = nullptr;
  int size = 0;  // text buffer size: maximum characters + 1
};

template <size_t N>
KeyRead textKey(std::string_view section, std::string key, std::array<char, N>& slot) {
  return {section, std::move(key), nullptr, slot.data(), static_cast<int>(N)};
}

KeyRead intKey(std::string_view section, std::string key, int& field) {
  return {section, std::move(key), &field};
}

// The keys in reading order; the first that fails stops the read.
std::vector<KeyRead> mainFileKeys(IniSettings& s) {
  std::vector<KeyRead> k;
  k.push_back(intKey("Battery_Fuel_Gauge", "Fuel_Gauge_Installed", s.FuelGaugeInstalled));
  for (size_t i = 0; i < kWorldSidLedKeys.size(); ++i)
    k.push_back(textKey("WorldSIDleft", std::string(kWorldSidLedKeys[i]), s.WorldSidLeftIsoNames[i]));
  for (size_t i = 0; i < kWorldSidLedKeys.size(); ++i)
    k.push_back(textKey("WorldSIDright", std::string(kWorldSidLedKeys[i]), s.WorldSidRightIsoNames[i]));
  k.push_back(intKey("IRTracc_MME_Names", "use_MME_IRT_Channel_Names", s.UseMmeIrtChannelNames));
  for (size_t i = 0; i < kHybridIIIRibKeys.size(); ++i)
    k.push_back(textKey("HybridIII", std::string(kHybridIIIRibKeys[i]), s.HybridIIIIsoNames[i]));
  k.push_back(intKey("ALTCSV", "USE ALT CSV", s.UseAltCsv));
  for (size_t i = 0; i < s.AltIsoPosnNames.size(); ++i)
    k.push_back(textKey("ALTCSV", "ISO POSN " + std::to_string(i), s.AltIsoPosnNames[i]));
  for (size_t i = 0; i < kHybridIIIRibKeys.size(); ++i)
    k.push_back(textKey("ALTCSV", "alt H3" + std::string(kHybridIIIRibKeys[i]), s.AltH3RibNames[i]));
  for (size_t i = 0; i < kWorldSidLedKeys.size(); ++i)
    k.push_back(textKey("ALTCSV", "alt WS " + std::string(kWorldSidLedKeys[i]), s.AltWsLedNames[i]));
  k.push_back(intKey("webwidget", "widgetType", s.WidgetType));
  k.push_back(intKey("connect_tab_controls", "Buffer Type", s.BufferType));
  k.push_back(intKey("connect_tab_controls", "Data After Trigger", s.DataAfterTrigger));
  k.push_back(intKey("connect_tab_controls", "Download Start Time", s.DownloadStartTime));
  k.push_back(intKey("connect_tab_controls", "Download Stop Time", s.DownloadStopTime));
  k.push_back(intKey("ExportDefault", "Default Export Format", s.DefaultExportFormat));
  k.push_back(intKey("ExportDefault", "Default Relative_Absolute", s.DefaultRelativeAbsolute));
  k.push_back(textKey("ExportDefault", "Default Storage location", s.DefaultStorageLocation));
  k.push_back(textKey("ReadFilesDefault", "Default file Read Location", s.DefaultFileReadLocation));
  k.push_back(intKey("LegacySoftwareFilterClassCode", "LegacySWUnfiltCode", s.LegacySwUnfiltCode));
  return k;
}

// The autocheck switch came after the required keys: a file without it is an
// older station's file and must still start, with the feature off as shipped.
void readAutoCheckSwitch(const IniText& ini, IniSettings& s) {
  int on = 0;
  s.AutoCheckSwitchedOn = Ini_GetInt(ini, "LED_Position_AutoCheck", "AutoCheck_On", &on) >= 1 && on == 1;
}

int readKey(const IniText& ini, const KeyRead& k) {
  if (k.number) return Ini_GetInt(ini, k.section, k.key, k.number);
  return Ini_GetStringIntoBuffer(ini, k.section, k.key, k.text, k.size);
}

void clearNameTables(IniSettings& s) {
  auto clear = [](auto& table) {
    for (auto& slot : table) slot.fill('\0');
  };
  clear(s.WorldSidLeftIsoNames);
  clear(s.WorldSidRightIsoNames);
  clear(s.HybridIIIIsoNames);
  clear(s.AltIsoPosnNames);
  clear(s.AltH3RibNames);
  clear(s.AltWsLedNames);
}

// A name shorter than 10 characters is reported and padded with '-', so that
// every LED's ISO cell keeps its fixed layout.
template <size_t N>
void checkIsoNames(Station& st, std::array<TextSlot<10>, N>& names, std::string_view text) {
  for (auto& slot : names) {
    size_t len = strnlen(slot.data(), slot.size());
    if (len >= kIsoNameLength) continue;
    st.ui->message(kShortNameTitle, text);
    std::memset(slot.data() + len, '-', kIsoNameLength - len);
    slot[kIsoNameLength] = '\0';
  }
}

// The alternative names go into comma-separated headers.
template <typename Table>
void protectCommas(Table& table) {
  for (auto& slot : table)
    for (char& c : slot) {
      if (c == '\0') break;
      if (c == ',') c = '_';
    }
}

void readNicFile(Station& st) {
  TextSlot<15>& nic = st.ini.NicToUse;
  auto setDefault = [&nic] {
    nic.fill('\0');
    std::memcpy(nic.data(), kDefaultNic, sizeof kDefaultNic - 1);
  };
  IniHandle ini = Ini_New(1);
  if (!ini || Ini_ReadFromFile(*ini, pathJoin(st.workDir, kNicFileName)) < 0) {
    setDefault();
    return;
  }
  if (Ini_GetStringIntoBuffer(*ini, "MultipleNICs", "NIC To Use", nic) < 1) {
    setDefault();
    st.ui->message(kReadErrorTitle, kNicFailureText);
  }
  Ini_Dispose(ini);
}

}  // namespace

int ReadINIfile(Station& st) {
  IniSettings& s = st.ini;
  clearNameTables(s);
  IniHandle ini = Ini_New(1);
  if (!ini || Ini_ReadFromFile(*ini, pathJoin(st.workDir, kConfigFileName)) < 0) {
    st.ui->message(kReadErrorTitle, kUnreadableText);
    return -1;
  }
  for (const KeyRead& k : mainFileKeys(s)) {
    if (readKey(*ini, k) >= 1) continue;
    Ini_Dispose(ini);
    std::string text = kKeyFailureHead;
    text += "Error in section = " + std::string(k.section) + ", variable = " + k.key;
    text += kKeyFailureCheck;
    text += kKeyFailureBackup;
    text += kAborting;
    st.ui->message(kReadErrorTitle, text);
    return -1;
  }
  readAutoCheckSwitch(*ini, s);
  Ini_Dispose(ini);

  checkIsoNames(st, s.WorldSidLeftIsoNames,
                "WorldSID ISO Code left side name too short,  \n Check the INI file and fix it now");
  checkIsoNames(st, s.WorldSidRightIsoNames,
                "WorldSID ISO Code right side name too short,  \n Check the INI file and fix it now");
  checkIsoNames(st, s.HybridIIIIsoNames,
                "Hybrid III ISO Code name too short, \n Check the INI file and fix it now");
  if (s.UseAltCsv == 1) {
    protectCommas(s.AltIsoPosnNames);
    protectCommas(s.AltH3RibNames);
    protectCommas(s.AltWsLedNames);
  }
  readNicFile(st);
  return 0;
}

}  // namespace lumvex
