// CSV export of the largest WorldSID file (250,001 rows x 91 columns) by
// FileSave_NATIVE, beside a plain fprintf("%4.2f,") writer of the same file in
// the same run. Before timing, both files are written once and compared byte
// for byte; the program fails when they differ.
#include "files/csv.h"
#include "support/scripted_operator.h"
#include "files/naming.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace {

constexpr int kRows = 250'001;
constexpr int kColumns = 91;

lumvex::ScriptedOperator gOperator;
std::unique_ptr<lumvex::Station> gStation;
std::string gFolder;

// A relative, filtered WorldSID export: small values around zero with a pulse
// of tens of mm, a few error-code stretches, ambient levels in the thousands.
void makeStation() {
  gStation = std::make_unique<lumvex::Station>(gOperator);
  lumvex::Station& st = *gStation;
  st.session.DummyType = lumvex::DummyWorldSID50th;
  st.data.layout = {18, 3, 6, 6};
  st.session.DirectionText = "Left Side";
  st.session.SerialNumberText = "117";
  st.session.TriggerSetting = 1;
  st.data.ident.AtdText = "WS50-0042";
  st.data.ident.TestDateUs = "03-04-2021";
  for (int k = 0; k < 54; ++k) lumvex::setCode(st.data.codes.ChannelCodes[k], "11SHRILE01WSDSXB");
  for (int k = 54; k < 60; ++k) lumvex::setCode(st.data.codes.ChannelCodes[k], "11SENSTORE99PO0P");
  lumvex::AssignIrTraccCodes(st);
  lumvex::AssignLengthChangeCodes(st);
  auto& t = st.data.ExportData;
  t.ChannelCount = kColumns;
  t.SampleCount = kRows;
  for (int r = 0; r < kRows; ++r) {
    double ms = -5000.0 + r * 0.1;
    t.at(r, 0) = static_cast<float>(ms);
    for (int c = 1; c < kColumns; ++c) {
      double pulse = ms > 0 ? 45.0 * std::exp(-ms / 25.0) * std::sin(ms / 8.0 + c) : 0.0;
      double v = c >= 55 && c <= 60 ? 2000.0 + 3.0 * c + ((r * 31 + c) % 17)
                                    : pulse + 0.013 * ((r * 7 + c) % 29) - 0.18;
      if (c <= 54 && r % 50'000 < 40 && r > 50'000) v = 5.0;  // an LED drop-out with code 5
      t.at(r, c) = static_cast<float>(v);
    }
  }
  gFolder = (std::filesystem::temp_directory_path() / "lumvex-csv-bench").string();
  std::filesystem::create_directories(gFolder);
}

std::string_view filterText(char code) {
  switch (code) {
    case '0':
      return " - no filter,,,,";
    case 'A':
      return " - class 1000,,,,";
    case 'B':
      return " - class 600,,,,";
    case 'C':
      return " - class 180,,,,";
    case 'D':
      return " - class 60,,,,";
    default:
      return ",,,,";
  }
}

// The straightforward writer: one fprintf per field.
int fprintfWriter(const lumvex::Station& st, const std::string& path, int relative) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return -1;
  const auto& slot1 = st.data.codes.ChannelCodes[1];
  std::fprintf(f, "Lumvex Type: %s,,,,,,", std::string(lumvex::currentTypeName(st)).c_str());
  std::fprintf(f, "%s", relative ? "Data is Relative,,,,,," : "Data is Absolute,,,,,,");
  std::fprintf(f, "ISO Filter code=%c", slot1[15]);
  std::fprintf(f, "%s", std::string(filterText(slot1[15])).c_str());
  std::fprintf(f, "ISO CSV Format\r");
  std::fprintf(f, "Lumvex Facing Toward Dummy %s,,,,,,", st.session.DirectionText.c_str());
  std::fprintf(f, "Serial Number:%s,,,,,,", st.session.SerialNumberText.c_str());
  std::fprintf(f, "ISO Test Object code=%c,,,,", slot1[0]);
  std::fprintf(f, "Trigger:%d\r", st.session.TriggerSetting + st.session.SoftwareTriggerOffset);
  std::fprintf(f, "ATD: %s,,,,,,", st.data.ident.AtdText.c_str());
  std::fprintf(f, "Test Date:%s,,,,,,", st.data.ident.TestDateUs.c_str());
  std::fprintf(f, "ISO Position code=%c\r", slot1[1]);
  std::fprintf(f, "Time(ms),");
  const auto& t = st.data.ExportData;
  for (int j = 1; j < t.ChannelCount; ++j)
    std::fprintf(f, j + 1 < t.ChannelCount ? "%s," : "%s\r", st.data.codes.ChannelCodes[j - 1].data());
  for (int r = 0; r < t.SampleCount; ++r) {
    for (int c = 0; c < t.ChannelCount; ++c) std::fprintf(f, "%4.2f,", t.at(r, c));
    std::fprintf(f, "\r");
  }
  return std::fclose(f) == 0 ? 0 : -1;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void BM_CsvFileSaveNative(benchmark::State& state) {
  lumvex::Station& st = *gStation;
  st.session.CurrentDataPath = gFolder + "/native.CSV";
  for (auto _ : state)
    if (lumvex::FileSave_NATIVE(st, st.session.CurrentDataPath, 1) != 0) state.SkipWithError("write failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(std::filesystem::file_size(st.session.CurrentDataPath)));
}
BENCHMARK(BM_CsvFileSaveNative)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

void BM_CsvPlainFprintf(benchmark::State& state) {
  const std::string path = gFolder + "/fprintf.CSV";
  for (auto _ : state)
    if (fprintfWriter(*gStation, path, 1) != 0) state.SkipWithError("write failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_CsvPlainFprintf)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  makeStation();
  const std::string nativePath = gFolder + "/native.CSV", plainPath = gFolder + "/fprintf.CSV";
  gStation->session.CurrentDataPath = nativePath;
  if (lumvex::FileSave_NATIVE(*gStation, gStation->session.CurrentDataPath, 1) != 0 ||
      fprintfWriter(*gStation, plainPath, 1) != 0) {
    std::fprintf(stderr, "cannot write the files in %s\n", gFolder.c_str());
    return 1;
  }
  const std::string a = slurp(nativePath), b = slurp(plainPath);
  if (a != b) {
    std::fprintf(stderr, "the two writers differ (%zu and %zu bytes)\n", a.size(), b.size());
    return 1;
  }
  std::fprintf(stderr, "identical: %zu bytes, %d rows x %d columns\n", a.size(), kRows, kColumns);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(gFolder);
  return 0;
}
