// The network-adaptor file "MultipleNICs.ini": storing the adaptor through
// which the next search for units runs (read back at start-up by ReadINIfile).
//
// Operations: WriteNicFile.
#pragma once

#include "core/station.h"

#include <string_view>

namespace lumvex {

// Takes `adaptor` (cut to 15 characters) into NicToUse and writes
// "MultipleNICs.ini" in the working folder anew, holding only section
// "MultipleNICs" with the item "NIC To Use". The INI store's result: 0 or
// negative (a failed write leaves the old file as it was).
int WriteNicFile(Station& st, std::string_view adaptor);

}  // namespace lumvex
