// DIAdem export: the header file (".DAT") and its 32-bit float data file (".R32").
#pragma once

#include "core/station.h"

namespace lumvex {

// Writes ExportData at CurrentDataPath. relative: the export's zeroing choice.
// 0 on success, negative on failure.
int FileSave_DIADEM(Station& st, int relative);

}  // namespace lumvex
