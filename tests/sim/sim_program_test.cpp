// The lumvex-sim program: --help, an ephemeral port and a pseudo-terminal it
// prints, a unit that answers on both, a clean stop on SIGTERM, and the
// calibration files it writes for raw-recording units.
#include "link/link.h"
#include "platform/transport.h"
#include "core/callayout.h"
#include "sim/wsid_model.h"
#include "support/testing.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace lumvex;

namespace {

const char* const kSim = LUMVEX_BINARY_DIR "/sim/lumvex-sim";

struct SimProcess {
  explicit SimProcess(std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0) return;
    pid = fork();
    if (pid == 0) {
      dup2(out[1], 1);
      close(out[0]);
      std::vector<char*> argv{const_cast<char*>(kSim)};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(kSim, argv.data());
      _exit(127);
    }
    close(out[1]);
    stdoutFile = fdopen(out[0], "r");
  }
  std::string line() {
    char buf[256] = {};
    if (!stdoutFile || !fgets(buf, sizeof buf, stdoutFile)) return "";
    std::string s = buf;
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
  }
  int stop() {
    int status = -1;
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, &status, 0);
      pid = -1;
    }
    return status;
  }
  ~SimProcess() {
    stop();
    if (stdoutFile) fclose(stdoutFile);
  }
  pid_t pid = -1;
  FILE* stdoutFile = nullptr;
};

std::string ask(Transport& t, std::string_view body) {
  std::string r;
  if (t.write(CommandFrame(body)) != IoStatus::Ok) return "";
  t.readLine(r, 2047);
  return r;
}

}  // namespace

TEST(SimProgram, HelpDocumentsEndpointsStatesAndFaults) {
  SimProcess p({"--help"});
  std::string all;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p.stdoutFile)) > 0) all.append(buf, n);
  for (const char* word : {"--port", "--pty", "--state", "--arm-after", "--fault", "drop-at", "drop-bytes",
                           "stall", "corrupt", "wrong-name", "extra-fields", "long-line"})
    EXPECT_NE(all.find(word), std::string::npos) << word;
}

TEST(SimProgram, ServesTcpAndAPseudoTerminalUntilTerminated) {
  SimProcess p({"--port", "0", "--pty", "--state", "3"});
  std::string tcp = p.line();
  std::string pty = p.line();
  ASSERT_EQ(tcp.rfind("tcp 127.0.0.1:", 0), 0u) << tcp;
  ASSERT_EQ(pty.rfind("pty /dev/", 0), 0u) << pty;
  int port = std::stoi(tcp.substr(tcp.rfind(':') + 1));
  auto t = Transport::openTcp("127.0.0.1", port, 1000);
  ASSERT_TRUE(t);
  t->setTimeout(1000);
  EXPECT_EQ(ask(*t, "S#"), "S#3#204\r\n");
  auto s = Transport::openSerial(pty.substr(4));
  ASSERT_TRUE(s);
  s->setTimeout(1000);
  EXPECT_EQ(ask(*s, "S#"), "S#3#204\r\n");
  int status = p.stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(SimProgram, RefusesBadOptions) {
  SimProcess p({"--fault", "explode"});
  int status = -1;
  waitpid(p.pid, &status, 0);
  p.pid = -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
}

namespace {

int runSim(const std::string& args) {
  const int st = std::system(("'" + std::string(kSim) + "' " + args + " 2>/dev/null").c_str());
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

}  // namespace

TEST(SimProgram, WritesTheCalibrationFileOfEachSideUnderTheDateTheUnitReports) {
  lumvex::testing::TempDir dir;
  // A WorldSID 5th LX2 on the right side with its own date per side: the
  // station asks for the current date (the right side's) or for a side.
  ASSERT_EQ(runSim("--set 'type=WorldSID 5th' --set 'firmware=LX2 V8.0' --set serial=207 --set side=RIGHT "
                   "--set caldate=01-Feb-2025 --set caldate.left=03-Jan-2025 --set caldate.right=01-Feb-2025 "
                   "--write-calibration '" +
                   dir.path() + "'"),
            0);
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"SN207_01-Feb-2025_Right Side_cal.bin",
                                             "SN207_03-Jan-2025_Left Side_cal.bin"}));
  const std::vector<float> image = sim::wsidCalibrationImage(CalLayout5thLX2);
  ASSERT_EQ(image.size(), 519'620u);
  for (const auto& n : names)
    EXPECT_EQ(lumvex::testing::readFile(dir.file(n)),
              std::string(reinterpret_cast<const char*>(image.data()), image.size() * sizeof(float)))
        << n;

  // Without per-side dates both sides carry the current one.
  lumvex::testing::TempDir one;
  ASSERT_EQ(runSim("--set type=WorldSID --set firmware=V7.3 --write-calibration '" + one.path() + "'"), 0);
  EXPECT_EQ(std::filesystem::file_size(one.file("SN150_12-Mar-2024_Left Side_cal.bin")), 611'870u * 4);
  EXPECT_EQ(std::filesystem::file_size(one.file("SN150_12-Mar-2024_Right Side_cal.bin")), 611'870u * 4);

  // Units that deliver positions have no calibration file; a missing folder fails.
  EXPECT_EQ(runSim("--set type=Polar --write-calibration '" + one.path() + "'"), 2);
  EXPECT_EQ(runSim("--write-calibration '" + one.file("no/such") + "'"), 1);
}
