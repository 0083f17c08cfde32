// lumvex-sim: a simulated measurement unit on loopback TCP and/or a
// pseudo-terminal (see --help).
#include "core/unit_family.h"
#include "sim/options.h"
#include "sim/recording.h"
#include "sim/wsid_model.h"

#include <csignal>
#include <memory>
#include <cstdio>
#include <set>
#include <string>
#include <utility>

int main(int argc, char** argv) {
  using namespace lumvex::sim;
  SimOptions o;
  std::string error;
  if (!ParseSimOptions(argc, argv, o, error)) {
    std::fprintf(stderr, "lumvex-sim: %s\n(see lumvex-sim --help)\n", error.c_str());
    return 2;
  }
  if (o.version) {
    std::printf("lumvex-sim %s\n", LUMVEX_VERSION);
    return 0;
  }
  if (o.help) {
    std::fputs(SimUsage(), stdout);
    return 0;
  }
  if (!o.writeCalibration.empty()) {
    const UnitState& u = o.unit;
    const std::string type = u.prop("type", "WorldSID");
    const int family = lumvex::DummyTypeFromText(type);
    if (family != 5 && family != 7) {
      std::fprintf(stderr, "lumvex-sim: a %s unit has no calibration file\n", type.c_str());
      return 2;
    }
    const int lx2 = u.prop("firmware", "LX2 V8.0").find("LX2") != std::string::npos ? 1 : 0;
    // The station names the file by the date the unit reports: per side when
    // asked for a side, the current one otherwise (which belongs to the
    // unit's current side).
    const std::string date = u.prop("caldate", "12-Mar-2024");
    const bool right = u.prop("side", "LEFT") == "RIGHT";
    std::set<std::pair<std::string, std::string>> files = {
        {"Left Side", u.prop("caldate.left", date)},
        {"Right Side", u.prop("caldate.right", date)},
        {right ? "Right Side" : "Left Side", date},
    };
    for (const auto& [side, calDate] : files)
      if (wsidWriteCalibrationFile(o.writeCalibration, u.prop("serial", "150"), calDate, side, family, lx2) !=
          0) {
        std::fprintf(stderr, "lumvex-sim: cannot write the calibration files into %s\n",
                     o.writeCalibration.c_str());
        return 1;
      }
    return 0;
  }
  // Signals are taken by sigwait below, never by the serving thread.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);

  Simulator sim;
  ApplySimOptions(o, sim);
  if (o.verbose)
    sim.setLog(
        [](std::string_view l) { std::fprintf(stderr, "%.*s\n", static_cast<int>(l.size()), l.data()); });
  int tcpPort = o.port;
  if (o.tcp) {
    int port = tcpPort = sim.listenTcp(o.bind, o.port);
    if (port < 0) {
      std::fprintf(stderr, "lumvex-sim: cannot listen on %s:%d\n", o.bind.c_str(), o.port);
      return 1;
    }
    std::printf("tcp %s:%d\n", o.bind.c_str(), port);
  }
  if (o.pty) {
    std::string path = sim.openPty();
    if (path.empty()) {
      std::fprintf(stderr, "lumvex-sim: cannot open a pseudo-terminal\n");
      return 1;
    }
    std::printf("pty %s\n", path.c_str());
  }
  std::unique_ptr<NetModule> net;
  if (o.discovery) {
    net = std::make_unique<NetModule>(o.net, o.tcp ? &sim : nullptr, tcpPort);
    if (o.verbose)
      net->setLog(
          [](std::string_view l) { std::fprintf(stderr, "%.*s\n", static_cast<int>(l.size()), l.data()); });
    if (!net->start()) {
      std::fprintf(stderr, "lumvex-sim: cannot open the UDP ports at %s\n", o.bind.c_str());
      return 1;
    }
    std::printf("udp %s:%d\n", o.bind.c_str(), o.net.queryPort);
  }
  std::fflush(stdout);
  sim.start();
  int sig = 0;
  sigwait(&set, &sig);
  sim.stop();
  return 0;
}
