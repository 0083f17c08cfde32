// AutoCheckState: what the position autocheck screen shows — the unit's
// reference ("golden") LED positions, the current ones and which of them are
// out of limits — kept for the whole run, so that the check before arming
// marks the same table the operator is told to look at.
#pragma once

#include <array>

namespace lumvex {

constexpr int kAutoCheckValues = 54;  // X, Y, Z of LEDs 1 to 18

struct AutoCheckTables {
  std::array<double, kAutoCheckValues> reference{};  // mm, as stored in the unit
  std::array<double, kAutoCheckValues> current{};    // mm, as the unit delivers them
  std::array<bool, kAutoCheckValues> outOfLimits{};  // current cells shown yellow
};

}  // namespace lumvex
