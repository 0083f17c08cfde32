// Uploads against the in-process simulated unit over loopback TCP: a 100 MB
// LX2 firmware image from its file to the unit's answer (goal: 200 MB/s or
// more), and the 2.4 MB WorldSID calibration (goal: at most 50 ms of the
// station's own work, the CPU column: the unit's side runs on its thread).
#include "link/link.h"
#include "maintenance/upload.h"
#include "processing/callayout.h"
#include "sim/commands.h"
#include "sim/unit.h"
#include "sim/wsid_model.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace lumvex;

namespace {

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
  for (auto _ : state) {
    u.op.fileAnswers.push_back(path);
    int loaded = 0;
    Loader(*u.st, &loaded);
    if (loaded != 1) state.SkipWithError("the unit did not take the image");
    u.op.clear();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kImageBytes));
  std::filesystem::remove(path);
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
BENCHMARK(BM_CalibrationLoad)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_MAIN();
