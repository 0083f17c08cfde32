// DIAdem and ISO MME export of the largest data set (250,001 samples of the
// 91-column WorldSID layout), each beside a plain fprintf writer of the same
// files. Before timing, both writers run once and their files are compared
// byte for byte; the result is printed and a difference fails the program.
#include "files/diadem.h"
#include "support/scripted_operator.h"
#include "files/iso.h"
#include "files/naming.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using namespace lumvex;
namespace fs = std::filesystem;

namespace {

constexpr int kSamples = 250'001;
constexpr int kChannels = 91;

ScriptedOperator gOp;
std::unique_ptr<Station> gSt;
std::string gDir;

void buildStation() {
  gSt = std::make_unique<Station>(gOp);
  Station& st = *gSt;
  InitDummyTypeNames(st.data);
  st.session.DummyType = DummyWorldSID50th;
  std::snprintf(st.data.codes.DummyTypeNames[5].data(), 50, "WorldSID w/IRT w/Length Change");
  st.session.SerialNumberText = "117";
  st.session.DirectionText = "Left Side";
  st.session.TriggerSetting = 1;
  st.data.ident = {"ATD 0042", "14:03:59", "2024-06-11", "06-11-2024", "06.11.2024", "", ""};
  st.data.layout = {18, 3, 6, 6};
  st.data.SampleIntervalMs = 0.1;
  st.data.StartTimeMs = -20.0f;
  for (int k = 0; k < 90; ++k) {
    const char* code = k < 54 ? "11TRRILE01WSDSY0" : k < 60 ? "11SENSTORE99PO00" : "11TRRILE01WSDSLB";
    setCode(st.data.codes.ChannelCodes[static_cast<size_t>(k)], code);
  }
  uint32_t x = 12345;  // a fixed pseudo-random series: the same figures every run
  for (ChannelTable* t : {&st.data.ChannelData, &st.data.ExportData}) {
    t->SampleCount = kSamples;
    t->ChannelCount = kChannels;
    for (int s = 0; s < kSamples; ++s) {
      t->at(s, 0) = static_cast<float>(-20.0 + s * 0.1);
      for (int n = 1; n < kChannels; ++n) {
        x = x * 1664525u + 1013904223u;
        t->at(s, n) = static_cast<float>(n) * 3.0f - 120.0f + static_cast<float>(x >> 8) * (1.0f / 65536.0f);
      }
      if (s % 5000 == 0)
        for (int a = 1; a <= 3; ++a) t->at(s, a) = 5.0f;  // an error code in LED 0
    }
  }
  for (int n = 1; n < kChannels; ++n) st.data.ChannelOffsets[static_cast<size_t>(n)] = 1.25f * n;
}

// The same DIAdem files, written with fprintf and one fwrite per value.
int referenceDiadem(Station& st, const std::string& stem, int relative) {
  const MeasurementData& d = st.data;
  std::string name = fs::path(stem).filename().string();
  FILE* f = std::fopen((stem + ".DAT").c_str(), "wb");
  if (!f) return -1;
  std::fprintf(f, "DIAEXTENDED  {@:ENGLISH\r\n\r\r\n#BEGINGLOBALHEADER\r\r\n  1,WINDOWS 32Bit\r\r\n");
  std::fprintf(f, "  2,{@R:810 {@V:8.10.1292 {@F:4.00\r\r\n");
  std::fprintf(f, "101,Lumvex Type:%s \r\r\n", d.codes.DummyTypeNames[5].data());
  std::fprintf(f, relative ? "102,Data is Relative\r\r\n" : "102,Data is Absolute\r\r\n");
  std::fprintf(f, "103,%s  Direction:%s Trigger:%d\r\r\n", st.session.SerialNumberText.c_str(),
               st.session.DirectionText.c_str(),
               st.session.TriggerSetting + st.session.SoftwareTriggerOffset);
  std::fprintf(f, "104,%s\r\r\n105,%s\r\r\n106,%s\r\r\n", d.ident.TestDateDotted.c_str(),
               d.ident.TestTimeText.c_str(), d.ident.AtdText.c_str());
  std::fprintf(f, "111,9.9E+34\r\r\n112,High -> Low\r\r\n#ENDGLOBALHEADER\r\r\n\r\r\n");
  GeneratePlotNames(st, relative);
  for (int n = 0; n < kChannels; ++n) {
    std::fprintf(f, "#BEGINCHANNELHEADER\r\r\n");
    if (n == 0) {
      std::fprintf(f, "200,time\r\r\n");
    } else {
      const char* code = d.codes.ChannelCodes[static_cast<size_t>(n - 1)].data();
      std::fprintf(f, "200,%s\r\r\n201,%s\r\r\n", code, d.codes.PlotNames[static_cast<size_t>(n - 1)].data());
      std::fprintf(f, std::strstr(code, "SENS") ? "202,1\r\r\n" : "202,mm\r\r\n");
      std::fprintf(f, "210,EXPLICIT\r\r\n");
    }
    std::fprintf(f, "211,%s.R32\r\r\n213,CHANNEL\r\r\n214,REAL32\r\r\n", name.c_str());
    std::fprintf(f, "220,%d \r\r\n221,%d\r\r\n", kSamples, n * kSamples + 1);
    if (relative && n >= 1 && n < kChannels - d.layout.SensorChannelCount)
      std::fprintf(f, "240,%f\r\r\n", static_cast<double>(-d.ChannelOffsets[static_cast<size_t>(n)]));
    else
      std::fprintf(f, "240,0\r\r\n");
    std::fprintf(f, "241,1.0\r\r\n252,No\r\r\n");
    std::fprintf(f, n == 0 ? "253,increasing\r\r\n" : "253,not calculated\r\r\n");
    std::fprintf(f, "260,Numeric\r\r\n261,1\r\r\n262,%d\r\r\n263,0\r\r\n265,0\r\r\n", n + 1);
    std::fprintf(f, "#ENDCHANNELHEADER\r\r\n\r\r\n");
  }
  if (std::fclose(f) != 0) return -1;
  f = std::fopen((stem + ".R32").c_str(), "wb");
  if (!f) return -1;
  for (int n = 0; n < kChannels; ++n)
    for (int s = 0; s < kSamples; ++s) {
      float v = d.ExportData.at(s, n);
      std::fwrite(&v, 4, 1, f);
    }
  return std::fclose(f) == 0 ? 0 : -1;
}

// The same ISO MME folder, every line written with fprintf.
int referenceIso(Station& st, const std::string& folder, int relative) {
  const MeasurementData& d = st.data;
  const SessionState& ss = st.session;
  std::string test = fs::path(folder).filename().string();
  if (!fs::create_directory(folder)) return -1;
  FILE* f = std::fopen((folder + "/" + test + ".MME").c_str(), "wb");
  if (!f) return -1;
  const char* mme =
      "Data format edition number  :1.4\r\nLaboratory name             :NOVALUE\r\n"
      "Laboratory contact name     :NOVALUE\r\nLaboratory contact phone    :NOVALUE\r\n"
      "Laboratory contact fax      :NOVALUE\r\nLaboratory contact email    :NOVALUE\r\n"
      "Laboratory test ref. number :%s\r\nTest Series                 :%s\r\n"
      "Customer name               :NOVALUE\r\nCustomer test ref. number   :NOVALUE\r\n"
      "Customer project ref. number:NOVALUE\r\nCustomer order number       :NOVALUE\r\n"
      "Customer cost unit          :NOVALUE\r\nCustomer test engineer name :NOVALUE\r\n"
      "Customer test engineer phone:NOVALUE\r\nCustomer test engineer fax  :NOVALUE\r\n"
      "Customer test engineer email:NOVALUE\r\nTitle                       :NOVALUE\r\n"
      "Medium No./number of media  :1/1\r\nTimestamp                   :%s %s\r\n"
      "Type of the test            :NOVALUE\r\nSubtype of the test         :NOVALUE\r\n"
      "Regulation                  :NOVALUE\r\nReference temperature       :NOVALUE\r\n"
      "Relative air humidity       :NOVALUE\r\nDate of the test            :%s\r\n"
      "Number of test objects      :2\r\nName of test object 1       :NOVALUE\r\n"
      "Velocity test object 1      :NOVALUE\r\nMass test object 1          :NOVALUE\r\n"
      "Driver position object 1    :0\r\nImpact side test object 1   :00\r\n"
      "Type of test object 1       :%c\r\nClass of test object 1      :NOVALUE\r\n"
      "Code of test object 1       :NOVALUE\r\nRef. number of test object 1:NOVALUE\r\n"
      "Name of test object 2       :NOVALUE\r\nVelocity test object 2      :NOVALUE\r\n"
      "Mass test object 2          :NOVALUE\r\nDriver position object 2    :0\r\n"
      "Impact side test object 2   :00\r\nType of test object 2       :0\r\n"
      "Class of test object 2      :NOVALUE\r\nCode of test object 2       :NOVALUE\r\n"
      "Ref. number of test object 2:NOVALUE\r\n";
  std::fprintf(f, mme, test.c_str(), test.c_str(), d.ident.TestDateIso.c_str(), d.ident.TestTimeText.c_str(),
               d.ident.TestDateIso.c_str(), d.codes.ChannelCodes[0][0]);
  if (std::fclose(f) != 0) return -1;
  std::string ch = folder + "/CHANNEL";
  fs::create_directory(ch);
  f = std::fopen((ch + "/" + test + ".CHN").c_str(), "wb");
  if (!f) return -1;
  std::fprintf(f, "Instrumentation standard    :ISO 6487 (1987) / SAE J211 (MAR95)\r\n");
  std::fprintf(f, "Number of channels          :%d\r\n", kChannels - 1);
  for (int n = 1; n < kChannels; ++n)
    std::fprintf(f, "Name of channel %3.3d         :%s\r\n", n,
                 d.codes.ChannelCodes[static_cast<size_t>(n - 1)].data());
  if (std::fclose(f) != 0) return -1;
  std::vector<char> flag(kChannels, 0);
  for (int s = 0; s < kSamples; ++s)
    for (int k = 0; k < d.layout.LedCount; ++k) {
      int c = 1 + k * 3;
      float v = d.ChannelData.at(s, c);
      if (!flag[static_cast<size_t>(c)] && v >= 0.999 && v <= 7.001 && d.ChannelData.at(s, c + 1) == v &&
          d.ChannelData.at(s, c + 2) == v)
        flag[static_cast<size_t>(c)] = flag[static_cast<size_t>(c) + 1] = flag[static_cast<size_t>(c) + 2] =
            1;
    }
  GeneratePlotNames(st, relative);
  for (int n = 1; n < kChannels; ++n) {
    char ext[8];
    std::snprintf(ext, sizeof ext, ".%3.3d", n);
    f = std::fopen((ch + "/" + test + ext).c_str(), "wb");
    if (!f) return -1;
    const char* code = d.codes.ChannelCodes[static_cast<size_t>(n - 1)].data();
    std::fprintf(f, "Test object number          :%c\r\n", code[0]);
    std::fprintf(f, "Errors occurred             :%s\r\n", flag[static_cast<size_t>(n)] ? "YES" : "NO");
    std::fprintf(f, "Name of the channel         :%s\r\nLaboratory channel code     :NOVALUE\r\n", code);
    std::fprintf(f, "Customer channel code       :%s\r\n",
                 d.codes.PlotNames[static_cast<size_t>(n - 1)].data());
    std::fprintf(f, "Channel code                :%s\r\n", code);
    std::fprintf(f, std::strstr(code, "SENS") ? "Unit                        :1\r\n"
                                              : "Unit                        :mm\r\n");
    std::fprintf(f, "Reference system            :Local\r\n");
    std::fprintf(f, "Transducer type             :Lumvex Type %s s/n:%s  Direction: %s  Trigger:%d\r\n",
                 d.codes.DummyTypeNames[5].data(), ss.SerialNumberText.c_str(), ss.DirectionText.c_str(),
                 ss.TriggerSetting + ss.SoftwareTriggerOffset);
    std::fprintf(f, "Pre-filter type             :none\r\nCut off frequency           :None\r\n");
    std::fprintf(f, "Channel amplitude class     :%d\r\n", GetCAC(st, n - 1));
    std::fprintf(f,
                 "Bit resolution              :16\r\nReference channel           :Implicit\r\n"
                 "Reference channel name      :NOVALUE\r\n");
    std::fprintf(f, "Data source                 :%s\r\nData status                 :ok\r\n",
                 d.ident.AtdText.c_str());
    std::fprintf(f, "Sampling interval           :%f\r\n", d.SampleIntervalMs / 1000);
    std::fprintf(f, "Time of first sample        :%.4f\r\n", static_cast<double>(d.StartTimeMs / 1000));
    std::fprintf(f, "Number of samples           :%d\r\n", kSamples);
    std::fprintf(f,
                 "First global maximum value  :NOVALUE\r\nTime of maximum value       :NOVALUE\r\n"
                 "First global minimum value  :NOVALUE\r\nTime of minimum value       :NOVALUE\r\n"
                 "Start offset interval       :NOVALUE\r\nEnd offset interval         :NOVALUE\r\n");
    for (int s = 0; s < kSamples; ++s) std::fprintf(f, "%E\r\n", static_cast<double>(d.ExportData.at(s, n)));
    if (std::fclose(f) != 0) return -1;
  }
  return 0;
}

int fastDiadem(const std::string& stem, int relative) {
  gSt->session.CurrentDataPath = stem + ".DAT";
  return FileSave_DIADEM(*gSt, gSt->session.CurrentDataPath, relative);
}

int fastIso(const std::string& folder, int relative) {
  gSt->session.CurrentDataPath = folder + ".MME";
  return FileSave_ISO(*gSt, gSt->session.CurrentDataPath, relative);
}

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every file under a (or the file a) equals its namesake under b.
bool sameFiles(const fs::path& a, const fs::path& b, const std::vector<std::string>& names) {
  for (const std::string& n : names)
    if (slurp(a / n) != slurp(b / n) || slurp(a / n).empty()) return false;
  return true;
}

bool checkIdentity() {
  fs::create_directories(gDir + "/fast");
  fs::create_directories(gDir + "/ref");
  if (fastDiadem(gDir + "/fast/RUN1", 1) != 0 || referenceDiadem(*gSt, gDir + "/ref/RUN1", 1) != 0)
    return false;
  bool diadem = sameFiles(gDir + "/fast", gDir + "/ref", {"RUN1.DAT", "RUN1.R32"});
  if (fastIso(gDir + "/fast/ISO1", 1) != 0 || referenceIso(*gSt, gDir + "/ref/ISO1", 1) != 0) return false;
  std::vector<std::string> iso = {"ISO1.MME", "CHANNEL/ISO1.CHN"};
  for (int n = 1; n < kChannels; ++n) {
    char ext[32];
    std::snprintf(ext, sizeof ext, "CHANNEL/ISO1.%03d", n);
    iso.push_back(ext);
  }
  bool isoSame = sameFiles(gDir + "/fast/ISO1", gDir + "/ref/ISO1", iso);
  std::printf("DIAdem files byte-identical to the fprintf writer: %s\n", diadem ? "yes" : "NO");
  std::printf("ISO MME files byte-identical to the fprintf writer: %s\n", isoSame ? "yes" : "NO");
  fs::remove_all(gDir + "/fast");
  fs::remove_all(gDir + "/ref");
  return diadem && isoSame;
}

void BM_Diadem(benchmark::State& state) {
  for (auto _ : state)
    if (fastDiadem(gDir + "/RUN1", 1) != 0) state.SkipWithError("export failed");
  fs::remove(gDir + "/RUN1.DAT");
  fs::remove(gDir + "/RUN1.R32");
}

void BM_DiademFprintf(benchmark::State& state) {
  for (auto _ : state)
    if (referenceDiadem(*gSt, gDir + "/REF1", 1) != 0) state.SkipWithError("export failed");
  fs::remove(gDir + "/REF1.DAT");
  fs::remove(gDir + "/REF1.R32");
}

// The folder of the previous run is removed outside the timing: the writer
// must make a new one.
void BM_Iso(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(gDir + "/ISO1");
    state.ResumeTiming();
    if (fastIso(gDir + "/ISO1", 1) != 0) state.SkipWithError("export failed");
  }
  fs::remove_all(gDir + "/ISO1");
}

void BM_IsoFprintf(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(gDir + "/REF2");
    state.ResumeTiming();
    if (referenceIso(*gSt, gDir + "/REF2", 1) != 0) state.SkipWithError("export failed");
  }
  fs::remove_all(gDir + "/REF2");
}

BENCHMARK(BM_Diadem)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_DiademFprintf)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Iso)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_IsoFprintf)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  gDir = (fs::temp_directory_path() / ("lumvex-mme-bench-" + std::to_string(::getpid()))).string();
  fs::create_directories(gDir);
  buildStation();
  bool same = checkIdentity();
  if (same) benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(gDir);
  return same ? 0 : 1;
}
