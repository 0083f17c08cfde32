// Physical model of a raw-recording WorldSID unit for the simulator: where
// each LED is in its head's frame during a crash pulse, the slopes its
// detectors see, a synthetic calibration per layout (smooth and monotonic in
// the ratio for every cell), the ratios that calibration gives back for those
// slopes, and the raw records (signal and ambient words with noise) that the
// unit would store. Some LEDs fail on purpose: weak detectors (codes 4, 5, 7),
// a saturated word (code 2) and an LED pushed out of the valid volume (code 9).
//
// Operations: wsidModel, wsidLedPosition, wsidTruth, wsidSlopes,
// wsidCalibrationImage, wsidRatioForSlope, wsidCalibratedInterior,
// wsidHeadRatios, wsidEncodeDetector, wsidFillRecords,
// wsidWriteCalibrationFile(s).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lumvex::sim {

struct WsidModel {
  int dummyType = 5;  // 5 WorldSID 50th, 7 WorldSID 5th
  int isLX2 = 0;
  int layout = 0;       // CalLayoutId of dummyType and isLX2
  unsigned seed = 1;    // noise
  int noiseCounts = 2;  // word noise, +- counts
  bool faults = true;   // the failing LEDs described above
  double sampleIntervalMs = 0.1;
  std::shared_ptr<const std::vector<float>> calibration;  // the layout's image
};

// A model with the calibration image of its layout built.
WsidModel wsidModel(int dummyType, int isLX2, unsigned seed = 1);

// True position of LED slot 0..8 of head 1 or 2 at timeMs (trigger at 0), in
// the head frame (mm): at rest before the pulse and after it.
void wsidLedPosition(const WsidModel& m, int head, int slot, double timeMs, double xyz[3]);

// What a conversion of the record at timeMs must give for one LED.
struct WsidTruth {
  double x, y, z;  // mm, head frame
  // 0: the position, within 0.05 mm; 1..7 or 9: that code; -1: not checked
  // (the LED is at the border of the calibrated field, where either may come).
  int code;
};
WsidTruth wsidTruth(const WsidModel& m, int head, int slot, double timeMs);

// Slopes seen by detectors A, B, C of a head (C: X/Y; A, B: (Z - Zv)/(Y - Yv)
// from their viewpoints).
void wsidSlopes(int layout, int head, const double xyz[3], double slopes[3]);

// The synthetic calibration image of a layout (exactly its floats).
std::vector<float> wsidCalibrationImage(int layout);

// The ratio at which the bilinear calibration of plane at (y, v) gives slope.
// False when (y, v) is not surrounded by four tables or the slope is not
// reached strictly inside the tables' ratio range.
bool wsidRatioForSlope(int layout, const float* image, int plane, double y, double v, double slope,
                       double& ratio);

// True when, for all three detectors of the head, the cells around (x, y, z)
// (with a margin) all hold tables, so a conversion there is exact.
bool wsidCalibratedInterior(int layout, int head, double x, double y, double z);

// Ratios A, B, C for a position; false when one of them could not be found
// exactly (the ratios are then the best approximation, clamped to +-1.09).
bool wsidHeadRatios(int layout, const float* image, int head, const double xyz[3], double ratios[3]);

// Writes the signal pair of one detector for a ratio: total counts above the
// ambient words already in rec, split as the ratio says, plus noise.
void wsidEncodeDetector(uint16_t* rec, int signalWord, int ambientWord, double ratio, int total, int noise1,
                        int noise2);

// Fills count records (120 words, 232 for LX2) for the samples at
// startMs + k * sampleIntervalMs. The same time always gives the same record.
void wsidFillRecords(const WsidModel& m, double startMs, int count, uint16_t* out);

// Writes "SN<serial>_<calDate>_<side>_cal.bin" (side "Left Side" or "Right
// Side") for the unit's layout into dir. 0, or -1 when it cannot be written.
int wsidWriteCalibrationFile(const std::string& dir, const std::string& serial, const std::string& calDate,
                             const std::string& side, int dummyType, int isLX2);
// Writes the "Left Side" and the "Right Side" file of one calibration date.
int wsidWriteCalibrationFiles(const std::string& dir, const std::string& serial, const std::string& calDate,
                              int dummyType, int isLX2);

}  // namespace lumvex::sim
