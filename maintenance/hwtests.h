// Hardware diagnostics: the unit's diagnostic commands (input and output
// words, manual-arm input, LED A/D readings, temperatures, memory tests and
// the trigger-input check) and the one-shot RAM, flash and SD card tests of
// the Diagnostics page with their result boxes.
#pragma once

#include "core/station.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace lumvex {

constexpr int kRamTestTimeoutMs = 30000;     // ms
constexpr int kFlashTestTimeoutMs = 240000;  // ms
constexpr int kSdCardTestTimeoutMs = 30000;  // ms
constexpr int kMaxLedReadings = 12;

// Result codes of the unit's SD card test. The unit reports a failed block
// read as 4.
constexpr int kSdCardOk = 0;
constexpr int kSdStatusCheckFailed = 1;
constexpr int kSdBlockEraseFailed = 2;
constexpr int kSdBlockWriteFailed = 3;
constexpr int kSdBlockReadFailed = 4;

// One function per command. A failed exchange (the operator has been told by
// the link) returns -1 without a box of its own; a reply that does not parse
// shows "COMM ERROR" with the command's text and returns -1.

// The input word (0 to 65535), or -1.
int GetIO(Station& st);
// Output bits to set / to clear. 0 or -1.
int SetOutputs(Station& st, int bits);
int ClearOutputs(Station& st, int bits);
// 1 enables, 0 disables the unit's manual-arm input. 0 or -1.
int ManualArmCtrl(Station& st, int enable);
// Asks for `count` A/D readings (at most kMaxLedReadings) of LED `led` at
// drive level `drive`. 0 with readings[0..count) filled (a reading the reply
// lacks is 0), or -1 with readings left as they were.
int LedAD(Station& st, int led, int drive, int count, int* readings);
// The unit's temperature text into `text` ("" when the exchange failed or
// the reply did not parse). 0 or -1.
int CheckTemperatures(Station& st, std::string& text);
// Run with their long time-outs, the resting one restored afterwards.
// RamTest: 0 when good, else the failing address (its 32 bits as an int),
// or -1 for a failed exchange.
int RamTest(Station& st);
// FlashTest: 0 when good, else the failing address, or -1. A failure at
// address 0 also returns 0, so `failed` tells it apart (set for -1 too).
int FlashTest(Station& st, bool* failed = nullptr);
// SDCardTest: the unit's result code, or -1.
int SDCardTest(Station& st);
// Arms the unit's trigger-input check. 0 or -1.
int ArmTrigger(Station& st);
// Non-zero when the unit has seen a trigger since ArmTrigger; 0 otherwise,
// also when the exchange failed or the reply did not parse.
int CheckTrigger(Station& st);

// The result box of a one-shot test: "Ram Check", "Flash Check" or "SD Card
// Check" with the text for the result ("" for an SD card code without one).
struct TestBox {
  std::string title;
  std::string text;
  bool good = false;  // the part passed
  int code = 0;       // the test's result: address, SD card code, or -1
};
// Run a test and give its box without showing it (the console front end
// prints it).
TestBox RamCheckResult(Station& st);
TestBox FlashCheckResult(Station& st);
TestBox SdCardCheckResult(Station& st);

// The one-shot tests of the Diagnostics buttons: run the test and show its
// box. 0 when the part is good, -1 otherwise (an SD card code without a text
// shows no box).
int RamCheck(Station& st);
int FlashCheck(Station& st);
int SdCardCheck(Station& st);
// Text of the "SD Card Check" box for a result code; "" for a code without one.
std::string_view SdCardResultText(int code);

// Reads `count` readings from an LEDAD reply field, each an integer followed
// by one separator character; a reading the field lacks is 0.
void ParseLedReadings(std::string_view field, int count, int* readings);
// A reply field read as the unit's 32-bit word (decimal, as strtoul reads it,
// wrapped to 32 bits; an overflow reads as 0xFFFFFFFF).
uint32_t FieldWord32(std::string_view text);

}  // namespace lumvex
