// Device information and settings commands: identification (type, serial,
// firmware, calibration date, configuration block), trigger setting, test
// comment, recorded window, impact side and the unit's clock.
#pragma once

#include "core/station.h"

#include <string>
#include <string_view>

namespace lumvex {

// Identifies the unit and fills the page-0 identity fields, the trigger
// selector, the test comment and the recorded window. 0, or -1 when the
// identification must be treated as failed.
int GetLXinfo(Station& st);
// Calibration date of the current calibration (side -1) or of side 0 (left) /
// 1 (right) into CALDATE and calDate. 0, or -1 on a bad reply.
int GetCalDate(Station& st, int side);
// Reads the 256-byte configuration block of an LX2 unit into unitConfig. 0 or -1.
int GetConfig(Station& st);
// Refreshes the recorded window (DATA_STRT, DATA_STOP) and the download-window
// limits. 0 or -1.
int DumpInfo(Station& st);
// Sends the code selected in TRIGGER_SET. 0 when the unit accepted it, the
// link failure, or -1 on a bad reply or refusal.
int TriggerSet(Station& st);
// Sends the text of TESTINFO as the unit's test comment.
void SetTestComment(Station& st);
// Asks the unit for its impact side; updates DirectionText and LX_DIRECTION. 0 or -1.
int Direction(Station& st);
// Sets the unit's clock to now (seconds since 1970 UTC). 0, or -1 on a bad
// reply or refusal.
int SetTime(Station& st);

// The trigger-code rules, from the numeric serial number and the LX2 state.
// The differential codes 2 and 3 are offered below serial 100, or on an LX2
// unit whose configuration block was read and has bit 0x20 of its word at 56.
bool DifferentialTriggerOffered(const SessionState& s, int serialValue);
// Highest code accepted from the unit: 3 below serial 100 or on LX2, else 1.
int HighestTriggerCode(const SessionState& s, int serialValue);
// The 32-bit little-endian word at byte offset 56 of the configuration block.
uint32_t ConfigFlags(const SessionState& s);
// Fills TRIGGER_SET for a code read from the unit (valid or not).
void ShowTriggerSetting(Station& st, int code, int serialValue);

// Test comment as the unit holds it -> as TESTINFO shows it (0x03 -> '#', ',' -> '_').
std::string CommentFromUnit(std::string_view field);
// TESTINFO text -> the line sent to the unit ('#' -> 0x03, CR appended).
std::string CommentToUnit(std::string_view text);

}  // namespace lumvex
