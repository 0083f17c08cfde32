// The station's own files: the CSV export of ExportData (four header lines,
// one line per sample, every line ended by a single CR) and the raw file
// (".RDF", ".RD2" for second-generation units) of the downloaded raw words,
// which a later raw reprocessing reads back.
#pragma once

#include "core/station.h"

#include <string>
#include <vector>

namespace lumvex {

// The names of data columns 1 to ChannelCount - 1 in the alternative CSV
// format (Hybrid III 5th/50th and WorldSID); empty for the other types.
std::vector<std::string> AltCsvNames(const Station& st);

// Writes ExportData as CSV at path. relative: the zeroing choice, named in
// line 1. 0 when the whole file was written, -1 otherwise.
int FileSave_NATIVE(Station& st, const std::string& path, int relative);

// Writes RawWords beside the export at path, whose extension becomes "RDF" or
// "RD2" (and stays so: path names the raw file afterwards). 0, or -1 when the
// path has no extension or the file could not be written completely.
int FileSave_Raw(Station& st, std::string& path);

}  // namespace lumvex
