// lumvex-cli run against an in-process simulated unit over loopback, from a
// working folder of its own holding the station's configuration files.
#pragma once

#include "support/cli_run.h"
#include "support/drive_station.h"

#include <string>

namespace lumvex::testing {

struct CliStation : DriveStation {
  TempDir dir;
  explicit CliStation(Props props, int status = 0) : DriveStation(props, status) {
    installConfiguration(dir);
  }
  // Runs lumvex-cli on the unit with a 1 s time-out; stderr lands in `out` too.
  CliRun run(const std::string& args) {
    return runCli(dir, "--timeout 1000 --host 127.0.0.1:" + std::to_string(port) + " " + args,
                  Stderr::IntoOut);
  }
};

}  // namespace lumvex::testing
