// lumvex-cli run as a script runs it: in a working folder holding the
// station's configuration files, with its exit status and output kept.
#pragma once

#include "support/testing.h"

#include <string>
#include <string_view>

namespace lumvex::testing {

struct CliRun {
  int exitCode = -1;
  std::string out;  // stdout; stderr too when merged into it
  std::string err;  // stderr when kept apart
};

// Where the program's stderr goes: apart into `err`, or into `out`
// interleaved as written.
enum class Stderr { Apart, IntoOut };

// Copies the configuration files installed beside the program into dir.
void installConfiguration(const TempDir& dir);

// Runs lumvex-cli with args in the working folder dir, which is also its home
// folder (so nothing outside dir is ever made); `shell` runs first in the
// same shell (e.g. a ulimit). Kept apart, stderr passes through the file
// "stderr.txt" in dir.
CliRun runCli(const TempDir& dir, const std::string& args, Stderr stderrTo = Stderr::Apart,
              const std::string& shell = "");

// Whether the run's `out` holds text.
inline bool has(const CliRun& r, std::string_view text) { return r.out.find(text) != std::string::npos; }

}  // namespace lumvex::testing
