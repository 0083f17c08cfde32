// Diagnostics of the simulated unit: an I/O model in which the outputs come
// back on the inputs (trigger out -> trigger in, arm out -> arm in, other out
// -> other in, battery control -> charge lamp, at the bits of the unit's
// hardware generation), LED A/D readings, temperatures, the RAM, flash and SD
// card tests, the trigger-input check and the manual-arm input. Properties
// (lumvex-sim --set KEY=VALUE, or UnitState::props in tests):
//
//   io.rev            D or BC: hardware generation     D for a WorldSID unit above serial 100, else BC
//   io.set / io.clear input bits forced on / off (a stuck line; decimal or 0x hex)   0
//   io.vext           0: an LX2 unit reports no external supply   1
//   leds.dark         A/D reading of an unlit or disabled sensor  60
//   temperature       TEMPERATURES text (LX2 units only)           "Board 31.5 C  CPU 38.2 C"
//   ram.ms, flash.ms, sd.ms   ms each test takes                   200, 400, 200
//   ram.fail          failing RAM address (decimal or 0x hex; 0 = good)   0
//   flash.fail        failing flash address (present = the test fails)     absent
//   sd.code           SD card test result code                    0
//   triggercheck      0: TRIGGERCHECK is unknown                   1
//   triggercheck.after   ms from ARMTRIGGER to a trigger (-1 never)        3000
//   triggercheck.pulse   1: a trigger arrives now (the next TRIGGERCHECK while armed takes it)
//   manarm            last MANARMENABLE value (kept by the unit)
//
// Rev D: SETOUTPUTS writes the whole output word (the station sends every
// bit each pass and never clears); GETIO returns the outputs at their own
// bits with the inputs at 0x0400 trigger in (set = on), 0x0800 arm in (set =
// on for LX2, clear = on otherwise), 0x2000 other in / Vext OK and 0x4000
// charge on (clear = on). Rev B/C: SETOUTPUTS sets and CLEAROUTPUTS clears
// bits; inputs at 0x0100 trigger in (set = on), 0x0080 arm in and 0x0200
// other in (clear = on).
#include "sim/commands.h"

