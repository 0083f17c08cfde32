// Data download: a time window of the recording as fixed-size binary records
// with one-byte sums, into the raw buffer (or straight into a raw dump CSV).
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
// been told why). In DownloadRawToFile the result does not tell whether the
// dump file was written; dumpResult, when given, receives DumpFileSave's
// result (-1 when the download failed before it).
int Download(Station& st, int mode, int* dumpResult = nullptr);
// Reads a reply's record or word count: a whole decimal field after any
// blanks; false for anything else (blank, sign only, junk).
bool ParseCount(const std::string& field, long& out);
// Writes the first records x words words of RawWords to a raw dump CSV chosen
// by the operator. 0, or -1 when cancelled or the file cannot be written.
int DumpFileSave(Station& st, int records, int words);

void DOWNLOAD_BUT(Station& st);
void RAWDOWNLOAD(Station& st);

}  // namespace lumvex
