// Data download: a time window of the recording as fixed-size binary records
// with one-byte sums, into the raw buffer.
#pragma once

#include "core/station.h"

#include <string>

namespace lumvex {

enum DownloadMode : int {
  DownloadRawToFile = 0,
  DownloadProcessed = 1,
  DownloadRaw = 2,
  DownloadRawLX2 = 3,
};

// 0 on a complete, checksum-clean download, -1 otherwise (the operator has
// been told why). The records are then in RawWords (RawRecordCount records
// of RawRecordWords words); in DownloadProcessed and the raw modes the table's
// shape (SampleCount, ChannelCount) follows them, in DownloadRawToFile the
// words are for a raw dump file and the data set in memory loses its raw file.
// A link lost during the records is closed and the screens told
// (Station::refreshScreens).
int Download(Station& st, int mode);
// Reads a reply's record or word count: a whole decimal field after any
// blanks; false for anything else (blank, sign only, junk).
bool ParseCount(const std::string& field, long& out);

}  // namespace lumvex
