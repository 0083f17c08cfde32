// The I/O check of the Diagnostics page: a loop that drives the unit's
// outputs from the page's switches, shows its inputs on the lamps and the A/D
// readings of the chosen LED at the chosen drive level, in the variant of the
// unit's hardware generation (Rev D for WorldSID units above serial 100, Rev
// B/C for every other).
#pragma once

#include "core/station.h"

#include <array>
#include <chrono>
#include <cstdint>

namespace lumvex {

enum class IoVariant { RevD, RevBC };

// Output bits of the Rev D variant.
namespace revd {
constexpr uint16_t S1Kill = 0x0002, S2Kill = 0x0004, S3Kill = 0x0008, S4Kill = 0x0010, S5Kill = 0x0020,
                   S6Kill = 0x0040, TriggerOut = 0x0080, ArmOut = 0x0100, OtherOut = 0x0200,
                   BatteryOn = 0x1000;
// Input bits: trigger in (set = on), arm in (set = on on LX2, clear = on
// otherwise), other in and charge on (clear = on).
constexpr uint16_t TriggerIn = 0x0400, ArmIn = 0x0800, OtherIn = 0x2000, ChargeOn = 0x4000;
}  // namespace revd

// Output bits of the Rev B/C variant. The sensor switches S1KILL and S3KILL
// drive sensors 1 and 2 while the input multiplexer is on, 3 and 4 while off.
namespace revbc {
constexpr uint16_t Sensor1 = 0x0002, Sensor3 = 0x0004, Sensor2 = 0x0008, Sensor4 = 0x0010, Mux = 0x0020,
                   ArmOut = 0x0400, TriggerOut = 0x0800, OtherOut = 0x1000;
// Input bits: trigger in (set = on), arm in and other in (clear = on).
constexpr uint16_t ArmIn = 0x0080, TriggerIn = 0x0100, OtherIn = 0x0200;
}  // namespace revbc

constexpr int kReadingsShownEveryMs = 500;  // ms between writes of the A/D displays
constexpr int kLedDriveScale = 40;          // LEDDRIVE step -> the unit's drive level

// Rev D when the serial number shown on the connection page is above 100 and
// the unit is a WorldSID 50th or 5th; Rev B/C otherwise.
IoVariant IOCheckVariant(const Station& st);

// The pieces of a pass that need no unit, each for its variant.
// Rev D: the output word from the switches; the switches from a word read
// back; the lamps from the input word.
uint16_t RevDOutputWord(const Model& m);
void SetRevDSwitches(Model& m, uint16_t word);
void ShowRevDInputs(Model& m, uint16_t word, bool lx2);
// Rev B/C: the words of bits to set and to clear, relabelling the sensor
// switches and the first four displays for the multiplexer's position.
struct OutputWords {
  uint16_t set = 0, clear = 0;
};
OutputWords RevBCOutputWords(Model& m);
void ShowRevBCInputs(Model& m, uint16_t word);
// LED number (LEDSEL) and drive level as sent: 40 x LEDDRIVE kept in 16 bits.
int SelectedLed(const Model& m);
int LedDriveLevel(const Model& m);

// One run of the check, between IOCheckStart and IOCheckFinish.
struct IoCheckRun {
  IoVariant variant = IoVariant::RevBC;
  bool lx2 = false;
  bool worldSid = false;
  bool timerWasRunning = false;
  bool readingsShown = false;  // the displays have been written once
  std::chrono::steady_clock::time_point shownAt{};
  std::array<int, 12> readings{};  // last readings the unit gave
};

// Holds the status timer off and prepares the page: Rev D shows its sensor
// controls, relabels the lamps and reads the switches back from the unit;
// Rev B/C disables the unit's manual-arm input.
IoCheckRun IOCheckStart(Station& st);
// One pass: outputs, inputs, A/D readings (shown at most every 0.5 s) and,
// for an LX2 unit, the temperature. Three or four exchanges.
void IOCheckPass(Station& st, IoCheckRun& run);
// Gives the timer back and, for Rev B/C while still connected, re-enables
// the manual-arm input.
void IOCheckFinish(Station& st, IoCheckRun& run);
// Writes the readings into the displays now (Rev D: all twelve; Rev B/C: the
// four of the current red/blue choice).
void ShowReadings(Model& m, const IoCheckRun& run);

// The loop: passes until ioCheckRunning is clear at the start of one, each
// ending with the pending events. 0, or -2 when it ended because the link
// closed.
int Checkio(Station& st);
// What the test buttons do first: end a running check (flag cleared, button
// caption "Check I/O"); the loop ends after the pass that is under way.
void EndIOCheck(Station& st);

}  // namespace lumvex
