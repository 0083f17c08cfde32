// The CFC filter over a largest WorldSID export: 90 channels of 250,001
// samples. ButfiltColumns (what the export runs) beside 90 single-series
// Butfilt calls on the same data, and the whole zero-and-filter step of an
// export (FillExportData) on a station's table.
#include "ui/export_page.h"
#include "support/scripted_operator.h"
#include "processing/filter.h"
#include "files/naming.h"
#include "processing/filter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <numeric>
#include <vector>

namespace {

constexpr int kRows = 250'001;
constexpr int kColumns = 91;

// A crash-like record: ribs at rest, then a pulse of tens of mm, per column.
float sampleValue(int row, int col) {
  double t = (row - 50'000) * 0.1;  // ms
  double pulse = t > 0 ? 40.0 * std::exp(-t / 30.0) * std::sin(t / 9.0 + col) : 0.0;
  return static_cast<float>(20.0 + col + pulse + 0.01 * ((row * 7 + col) % 13));
}

std::vector<float> makeTable() {
  std::vector<float> t(static_cast<size_t>(kRows) * kColumns);
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kColumns; ++c) t[static_cast<size_t>(r) * kColumns + c] = sampleValue(r, c);
  return t;
}

void BM_ButfiltColumns90(benchmark::State& state) {
  std::vector<float> table = makeTable();
  lumvex::FilterWork work;
  std::vector<int> cols(kColumns - 1);
  std::iota(cols.begin(), cols.end(), 1);
  for (auto _ : state) {
    lumvex::ButfiltColumns(table.data(), kColumns, cols, kRows, 600, 0.1f, work);
    benchmark::DoNotOptimize(table.data());
  }
  state.counters["channels"] = kColumns - 1;
}
BENCHMARK(BM_ButfiltColumns90)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Baseline: one Butfilt call per contiguous channel, as a plain loop would do.
void BM_Butfilt90SingleSeries(benchmark::State& state) {
  std::vector<std::vector<float>> series(kColumns - 1, std::vector<float>(kRows));
  for (int c = 1; c < kColumns; ++c)
    for (int r = 0; r < kRows; ++r) series[c - 1][r] = sampleValue(r, c);
  lumvex::FilterWork work;
  for (auto _ : state) {
    for (auto& s : series) lumvex::Butfilt(s.data(), 600, kRows, 0.1f, work);
    benchmark::DoNotOptimize(series.data());
  }
}
BENCHMARK(BM_Butfilt90SingleSeries)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The export's whole zero-and-filter step for a 91-column WorldSID table.
void BM_FillExportDataWorldSid600(benchmark::State& state) {
  lumvex::ScriptedOperator op;
  auto st = std::make_unique<lumvex::Station>(op);
  st->session.DummyType = lumvex::DummyWorldSID50th;
  st->data.layout = {18, 3, 6, 6};
  auto& t = st->data.ChannelData;
  t.ChannelCount = kColumns;
  t.SampleCount = kRows;
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kColumns; ++c) t.at(r, c) = sampleValue(r, c);
  for (int c = 1; c < kColumns; ++c) st->data.ChannelOffsets[c] = 20.0f + c;
  for (int k = 0; k < 54; ++k) lumvex::setCode(st->data.codes.ChannelCodes[k], "11SHRILE01WSDSX0");
  for (int k = 54; k < 60; ++k) lumvex::setCode(st->data.codes.ChannelCodes[k], "11SENSTORE99PO00");
  lumvex::AssignIrTraccCodes(*st);
  lumvex::AssignLengthChangeCodes(*st);
  for (auto _ : state) {
    lumvex::FillExportData(st->data, 1, 600, false);
    benchmark::DoNotOptimize(st->data.ExportData.values.data.get());
  }
}
BENCHMARK(BM_FillExportDataWorldSid600)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
