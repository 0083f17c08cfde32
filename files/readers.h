// File readers: the CSV, DIAdem (".DAT" + ".R32"), ISO MME and raw (".RDF",
// ".RD2") files the station writes, read back into a data set — type and
// layout from the file's type text, header texts, trigger, dates, relative
// flag, channel codes and samples.
//
// A reader never changes the data set in memory: it reads into a
// FileDataSet (a copy of the small state, so that what a file does not name
// stays as it was) and the samples into ExportData, the work area of the
// exports. Only a file read completely is installed, by swapping the tables
// (no copy, no second buffer). Counts come from the file and are checked
// against the buffers before a value is stored; data shorter than announced,
// and a data or channel file that cannot be opened, refuse the file with a
// message naming it.
//
// Operations: GetLXtype, GetSavedTrigger, ReadCSVFile, ReadDiademFile,
// ReadISOFile, ReadRawWords (the file part of the raw reprocessing).
#pragma once

#include "core/station.h"

#include <string>
#include <string_view>

namespace lumvex {

// What a file read replaces.
struct FileDataSet {
  int DummyType = 0;
  TypeNameTable DummyTypeNames{};
  Layout layout;
  int ChannelCount = 0;
  int SampleCount = 0;
  double SampleIntervalMs = 0.1;  // ms
  float StartTimeMs = 0;          // ms
  std::array<float, kMaxChannels> ChannelOffsets{};
  std::array<CodeSlot, kCodeSlots> ChannelCodes{};
  char DataFilterCode = '0';
  int AlreadyZeroed = 0;
  std::string SerialNumberText;
  std::string DirectionText;
  int TriggerSetting = 0;
  TestIdentification ident;
};

// The data set in memory now.
FileDataSet CurrentDataSet(const Station& st);
// Puts a data set's state into the station (ChannelData takes its counts).
// With `table`, the values read into ExportData become ChannelData's values,
// and ExportData keeps the previous ones as its work area.
void InstallDataSet(Station& st, const FileDataSet& ds, bool table);

// Why a file is refused beyond what the type text says; each is shown as a
// "File Read Error" box whose text names the file.
enum class ReadRefusal { SamplesOutOfRange, SamplesMissing, DataTooShort, DataNotOpened };
inline constexpr std::string_view kReadErrorTitle = "File Read Error";
std::string RefusalText(ReadRefusal why, const std::string& path);
void RefuseFile(Station& st, ReadRefusal why, const std::string& path);

// Sets type and layout from a type text: DummyType, LedCount, AxesPerLed,
// SensorChannelCount, ChannelCount, SampleIntervalMs, and for WorldSID the
// type name with its " w/IRT" and " w/Length Change" suffixes. 0, or -1
// after "Error" / "Not a Valid Lumvex File" (no "Lumvex Type" in the text) or
// "Error in Plot" / "Not a Valid Lumvex Type" (no known family).
int GetLXtype(Station& st, FileDataSet& ds, std::string_view text);
// The saved trigger code: the first of "Trigger:0" to "Trigger:7" in the
// text gives 0 to 7; none gives 9.
int GetSavedTrigger(std::string_view text);

// The readers: 0 when the whole file was read into ds (and the samples into
// ExportData), -1 otherwise (the operator has been told why, except for a
// file that cannot be opened).
int ReadCSVFile(Station& st, const std::string& path, FileDataSet& ds);
int ReadDiademFile(Station& st, const std::string& path, FileDataSet& ds);
// path names the ".MME" file; the channel files are in its folder's
// "CHANNEL" folder.
int ReadISOFile(Station& st, const std::string& path, FileDataSet& ds);
// The header of a raw file into ds and its records (120 words, 232 with
// isLX2) into RawWords, whose earlier words are then gone (RawRecordCount
// says how many records it holds). SampleCount is the number of complete
// records; TestCommentText the comment line. 0; -1 when the file was refused
// before its words, -2 when after (RawWords no longer holds what it held).
int ReadRawWords(Station& st, const std::string& path, FileDataSet& ds, int isLX2);

// Shared by the readers. The impact side named in a DIAdem or ISO header line
// ("CENTER", "Left", "Right"), else Left Side for WorldSID and SIDIIs and
// CENTER in X Dir for the others.
std::string DirectionFromText(std::string_view line, int dummyType);
// The text after the first `c` of a line ("" without one).
std::string_view AfterFirst(std::string_view line, char c);
// A text cut at its first CR or LF.
std::string_view UntilLineEnd(std::string_view text);

}  // namespace lumvex
