// The export page: one export is one FileSave — the operator picks a file, the
// channels are zeroed and filtered as chosen into ExportData, the filter
// characters of the codes are set, and the file name's extension picks the
// writer (CSV, DIAdem or ISO MME). The first export after a raw download also
// writes the raw file. The page's selectors and notices follow the data.
#pragma once

#include "core/station.h"

namespace lumvex {

// The writer's status (0 success), or -1 when the dialog was cancelled or the
// name has no ".CSV", ".DAT" or ".MME" extension.
int FileSave(Station& st);

// Zeroes (relative 1, unless AlreadyZeroed) and filters (cfc 1000, 600, 180,
// 60; 0 for none) ChannelData into ExportData as the writer named by diadem
// expects. Error samples keep their codes.
void FillExportData(Station& st, int relative, int cfc, bool diadem);

// Selector states and notices after a download or file read. Returns 0.
int SetupExportScreen(Station& st);
// Format selector commit: the ISO notice shows while the ISO format is chosen.
void ExportFormatChange(Station& st);
// Export button commit: runs FileSave and tells the operator how it went. Returns 0.
int CB_BtnExport(Station& st);

}  // namespace lumvex
