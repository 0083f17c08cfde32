// The position autocheck of a WorldSID LX2 unit: the error limits kept in
// "AutoPosnCheck.ini", the reference ("golden") LED positions the unit stores,
// and the comparison of the current positions with them axis by axis. The
// station ships with the feature off; AutoCheckOn names the condition.
#pragma once

#include "core/station.h"

#include <array>

namespace lumvex {

constexpr char kAutoCheckIniName[] = "AutoPosnCheck.ini";
constexpr int kGoldenTimeoutMs = 5'000;  // ms: the unit reads or writes its reference file

// The screen and the check before arming exist only for a WorldSID LX2 unit
// (the one that stores 18 reference positions), and only with the switch on
// (AutoCheck_On in "Lumvex_8_0.ini"; the station as shipped has it off).
bool AutoCheckOn(const SessionState& s, bool switchedOn);

// Reads AutoCheckLimits from "AutoPosnCheck.ini" in the working folder: 0, or
// -1 after a message (the limits are left as they were).
int ReadAutoCheckIni(Station& st);
// Writes AutoCheckLimits as the whole of "AutoPosnCheck.ini": 0, or -1 after a
// message.
int WriteAutoCheckIni(Station& st);

// The unit's references into values (54) and the count it reported. 0 read;
// 1 the unit reported an error code (CRC or file error, told); -1 the exchange
// failed or the reply did not parse. All 54 values are 0 unless 0 is returned.
int GetGoldenPosns(Station& st, int& count, double* values);
// Makes the unit store its present positions as the references. 0 stored,
// 1 file error in the unit, -1 malformed reply or failed exchange (told).
int SetGoldenPosns(Station& st);

// Marks every coordinate whose magnitude differs from its reference's by more
// than the axis limit (mm); the count of marked coordinates.
int CompareWithReferences(const double* current, const double* reference, const std::array<int, 3>& limits,
                          bool* outOfLimits);
// "Get Current Positions": reads the current positions when the unit is ready
// or holds a recording (else keeps t.current), then compares them with
// t.reference. The number of out-of-limit coordinates.
int checkPosnsForAutoCheck(Station& st, AutoCheckTables& t);
// What the screen shows when it opens: the limits from the file and the
// unit's references. GetGoldenPosns' result.
int InitAutocheck(Station& st, AutoCheckTables& t);
// "Update Lab Positions in Lumvex with Current Positions": asks twice, stores,
// reads the references back and clears the marks. SetGoldenPosns' result, or
// 2 when the operator said No.
int UpdateGoldens(Station& st, AutoCheckTables& t);
// The check before arming: true when arming may go on (no coordinate out of
// limits, or the operator said Yes).
bool AutoCheckBeforeArm(Station& st, AutoCheckTables& t);

}  // namespace lumvex
