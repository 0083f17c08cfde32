// The unit families: everything the station derives from the type text a unit
// reports (or a file names) — the family number (DummyType), the LED layout,
// the columns of an assembled data set, the sample interval, the width of the
// impact-side transform, the name written into files — and the shape of the
// raw WorldSID records. One table; every other module reads it from here.
#pragma once

#include <string_view>

namespace lumvex {

enum DummyTypeValue : int {
  DummyPolar = 0,
  DummyHybridIII5th = 1,
  DummyHybridIII50th = 2,
  DummySIDIIs = 3,
  DummyBallistic = 4,
  DummyWorldSID50th = 5,
  DummyHybridIII50th3D = 6,
  DummyWorldSID5th = 7,
};
constexpr int kDummyTypeCount = 8;

constexpr bool isWorldSid(int dummyType) {
  return dummyType == DummyWorldSID50th || dummyType == DummyWorldSID5th;
}

struct UnitFamily {
  int DummyType;
  int LedCount;
  int AxesPerLed;
  int SensorChannelCount;
  // Columns of an assembled data set, the time column included, before any
  // derived channel: 1 + LedCount * AxesPerLed + SensorChannelCount.
  int ChannelCount;
  // Columns once the derived channels are added (WorldSID: IR-TRACC pairs and
  // length changes; the others have none).
  int DerivedChannelCount;
  double SampleIntervalMs;  // ms
  int transformWidth;       // values per LED the side transform walks: 6 for WorldSID, else AxesPerLed
  std::string_view name;    // the type's entry of DummyTypeNames, written into every file
};

// The family of a DummyType; a value outside 0 to 7 gives a family without
// LEDs or channels named "undefined".
const UnitFamily& unitFamily(int dummyType);

// The family of a type text. The tests run in a fixed order and the first
// match wins ("50th 3D" before "50th", "WorldSID Female" before "WorldSID");
// a text that matches none is a Hybrid III 5th.
int DummyTypeFromText(std::string_view typeText);
// The adjustable 50th variant ("50th ADJ" in the type text).
bool IsAdjustable50th(std::string_view typeText);

// WorldSID units with a serial number above 100 record raw detector words,
// which the station converts itself; every other unit delivers positions.
constexpr bool recordsRawWords(int dummyType, int serialNumber) {
  return isWorldSid(dummyType) && serialNumber > 100;
}

// Raw WorldSID records.
constexpr int kRawRecordWords = 120;     // words of a raw record
constexpr int kRawRecordWordsLX2 = 232;  // second-generation records: the first 120 are read
constexpr int kRawChannelCount = 61;     // assembled: time + 54 coordinates + 6 ambient levels
constexpr int kRawCoordinateCount = 54;  // 18 LEDs by X, Y, Z
constexpr int rawRecordWords(int isLX2) { return isLX2 ? kRawRecordWordsLX2 : kRawRecordWords; }

}  // namespace lumvex
