// DIAdem export: the header file (".DAT") and its 32-bit float data file (".R32").
// The values stay absolute; a relative export puts -offset into key 240 of the
// zeroed columns, so DIAdem applies the zeroing when it loads the data.
#pragma once

#include "core/station.h"

#include <string>

namespace lumvex {

// Writes ExportData (shaped as ChannelData) at path: the extension is raised
// to upper case, the header goes to that path and the data to the same name
// with ".R32", which path then holds. Calls GeneratePlotNames(relative). 0 on
// success; -1 when the path has no '.' or no folder before a non-empty name,
// the shape does not fit the tables, or a file cannot be created or fully
// written.
int FileSave_DIADEM(Station& st, std::string& path, int relative);

}  // namespace lumvex
