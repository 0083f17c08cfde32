// Subcommands of unit maintenance: firmware (the Diagnostics page's "Load
// Firmware"), side (the impact-side selector, with its calibration load),
// leds (the adjustable 50th's LED assignment on the LED table) and autocheck
// (the position autocheck page, whatever AutoCheck_On says: the command line
// is the laboratory's). Each connects as CONNECT does, runs the page's own
// callbacks and disconnects. A question the command was not told to answer
// (--yes) ends it with exit status 3 after the question is printed.
#include "cli/cli.h"
#include "files/ledcell.h"
#include "link/status.h"
#include "maintenance/autocheck.h"
#include "maintenance/leds.h"
#include "platform/text.h"
#include "ui/autocheck_page.h"
#include "ui/diagnostics_page.h"
#include "ui/setup_page.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace lumvex::cli {
namespace {

constexpr int kFailed = 1;
constexpr int kBadArguments = 2;
constexpr int kUnanswered = 3;

// Runs a subcommand body between connect and disconnect; a question left
// unanswered turns success or failure into kUnanswered.
template <typename Body>
int connected(CliContext& c, Body body) {
  c.op.unanswered = false;
  if (CliConnect(c) != 0) return kFailed;
  int r = body();
  if (c.op.unanswered && (r == 0 || r == kFailed)) r = kUnanswered;
  CliDisconnect(c);
  return r;
}

// The unit's type and side are known only once it was identified, which
// waits until it no longer records.
bool identified(CliContext& c) {
  if (c.st.session.needsScreenSetup == 0) return true;
  std::fprintf(stderr, "lumvex-cli: the unit is recording; try again once it is idle\n");
  return false;
}

bool idle(const Station& st) {
  return st.session.unitStatus == StatusReady || st.session.unitStatus == StatusDataHeld;
}

// ---------------------------------------------------------------- firmware

int firmware(CliContext& c) {
  const auto& args = c.opt.args;
  if (args.size() != 1) {
    std::fprintf(stderr, "lumvex-cli: firmware FILE\n");
    return kBadArguments;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(args[0], ec)) {
    std::fprintf(stderr, "lumvex-cli: no program file %s\n", args[0].c_str());
    return kBadArguments;
  }
  // The load takes a path of fewer than 5 characters for a cancelled dialog.
  c.op.loadAnswer = std::filesystem::absolute(args[0], ec).string();
  return connected(c, [&] {
    // An LX2 unit takes the binary image, any other the text image.
    if (!identified(c)) return kFailed;
    const int r = LOADER(c.st);
    std::printf("firmware: %s\n", r == 1 ? "loaded" : "not loaded");
    return r == 1 ? 0 : kFailed;
  });
}

// ---------------------------------------------------------------- side

int side(CliContext& c) {
  std::string wanted;
  for (const auto& a : c.opt.args) {
    if (a == "--yes")
      c.op.assumeYes = true;
    else if ((a == "LE" || a == "RI") && wanted.empty())
      wanted = a;
    else
      wanted = "?";
  }
  if (wanted.empty() || wanted == "?") {
    std::fprintf(stderr, "lumvex-cli: side LE|RI [--yes]\n");
    return kBadArguments;
  }
  return connected(c, [&] {
    Station& st = c.st;
    Model& m = st.model;
    if (!identified(c)) return kFailed;
    if (!isWorldSid(st.session.DummyType) || !m.selectValue(Ctl::LX_DIRECTION, wanted)) {
      std::fprintf(stderr, "lumvex-cli: only a WorldSID unit has an impact side to change\n");
      return kFailed;
    }
    const bool already = !st.session.DirectionText.empty() && st.session.DirectionText[0] == wanted[0];
    const SideChange r = LX_DIRECTION(st);
    std::printf("side: %s\n", m.itemLabel(Ctl::LX_DIRECTION).c_str());
    std::printf("calibration date: %s\n", m.text(Ctl::CALDATE).c_str());
    switch (r) {
      case SideChange::Relabelled:
      case SideChange::Loaded:
      case SideChange::Switched:
        return 0;
      case SideChange::Nothing:
        if (already) return 0;
        std::fprintf(stderr, "lumvex-cli: the station changes nothing on this unit for its side\n");
        return kFailed;
      default:  // cancelled, or failed after the operator was told why
        return kFailed;
    }
  });
}

// ---------------------------------------------------------------- leds

struct LedSet {
  int led = 0, rib = 0, posn = 0;
};

// A position index 0-3 or its name, in any case, '_' or '-' for the blank.
int positionIndex(std::string text) {
  int i = -1;
  if (ParseCliInt(text, i)) return i >= 0 && i < kLedPositions ? i : -1;
  for (char& ch : text) ch = ch == '_' || ch == '-' ? ' ' : static_cast<char>(std::toupper(ch));
  for (int k = 0; k < kLedPositions; ++k)
    if (text == kLedPositionNames[k]) return k;
  return -1;
}

// "LED=RIB:POSITION", e.g. "5=3:RIGHT_STERNUM" or "5=3:3".
bool parseLedSet(const std::string& s, LedSet& out) {
  const size_t eq = s.find('='), colon = s.find(':');
  if (eq == std::string::npos || colon == std::string::npos || colon < eq) return false;
  out.posn = positionIndex(s.substr(colon + 1));
  return ParseCliInt(s.substr(0, eq), out.led) && out.led >= 1 && out.led <= kAssignedLeds &&
         ParseCliInt(s.substr(eq + 1, colon - eq - 1), out.rib) && out.rib >= 1 && out.rib <= kLedRibs &&
         out.posn >= 0;
}

// The operator picks entry `index` of a list cell of the LED table.
void choose(Model& m, int row, int col, int index) {
  Cell& cell = m.editCell(Ctl::LED_TABLE, row, col);
  if (!cell.choice || index < 0 || index >= static_cast<int>(cell.choices.size())) return;
  cell.choiceIndex = index;
  cell.text = cell.choices[static_cast<size_t>(index)];
  m.changed(Ctl::LED_TABLE);
  m.commit(Ctl::LED_TABLE, {EventKind::CellCommit, 0, row, col});
}

void printAssignment(const Model& m) {
  for (int r = 1; r <= kAssignedLeds; ++r)
    std::printf("LED %d: rib %s, %s, ISO %s\n", r, m.cell(Ctl::LED_TABLE, r, ledtable::Rib).text.c_str(),
                m.cell(Ctl::LED_TABLE, r, ledtable::Position).text.c_str(),
                m.cell(Ctl::LED_TABLE, r, ledtable::Iso).text.c_str());
}

int leds(CliContext& c) {
  std::vector<LedSet> sets;
  bool save = false;
  const auto& args = c.opt.args;
  for (size_t i = 0; i < args.size(); ++i) {
    LedSet s;
    if (args[i] == "--save") {
      save = true;
    } else if (args[i] == "--set" && i + 1 < args.size() && parseLedSet(args[i + 1], s)) {
      sets.push_back(s);
      ++i;
    } else {
      std::fprintf(stderr,
                   "lumvex-cli: leds [--set LED=RIB:POSITION ...] [--save]\n"
                   "  LED 1-12, RIB 1-6, POSITION 0-3 or LEFT_RIB, LEFT_STERNUM, RIGHT_RIB, RIGHT_STERNUM\n");
      return kBadArguments;
    }
  }
  return connected(c, [&] {
    Station& st = c.st;
    Model& m = st.model;
    if (!identified(c)) return kFailed;
    // Only the adjustable layout's rib and position cells are lists.
    if (m.rows(Ctl::LED_TABLE) < kAssignedLeds || !m.cell(Ctl::LED_TABLE, 1, ledtable::Rib).choice) {
      std::fprintf(stderr,
                   "lumvex-cli: this unit's LEDs have fixed places (only a 50th ADJ unit's are set)\n");
      return kFailed;
    }
    for (const LedSet& s : sets) {
      choose(m, s.led, ledtable::Rib, s.rib - 1);
      choose(m, s.led, ledtable::Position, s.posn);
    }
    int r = 0;
    if (save && SAVE_LED_INFO(st) != 0) {
      // While idle the messages above said what failed.
      if (!idle(st))
        std::fprintf(stderr, "lumvex-cli: the LED assignment is saved only while the unit is idle\n");
      r = kFailed;
    }
    printAssignment(m);
    if (m.visible(Ctl::SAVE_LED_INFO))
      std::fprintf(stderr, save ? "lumvex-cli: the changes above are not stored in the unit\n"
                                : "lumvex-cli: the changes above are not saved to the unit and are lost at "
                                  "exit (--save stores them)\n");
    return r;
  });
}

// ---------------------------------------------------------------- autocheck

bool parseLimits(const std::string& s, std::array<int, 3>& out) {
  size_t from = 0;
  for (int a = 0; a < 3; ++a) {
    const size_t comma = a < 2 ? s.find(',', from) : s.size();
    if (comma == std::string::npos) return false;
    int v = 0;
    if (!ParseCliInt(s.substr(from, comma - from), v) || v < 0) return false;
    out[static_cast<size_t>(a)] = v;
    from = comma + 1;
  }
  return true;
}

void printAutoCheck(const Station& st) {
  const AutoCheckTables& t = st.autoCheck;
  const auto& lim = st.AutoCheckLimits;
  std::printf("limits: X %d mm, Y %d mm, Z %d mm\n", lim[0], lim[1], lim[2]);
  auto three = [](const std::array<double, kAutoCheckValues>& v, size_t at) {
    return PositionText(v[at]) + " " + PositionText(v[at + 1]) + " " + PositionText(v[at + 2]);
  };
  for (size_t led = 0; led < kAutoCheckValues / 3; ++led)
    std::printf("LED %zu: reference %s, current %s\n", led + 1, three(t.reference, 3 * led).c_str(),
                three(t.current, 3 * led).c_str());
  int out = 0;
  for (size_t i = 0; i < kAutoCheckValues; ++i) {
    if (!t.outOfLimits[i]) continue;
    ++out;
    std::printf("out of limits: LED %zu %c (current %s, reference %s, limit %d mm)\n", i / 3 + 1,
                "XYZ"[i % 3], PositionText(t.current[i]).c_str(), PositionText(t.reference[i]).c_str(),
                lim[i % 3]);
  }
  std::printf("coordinates out of limits: %d\n", out);
}

int autocheck(CliContext& c) {
  std::array<int, 3> limits{};
  bool newLimits = false, update = false;
  const auto& args = c.opt.args;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--limits" && i + 1 < args.size() && parseLimits(args[i + 1], limits)) {
      newLimits = true;
      ++i;
    } else if (args[i] == "--update") {
      update = true;
    } else if (args[i] == "--yes") {
      c.op.assumeYes = true;
    } else {
      std::fprintf(stderr, "lumvex-cli: autocheck [--limits X,Y,Z] [--update] [--yes]   (whole mm)\n");
      return kBadArguments;
    }
  }
  return connected(c, [&] {
    Station& st = c.st;
    if (!identified(c)) return kFailed;
    if (!isWorldSid(st.session.DummyType)) {
      std::fprintf(stderr, "lumvex-cli: only a WorldSID unit keeps reference positions\n");
      return kFailed;
    }
    // New limits are saved as "Save Limits" saves them; else the file's are used.
    if (newLimits) {
      st.AutoCheckLimits = limits;
      if (WriteAutoCheckIni(st) != 0) return kFailed;
    } else if (ReadAutoCheckIni(st) != 0) {
      return kFailed;
    }
    int count = 0;
    // An error code from the unit (told) leaves references of 0: new ones may follow.
    if (GetGoldenPosns(st, count, st.autoCheck.reference.data()) < 0) return kFailed;
    if (update) {
      const int stored = UPDATE_GOLDENS(st);
      if (stored == 2) std::fprintf(stderr, "lumvex-cli: the recorded positions were not changed\n");
      if (stored == 1 || stored < 0) return kFailed;
    }
    const int out = AUTOCK_CURR_POSNS(st);
    printAutoCheck(st);
    return out == 0 ? 0 : kFailed;
  });
}

}  // namespace

void AddMaintenanceCommands(std::vector<CliCommand>& out) {
  out.push_back({"firmware",
                 "firmware FILE     load a program file into the unit (binary image for LX2 units)",
                 firmware});
  out.push_back(
      {"side", "side LE|RI [--yes]   change the impact side (loads the side's calibration file)", side});
  out.push_back(
      {"leds",
       "leds [--set LED=RIB:POSITION ...] [--save]   the 50th ADJ unit's LED assignment; sets are lost "
       "without --save",
       leds});
  out.push_back(
      {"autocheck",
       "autocheck [--limits X,Y,Z] [--update] [--yes]   LED positions against the ATD lab's references "
       "(exit 1 when any is out of limits; whatever AutoCheck_On says)",
       autocheck});
}

}  // namespace lumvex::cli
