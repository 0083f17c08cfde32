// The measurements in memory and their companions: ChannelData, ExportData,
// the raw download buffer, the channel-code tables and the test
// identification texts. All are sized once for the largest download and
// reused by every download, reprocessing and file read.
#pragma once

#include "core/unit_family.h"
#include "platform/memory.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumvex {

constexpr size_t kChannelDataValues = 23'000'000;  // floats
constexpr int kMaxRecords = 250'001;
constexpr int kMaxRecordWords = kRawRecordWordsLX2;
constexpr size_t kRawWords = 58'000'232;  // 250,001 records of 232 words
constexpr int kMaxChannels = 91;          // time column + 90 data columns
constexpr int kCodeSlots = 90;
constexpr int kCalImageFloats = 611'870;  // floats of the largest calibration file

// A fixed-size buffer whose memory is not touched until used, so that a test
// can build a fresh station without paying for hundreds of megabytes. Large
// ones ask for large pages: a first download then takes a few hundred page
// faults instead of tens of thousands.
template <typename T>
struct FixedBuffer {
  explicit FixedBuffer(size_t n) : data(new T[n]), size(n) {  // uninitialised on purpose
    if (n * sizeof(T) >= (size_t{4} << 20)) AdviseLargePages(data.get(), n * sizeof(T));
  }
  T& operator[](size_t i) { return data[i]; }
  const T& operator[](size_t i) const { return data[i]; }
  T* begin() { return data.get(); }
  std::unique_ptr<T[]> data;
  size_t size;
};

// Rows of ChannelCount single-precision values; column 0 is the time in ms.
struct ChannelTable {
  ChannelTable() : values(kChannelDataValues) {}
  FixedBuffer<float> values;
  int SampleCount = 0;
  int ChannelCount = 0;
  float& at(int row, int col) { return values[static_cast<size_t>(row) * ChannelCount + col]; }
  float at(int row, int col) const { return values[static_cast<size_t>(row) * ChannelCount + col]; }
};

// The layout of the current type (set by the screen set-up or a file reader).
struct Layout {
  int LedCount = 0;
  int AxesPerLed = 0;
  int SensorChannelCount = 0;
  int transformWidth = 0;  // coordinate-transform width: 6 for WorldSID, else AxesPerLed
};

// A 16-character ISO MME channel code in a 25-byte slot.
using CodeSlot = std::array<char, 25>;

using TypeNameTable = std::array<std::array<char, 50>, 9>;

// The type names as a fresh station knows them, indexed by DummyType (8:
// "undefined"); the derived-channel steps append their suffixes to the
// current type's name.
inline TypeNameTable initialDummyTypeNames() {
  TypeNameTable t{};
  for (int i = 0; i <= kDummyTypeCount; ++i) {
    const std::string_view name = unitFamily(i).name;
    name.copy(t[static_cast<size_t>(i)].data(), name.size());
  }
  return t;
}

struct ChannelCodeTables {
  std::array<CodeSlot, kCodeSlots> ChannelCodes{};
  std::array<std::array<char, 128>, kCodeSlots> PlotNames{};
  TypeNameTable DummyTypeNames = initialDummyTypeNames();
  char DataFilterCode = '0';
};

struct TestIdentification {
  std::string AtdText;
  std::string TestTimeText;
  std::string TestDateIso;     // YYYY-MM-DD
  std::string TestDateUs;      // MM-DD-YYYY
  std::string TestDateDotted;  // DD.MM.YYYY
  std::string TestCommentText;
  std::string CurrentFileName;
};

// Work areas of the processing steps, kept with the data they work on so that
// no buffer hides inside a module and nothing is allocated per call: each grows
// at first use to the longest download and is reused after.
struct FilterWork {
  std::vector<float> sequence;         // one padded series
  std::vector<double> x1, x2, y1, y2;  // recurrence state of a column batch, one lane per column
  std::vector<float> first, last, in, out, endPad;
};
struct LengthWork {
  std::vector<float> a, b, result;  // the length change's working series
};

struct MeasurementData {
  ChannelTable ChannelData;
  ChannelTable ExportData;
  double SampleIntervalMs = 0.1;
  float StartTimeMs = 0;
  std::array<float, kMaxChannels> ChannelOffsets{};
  Layout layout;
  int RawPresent = 0;
  int RawSaved = 1;
  int AlreadyZeroed = 0;
  FixedBuffer<uint16_t> RawWords{kRawWords};
  int RawRecordCount = 0;                        // records held in RawWords
  int RawRecordWords = 0;                        // words of each of them
  FixedBuffer<float> CalImage{kCalImageFloats};  // the calibration file read last
  int CalImageFloats = 0;                        // floats actually read into CalImage
  // The bytes of a calibration image on its way to the unit (little-endian floats).
  FixedBuffer<uint8_t> CalUploadBuffer{kCalImageFloats * sizeof(float)};
  ChannelCodeTables codes;
  TestIdentification ident;
  FilterWork filterWork;
  LengthWork lengthWork;
};

}  // namespace lumvex
