// Identity, settings, battery, LED assignment, current positions and NOR
// flash of the simulated unit. The identity comes from unit properties
// (lumvex-sim --set KEY=VALUE, or UnitState::props in tests):
//
//   type            WHO_ARE_YOU text                 "WorldSID"
//   serial          SERIAL_NUMBER text               "150"
//   firmware        FIRMWARE text ("LX2" = LX2)      "LX2 V8.0"
//   caldate         CAL_DATE text (current)          "12-Mar-2024"
//   caldate.left / caldate.right   per side          caldate
//   config.flags    word at byte 56 of SENDCONFIG    32 (0x20: differential trigger inputs)
//   config.bytes    bytes SENDCONFIG sends           256
//   side            DIRECTION: LEFT or RIGHT         LEFT
//   trigger         GETTRIGGER code (any integer)    0
//   trigger.refuse  1: TRIGGERSET answers BAD        0
//   settime.refuse  1: SETTIME answers BAD           0
//   comment         GETTESTCOMMENT ('#' kept as 0x03) ""
//   comment.refuse  1: SETTESTCOMMENT is not taken   0
//   window.start / window.stop   DUMPINFO while a recording is held   -1000 / post-trigger time
//   battery.charge  GETBATINFO charge, or -1/-2/-3   87
//   battery.volts   GETBATINFO voltage               12.6
//   battery.full    charge after BATTSETFULL         100
//   battery.refuse  1: BATTSETFULL answers FAIL      0
//   leds.error      LEDs (1-based, comma list) reporting error code 9   ""
//   leds.rib / leds.posn   SHOW_LEDRIB / SHOW_LEDPOSN lists (12 numbers)
//   positions.breath  mm the current positions move to and fro (lumvex-sim: 0.5)   0
//   positions.period  ms of one such breath                           4000
#include "sim/commands.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace lumvex::sim {
namespace {

int argInt(const Exchange& x, size_t i, int fallback) {
  if (i >= x.req.args.size()) return fallback;
  return std::atoi(x.req.args[i].c_str());
}

void who(Exchange& x) { x.reply({x.unit.prop("type", "WorldSID")}); }
void serial(Exchange& x) { x.reply({x.unit.prop("serial", "150")}); }
void firmware(Exchange& x) { x.reply({x.unit.prop("firmware", "LX2 V8.0")}); }

void calDate(Exchange& x) {
  std::string date = x.unit.prop("caldate", "12-Mar-2024");
  if (!x.req.args.empty()) date = x.unit.prop(argInt(x, 0, 0) == 1 ? "caldate.right" : "caldate.left", date);
  date.push_back('\r');  // the unit ends the date with CR inside the field
  x.reply({date});
}

void sendConfig(Exchange& x) {
  std::string block(256, '\0');
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 37 + 11) & 0xFF);
  uint32_t flags = static_cast<uint32_t>(x.unit.propInt("config.flags", 0x20));
  for (int k = 0; k < 4; ++k) block[56 + k] = static_cast<char>((flags >> (8 * k)) & 0xFF);
  int n = x.unit.propInt("config.bytes", 256);
  if (n < 0) n = 0;
  if (n < 256) block.resize(n);
  while (static_cast<int>(block.size()) < n) block.push_back('\x5A');
  x.sendRaw(block);
}

void getTrigger(Exchange& x) { x.reply({std::to_string(x.unit.propInt("trigger", 0))}); }

void setTrigger(Exchange& x) {
  if (x.unit.propInt("trigger.refuse", 0) || x.req.args.empty()) return x.reply({"BAD"});
  x.unit.props["trigger"] = std::to_string(argInt(x, 0, 0));
  x.reply({"OK"});
}

void getComment(Exchange& x) { x.reply({x.unit.prop("comment")}); }

// The comment line follows the command, closed by CR alone.
void setComment(Exchange& x) {
  if (x.unit.propInt("comment.refuse", 0)) return x.replyAs("NAK", {"REFUSED"});
  x.reply({"COMMENT"});
  x.expectLine([](Exchange& next, std::string_view line) {
    next.unit.props["comment"] = std::string(line);
    next.replyAs("SETTESTCOMMENT", {"OK"});
  });
}

void dumpInfo(Exchange& x) {
  const UnitState& u = x.unit;
  if (u.status != 3) return x.reply({"0", "0"});  // nothing recorded
  x.reply({std::to_string(u.propInt("window.start", -1000)),
           std::to_string(u.propInt("window.stop", u.postTriggerMs))});
}

void direction(Exchange& x) {
  x.reply({x.unit.prop("side", "LEFT") == "RIGHT" ? "RIGHT SIDE" : "LEFT SIDE"});
}