#include "core/unit_family.h"
#include "sim/recording.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace lumvex::sim {
namespace {

// Output bits (the station's tables).
constexpr int kDSensorKill = 0x0002;  // sensor n at 0x0002 << (n - 1)
constexpr int kDTriggerOut = 0x0080, kDArmOut = 0x0100, kDOtherOut = 0x0200, kDBattery = 0x1000;
constexpr int kDOutputs = 0x13FE;
constexpr int kDTriggerIn = 0x0400, kDArmIn = 0x0800, kDOtherIn = 0x2000, kDChargeOn = 0x4000;
constexpr int kBCMux = 0x0020, kBCArmOut = 0x0400, kBCTriggerOut = 0x0800, kBCOtherOut = 0x1000;
constexpr int kBCOutputs = 0x1C3E;
constexpr int kBCKill[] = {0x0002, 0x0008, 0x0004, 0x0010};  // sensors 1 to 4
constexpr int kBCArmIn = 0x0080, kBCTriggerIn = 0x0100, kBCOtherIn = 0x0200;
constexpr int kAdFullScale = 4095;

int family(const UnitState& u) { return DummyTypeFromText(u.prop("type", "WorldSID")); }
bool worldSid(const UnitState& u) { return family(u) == 5 || family(u) == 7; }
bool lx2(const UnitState& u) { return u.prop("firmware", "LX2 V8.0").find("LX2") != std::string::npos; }

bool revD(const UnitState& u) {
  const std::string rev = u.prop("io.rev");
  if (rev == "D") return true;
  if (rev == "BC") return false;
  return worldSid(u) && std::atoi(u.prop("serial", "150").c_str()) > 100;
}

long number(const std::string& s) { return std::strtol(s.c_str(), nullptr, 0); }

int argInt(const Exchange& x, size_t i) {
  return i < x.req.args.size() ? static_cast<int>(std::strtol(x.req.args[i].c_str(), nullptr, 10)) : 0;
}

bool triggerOutOn(const UnitState& u) { return u.outputs & (revD(u) ? kDTriggerOut : kBCTriggerOut); }

int inputWord(const UnitState& u) {
  const int out = u.outputs;
  int w = 0;
  if (revD(u)) {
    w = out & kDOutputs;
    if (out & kDTriggerOut) w |= kDTriggerIn;
    const bool armOut = out & kDArmOut;
    if (lx2(u) ? armOut : !armOut) w |= kDArmIn;
    const bool otherLow = lx2(u) ? u.propInt("io.vext", 1) != 0 : (out & kDOtherOut) != 0;
    if (!otherLow) w |= kDOtherIn;
    if (!(out & kDBattery)) w |= kDChargeOn;
  } else {
    w = out & kBCOutputs;
    if (out & kBCTriggerOut) w |= kBCTriggerIn;
    if (!(out & kBCArmOut)) w |= kBCArmIn;
    if (!(out & kBCOtherOut)) w |= kBCOtherIn;
  }
  w |= static_cast<int>(number(u.prop("io.set", "0")));
  w &= ~static_cast<int>(number(u.prop("io.clear", "0")));
  return w & 0xFFFF;
}

void getIo(Exchange& x) { x.reply({std::to_string(inputWord(x.unit))}); }

void setOutputs(Exchange& x) {
  const int bits = argInt(x, 0) & 0xFFFF;
  x.unit.outputs = revD(x.unit) ? bits : (x.unit.outputs | bits);
  x.reply({"OK"});
}

void clearOutputs(Exchange& x) {
  x.unit.outputs &= ~(argInt(x, 0) & 0xFFFF);
  x.reply({"OK"});
}

void manualArm(Exchange& x) {
  x.unit.props["manarm"] = std::to_string(argInt(x, 0));
  x.reply({"OK"});
}

int ledCount(int fam) {
  constexpr int kLeds[] = {6, 12, 12, 6, 3, 18, 6, 18};
  return fam >= 0 && fam < 8 ? kLeds[fam] : 12;
}

// A sensor sees the LEDs nearest to it brightest: WorldSID rib n lights
// sensor n most. Channel B sees less than A, blue less than red.
int reading(const UnitState& u, int led, int drive, int sensor, int sensors, bool channelB, bool blue,
            bool killed, int k) {
  const int dark = u.propInt("leds.dark", 60) + 3 * k;
  const int leds = ledCount(family(u));
  if (killed || led < 1 || led > leds || drive <= 0) return std::min(dark, kAdFullScale);
  const double target = static_cast<double>((led - 1) * sensors / leds);
  const double gain =
      std::max(0.05, 1.0 - 0.6 * std::abs(sensor - target)) * (channelB ? 0.8 : 1.0) * (blue ? 0.6 : 1.0);
  return std::min(dark + static_cast<int>(drive * gain * 0.9), kAdFullScale);
}

void ledAd(Exchange& x) {
  const UnitState& u = x.unit;
  const int led = argInt(x, 0);
  const int drive = argInt(x, 1);
  std::string list;
  if (revD(u)) {
    for (int k = 0; k < 12; ++k) {
      const int s = k / 2;
      list += std::to_string(reading(u, led, drive, s, 6, k % 2, false, u.outputs & (kDSensorKill << s), k));
      list += ',';
    }
  } else {
    // Readings 0 to 3 red, 4 to 7 blue (WorldSID only): sensors 1 and 2
    // through the multiplexer when it is on, 3 and 4 when it is off.
    const int n = worldSid(u) ? 8 : 4;
    const bool mux = u.outputs & kBCMux;
    for (int k = 0; k < n; ++k) {
      const int s = (mux ? 0 : 2) + (k % 4) / 2;
      list += std::to_string(reading(u, led, drive, s, 4, k % 2, k >= 4, u.outputs & kBCKill[s], k));
      list += ',';
    }
  }
  x.reply({list});
}

void temperatures(Exchange& x) {
  if (!lx2(x.unit)) return x.replyAs("UNKNOWN", {"ERROR"});
  x.reply({x.unit.prop("temperature", "Board 31.5 C  CPU 38.2 C")});
}

// A memory test answers when it is done; a delayed answer goes out as it is
// (the fault rules apply to the tests only with their time set to 0).
void answerAfter(Exchange& x, const char* msKey, int defaultMs, const std::vector<std::string>& fields) {
  const int ms = x.unit.propInt(msKey, defaultMs);
  if (ms <= 0) return x.reply(fields);
  x.sendRaw(FrameReply(x.req.name, fields), ms);
}

void ramTest(Exchange& x) {
  const unsigned long address = std::strtoul(x.unit.prop("ram.fail", "0").c_str(), nullptr, 0);
  answerAfter(x, "ram.ms", 200, {std::to_string(address)});
}

void flashTest(Exchange& x) {
  const std::string fail = x.unit.prop("flash.fail");
  if (fail.empty()) return answerAfter(x, "flash.ms", 400, {"0"});
  answerAfter(x, "flash.ms", 400, {"1", std::to_string(std::strtoul(fail.c_str(), nullptr, 0))});
}

void sdCardTest(Exchange& x) { answerAfter(x, "sd.ms", 200, {std::to_string(x.unit.propInt("sd.code", 0))}); }

void armTrigger(Exchange& x) {
  x.unit.triggerCheckArmed = true;
  x.unit.triggerCheckArmedAt = x.now;
  x.reply({"OK"});
}

void triggerCheck(Exchange& x) {
  UnitState& u = x.unit;
  if (!u.propInt("triggercheck", 1)) return x.replyAs("UNKNOWN", {"ERROR"});
  bool seen = false;
  if (u.triggerCheckArmed) {
    const int after = u.propInt("triggercheck.after", 3000);  // ms
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(x.now - u.triggerCheckArmedAt);
    seen =
        u.propInt("triggercheck.pulse", 0) != 0 || (after >= 0 && since.count() >= after) || triggerOutOn(u);
  }
  if (seen) {
    u.triggerCheckArmed = false;
    u.props.erase("triggercheck.pulse");
  }
  x.reply({seen ? "1" : "0"});
}

}  // namespace

void RegisterDiagCommands(CommandTable& t) {
  t.add("GETIO", getIo);
  t.add("SETOUTPUTS", setOutputs);
  t.add("CLEAROUTPUTS", clearOutputs);
  t.add("MANARMENABLE", manualArm);
  t.add("LEDAD", ledAd);
  t.add("TEMPERATURES", temperatures);
  t.add("RAMTEST", ramTest);
  t.add("FLASHTEST", flashTest);
  t.add("SDCARDTEST", sdCardTest);
  t.add("ARMTRIGGER", armTrigger);
  t.add("TRIGGERCHECK", triggerCheck);
}

}  // namespace lumvex::sim
