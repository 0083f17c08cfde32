// Reading back the largest files the station writes, each beside a
// straightforward reader in the same run (fscanf / fgets + sscanf, or fread
// column by column): the CSV of 250,001 rows x 91 columns, the DIAdem and ISO MME exports
// of 90 channels x 250,001 samples, and the reprocessing of the largest raw
// file (250,000 records x 232 words: read, convert, derived channels). Before
// timing, each reader's values are compared with its baseline's bit for bit;
// the program fails when they differ. Peak memory: lumvex-cli reading each
// file in a process of its own, from the kernel's accounting of that process.
#include "files/csv.h"
#include "files/diadem.h"
#include "files/iso.h"
#include "files/naming.h"
#include "files/readers.h"
#include "processing/assembly.h"
#include "processing/derived.h"
#include "processing/rawconv.h"
#include "sim/wsid_model.h"
#include "support/scripted_operator.h"
#include "ui/fileread.h"
#include "ui/layout.h"
#include "ui/screens.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace lumvex;
namespace fs = std::filesystem;

namespace {

constexpr int kRows = 250'001;
constexpr int kColumns = 91;
constexpr int kRawRecords = 250'000;
constexpr size_t kLine = 4000;

ScriptedOperator gOperator;
std::unique_ptr<Station> gStation;  // the readers' station
std::string gFolder;
std::vector<float> gBaseline;  // allocated once the peak memory has been measured

std::string file(const char* name) { return gFolder + "/" + name; }

// A WorldSID data set of the largest size: rest, a pulse of tens of mm, an
// LED drop-out with code 5, ambient levels in the thousands.
void fillTable(ChannelTable& t) {
  t.ChannelCount = kColumns;
  t.SampleCount = kRows;
  for (int r = 0; r < kRows; ++r) {
    const double ms = -5000.0 + r * 0.1;
    t.at(r, 0) = static_cast<float>(ms);
    for (int c = 1; c < kColumns; ++c) {
      const double pulse = ms > 0 ? 45.0 * std::exp(-ms / 25.0) * std::sin(ms / 8.0 + c) : 0.0;
      double v = c >= 55 && c <= 60 ? 2000.0 + 3.0 * c + ((r * 31 + c) % 17)
                                    : 80.0 + pulse + 0.013 * ((r * 7 + c) % 29) - c;
      if (c <= 54 && r % 50'000 < 40 && r > 50'000) v = 5.0;
      t.at(r, c) = static_cast<float>(v);
    }
  }
}

bool writeFiles() {
  gFolder = (fs::temp_directory_path() / ("lumvex-readers-bench-" + std::to_string(getpid()))).string();
  fs::create_directories(gFolder);
  for (const auto& e : fs::directory_iterator(LUMVEX_SOURCE_DIR "/config")) fs::copy(e.path(), gFolder);
  ScriptedOperator op;
  auto w = std::make_unique<Station>(op);
  Station& st = *w;
  st.workDir = gFolder;
  st.session.DummyType = DummyWorldSID5th;
  st.data.layout = {18, 3, 6, 6};
  st.session.DirectionText = "Left Side";
  st.session.SerialNumberText = "150";
  st.data.ident = {"WS5-0042", "12:00:00", "2024-03-04", "03-04-2024", "03.04.2024", "bench", ""};
  for (int k = 0; k < 54; ++k) setCode(st.data.codes.ChannelCodes[k], "11SHRILE01W5DSX0");
  for (int k = 54; k < 60; ++k) setCode(st.data.codes.ChannelCodes[k], "11SENSTORE99PO00");
  AssignIrTraccCodes(st);
  AssignLengthChangeCodes(st);
  std::snprintf(st.data.codes.DummyTypeNames[DummyWorldSID5th].data(), 50,
                "WorldSID 5th w/IRT w/Length Change");
  fillTable(st.data.ChannelData);
  fillTable(st.data.ExportData);
  st.data.StartTimeMs = -5000;
  int rc = 0;
  std::string path = file("big.CSV");
  rc |= FileSave_NATIVE(st, path, 0);
  path = file("big.DAT");
  rc |= FileSave_DIADEM(st, path, 0);
  path = file("big.MME");
  rc |= FileSave_ISO(st, path, 0);
  // The raw file of the largest LX2 download.
  st.session.IsLX2 = 1;
  st.session.TriggerSetting = 1;
  st.data.ChannelData.SampleCount = kRawRecords;
  st.data.StartTimeMs = -1000;
  sim::wsidFillRecords(sim::wsidModel(DummyWorldSID5th, 1), -1000, kRawRecords, st.data.RawWords.begin());
  path = file("big.X");
  rc |= FileSave_Raw(st, path);
  rc |= sim::wsidWriteCalibrationFiles(gFolder, "150", "12-Mar-2024", DummyWorldSID5th, 1);
  return rc == 0;
}

// --- the straightforward readers --------------------------------------------

// The CSV's and raw file's lines end in a lone CR, which fgets does not
// split at: the headers are read with readfile_until_cr, the numbers with
// fscanf, as the readers' description has it.
int baselineCsv(float* out) {
  std::FILE* f = std::fopen(file("big.CSV").c_str(), "r");
  if (!f) return -1;
  char line[kLine];
  for (int k = 0; k < 4; ++k) readfile_until_cr(line, f, sizeof line);
  size_t n = 0;
  const size_t limit = static_cast<size_t>(kRows + 1) * kColumns;
  while (n < limit && std::fscanf(f, "%f,", &out[n]) == 1) ++n;
  std::fclose(f);
  return static_cast<int>(n / kColumns);
}

int baselineDiadem(float* out) {
  std::FILE* f = std::fopen(file("big.R32").c_str(), "rb");
  if (!f) return -1;
  std::vector<float> column(kRows);
  for (int c = 0; c < kColumns; ++c) {
    if (std::fread(column.data(), 4, kRows, f) != kRows) break;
    for (int s = 0; s < kRows; ++s)
      out[static_cast<size_t>(s) * kColumns + c] = column[static_cast<size_t>(s)];
  }
  std::fclose(f);
  return kRows;
}

int baselineIso(float* out) {
  char line[kLine];
  for (int c = 1; c < kColumns; ++c) {
    char name[32];
    std::snprintf(name, sizeof name, "big/CHANNEL/big.%03d", c);
    std::FILE* f = std::fopen(file(name).c_str(), "r");
    if (!f) return -1;
    while (std::fgets(line, sizeof line, f) && !std::strstr(line, "End offset interval")) {
    }
    for (int s = 0; s < kRows && std::fgets(line, sizeof line, f); ++s)
      std::sscanf(line, "%f", &out[static_cast<size_t>(s) * kColumns + c]);
    std::fclose(f);
  }
  for (int s = 0; s < kRows; ++s)
    out[static_cast<size_t>(s) * kColumns] = static_cast<float>(0.1 * s - 5000.0);
  return kRows;
}

int baselineRawWords(uint16_t* out) {
  std::FILE* f = std::fopen(file("big.RD2").c_str(), "r");
  if (!f) return -1;
  char line[kLine];
  for (int k = 0; k < 7; ++k) readfile_until_cr(line, f, sizeof line);
  size_t n = 0;
  const size_t limit = static_cast<size_t>(kMaxRecords) * kRawRecordWordsLX2;
  int v = 0;
  while (n < limit && std::fscanf(f, "%d,", &v) == 1) out[n++] = static_cast<uint16_t>(v);
  std::fclose(f);
  return static_cast<int>(n / kRawRecordWordsLX2);
}

// --- the station's readers --------------------------------------------------

int stationRead(int (*reader)(Station&, const std::string&, FileDataSet&), const char* name) {
  Station& st = *gStation;
  FileDataSet ds = CurrentDataSet(st);
  return reader(st, file(name), ds) == 0 ? ds.SampleCount : -1;
}

// The reprocessing as the file button runs it, with "Continue Reprocessing"
// pressed at once; words read by `words` (the station's or the baseline's).
int reprocess(bool baselineWords) {
  Station& st = *gStation;
  st.conversionStart = {};
  if (!baselineWords) {
    gOperator.fileAnswers.push_back(file("big.RD2"));
    return GetFileData(st) == 0 ? st.data.ChannelData.SampleCount : -1;
  }
  // The same steps with the straightforward word reader.
  if (baselineRawWords(st.data.RawWords.begin()) != kRawRecords) return -1;
  st.session.IsLX2 = 1;
  st.model.setText(Ctl::LXtype, "WorldSID 5th");
  SetupScreens(st, 0);
  st.session.IsLX2 = 1;
  st.session.SerialNumberText = "150";
  st.session.DirectionText = "Left Side";
  st.data.StartTimeMs = -1000;
  st.data.ChannelData.SampleCount = kRawRecords;
  st.data.ChannelData.ChannelCount = 60;
  BuildChannelCodes(st);
  st.data.ChannelData.ChannelCount = kRawChannelCount;
  std::string cal;
  if (ReprocessCalibrationPath(st, cal) != 0 || ConvertWSIDdata(st, CoordConvert, cal) != 0) return -1;
  IRTraccCalcs(st);
  LengthCalcs(st);
  return st.data.ChannelData.SampleCount;
}

bool same(const float* a, const float* b, size_t n, const char* what) {
  if (std::memcmp(a, b, n * 4) == 0) return true;
  std::fprintf(stderr, "%s: the reader and its baseline differ\n", what);
  return false;
}

bool checkReaders() {
  Station& st = *gStation;
  const size_t n = static_cast<size_t>(kRows) * kColumns;
  const float* work = st.data.ExportData.values.begin();
  struct {
    const char* name;
    int (*reader)(Station&, const std::string&, FileDataSet&);
    int (*baseline)(float*);
  } cases[] = {{"big.CSV", ReadCSVFile, baselineCsv},
               {"big.DAT", ReadDiademFile, baselineDiadem},
               {"big/big.MME", ReadISOFile, baselineIso}};
  for (const auto& c : cases) {
    if (stationRead(c.reader, c.name) != kRows || c.baseline(gBaseline.data()) != kRows) {
      std::fprintf(stderr, "%s: not read completely\n", c.name);
      return false;
    }
    if (!same(work, gBaseline.data(), n, c.name)) return false;
  }
  if (reprocess(true) != kRawRecords) return false;
  std::vector<float> rows(st.data.ChannelData.values.begin(),
                          st.data.ChannelData.values.begin() + static_cast<size_t>(kRawRecords) * kColumns);
  if (reprocess(false) != kRawRecords) return false;
  return same(rows.data(), st.data.ChannelData.values.begin(), rows.size(), "big.RD2");
}

void BM_Read(benchmark::State& state, int (*reader)(Station&, const std::string&, FileDataSet&),
             const char* name) {
  for (auto _ : state)
    if (stationRead(reader, name) != kRows) state.SkipWithError("read failed");
}

void BM_Baseline(benchmark::State& state, int (*baseline)(float*)) {
  for (auto _ : state)
    if (baseline(gBaseline.data()) != kRows) state.SkipWithError("read failed");
}

void BM_Reprocess(benchmark::State& state, bool baselineWords) {
  for (auto _ : state)
    if (reprocess(baselineWords) != kRawRecords) state.SkipWithError("reprocessing failed");
}

// lumvex-cli reading one file in a process of its own: its peak resident
// memory (MB), as the kernel accounts for the finished process. Measured
// while this process is small: a forked child starts its account with the
// parent's resident pages.
double peakMemoryMb(const char* name) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(gFolder.c_str()) != 0) _exit(126);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execl(LUMVEX_BINARY_DIR "/cli/lumvex-cli", "lumvex-cli", "read", name, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage ru{};
  if (pid < 0 || wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return -1;
  return static_cast<double>(ru.ru_maxrss) / 1024.0;
}

int stationRawWords() {
  Station& st = *gStation;
  FileDataSet ds = CurrentDataSet(st);
  return ReadRawWords(st, file("big.RD2"), ds, 1) == 0 ? ds.SampleCount : -1;
}

void BM_RawWords(benchmark::State& state, bool baseline) {
  for (auto _ : state)
    if ((baseline ? baselineRawWords(gStation->data.RawWords.begin()) : stationRawWords()) != kRawRecords)
      state.SkipWithError("read failed");
}

}  // namespace

