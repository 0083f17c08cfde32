// The configuration read: fills IniSettings from "Lumvex_8_0.ini" (every key
// mandatory) and "MultipleNICs.ini" (optional) in the station's working
// folder, repairs short ISO code names and protects the alternative CSV names.
//
// Operations: ReadINIfile.
#pragma once

#include "core/station.h"

#include <array>
#include <string_view>

namespace lumvex {

constexpr char kConfigFileName[] = "Lumvex_8_0.ini";
constexpr char kConfigBackupName[] = "Lumvex_8_0.ini.bak";
constexpr char kNicFileName[] = "MultipleNICs.ini";
constexpr char kDefaultNic[] = "Default";

// The 18 WorldSID LED keys, index 0 first (also the order of the LED table rows).
extern const std::array<std::string_view, 18> kWorldSidLedKeys;
// The 12 Hybrid III rib keys, index 0 first.
extern const std::array<std::string_view, 12> kHybridIIIRibKeys;

// 0 when the main file was read completely (whatever happened with
// "MultipleNICs.ini"); -1 when it could not be read or a key failed. The
// operator is told why from inside the call.
int ReadINIfile(Station& st);

}  // namespace lumvex
