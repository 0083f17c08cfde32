// ISO MME export: the test folder with its ".MME" description, the "CHANNEL"
// folder, the ".CHN" channel list and one channel file per data column.
#pragma once

#include "core/station.h"

namespace lumvex {

// Writes ExportData as an ISO MME test at CurrentDataPath. 0 or negative.
int FileSave_ISO(Station& st, int relative);

}  // namespace lumvex
