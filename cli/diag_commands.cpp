// Subcommands of the Diagnostics, Trigger Test and Live Display pages: diag
// (the RAM, flash and SD card tests and the LX2 temperature), io (passes of
// the I/O check with switches set as on the page), trigger-test (arm the
// trigger check and wait for a trigger) and live (the live display's drawn
// LED centres). Each connects as CONNECT does, runs the page's operations and
// disconnects; exit 0 for a good result, 1 for a failure, 2 for bad
// arguments (also switches or choices this unit's page does not offer).
#include "cli/cli.h"
#include "link/link.h"
#include "maintenance/hwtests.h"
#include "maintenance/iocheck.h"
#include "maintenance/live.h"
#include "maintenance/trigger.h"
#include "platform/text.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace lumvex::cli {
namespace {

constexpr int kFailed = 1;
constexpr int kBadArguments = 2;
constexpr int kMaxPasses = 1000000;
constexpr int kDefaultTriggerWaitS = 10;  // s
constexpr int kMaxTriggerWaitS = 86400;   // s

// The switches the I/O check reads: the only controls io may turn on.
constexpr Ctl kIoSwitches[] = {Ctl::S1KILL,    Ctl::S2KILL,      Ctl::S3KILL,       Ctl::S4KILL,
                               Ctl::S5KILL,    Ctl::S6KILL,      Ctl::MUX_SW,       Ctl::TRIGGEROUT_SW,
                               Ctl::ARMOUT_SW, Ctl::OTHEROUT_SW, Ctl::BatteryOn_SW, Ctl::REDBLUE};
constexpr Ctl kLamps[] = {Ctl::TRIGIN_LED, Ctl::ARMIN_LED, Ctl::OTHERIN_LED, Ctl::CHARGEON_LED};
constexpr Ctl kReadingDisplays[] = {Ctl::S1A, Ctl::S1B, Ctl::S2A, Ctl::S2B, Ctl::S3A, Ctl::S3B,
                                    Ctl::S4A, Ctl::S4B, Ctl::S5A, Ctl::S5B, Ctl::S6A, Ctl::S6B};

std::string str(std::string_view v) { return std::string(v); }

// Labels such as "   Spare In" are indented for the page; not here.
std::string trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return str(s);
}

bool parseInt(const std::string& s, int& out, int lo, int hi) {
  int v = 0;
  if (!ParseCliInt(s, v) || v < lo || v > hi) return false;
  out = v;
  return true;
}

// Runs a body between connect and disconnect, on an identified unit only: a
// recording unit has no screens set up for its type yet.
template <typename Body>
int onIdentifiedUnit(CliContext& c, Body body) {
  if (CliConnect(c) != 0) return kFailed;
  int r = kFailed;
  if (c.st.session.needsScreenSetup != 0)
    std::fprintf(stderr, "lumvex-cli: the unit is recording; try again once it is idle\n");
  else
    r = body();
  CliDisconnect(c);
  return r;
}

// ---------------------------------------------------------------- diag

int printBox(const TestBox& box) {
  if (box.text.empty())
    std::printf("%s: no text for result code %d\n", box.title.c_str(), box.code);
  else
    std::printf("%s: %s\n", box.title.c_str(), box.text.c_str());
  return box.good ? 0 : kFailed;
}

int diag(CliContext& c) {
  const auto& a = c.opt.args;
  const std::string what = a.size() == 1 ? a[0] : "";
  if (what != "ram" && what != "flash" && what != "sd" && what != "temperature") {
    std::fprintf(stderr, "lumvex-cli: diag ram|flash|sd|temperature\n");
    return kBadArguments;
  }
  return onIdentifiedUnit(c, [&] {
    Station& st = c.st;
    if (what == "ram") return printBox(RamCheckResult(st));
    if (what == "flash") return printBox(FlashCheckResult(st));
    if (what == "sd") return printBox(SdCardCheckResult(st));
    // The station reads temperatures from LX2 units only.
    if (!st.session.IsLX2) {
      std::fprintf(stderr, "lumvex-cli: only LX2 units report temperatures\n");
      return kBadArguments;
    }
    std::string text;
    const int r = CheckTemperatures(st, text);
    std::printf("Temperature: %s\n", text.c_str());
    return r == 0 && !text.empty() ? 0 : kFailed;
  });
}

// ---------------------------------------------------------------- io

struct IoArgs {
  int passes = 1;
  std::vector<Ctl> on;
  int led = -1, drive = -1;
  bool redBlue = false;
};

bool isIoSwitch(Ctl c) {
  for (Ctl s : kIoSwitches)
    if (s == c) return true;
  return false;
}

