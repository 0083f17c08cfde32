// ISO MME export: the test folder with its ".MME" description, the "CHANNEL"
// folder, the ".CHN" channel list and one channel file per data column, all
// text with CR LF line ends.
#pragma once

#include "core/station.h"

#include <string>

namespace lumvex {

// Writes ExportData (shaped as ChannelData) as an ISO MME test for path
// (e.g. /data/TEST1.mme gives the folder /data/TEST1 with TEST1.MME and
// CHANNEL/TEST1.CHN, TEST1.001, ...). The time of the first sample is
// StartTimeMs. Error flags come from ChannelData. Calls
// GeneratePlotNames(relative). 0 on success, path then naming the ".MME"
// file in the test folder. -1 when the test folder cannot be made (it exists: the
// "ISO Export Problem" box is shown), the path has no '.' or no folder
// before a non-empty name, the shape does not fit the tables, or a file
// cannot be created or fully written.
int FileSave_ISO(Station& st, std::string& path, int relative);

}  // namespace lumvex
