// Raw conversion of the largest WorldSID download: 250,000 samples of 18 LEDs.
// "Recording" is a simulated test (rest, crash pulse, rest: the usual case,
// where most samples converge in one pass); "Moving" repeats the pulse so that
// every sample moves. Reported per run and per LED-sample.
#include "processing/rawconv.h"
#include "support/scripted_operator.h"
#include "sim/wsid_model.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <unistd.h>

using namespace lumvex;

namespace {

constexpr int kSamples = 250'000;
constexpr int kLeds = 18;

struct Setup {
  Setup(bool moving) : st(op), model(sim::wsidModel(DummyWorldSID50th, 0)) {
    dir = (std::filesystem::temp_directory_path() / ("lumvex-bench-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(dir);
    st.workDir = dir;
    st.session.DummyType = DummyWorldSID50th;
    st.session.SerialNumberText = "2051";
    st.session.calDate = "2023-11-02";
    st.session.DirectionText = "Left Side";
    sim::wsidWriteCalibrationFiles(dir, "2051", "2023-11-02", DummyWorldSID50th, 0);
    uint16_t* words = st.data.RawWords.begin();
    if (!moving) {
      sim::wsidFillRecords(model, -100, kSamples, words);
    } else {
      constexpr int kPulse = 1000;  // 0 to 100 ms: every rib deflects
      sim::wsidFillRecords(model, 0, kPulse, words);
      for (int k = kPulse; k < kSamples; k += kPulse)
        std::copy(words, words + static_cast<size_t>(std::min(kPulse, kSamples - k)) * kRawRecordWords,
                  words + static_cast<size_t>(k) * kRawRecordWords);
    }
    st.data.ChannelData.SampleCount = kSamples;
    st.data.StartTimeMs = -100;
  }
  ~Setup() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string dir;
  ScriptedOperator op;
  Station st;
  sim::WsidModel model;
};

// Seconds per LED-sample (shown with an SI prefix: "95n" is 95 ns).
void report(benchmark::State& state) {
  state.counters["per_led_sample"] =
      benchmark::Counter(static_cast<double>(kSamples) * kLeds,
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The whole operation: file read, conversion, time base, rows.
void BM_ConvertWSIDdata(benchmark::State& state) {
  static std::unique_ptr<Setup> s[2];
  const bool moving = state.range(0) != 0;
  if (!s[moving]) s[moving] = std::make_unique<Setup>(moving);
  Setup& b = *s[moving];
  for (auto _ : state) {
    b.st.conversionStart = {};
    b.op.clear();
    if (ConvertWSIDdata(b.st, nullptr) != 0) state.SkipWithError("conversion failed");
    benchmark::DoNotOptimize(b.st.data.ChannelData.values[61]);
  }
  report(state);
  state.SetLabel(moving ? "Moving" : "Recording");
}
BENCHMARK(BM_ConvertWSIDdata)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The LED conversion alone on one thread, the baseline of the two-thread run.
void BM_ConvertRecordsOneThread(benchmark::State& state) {
  static std::unique_ptr<Setup> setups[2];
  const bool moving = state.range(0) != 0;
  if (!setups[moving]) setups[moving] = std::make_unique<Setup>(moving);
  Setup* s = setups[moving].get();
  const CalLayout& L = calLayout(CalLayout50th);
  const CalContext cal{&L, s->model.calibration->data(), L.floats, false};
  for (auto _ : state) {
    LastLedPosition last{};
    convertRecords(cal, s->st.data.RawWords.begin(), kRawRecordWords, kSamples, last,
                   s->st.data.ChannelData.values.begin(), kRawChannelCount, 1, nullptr);
    benchmark::DoNotOptimize(last);
  }
  report(state);
  state.SetLabel(state.range(0) ? "Moving" : "Recording");
}
BENCHMARK(BM_ConvertRecordsOneThread)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
