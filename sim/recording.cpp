#include "sim/recording.h"

#include "core/unit_family.h"

#include <cmath>

namespace lumvex::sim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kPulseMs = 32.0;  // length of the main deflection

// Small deterministic noise in [-1, 1] so that a recording is the same on
// every download.
double noise(uint32_t a, uint32_t b) {
  uint32_t h = a * 2654435761u ^ (b + 0x9E3779B9u + (a << 6) + (a >> 2));
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  return (h & 0xFFFF) / 32767.5 - 1.0;
}

bool threeAxes(int type) { return unitFamily(type).AxesPerLed == 3; }

// Deflection history, 0 before the trigger: a half sine then a damped rebound.
double pulse(double tMs) {
  if (tMs <= 0) return 0;
  if (tMs <= kPulseMs) return std::sin(kPi * tMs / kPulseMs);
  const double s = tMs - kPulseMs;
  return -0.12 * std::exp(-s / 25.0) * std::sin(kPi * s / 20.0);
}

}  // namespace

RecordingShape recordingShape(int type) {
  if (type < 0 || type >= kDummyTypeCount) return {};
  const UnitFamily& f = unitFamily(type);
  return {f.LedCount, f.AxesPerLed, f.SensorChannelCount,
          static_cast<int>(std::lround(1.0 / f.SampleIntervalMs))};
}

long recordCount(int type, int startMs, int stopMs) {
  if (stopMs < startMs) return 0;
  return static_cast<long>(stopMs - startMs) * recordingShape(type).samplesPerMs + 1;
}

int ledPosition(int type, int led, double tMs, double out[3]) {
  const RecordingShape s = recordingShape(type);
  // Drop-outs: the second LED loses detector C briefly during the pulse, the
  // last one has no valid position for a moment near the rebound.
  // Polar units report small status values (1 to 3) instead of codes.
  if (led == 1 && tMs >= 21.0 && tMs < 23.5) return type == 0 ? 2 : 4;
  if (led == s.ledCount - 1 && tMs >= 40.0 && tMs < 41.2) return type == 0 ? 1 : 9;
  const double p = pulse(tMs);
  const double depth = 22.0 + 4.0 * (led % 6) + 3.0 * (led / 6);  // mm of peak deflection
  if (threeAxes(type)) {
    // Head frame: X along the rib (rear, middle, front), Y distance from the
    // head, Z height of the rib.
    const int rib = type == 5 || type == 7 ? led / 3 : led;
    const int along = type == 5 || type == 7 ? led % 3 - 1 : (led % 3) - 1;
    const double x0 = 55.0 * along;
    const double y0 = 105.0 - 2.0 * (rib % 3);
    const double z0 = 95.0 - 40.0 * rib;
    out[0] = x0 + 0.18 * depth * p * (along == 0 ? 0.3 : along);
    out[1] = y0 - depth * p;
    out[2] = z0 - 0.1 * depth * p;
  } else {
    // Hybrid III and Polar: X across, Y distance (mm) from the sensor.
    const int rib = led % 6;
    const double x0 = (led < 6 ? -1.0 : 1.0) * (20.0 + 6.0 * rib);
    const double y0 = 150.0 - 3.0 * rib;
    out[0] = x0 + 0.1 * depth * p;
    out[1] = y0 - depth * p;
    out[2] = 0;
  }
  return 0;
}

void positionRecord(int type, double tMs, int16_t* words) {
  const RecordingShape s = recordingShape(type);
  const auto sample = static_cast<uint32_t>(std::lround((tMs + 1e5) * s.samplesPerMs));
  int k = 0;
  for (int led = 0; led < s.ledCount; ++led) {
    double pos[3];
    const int code = ledPosition(type, led, tMs, pos);
    for (int a = 0; a < s.axes; ++a, ++k) {
      if (code) {
        words[k] = static_cast<int16_t>(code * 100);
      } else {
        const double mm = pos[a] + 0.04 * noise(sample, static_cast<uint32_t>(k));
        words[k] = static_cast<int16_t>(std::lround(mm * 100.0));
      }
    }
  }
  for (int j = 0; j < s.sensors; ++j, ++k) {
    // Ambient light rises a little while the chest is compressed.
    const double level = 420.0 + 35.0 * j + 60.0 * std::fabs(pulse(tMs)) + 4.0 * noise(sample, 1000u + j);
    words[k] = static_cast<int16_t>(std::lround(level / 2.0));
  }
}

}  // namespace lumvex::sim
