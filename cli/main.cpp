// lumvex-cli: the station without a screen. Global options choose the link,
// a subcommand says what to do; messages go to stderr as "TITLE: text".
#include "cli/cli.h"
#include "core/workdir.h"
#include "ui/callbacks.h"
#include "ui/layout.h"
#include "ui/main_window.h"

#include <cstdio>
#include <memory>
#include <cstdlib>
#include <string>

namespace {

#ifdef LUMVEX_CLI_PLOT
#define PLOT_COMMAND "|plot"
#define PLOT_HELP                                                                     \
  "plot draws the Plot page's graph into a PNG, PDF or SVG file (default 1200x800)\n" \
  "without a display (QT_QPA_PLATFORM=offscreen unless set); --legend prints the\n"   \
  "legend lines. An unknown selection lists the file's selections (exit 2).\n"
#else
#define PLOT_COMMAND ""
#define PLOT_HELP ""
#endif

void usage(const std::vector<lumvex::cli::CliCommand>& cmds) {
  std::fputs(
      "Usage: lumvex-cli (--host ADDR[:PORT] [--port1066] | --serial COMn) [options] COMMAND [ARGS]\n"
      "       lumvex-cli [options] read|convert" PLOT_COMMAND
      " ARGS   (saved files: no unit needed)\n"
      "       lumvex-cli [options] discover|setip|nic [ARGS]   (the network: no unit link)\n\n"
      "Runs the station's operations without a screen. Messages go to stderr as\n"
      "\"TITLE: text\"; questions are never waited for (the Communication Error box is\n"
      "answered \"Disconnect\").\n"
      "The configuration and list files (Lumvex_8_0.ini, reinit.txt, calibration files,\n"
      "...) are read from the working folder: --workdir DIR, else the current folder when\n"
      "it holds Lumvex_8_0.ini, else $XDG_DATA_HOME/lumvex (~/.local/share/lumvex),\n"
      "made from the installed templates on first use.\n"
      "discover and setip broadcast to 255.255.255.255, query port 30718, hear beacons on\n"
      "port 1020 when widgetType is 0 in Lumvex_8_0.ini (after a 10000 ms wait) and send a\n"
      "beacon unit's new address to port 9999, unless --broadcast, --query-port,\n"
      "--beacon-port, --change-port or --beacon-wait say otherwise. They run on the adaptor\n"
      "kept in MultipleNICs.ini, or on the one --nic names for this run only.\n"
      "AutoCheck_On = 1 in section [LED_Position_AutoCheck] of Lumvex_8_0.ini turns on the\n"
      "position autocheck of WorldSID LX2 units (arm then checks the LEDs against their\n"
      "recorded positions); missing or any other value: off, as shipped.\n" PLOT_HELP
      "\n"
      "options\n"
      "  --host ADDR[:PORT]  unit on TCP (port 3000 unless given)\n"
      "  --port1066          the alternative port 1066 when ADDR has no port\n"
      "  --serial COMn       unit on serial port COMn (see LUMVEX_SERIAL_PORTS)\n"
      "  --timeout MS        resting link time-out (default 2000)\n"
      "  --yes               answer Yes / Continue to questions\n"
      "  --workdir DIR       the working folder (see above)\n"
      "  --timings           at the end, how long each phase took (ms), on stderr\n"
      "  --version           the program's version\n"
      "\n"
      "commands\n",
      stdout);
  for (const auto& c : cmds) std::printf("  %s\n", c.usage.c_str());
}

}  // namespace

namespace {

void printTimings(const lumvex::PhaseTimes& t, double freeingMs, double mainMs) {
  std::fputs("timings (ms):\n", stderr);
  auto line = [](const std::string& name, double ms) {
    std::fprintf(stderr, "  %-36s %9.1f\n", name.c_str(), ms);
  };
  // Each phase, then its parts (which end before it and so come first in the record).
  double sum = 0;
  for (const auto& [name, ms] : t.phases) {
    if (lumvex::PhaseTimes::isPart(name)) continue;
    line(name, ms);
    sum += ms;
    for (const auto& [part, partMs] : t.phases)
      if (lumvex::PhaseTimes::isPart(part) && part.rfind(name + ": ", 0) == 0) line(part, partMs);
  }
  std::fprintf(stderr, "  %-36s %9.1f\n", "freeing the station", freeingMs);
  std::fprintf(stderr, "  %-36s %9.1f\n", "other", mainMs - sum - freeingMs);
  std::fprintf(stderr, "  %-36s %9.1f\n", "main, in all", mainMs);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace lumvex;
  using namespace lumvex::cli;
  const auto mainStart = PhaseTimes::Clock::now();
  std::vector<CliCommand> cmds = AllCliCommands();
  CliOptions opt;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (!opt.command.empty()) {
      opt.args.push_back(a);
    } else if (a == "--help" || a == "-h") {
      usage(cmds);
      return 0;
    } else if (a == "--version") {
      std::printf("lumvex-cli %s\n", LUMVEX_VERSION);
      return 0;
    } else if (a == "--host" || a == "--serial" || a == "--timeout" || a == "--workdir") {
      const char* v = value();
      if (!v) {
        std::fprintf(stderr, "lumvex-cli: %s needs a value\n", a.c_str());
        return 2;
      }
      if (a == "--host") opt.host = v;
      if (a == "--serial") opt.serial = v;
      if (a == "--timeout") opt.timeoutMs = std::atoi(v);
      if (a == "--workdir") opt.workDir = v;
    } else if (a == "--port1066") {
      opt.port1066 = true;
    } else if (a == "--yes") {
      opt.yes = true;
    } else if (a == "--timings") {
      opt.timings = true;
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "lumvex-cli: unknown option %s\n", a.c_str());
      return 2;
    } else {
      opt.command = a;
    }
  }
  const CliCommand* cmd = nullptr;
  for (const auto& c : cmds)
    if (c.name == opt.command) cmd = &c;
  if (!cmd) {
    std::fprintf(stderr, "lumvex-cli: %s\n", opt.command.empty() ? "no command given" : "unknown command");
    usage(cmds);
    return 2;
  }
  if (cmd->needsUnit && opt.host.empty() == opt.serial.empty()) {
    std::fprintf(stderr, "lumvex-cli: give either --host or --serial\n");
    return 2;
  }

  std::string error;
  const std::string workDir = PrepareWorkDir(opt.workDir, TemplatesFolder(), error);
  if (workDir.empty()) {
    std::fprintf(stderr, "lumvex-cli: %s\n", error.c_str());
    return 1;
  }

  ConsoleOperator op;
  op.assumeYes = opt.yes;
  op.defaultButton = "Disconnect";
  op.quiet = false;
  // Heap: the station's buffers are large.
  auto st = std::make_unique<Station>(op);
  st->timings.enabled = opt.timings;
  st->workDir = workDir;
  // The same window model as the GUI: captions, entries and starting states.
  LoadMainLayout(st->model);
  BindCallbacks(*st);
  if (StartStation(*st) != 0) return 1;
  // Configuration: the working folder, the window model, the INI files.
  st->timings.add("start-up, configuration", PhaseTimes::msSince(mainStart));
  CliContext ctx{*st, op, opt};
  const int rc = cmd->run(ctx);
  if (opt.timings) {
    const PhaseTimes times = st->timings;
    const auto freeStart = PhaseTimes::Clock::now();
    st.reset();
    const double freeingMs = PhaseTimes::msSince(freeStart);
    printTimings(times, freeingMs, PhaseTimes::msSince(mainStart));
  }
  return rc;
}
