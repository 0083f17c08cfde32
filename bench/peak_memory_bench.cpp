// The largest download end to end, as the operator runs it: lumvex-cli
// downloads 25,000 ms of a raw-recording LX2 WorldSID (250,001 records x 232
// words) from lumvex-sim over loopback, converts it with the unit's
// calibration file, adds the derived channels, exports the CSV of 250,001
// rows x 91 columns and writes the raw file beside it. Reported: the wall
// time and the station process's peak resident memory (goal: at most 600 MB),
// taken from the kernel's accounting of the finished child process. The
// simulated unit runs in its own process, so its memory is not counted.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kSim = LUMVEX_BINARY_DIR "/sim/lumvex-sim";
const std::string kCli = LUMVEX_BINARY_DIR "/cli/lumvex-cli";
const std::vector<std::string> kUnit = {"--set", "type=WorldSID",     "--set", "serial=150",
                                        "--set", "firmware=LX2 V8.0", "--set", "caldate=12-Mar-2024"};

// Starts a program in dir with its standard output on a pipe (out given) or
// on /dev/null, its messages on /dev/null; the child's pid.
pid_t spawn(const std::string& dir, const std::vector<std::string>& args, int* out) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    const int null = open("/dev/null", O_WRONLY);
    dup2(out ? fds[1] : null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    close(null);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  if (out)
    *out = fds[0];
  else
    close(fds[0]);
  return pid;
}

std::string readLine(int fd) {
  std::string line;
  char c;
  while (read(fd, &c, 1) == 1 && c != '\n') line.push_back(c);
  return line;
}

struct Setup {
  fs::path dir;
  pid_t sim = -1;
  std::string host;
  std::string error;

  Setup() {
    char tmpl[] = "/tmp/lumvex-peak-XXXXXX";
    if (!mkdtemp(tmpl)) {
      error = "mkdtemp";
      return;
    }
    dir = tmpl;
    for (const auto& e : fs::directory_iterator(LUMVEX_SOURCE_DIR "/config")) fs::copy(e.path(), dir);
    std::vector<std::string> cal = {kSim, "--write-calibration", dir.string()};
    cal.insert(cal.end(), kUnit.begin(), kUnit.end());
    int status = 0;
    pid_t p = spawn(dir.string(), cal, nullptr);
    if (p < 0 || waitpid(p, &status, 0) != p || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      error = "calibration files";
      return;
    }
    std::vector<std::string> run = {
        kSim, "--port", "0", "--state", "3", "--set", "window.start=-1000", "--set", "window.stop=24000"};
    run.insert(run.end(), kUnit.begin(), kUnit.end());
    int out = -1;
    sim = spawn(dir.string(), run, &out);
    for (int i = 0; i < 4 && host.empty(); ++i) {
      std::string line = readLine(out);
      if (line.rfind("tcp ", 0) == 0) host = line.substr(4);
    }
    close(out);
    if (host.empty()) error = "simulator did not start";
  }
  ~Setup() {
    if (sim > 0) {
      kill(sim, SIGTERM);
      waitpid(sim, nullptr, 0);
    }
    std::error_code ec;
    if (!dir.empty()) fs::remove_all(dir, ec);
  }
};

void BM_LargestDownloadAndCsvExport(benchmark::State& state) {
  Setup s;
  if (!s.error.empty()) {
    state.SkipWithError(s.error.c_str());
    return;
  }
  long peakKb = 0;
  for (auto _ : state) {
    std::vector<std::string> args = {kCli,    "--host", s.host,  "download", "--start",
                                     "-1000", "--stop", "24000", "--out",    "big.csv"};
    pid_t p = spawn(s.dir.string(), args, nullptr);
    int status = 0;
    rusage ru{};
    if (p < 0 || wait4(p, &status, 0, &ru) != p || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("lumvex-cli download failed");
      return;
    }
    peakKb = std::max(peakKb, ru.ru_maxrss);
  }
  std::error_code ec;
  state.counters["peak_rss_MB"] = static_cast<double>(peakKb) / 1024.0;
  state.counters["csv_MB"] = static_cast<double>(fs::file_size(s.dir / "big.CSV", ec)) / 1e6;
  state.counters["raw_MB"] = static_cast<double>(fs::file_size(s.dir / "big.RD2", ec)) / 1e6;
}

}  // namespace

BENCHMARK(BM_LargestDownloadAndCsvExport)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK_MAIN();