bool parseIoArgs(const std::vector<std::string>& a, IoArgs& io) {
  for (size_t i = 0; i < a.size(); ++i) {
    auto value = [&](int& out, int lo, int hi) { return i + 1 < a.size() && parseInt(a[++i], out, lo, hi); };
    if (a[i] == "--passes") {
      if (!value(io.passes, 1, kMaxPasses)) return false;
    } else if (a[i] == "--led") {
      if (!value(io.led, 1, 1000)) return false;
    } else if (a[i] == "--drive") {
      if (!value(io.drive, 0, 1000000)) return false;
    } else if (a[i] == "--redblue") {
      io.redBlue = true;
    } else if (a[i] == "--on") {
      // One or more switch names, up to the next option.
      const size_t first = i + 1;
      while (i + 1 < a.size() && a[i + 1].rfind("--", 0) != 0) {
        Ctl sw;
        const std::string& name = a[++i];
        if (!controlByName(name, sw) || !isIoSwitch(sw)) {
          std::fprintf(stderr, "lumvex-cli: %s is no switch of the I/O check; the switches are:\n",
                       name.c_str());
          for (Ctl s : kIoSwitches) std::fprintf(stderr, "  %s\n", str(controlName(s)).c_str());
          return false;
        }
        io.on.push_back(sw);
      }
      if (i + 1 == first) return false;
    } else {
      return false;
    }
  }
  return true;
}

// The page's settings from the options, after the check has started (Rev D
// has read the switches back from the unit by then). False, with the reason
// printed, for a choice this unit's page does not offer.
bool applyIoArgs(Model& m, const IoArgs& io) {
  auto hidden = [&](Ctl c) {
    if (m.visible(c)) return false;
    std::fprintf(stderr, "lumvex-cli: this unit's Diagnostics page has no %s\n", str(controlName(c)).c_str());
    return true;
  };
  for (Ctl sw : io.on) {
    if (hidden(sw)) return false;
    m.setNumber(sw, 1);
  }
  if (io.redBlue) {
    if (hidden(Ctl::REDBLUE)) return false;
    m.setNumber(Ctl::REDBLUE, 1);
  }
  if (io.led > 0 && !m.selectValue(Ctl::LEDSEL, std::to_string(io.led))) {
    std::fprintf(stderr, "lumvex-cli: this unit has LEDs 1 to %d\n", m.itemCount(Ctl::LEDSEL));
    return false;
  }
  if (io.drive >= 0) {
    const Control& k = m[Ctl::LEDDRIVE];
    if (io.drive < k.minimum || io.drive > k.maximum) {
      std::fprintf(stderr, "lumvex-cli: --drive takes %g to %g\n", k.minimum, k.maximum);
      return false;
    }
    m.setNumber(Ctl::LEDDRIVE, io.drive);
  }
  return true;
}

// One pass as the page shows it: the lamps shown, the A/D displays shown
// (written at most every 0.5 s, so a display may still hold an earlier
// pass's reading) and, for an LX2 unit, the temperature.
void printPass(const Model& m, int pass) {
  std::printf("pass %d\n  lamps:", pass);
  const char* sep = " ";
  for (Ctl c : kLamps) {
    if (!m.visible(c)) continue;
    std::printf("%s%s %s", sep, trimmed(m.label(c)).c_str(), m.number(c) != 0 ? "on" : "off");
    sep = ", ";
  }
  std::printf("\n  A/D:");
  sep = " ";
  for (Ctl c : kReadingDisplays) {
    if (!m.visible(c)) continue;
    std::printf("%s%s %d", sep, trimmed(m.label(c)).c_str(), m.intValue(c));
    sep = ", ";
  }
  std::printf("\n");
  if (m.visible(Ctl::TEMPERATURE)) std::printf("  temperature: %s\n", m.text(Ctl::TEMPERATURE).c_str());
}

int io(CliContext& c) {
  IoArgs args;
  if (!parseIoArgs(c.opt.args, args)) {
    std::fprintf(stderr, "lumvex-cli: io [--passes N] [--on SWITCH ...] [--led N] [--drive N] [--redblue]\n");
    return kBadArguments;
  }
  return onIdentifiedUnit(c, [&] {
    Station& st = c.st;
    Model& m = st.model;
    const int messagesBefore = c.op.messageCount;
    IoCheckRun run = IOCheckStart(st);
    int r = 0;
    if (!applyIoArgs(m, args)) {
      r = kBadArguments;
    } else {
      std::printf("I/O check, %s; LED %s at drive %d (sent as %d)\n",
                  run.variant == IoVariant::RevD ? "Rev D" : "Rev B/C", m.itemValue(Ctl::LEDSEL).c_str(),
                  m.intValue(Ctl::LEDDRIVE), LedDriveLevel(m));
      for (int pass = 1; pass <= args.passes && LinkOpen(st); ++pass) {
        IOCheckPass(st, run);
        printPass(m, pass);
      }
    }
    IOCheckFinish(st, run);
    // Every failure of a pass was shown as a box (or closed the link).
    if (r == 0 && (!LinkOpen(st) || c.op.messageCount != messagesBefore)) r = kFailed;
    return r;
  });
}

// ---------------------------------------------------------------- trigger-test

