// The Export page: the export of the data in memory to a CSV, DIAdem or ISO
// MME file (and the raw file of a raw download), the page's selectors and
// notices that follow the data set, and the export button.
#pragma once

#include "core/station.h"

#include <string>

namespace lumvex {

struct ExportResult {
  int status = -1;  // the writer's status: 0 when the export was written completely
  // The last file the writer wrote: the CSV file, the DIAdem data file (".R32",
  // beside its ".DAT" header) or the ISO MME test file (".MME" in its folder).
  std::string file;
  std::string rawFile;   // the raw file written beside it, "" when none was due or it failed
  std::string lastPath;  // the path the writers left: the raw file when one was tried, else `file`
};

// Exports the data in memory to path: its extension (raised to upper case)
// picks the writer ("CSV", "DAT" or "MME" anywhere after the last '.'); the
// channels are zeroed when relative is 1 and filtered with class cfc (1000,
// 600, 180, 60; anything else for none) unless the data are filtered
// already; the first export after a raw download also writes the raw file.
// status -1 when the name has no such extension.
ExportResult Export(Station& st, const std::string& path, int relative, int cfc);

// Asks for the file in the format chosen on the page and exports with the
// page's zeroing and filter; CurrentDataPath holds the path the writers left.
// The writer's status (0 success), or -1 when the dialog was cancelled or the
// name has no ".CSV", ".DAT" or ".MME" extension. result, when given,
// receives what was written.
int FileSave(Station& st, ExportResult* result = nullptr);

// Selector states and notices after a download or file read. Returns 0.
int SetupExportScreen(Station& st);
// Format selector commit: the ISO notice shows while the ISO format is chosen.
void ExportFormatChange(Station& st);
// Export button commit: runs FileSave and tells the operator how it went.
// Returns 0; result, when given, receives what was written.
int CB_BtnExport(Station& st, ExportResult* result = nullptr);

}  // namespace lumvex
