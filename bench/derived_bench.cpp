// The WorldSID derived channels on the largest download (250,001 samples):
// IR-TRACC equivalents plus length change, with a few error runs per LED.
#include "core/station.h"
#include "support/scripted_operator.h"
#include "files/naming.h"
#include "processing/derived.h"
#include "processing/assembly.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

using namespace lumvex;

namespace {

void fillRecord(Station& st, int samples) {
  ChannelTable& t = st.data.ChannelData;
  t.ChannelCount = 61;
  t.SampleCount = samples;
  for (int i = 0; i < samples; ++i) {
    t.at(i, 0) = static_cast<float>(-20.0 + 0.1 * i);
    const double push = i < 1000 ? 0.0 : 20.0 * std::sin(1e-3 * (i - 1000));
    for (int led = 0; led < 18; ++led) {
      const bool code = (i + 977 * led) % 40000 < 30;  // a short run every 4 s
      t.at(i, 3 * led + 1) = code ? 5.0f : static_cast<float>(5.0 + led);
      t.at(i, 3 * led + 2) = code ? 5.0f : static_cast<float>(90.0 - push);
      t.at(i, 3 * led + 3) = code ? 5.0f : static_cast<float>(3.0 + 0.1 * led);
    }
    for (int s = 55; s < 61; ++s) t.at(i, s) = 1000.0f;
  }
  st.session.DummyType = DummyWorldSID50th;
  InitDummyTypeNames(st.data);
}

void BM_DerivedChannels(benchmark::State& state) {
  ScriptedOperator op;
  auto st = std::make_unique<Station>(op);
  const int samples = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    fillRecord(*st, samples);
    state.ResumeTiming();
    IRTraccCalcs(*st);
    CalcChannelOffsets(st->data);
    LengthCalcs(*st);
    benchmark::DoNotOptimize(st->data.ChannelData.at(samples - 1, 90));
  }
  state.SetItemsProcessed(state.iterations() * samples);
}

}  // namespace

BENCHMARK(BM_DerivedChannels)->Arg(250001)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