int triggerTest(CliContext& c) {
  const auto& a = c.opt.args;
  int waitS = kDefaultTriggerWaitS;
  const bool ok =
      a.empty() || (a.size() == 2 && a[0] == "--timeout" && parseInt(a[1], waitS, 1, kMaxTriggerWaitS));
  if (!ok) {
    std::fprintf(stderr, "lumvex-cli: trigger-test [--timeout S]\n");
    return kBadArguments;
  }
  return onIdentifiedUnit(c, [&] {
    Station& st = c.st;
    if (!st.session.triggerCheckSupported) {
      std::fprintf(stderr, "lumvex-cli: this unit has no trigger test\n");
      return kFailed;
    }
    using Clock = std::chrono::steady_clock;
    // The page's loop, run here pass by pass: it starts disarmed, so the
    // trigger input is armed after its start, as the page's button does.
    st.session.triggerTestRunning = 1;
    TriggerCheckStart(st);
    if (ArmTriggerCheck(st) != 0) {
      st.session.triggerTestRunning = 0;
      return kFailed;
    }
    const auto armed = Clock::now();
    const auto deadline = armed + std::chrono::seconds(waitS);
    std::printf("trigger input armed; waiting up to %d s\n", waitS);
    std::fflush(stdout);
    bool received = false;
    while (!received && LinkOpen(st) && Clock::now() < deadline) received = TriggerCheckPass(st) != 0;
    st.session.triggerTestRunning = 0;
    if (received) {
      const double s = std::chrono::duration<double>(Clock::now() - armed).count();
      std::printf("trigger received after %.1f s\n", s);
      return 0;
    }
    DisarmTriggerCheck(st);
    std::printf("no trigger within %d s\n", waitS);
    return kFailed;
  });
}

// ---------------------------------------------------------------- live

int live(CliContext& c) {
  const auto& a = c.opt.args;
  int passes = 1, view = 0, side = 0;
  bool ok = true;
  for (size_t i = 0; ok && i < a.size(); ++i) {
    const bool hasValue = i + 1 < a.size();
    if (a[i] == "--passes")
      ok = hasValue && parseInt(a[++i], passes, 1, kMaxPasses);
    else if (a[i] == "--view")
      ok = hasValue && parseInt(a[++i], view, 0, 1);
    else if (a[i] == "--side")
      ok = hasValue && parseInt(a[++i], side, 0, 1);
    else
      ok = false;
  }
  if (!ok) {
    std::fprintf(stderr, "lumvex-cli: live [--passes N] [--view 0|1] [--side 0|1]\n");
    return kBadArguments;
  }
  return onIdentifiedUnit(c, [&] {
    Station& st = c.st;
    Model& m = st.model;
    m.setNumber(Ctl::COORD_SYS_SW, view);
    m.setNumber(Ctl::DEMO_DIR_SW, side);
    LiveDisplay d = DemoStart(st);
    int r = 0;
    for (int pass = 1; pass <= passes && LinkOpen(st); ++pass) {
      if (DemoPass(st, d) != 0) r = kFailed;
      const GraphState& g = m[Ctl::LIVE_GRAPH].graph;
      std::printf("pass %d\n", pass);
      for (size_t i = d.legendCurves; i < g.curves.size(); ++i) {
        const Curve& o = g.curves[i];
        if (o.x.empty() || o.y.empty()) continue;
        std::printf("  LED %zu: %.2f %.2f\n", i - d.legendCurves + 1, o.x[0], o.y[0]);
      }
    }
    DemoFinish(st, d);
    return LinkOpen(st) ? r : kFailed;
  });
}

}  // namespace

void AddDiagCommands(std::vector<CliCommand>& out) {
  out.push_back({"diag",
                 "diag ram|flash|sd|temperature   run a memory test (or read an LX2 unit's temperature),\n"
                 "                    print its box; exit 0 when good, 1 otherwise",
                 diag});
  out.push_back({"io",
                 "io [--passes N] [--on SWITCH ...] [--led N] [--drive N] [--redblue]\n"
                 "                    N passes (default 1) of the I/O check with the named Diagnostics\n"
                 "                    switches on (e.g. TRIGGEROUT_SW S1KILL); prints each pass's lamps\n"
                 "                    and A/D displays (refreshed at most every 0.5 s)",
                 io});
  out.push_back({"trigger-test",
                 "trigger-test [--timeout S]   arm the trigger check, wait up to S s (default 10)\n"
                 "                    for a trigger; exit 0 when one arrived, 1 at the time-out",
                 triggerTest});
  out.push_back({"live",
                 "live [--passes N] [--view 0|1] [--side 0|1]   N passes (default 1) of the live display:\n"
                 "                    each LED's drawn centre (horizontal, vertical) in mm; --view and\n"
                 "                    --side set the page's View (0 Dummy, 1 Lumvex) and Impact Side\n"
                 "                    (0 Left, 1 Right; turns Polar units) switches",
                 live});
}

}  // namespace lumvex::cli
