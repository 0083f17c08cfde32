// Recording control: arming with the checks made before it (trigger, LED
// error codes, battery), disarm, software trigger, buffer mode, erase with its
// progress, and forcing the unit to read from its NOR flash.
#pragma once

#include "core/station.h"

#include <string>

namespace lumvex {

// Sends ARM with the page-0 recording times (stop time 0 in circular mode).
// 0 when the unit is armed, -1 otherwise (the refusal has been shown).
int Arm(Station& st);
// 0 on success, else nonzero.
int Disarm(Station& st);
int Trigger(Station& st);
// Writes ERASE. 0 when written, -1 otherwise.
int Erase(Station& st);
// Follows the erase in a progress box until the unit reports its result:
// the unit's result (0 = every sector erased) or -1.
int EraseStatus(Station& st);
// Makes the unit read from its NOR flash instead of its SD card. 0 on success.
int NORFLASH(Station& st);

// The number of LEDs among the first ledCount whose coordinates are all equal
// (an error code instead of a position).
int CountLedErrors(const double* points, int ledCount, int axesPerLed);
// The question asked before arming when LEDs report error codes.
std::string LedErrorQuestion(int count);

}  // namespace lumvex
