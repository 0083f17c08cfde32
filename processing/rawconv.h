// Raw WorldSID conversion: turns the detector words of raw records into LED
// positions in millimetres in each head's frame, with the unit's calibration
// file, and fills ChannelData with one row per sample (time, 54 coordinates,
// six ambient levels). A position that cannot be found is delivered as an
// error code in X, Y and Z: 1 to 7 for invalid detectors (A 1, B 2, C 4), 9 for
// no valid position.
//
// Operations: ConvertWSIDdata (a whole download or raw file), process_data (one
// record), convert_to_eu (three ratios to a position), Lookup and
// searchcompare (one table), and the helpers that name, read and check
// calibration files.
#pragma once

#include "core/station.h"
#include "core/callayout.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace lumvex {

// Last computed position per LED slot: X, Y, Z of head 1, then of head 2 (mm).
// Kept in Station::conversionStart for the whole program run.
using LastLedPosition = std::array<std::array<double, 6>, 9>;

// The calibration in use for one conversion. The flag is the context's own, so
// LEDs converted on different threads never share it.
struct CalContext {
  const CalLayout* layout = nullptr;
  const float* image = nullptr;
  int floats = 0;  // floats actually read; a table beyond them counts as extrapolated
  bool LookupOutOfRange = false;
};

// The impact-side transform applied to the 54 coordinates of each row
// (CoordConvert of the data assembly: st, value count, values).
using SideTransform = void (*)(Station&, int, double*);

// Reads up to capacity little-endian floats; the count read, or -1 when the
// file cannot be opened.
int readCalibrationFile(const std::string& path, float* image, int capacity);

// Converts the SampleCount records of RawWords into rows of ChannelData and
// sets ChannelCount to 61. The calibration file is opened by name in
// st.workDir, or at calibrationPath when one is given. Returns 0; 1 when the
// calibration file is missing or does not cover the layout in use (message
// shown, table untouched); -1 when SampleCount does not fit the raw buffer or
// the table (table untouched).
int ConvertWSIDdata(Station& st, SideTransform sideTransform, const std::string& calibrationPath = {});

// Decodes count consecutive records (recordWords apart) and averages their
// ratios. results[slot] receives X, Y, Z of head 1, then of head 2; ambient the
// larger word of each ambient pair of the last record. Converted positions and
// code 9 become the new start estimates in last. With no record at all every
// LED gets code 9 and the ambient levels 0; no word is read.
void process_data(CalContext& cal, int count, const uint16_t* words, int recordWords, double results[9][6],
                  uint16_t ambient[6], LastLedPosition& last);

// Position from the three ratios of one head (head 1 for head 1, 0 for head
// 2): X, Y, Z carry the start estimate in and the position or code 9 out.
void convert_to_eu(CalContext& cal, double& X, double& Y, double& Z, double ratioA, double ratioB,
                   double ratioC, int head);

// Slope from one table of points (ratio, slope); sets LookupOutOfRange when
// it has to extrapolate. The result is in single precision.
float Lookup(CalContext& cal, float ratio, const float* table, int points);

// -1 when key is below point[0], +1 when above point[2] (the next ratio),
// else 0.
int searchcompare(float key, const float* point);

// Converts count records into rows of rowStride floats: columns 1 to 54 the
// coordinates, 55 to 60 the ambient levels, each in single precision; column 0
// is left alone. LEDs are independent, so with threads > 1 they are spread over
// that many threads; the rows are identical to a sequential run. progress(i)
// is called on the calling thread for every record i in order.
void convertRecords(const CalContext& cal, const uint16_t* words, int recordWords, int count,
                    LastLedPosition& last, float* rows, int rowStride, int threads,
                    const std::function<void(int)>& progress);

}  // namespace lumvex
