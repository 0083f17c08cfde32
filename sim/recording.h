// The simulated unit's recorded test for units that compute positions
// themselves: ribs at rest before the trigger, a crash pulse of a few tens of
// ms deflecting every LED by its own amount, ambient-light sensor channels,
// and a few LEDs dropping out with error codes for a while.
#pragma once

#include <cstdint>
#include <string_view>

namespace lumvex::sim {

struct RecordingShape {
  int ledCount = 0;
  int axes = 0;
  int sensors = 0;
  int samplesPerMs = 10;  // 20 for the ballistic unit
  int words() const { return ledCount * axes + sensors; }
};

// Shape of the position records of a unit family (the station's type numbers:
// 0 Polar, 1 Hybrid III 5th, 2 Hybrid III 50th, 3 SID-IIs, 4 Ballistic,
// 5 WorldSID 50th, 6 Hybrid III 50th 3D, 7 WorldSID 5th).
RecordingShape recordingShape(int dummyType);

// Number of records the unit sends for the window [startMs, stopMs].
long recordCount(int dummyType, int startMs, int stopMs);

// True position (mm, in the unit's frame) of one LED at tMs after the
// trigger; returns the error code (1..9) instead when the LED has dropped out
// at that time, else 0.
int ledPosition(int dummyType, int led, double tMs, double out[3]);

// The words of one position record at tMs: coordinates in hundredths of a
// mm (an LED in error carries its code in every coordinate), then the sensor
// words (half the ambient level, as the station doubles them).
void positionRecord(int dummyType, double tMs, int16_t* words);

}  // namespace lumvex::sim
