// The largest download end to end, as the operator runs it: lumvex-cli
// downloads 25,000 ms of a raw-recording LX2 WorldSID (250,001 records x 232
// words) from lumvex-sim over loopback, converts it with the unit's
// calibration file, adds the derived channels, exports the CSV of 250,001
// rows x 91 columns and writes the raw file beside it. Reported: the wall
// time and the station process's peak resident memory (goal: at most 600 MB),
// taken from the kernel's accounting of the finished child process. The
// simulated unit runs in its own process, so its memory is not counted.
// The CLI runs with --timings; its phases become counters (s): the wait for
// the link (the simulator's own pace), the station's receive, conversion,
// derived channels, export data, CSV and raw file writes, freeing, the
// station's whole part (main less the wait) and what lies outside main
// (process start, loading, the kernel's teardown).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kSim = LUMVEX_BINARY_DIR "/sim/lumvex-sim";
const std::string kCli = LUMVEX_BINARY_DIR "/cli/lumvex-cli";
const std::vector<std::string> kUnit = {"--set", "type=WorldSID",     "--set", "serial=150",
                                        "--set", "firmware=LX2 V8.0", "--set", "caldate=12-Mar-2024"};

// Starts a program in dir with its standard output on a pipe (out given) or
// on /dev/null, its messages in the file errFile of dir (given) or on
// /dev/null; the child's pid.
pid_t spawn(const std::string& dir, const std::vector<std::string>& args, int* out,
            const char* errFile = nullptr) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    const int null = open("/dev/null", O_WRONLY);
    dup2(out ? fds[1] : null, STDOUT_FILENO);
    const int err = errFile ? open(errFile, O_WRONLY | O_CREAT | O_TRUNC, 0644) : null;
    dup2(err >= 0 ? err : null, STDERR_FILENO);
    if (err != null && err >= 0) close(err);
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

// The "name  ms" lines of the CLI's timings report.
std::map<std::string, double> readTimings(const fs::path& file) {
  std::map<std::string, double> ms;
  std::ifstream in(file);
  bool inReport = false;
  for (std::string line; std::getline(in, line);) {
    if (line == "timings (ms):") inReport = true;
    const size_t end = line.find_last_not_of(' ');
    const size_t gap = line.find_last_of(' ', end);
    if (!inReport || line.rfind("  ", 0) != 0 || gap == std::string::npos) continue;
    const size_t nameEnd = line.find_last_not_of(' ', gap);
    ms[line.substr(2, nameEnd - 1)] = std::atof(line.c_str() + gap + 1);
  }
  return ms;
}

void BM_LargestDownloadAndCsvExport(benchmark::State& state) {
  Setup s;
  if (!s.error.empty()) {
    state.SkipWithError(s.error.c_str());
    return;
  }
  long peakKb = 0;
  double wallMs = 0;
  for (auto _ : state) {
    std::vector<std::string> args = {kCli,    "--timings", "--host", s.host,  "download", "--start",
                                     "-1000", "--stop",    "24000",  "--out", "big.csv"};
    const auto t0 = std::chrono::steady_clock::now();
    pid_t p = spawn(s.dir.string(), args, nullptr, "timings.txt");
    int status = 0;
    rusage ru{};
    if (p < 0 || wait4(p, &status, 0, &ru) != p || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("lumvex-cli download failed");
      return;
    }
    wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    peakKb = std::max(peakKb, ru.ru_maxrss);
  }
  std::map<std::string, double> ms = readTimings(s.dir / "timings.txt");
  const double wait = ms["download: waiting for the link"];
  for (auto [counter, phase] : {std::pair{"wait_s", "download: waiting for the link"},
                                {"receive_s", "download: station's receive/parse"},
                                {"conversion_s", "raw conversion"},
                                {"derived_s", "derived channels"},
                                {"exportdata_s", "export data (zeroing, filter)"},
                                {"csv_s", "export file write"},
                                {"raw_s", "raw file write"},
                                {"freeing_s", "freeing the station"}})
    state.counters[counter] = ms[phase] / 1000.0;
  state.counters["station_s"] = (ms["main, in all"] - wait) / 1000.0;
  state.counters["outside_main_s"] = (wallMs - ms["main, in all"]) / 1000.0;
  std::error_code ec;
  state.counters["peak_rss_MB"] = static_cast<double>(peakKb) / 1024.0;
  state.counters["csv_MB"] = static_cast<double>(fs::file_size(s.dir / "big.CSV", ec)) / 1e6;
  state.counters["raw_MB"] = static_cast<double>(fs::file_size(s.dir / "big.RD2", ec)) / 1e6;
}

}  // namespace

BENCHMARK(BM_LargestDownloadAndCsvExport)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK_MAIN();
