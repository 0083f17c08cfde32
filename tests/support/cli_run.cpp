#include "cli_run.h"

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

namespace lumvex::testing {

void installConfiguration(const TempDir& dir) {
  namespace fs = std::filesystem;
  for (const auto& e : fs::directory_iterator(sourcePath("config")))
    if (e.is_regular_file()) fs::copy_file(e.path(), fs::path(dir.path()) / e.path().filename());
}

CliRun runCli(const TempDir& dir, const std::string& args, Stderr stderrTo, const std::string& shell) {
  const std::string errFile = dir.file("stderr.txt");
  const std::string redirect = stderrTo == Stderr::IntoOut ? " 2>&1" : " 2>'" + errFile + "'";
  const std::string cmd = "cd '" + dir.path() + "' && export HOME='" + dir.path() +
                          "' && unset XDG_DATA_HOME && " + shell +
                          " '" LUMVEX_BINARY_DIR "/cli/lumvex-cli' " + args + redirect;
  CliRun r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = pclose(p);
  r.exitCode = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  if (stderrTo == Stderr::Apart) r.err = readFile(errFile);
  return r;
}

}  // namespace lumvex::testing