BENCHMARK_CAPTURE(BM_Read, Csv, ReadCSVFile, "big.CSV")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2);
BENCHMARK_CAPTURE(BM_Baseline, Csv, baselineCsv)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK_CAPTURE(BM_Read, Diadem, ReadDiademFile, "big.DAT")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2);
BENCHMARK_CAPTURE(BM_Baseline, Diadem, baselineDiadem)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2);
BENCHMARK_CAPTURE(BM_Read, Iso, ReadISOFile, "big/big.MME")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2);
BENCHMARK_CAPTURE(BM_Baseline, Iso, baselineIso)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK_CAPTURE(BM_RawWords, Station, false)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK_CAPTURE(BM_RawWords, Baseline, true)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK_CAPTURE(BM_Reprocess, Raw, false)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK_CAPTURE(BM_Reprocess, RawBaselineWords, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
int main(int argc, char** argv) {
  if (!writeFiles()) {
    std::fprintf(stderr, "cannot write the files in %s\n", gFolder.c_str());
    return 1;
  }
  for (const char* name : {"big.CSV", "big.DAT", "big/big.MME", "big.RD2"})
    std::fprintf(stderr, "peak memory of lumvex-cli read %s: %.1f MB\n", name, peakMemoryMb(name));
  gBaseline.resize(static_cast<size_t>(kRows) * kColumns);
  gStation = std::make_unique<Station>(gOperator);
  LoadMainLayout(gStation->model);
  gStation->model.setItems(Ctl::TESTOBJECT, {{"1 - Vehicle 1", "1"}}, 0);
  gStation->workDir = gFolder;
  gOperator.onEvents = [] { gStation->model.commit(Ctl::REPROCESS_BUTTON); };
  gStation->model.bind(Ctl::REPROCESS_BUTTON, [](const Event&) { gStation->session.ReprocessRequested = 1; });
  const bool ok = checkReaders();
  if (ok) {
    std::fprintf(stderr, "readers and baselines agree bit for bit\n");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }
  fs::remove_all(gFolder);
  return ok ? 0 : 1;
}