void setTime(Exchange& x) {
  if (x.unit.propInt("settime.refuse", 0) || x.req.args.empty()) return x.reply({"BAD"});
  x.unit.props["clock"] = x.req.args[0];
  x.reply({"OK"});
}

void batInfo(Exchange& x) {
  x.reply({std::to_string(x.unit.propInt("battery.charge", 87)), x.unit.prop("battery.volts", "12.6")});
}

void batSetFull(Exchange& x) {
  if (x.unit.propInt("battery.refuse", 0)) return x.reply({"FAIL"});
  x.unit.props["battery.charge"] = std::to_string(x.unit.propInt("battery.full", 100));
  x.reply({"OK"});
}

struct Geometry {
  int leds, axes;
};

// LED count and axes of the family the type text names (same order of tests
// as the station's).
Geometry geometry(const std::string& t) {
  auto has = [&](const char* s) { return t.find(s) != std::string::npos; };
  if (has("Polar")) return {6, 2};
  if (has("50th 3D")) return {6, 3};
  if (has("50th")) return {12, 2};
  if (has("SIDIIs")) return {6, 3};
  if (has("Ballistic")) return {3, 3};
  if (has("WorldSID")) return {18, 3};
  return {12, 2};
}

std::vector<int> intList(const std::string& s) {
  std::vector<int> out;
  std::stringstream in(s);
  std::string item;
  while (std::getline(in, item, ',')) {
    if (!item.empty()) out.push_back(std::atoi(item.c_str()));
  }
  return out;
}

// A slow to-and-fro of every LED (mm), each a little out of step with the
// others, so that the live display visibly lives.
double breath(const UnitState& u, Clock::time_point now, int led, int axis) {
  const double amplitude = std::atof(u.prop("positions.breath", "0").c_str());
  if (amplitude == 0) return 0;
  const int period = std::max(u.propInt("positions.period", 4000), 1);  // ms
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  const double phase = 2 * 3.14159265358979323846 * static_cast<double>(ms % period) / period;
  return amplitude * std::sin(phase + 0.9 * led + 1.3 * axis);
}

void currentPositions(Exchange& x) {
  int count = 0;
  std::string list = CurrentPositionList(x.unit, count, x.now);
  x.reply({std::to_string(count), list});
}

void ledList(Exchange& x, const char* key, const char* fallback) {
  std::string s = x.unit.prop(key, fallback);
  x.reply({"12", s});
}

void norFlash(Exchange& x) {
  x.unit.props["norflash"].assign(1, '1');
  x.reply({"OK"});
}

}  // namespace

std::string CurrentPositionList(const UnitState& u, int& count, Clock::time_point now) {
  Geometry g = geometry(u.prop("type", "WorldSID"));
  std::vector<int> bad = intList(u.prop("leds.error"));
  std::string list;
  char buf[32];
  for (int i = 1; i <= g.leds; ++i) {
    bool error = std::find(bad.begin(), bad.end(), i) != bad.end();
    for (int a = 0; a < g.axes; ++a) {
      // Resting positions in mm, different per LED and axis.
      double v = error ? 9.0 : 20.0 * a + 3.5 * i + 0.25 + breath(u, now, i, a);
      std::snprintf(buf, sizeof buf, "%.2f,", v);
      list += buf;
    }
  }
  count = g.leds * g.axes;
  return list;
}

void RegisterInfoCommands(CommandTable& t) {
  t.add("WHO_ARE_YOU", who);
  t.add("SERIAL_NUMBER", serial);
  t.add("FIRMWARE", firmware);
  t.add("CAL_DATE", calDate);
  t.add("SENDCONFIG", sendConfig);
  t.add("GETTRIGGER", getTrigger);
  t.add("TRIGGERSET", setTrigger);
  t.add("GETTESTCOMMENT", getComment);
  t.add("SETTESTCOMMENT", setComment);
  t.add("DUMPINFO", dumpInfo);
  t.add("DIRECTION", direction);
  t.add("SETTIME", setTime);
  t.add("GETBATINFO", batInfo);
  t.add("BATTSETFULL", batSetFull);
  t.add("CURRENT_POSITIONS", currentPositions);
  t.add("SHOW_LEDRIB", [](Exchange& x) { ledList(x, "leds.rib", "1,2,3,4,5,6,1,2,3,4,5,6,"); });
  t.add("SHOW_LEDPOSN", [](Exchange& x) { ledList(x, "leds.posn", "0,0,0,0,0,0,2,2,2,2,2,2,"); });
  t.add("NORFLASH", norFlash);
}

}  // namespace lumvex::sim
