// Uploads against the in-process simulated unit over loopback TCP: a 100 MB
// LX2 firmware image from its file to the unit's answer (goal: 200 MB/s or
// more), and the 2.4 MB WorldSID calibration (goal: at most 50 ms of the
// station's own work, the CPU column: the unit's side runs on its thread),
// beside a plain send loop over the same loopback as the baseline.
#include "support/scripted_operator.h"
#include "link/link.h"
#include "maintenance/upload.h"
#include "core/callayout.h"
#include "sim/commands.h"
#include "sim/unit.h"
#include "sim/wsid_model.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace lumvex;

namespace {

double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Uploader {
  sim::Simulator unit;
  ScriptedOperator op;
  std::unique_ptr<Station> st = std::make_unique<Station>(op);
  explicit Uploader(const char* firmware) {
    unit.withUnit([&](sim::UnitState& u) {
      u.props["type"] = "WorldSID";
      u.props["firmware"] = firmware;
    });
    const int port = unit.listenTcp("127.0.0.1", 0);
    unit.start();
    ok = ConnectEthernet(*st, "127.0.0.1:" + std::to_string(port), 0) == 0 && EthernetSync(*st) == 0;
  }
  ~Uploader() {
    Disconnect(*st);
    unit.stop();
  }
  bool ok = false;
};

void BM_FirmwareLoad100MB(benchmark::State& state) {
  constexpr size_t kImageBytes = 100'000'000;
  const std::string path = (std::filesystem::temp_directory_path() / "lumvex-bench-firmware.bin").string();
  {
    std::vector<char> image(kImageBytes);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 131 + (i >> 12));
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(image.data(), 1, image.size(), f) != image.size()) {
      if (f) std::fclose(f);
      state.SkipWithError("cannot write the image file");
      return;
    }
    std::fclose(f);
  }
  Uploader u("LX2 V8.0");
  if (!u.ok) {
    state.SkipWithError("no link");
    return;
  }
  u.st->session.IsLX2 = 1;
  auto load = [&] {
    u.op.fileAnswers.push_back(path);
    int loaded = 0;
    Loader(*u.st, &loaded);
    u.op.clear();
    return loaded == 1;
  };
  // The first load in a process also pays for the first touch of the raw
  // buffer (and of the unit's memory): it is timed apart.
  const auto first = std::chrono::steady_clock::now();
  const double cpu0 = threadCpuMs();
  if (!load()) state.SkipWithError("the unit did not take the image");
  state.counters["first_load_ms"] =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - first).count();
  state.counters["first_load_station_cpu_ms"] = threadCpuMs() - cpu0;
  for (auto _ : state)
    if (!load()) state.SkipWithError("the unit did not take the image");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kImageBytes));
  std::filesystem::remove(path);
}

// Baseline: 100 MB written in ten blocks to a reader that only discards, over
// the same loopback, in the same run.
void BM_PlainSend100MB(benchmark::State& state) {
  constexpr size_t kBytes = 100'000'000;
  int lfd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (lfd < 0 || bind(lfd, reinterpret_cast<sockaddr*>(&a), len) != 0 || listen(lfd, 1) != 0 ||
      getsockname(lfd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    state.SkipWithError("no socket");
    return;
  }
  std::thread reader([lfd] {
    int fd = accept(lfd, nullptr, nullptr);
    std::vector<char> buf(1 << 20);
    while (fd >= 0 && read(fd, buf.data(), buf.size()) > 0) {
    }
    if (fd >= 0) close(fd);
  });
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), len) != 0) state.SkipWithError("no connection");
  std::vector<char> data(kBytes, 'x');
  for (auto _ : state) {
    for (size_t at = 0; at < kBytes;) {
      ssize_t w = send(fd, data.data() + at, std::min<size_t>(kBytes / 10, kBytes - at), MSG_NOSIGNAL);
      if (w <= 0) break;
      at += static_cast<size_t>(w);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kBytes));
  close(fd);
  reader.join();
  close(lfd);
}

void BM_CalibrationLoad(benchmark::State& state) {
  Uploader u("V7.3");
  if (!u.ok) {
    state.SkipWithError("no link");
    return;
  }
  const std::vector<float> image = sim::wsidCalibrationImage(CalLayout50th);
  const size_t n = image.size() * sizeof(float);
  std::memcpy(u.st->data.CalUploadBuffer.begin(), image.data(), n);
  for (auto _ : state) {
    if (SendCal(*u.st, static_cast<int>(n), 0) != 0) state.SkipWithError("the unit refused the calibration");
    u.op.clear();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}

}  // namespace

BENCHMARK(BM_FirmwareLoad100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_PlainSend100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CalibrationLoad)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_MAIN();
