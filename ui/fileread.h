// The plot page's file button: a saved file is chosen and read back (CSV,
// DIAdem, ISO MME, or a raw file reprocessed with the ISO codes the operator
// sets while the station waits for "Continue Reprocessing"), then the plot
// and export pages are set up for it. Reading a file disconnects the unit.
//
// Operations: FILESELECT, GetFileData, ReadRawFile, ReprocessCalibrationPath.
#pragma once

#include "core/station.h"

#include <string>
#include <string_view>

namespace lumvex {

inline constexpr std::string_view kFileSelectTitle =
    "Select File to Plot:   Diadem = *.DAT,   ISO = *.MME,   CSV = *.CSV,   RDF = *.RDF";
inline constexpr std::string_view kFileSelectFilter = "*.CSV;*.MME;*.RDF;*.RD2;*.DAT";
inline constexpr std::string_view kCalibrationSelectTitle = "Select Calibration File";
inline constexpr int kReprocessPollMs = 50;  // ms between looks at the button while waiting

// Asks for a file and reads it by its extension (".CSV", ".DAT", ".MME",
// ".RDF", ".RD2", upper case). calibrationFile: the calibration file a raw
// file is reprocessed with ("" finds it as ReprocessCalibrationPath says).
// 0 when a file was read; -1 otherwise, the data set in memory then being as
// it was (a raw file that got as far as its words leaves no raw words for the
// earlier data set's raw file, as a failed download does).
int GetFileData(Station& st, const std::string& calibrationFile = {});
// File button commit: GetFileData.
void FILESELECT(Station& st);

// The raw file at path: its header and words are read, the screens are set
// up for its type with the LED table and the test-object, position and side
// selectors enabled, and the station waits, processing events, until the
// operator presses "Continue Reprocessing" (the wait ends without a
// reprocessing when the window is closed). Then the codes are built from
// the LED table and the words converted. 0, or nonzero with the data set
// as it was; *wordsRead says whether RawWords was overwritten.
int ReadRawFile(Station& st, const std::string& path, const std::string& calibrationFile, bool* wordsRead);

// The calibration file a reprocessing uses: the one named with the session's
// calibration date in the working folder when it exists ("" in path), else
// the only "SN<serial>_*_<side>_cal.bin" there; of several the operator
// chooses one. 0, or -1 after "Calibration File Error" when several were found
// and none was chosen. None found gives 0 with "", and the conversion reports
// the file it looked for.
int ReprocessCalibrationPath(Station& st, std::string& path);

}  // namespace lumvex
