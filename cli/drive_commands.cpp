// Subcommands that identify and drive the unit: info, settrigger, comment,
// arm, disarm, trigger, erase and positions. Each connects as CONNECT does, runs the same callbacks
// as the page-0 buttons and disconnects. A question the command was not told
// to answer (--yes) ends it with exit status 3 after the question is printed.
#include "cli/cli.h"
#include "ui/screens.h"
#include "ui/setup_page.h"
#include "link/info.h"
#include "link/link.h"
#include "link/positions.h"
#include "link/recording.h"
#include "link/status.h"
#include "maintenance/battery.h"
#include "maintenance/leds.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace lumvex::cli {
namespace {

constexpr int kFailed = 1;
constexpr int kBadArguments = 2;
constexpr int kUnanswered = 3;

void line(const char* key, std::string_view value) {
  std::printf("%s: %.*s\n", key, static_cast<int>(value.size()), value.data());
}

// Runs a subcommand body between connect and disconnect.
template <typename Body>
int connected(CliContext& c, Body body) {
  c.op.unanswered = false;
  if (CliConnect(c) != 0) return kFailed;
  int r = body();
  if (c.op.unanswered && r == 0) r = kUnanswered;
  if (c.op.unanswered && r == kFailed) r = kUnanswered;
  CliDisconnect(c);
  return r;
}

bool numberArg(const std::vector<std::string>& args, size_t& i, int& out) {
  if (i + 1 >= args.size()) return false;
  char* end = nullptr;
  long v = std::strtol(args[i + 1].c_str(), &end, 10);
  if (end == args[i + 1].c_str() || *end != '\0') return false;
  out = static_cast<int>(v);
  ++i;
  return true;
}

void printStatus(Station& st) {
  int s = st.session.unitStatus;
  std::string_view t = StatusText(s);
  std::printf("status: %d %.*s\n", s, static_cast<int>(t.size()), t.data());
}

int info(CliContext& c) {
  return connected(c, [&] {
    Station& st = c.st;
    const Model& m = st.model;
    printStatus(st);
    if (st.session.needsScreenSetup != 0) {
      std::printf("note: the unit is recording; it is identified once it is idle\n");
      return 0;
    }
    line("type", m.text(Ctl::LXtype));
    line("serial", m.text(Ctl::SERNUM));
    line("firmware", m.text(Ctl::FIRMWARE));
    line("calibration date", m.text(Ctl::CALDATE));
    std::string trigger = m.itemLabel(Ctl::TRIGGER_SET) + " (" + m.itemValue(Ctl::TRIGGER_SET) + ")";
    line("trigger", trigger);
    line("comment", m.text(Ctl::TESTINFO));
    line("recorded window", m.text(Ctl::DATA_STRT) + " .. " + m.text(Ctl::DATA_STOP) + " ms");
    // The side selector: the unit's side for WorldSID, "CENTER in X Dir" for
    // the families measured on the centre line.
    line("side", m.itemLabel(Ctl::LX_DIRECTION));
    // The screen update reads the battery of an LX2 unit with a fuel gauge.
    if (!st.session.IsLX2 || !st.ini.FuelGaugeInstalled) {
      line("battery", "no fuel gauge read (LX2 units with Fuel_Gauge_Installed only)");
    } else if (m.dimmed(Ctl::BATT_FUEL)) {
      line("battery", "no charge reading (see the messages above)");
    } else {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%d %%, %.2f V", m.intValue(Ctl::BATT_FUEL), m.number(Ctl::BATT_VOLTS));
      line("battery", buf);
    }
    return 0;
  });
}

// The trigger and comment are set like their page-0 fields: only on an
// identified unit, whose trigger selector holds the codes it offers.
bool identified(CliContext& c) {
  if (c.st.session.needsScreenSetup == 0) return true;
  printStatus(c.st);
  std::fprintf(stderr, "lumvex-cli: the unit is recording; try again once it is idle\n");
  return false;
}

int setTrigger(CliContext& c) {
  const auto& args = c.opt.args;
  if (args.size() != 1) {
    std::fprintf(stderr, "lumvex-cli: settrigger CODE\n");
    return kBadArguments;
  }
  return connected(c, [&] {
    Station& st = c.st;
    Model& m = st.model;
    if (!identified(c)) return kFailed;
    if (!m.visible(Ctl::TRIGGER_SET)) {
      std::fprintf(stderr, "lumvex-cli: this unit type has no trigger setting\n");
      return kBadArguments;
    }
    if (args[0] == "-1" || !m.selectValue(Ctl::TRIGGER_SET, args[0])) {
      std::fprintf(stderr, "lumvex-cli: trigger code %s is not offered; this unit offers:\n",
                   args[0].c_str());
      for (const Item& i : m[Ctl::TRIGGER_SET].items)
        if (i.value != "-1") std::fprintf(stderr, "  %s  %s\n", i.value.c_str(), i.label.c_str());
      return kBadArguments;
    }
    const int before = c.op.messageCount;
    m.commit(Ctl::TRIGGER_SET);  // sends it and reads the unit's settings back
    std::string trigger = m.itemLabel(Ctl::TRIGGER_SET) + " (" + m.itemValue(Ctl::TRIGGER_SET) + ")";
    line("trigger", trigger);
    const bool took = c.op.messageCount == before + 1 && !st.session.triggerInvalid &&
                      std::to_string(st.session.TriggerSetting) == args[0];
    return took ? 0 : kFailed;
  });
}

int comment(CliContext& c) {
  const auto& args = c.opt.args;
  if (args.size() != 1) {
    std::fprintf(stderr, "lumvex-cli: comment TEXT\n");
    return kBadArguments;
  }
  return connected(c, [&] {
    Model& m = c.st.model;
    if (!identified(c)) return kFailed;
    const int before = c.op.messageCount;
    m.setText(Ctl::TESTINFO, args[0]);
    m.commit(Ctl::TESTINFO);  // cut to 79 past 80 characters, ',' -> '_', sent
    line("comment", m.text(Ctl::TESTINFO));
    // Only the closing note: any other box reported a failure.
    return c.op.messageCount == before + 1 ? 0 : kFailed;
  });
}

struct ArmArgs {
  int post = -1, stop = -1;
  bool linear = false;
};

// Stores a time in a page-0 control, refusing what the control would clamp
// to its maximum for this unit (the unit itself refuses times of 0 or less).
bool setTime(Model& m, Ctl c, int ms) {
  const Control& k = m[c];
  if (ms > k.maximum || ms < k.minimum) {
    std::fprintf(stderr, "lumvex-cli: %s %d ms is beyond the %g ms this unit allows\n",
                 std::string(controlName(c)).c_str(), ms, ms > k.maximum ? k.maximum : k.minimum);
    return false;
  }
  m.setNumber(c, ms);
  return true;
}

int arm(CliContext& c) {
  ArmArgs a;
  const auto& args = c.opt.args;
  for (size_t i = 0; i < args.size(); ++i) {
    bool ok = true;
    if (args[i] == "--post")
      ok = numberArg(args, i, a.post);
    else if (args[i] == "--stop")
      ok = numberArg(args, i, a.stop);
    else if (args[i] == "--linear")
      a.linear = true;
    else if (args[i] == "--yes")
      c.op.assumeYes = true;
    else
      ok = false;
    if (!ok) {
      std::fprintf(stderr, "lumvex-cli: arm [--post MS] [--linear --stop MS] [--yes]\n");
      return kBadArguments;
    }
  }
  if (a.stop >= 0 && !a.linear) {
    std::fprintf(stderr, "lumvex-cli: --stop needs --linear\n");
    return kBadArguments;
  }
  return connected(c, [&] {
    Model& m = c.st.model;
    if (c.st.session.unitStatus != StatusReady && c.st.session.unitStatus != StatusDataHeld) {
      printStatus(c.st);
      std::fprintf(stderr, "lumvex-cli: the unit can be armed only when idle\n");
      return kFailed;
    }
    m.setNumber(Ctl::CIRC_LIN_BUT, a.linear ? 1 : 0);
    if (a.post >= 0 && !setTime(m, Ctl::TPOST, a.post)) return kBadArguments;
    if (a.stop >= 0 && !setTime(m, Ctl::TSTOP, a.stop)) return kBadArguments;
    m.commit(Ctl::ARM_BUT);
    if (m.label(Ctl::ARM_BUT) != "DISARM") return kFailed;
    c.st.session.unitStatus = CheckStatus(c.st);
    printStatus(c.st);
    return c.st.session.unitStatus == StatusPreTrigger ? 0 : kFailed;
  });
}

int disarm(CliContext& c) {
  return connected(c, [&] {
    int r = Disarm(c.st);
    c.st.session.unitStatus = CheckStatus(c.st);
    printStatus(c.st);
    return r == 0 ? 0 : kFailed;
  });
}

int trigger(CliContext& c) {
  return connected(c, [&] {
    // The software trigger is offered only while the unit waits for its trigger.
    if (c.st.session.unitStatus != StatusPreTrigger) {
      printStatus(c.st);
      std::fprintf(stderr, "lumvex-cli: the unit is not armed\n");
      return kFailed;
    }
    int r = Trigger(c.st);
    c.st.session.unitStatus = CheckStatus(c.st);
    printStatus(c.st);
    return r == 0 ? 0 : kFailed;
  });
}

int erase(CliContext& c) {
  for (const auto& a : c.opt.args) {
    if (a != "--yes") {
      std::fprintf(stderr, "lumvex-cli: erase [--yes]\n");
      return kBadArguments;
    }
    c.op.assumeYes = true;
  }
  return connected(c, [&] {
    int before = c.op.messageCount;
    c.st.model.commit(Ctl::ERASE_BUT);
    printStatus(c.st);
    bool clean = c.op.messageCount == before;
    return c.st.session.unitStatus == StatusReady && clean ? 0 : kFailed;
  });
}

// What the LED table shows (the dummy's frame), or with --unit-frame the
// unit's own numbers.
int positions(CliContext& c) {
  bool unitFrame = false;
  for (const auto& a : c.opt.args) {
    if (a != "--unit-frame") {
      std::fprintf(stderr, "lumvex-cli: positions [--unit-frame]\n");
      return kBadArguments;
    }
    unitFrame = true;
  }
  return connected(c, [&] {
    // The frame follows the unit's type and side, known once it is identified.
    if (!unitFrame && !identified(c)) return kFailed;
    std::array<double, kMaxPointValues> p{};
    int count = 0;
    const int rc = unitFrame ? getPoints(c.st, count, p.data()) : DummyFramePositions(c.st, count, p.data());
    if (rc != 0) return kFailed;
    int axes = c.st.data.layout.AxesPerLed;
    if (axes < 2 || axes > 3) axes = 1;  // layout unknown: one value a line
    for (int i = 0; i + axes <= count; i += axes) {
      std::printf("LED %d:", i / axes + 1);
      for (int k = 0; k < axes; ++k) std::printf(" %s", PositionText(p[i + k]).c_str());
      bool error = axes > 1 && CountLedErrors(&p[i], 1, axes) == 1;
      std::printf("%s\n", error ? "  (error code)" : "");
    }
    return 0;
  });
}

}  // namespace

void AddDriveCommands(std::vector<CliCommand>& out) {
  out.push_back(
      {"info",
       "info              type, serial, firmware, calibration date, trigger, comment, window, side, battery",
       info});
  out.push_back({"settrigger", "settrigger CODE   set the trigger (0 rising, 1 falling, 2, 3 differential)",
                 setTrigger});
  out.push_back({"comment", "comment TEXT      set the test comment (ATD information)", comment});
  out.push_back({"arm", "arm [--post MS] [--linear --stop MS] [--yes]   check LEDs and battery, arm", arm});
  out.push_back({"disarm", "disarm            disarm the unit", disarm});
  out.push_back({"trigger", "trigger           software trigger", trigger});
  out.push_back({"erase", "erase [--yes]     erase the unit's memory (asks twice)", erase});
  out.push_back({"positions",
                 "positions [--unit-frame]   current LED positions (mm) as the LED table shows them (the "
                 "dummy's frame), or as the unit reports them",
                 positions});
}

}  // namespace lumvex::cli
