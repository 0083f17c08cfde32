// Battery fuel gauge: charge and voltage read-out, the charge-state dialogs
// and the fuel-gauge reset.
#pragma once

#include "core/station.h"

namespace lumvex {

// Charge codes the unit reports instead of a percentage.
constexpr int kBatteryNotFound = -1;
constexpr int kBatteryGaugeReset = -2;
constexpr int kBatteryCommErrors = -3;

// Reads charge (percent or a code) and voltage (V). 0, or -1 on a malformed
// reply; a failed exchange leaves empty fields, read as 0 and 0 (result 0).
int GetBattInfo(Station& st, int& charge, double& volts);
// Tells the gauge that the battery is full. 0, or -1.
int BattSetFullCharge(Station& st);
// Tells the gauge that the battery is full, with the battery commands' second
// try. 0, or -1.
int ResetFuelGauge(Station& st);
// Reads and shows the battery state, with the dialogs for its error codes.
// The charge as read (0 to 100, or a negative code), or 0 when no reading
// succeeded or the chosen gauge reset failed.
int DoBattery(Station& st);

}  // namespace lumvex
