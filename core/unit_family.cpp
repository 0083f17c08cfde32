#include "core/unit_family.h"

#include <array>

namespace lumvex {
namespace {

constexpr UnitFamily family(int type, int leds, int axes, int sensors, int derived, double intervalMs,
                            std::string_view name) {
  const int columns = 1 + leds * axes + sensors;
  return {type, leds, axes, sensors, columns, columns + derived, intervalMs, isWorldSid(type) ? 6 : axes,
          name};
}

// 12 IR-TRACC-equivalent columns and 18 length changes.
constexpr int kWorldSidDerived = 12 + 18;

constexpr std::array<UnitFamily, kDummyTypeCount + 1> kFamilies = {
    family(DummyPolar, 6, 2, 2, 0, 0.1, "Polar"),
    family(DummyHybridIII5th, 12, 2, 2, 0, 0.1, "5th Female"),
    family(DummyHybridIII50th, 12, 2, 2, 0, 0.1, "50th Male"),
    family(DummySIDIIs, 6, 3, 3, 0, 0.1, "SIDIIs"),
    family(DummyBallistic, 3, 3, 3, 0, 0.05, "Ballistic"),
    family(DummyWorldSID50th, 18, 3, 6, kWorldSidDerived, 0.1, "WorldSID"),
    family(DummyHybridIII50th3D, 6, 3, 3, 0, 0.1, "50th 3D"),
    family(DummyWorldSID5th, 18, 3, 6, kWorldSidDerived, 0.1, "WorldSID 5th"),
    UnitFamily{-1, 0, 0, 0, 0, 0, 0.1, 0, "undefined"},
};

static_assert(kFamilies[DummyWorldSID50th].ChannelCount == kRawChannelCount,
              "an assembled raw WorldSID record has the columns of a WorldSID position record");

}  // namespace

const UnitFamily& unitFamily(int dummyType) {
  if (dummyType < 0 || dummyType >= kDummyTypeCount) return kFamilies[kDummyTypeCount];
  return kFamilies[static_cast<size_t>(dummyType)];
}

int DummyTypeFromText(std::string_view t) {
  auto has = [t](std::string_view part) { return t.find(part) != std::string_view::npos; };
  if (has("Polar")) return DummyPolar;
  if (has("50th 3D")) return DummyHybridIII50th3D;
  if (has("50th")) return DummyHybridIII50th;  // "50th ADJ" too
  if (has("SIDIIs")) return DummySIDIIs;
  if (has("Ballistic")) return DummyBallistic;
  if (has("WorldSID"))
    return (has("WorldSID Female") || has("WorldSID 5th")) ? DummyWorldSID5th : DummyWorldSID50th;
  return DummyHybridIII5th;
}

bool IsAdjustable50th(std::string_view t) {
  return DummyTypeFromText(t) == DummyHybridIII50th && t.find("50th ADJ") != std::string_view::npos;
}

}  // namespace lumvex
