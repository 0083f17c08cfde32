// Redrawing the Plot page for the largest download (a simulated WorldSID test,
// 250,001 samples x 91 columns) on a 1000 x 600 plot, offscreen: the heaviest
// time selection ("ribs 1-3 X", 9 curves) unfiltered and at class 180, and a
// rib path ("Thorax 2 XY", 3 curves and the outline). Each is timed from the
// selection to the finished picture (plot model + view + replot), beside a
// naive view that draws every point (graphs without adaptive sampling, paths
// not thinned). The model alone and a replot after a zoom are timed too.
// And from choosing the largest CSV (that recording written by the CSV
// writer) to the first graph drawn: the file button (read, page set-up, first
// selection) and the view's replot, beside a naive run that reads the numbers
// with fscanf and draws every point.
#include "core/channel_codes.h"
#include "core/station.h"
#include "files/csv.h"
#include "files/naming.h"
#include "files/readers.h"
#include "support/scripted_operator.h"
#include "processing/derived.h"
#include "processing/assembly.h"
#include "sim/recording.h"
#include "ui/fileread.h"
#include "ui/layout.h"
#include "ui/plot_model.h"
#include "ui/qt/plot_view.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

using namespace lumvex;

namespace {

constexpr int kSamples = 250'001;
constexpr int kRibs13X = 4;
constexpr int kThorax2XY = 30;

struct Setup {
  ScriptedOperator op;
  Station st{op};
  std::unique_ptr<qt::PlotWidget> plot;
  std::unique_ptr<QCustomPlot> naive;
  // The file button's station, with the page's layout, and the CSV it reads.
  ScriptedOperator fileOp;
  Station fileSt{fileOp};
  std::string folder, csv;
};
Setup* gSetup = nullptr;

// The simulator's recording as the station assembles it for the left side
// (Y negated), with its derived channels and pre-trigger offsets.
void loadRecording(Station& st) {
  st.session.DummyType = DummyWorldSID50th;
  st.session.DirectionText = "Left Side";
  st.data.layout = {18, 3, 6, 6};
  InitDummyTypeNames(st.data);
  const char* place[] = {"SHRI", "THRI", "THRI", "THRI", "ABRI", "ABRI"};
  const char* at[] = {"LR", "LM", "LF"};
  const char* rib[] = {"00", "01", "02", "03", "01", "02"};
  for (int led = 0; led < 18; ++led)
    for (int a = 0; a < 3; ++a)
      setCode(st.data.codes.ChannelCodes[3 * led + a],
              std::string("10") + place[led / 3] + at[led % 3] + rib[led / 3] + "WSDS" + "XYZ"[a] + "0");
  ChannelTable& t = st.data.ChannelData;
  t.ChannelCount = 61;
  t.SampleCount = kSamples;
  st.data.StartTimeMs = -100;
  int16_t words[60];
  for (int i = 0; i < kSamples; ++i) {
    const double ms = -100 + 0.1 * i;
    sim::positionRecord(DummyWorldSID50th, ms, words);
    t.at(i, 0) = static_cast<float>(ms);
    for (int k = 0; k < 54; ++k)
      t.at(i, k + 1) = static_cast<float>((k % 3 == 1 ? -1 : 1) * words[k] / 100.0);
    for (int s = 0; s < 6; ++s) t.at(i, 55 + s) = 2.0f * words[54 + s];
  }
  IRTraccCalcs(st);
  CalcChannelOffsets(st.data);
  LengthCalcs(st);
  st.data.codes.DataFilterCode = '0';
}

// The recording as the Export page writes it unfiltered and absolute.
bool writeCsv(Setup& s) {
  s.folder =
      (std::filesystem::temp_directory_path() / ("lumvex-plot-bench-" + std::to_string(getpid()))).string();
  std::filesystem::create_directories(s.folder);
  s.csv = s.folder + "/big.CSV";
  Station& st = s.st;
  for (int k = 54; k < 60; ++k) setCode(st.data.codes.ChannelCodes[k], "10SENSTORE99PO00");
  std::snprintf(st.data.codes.DummyTypeNames[DummyWorldSID50th].data(), 50, "WorldSID w/IRT w/Length Change");
  st.session.SerialNumberText = "150";
  st.data.ident = {"WS50-0042", "12:00:00", "2024-03-04", "03-04-2024", "03.04.2024", "bench", ""};
  ChannelTable& from = st.data.ChannelData;
  ChannelTable& to = st.data.ExportData;
  to.ChannelCount = from.ChannelCount;
  to.SampleCount = from.SampleCount;
  std::copy_n(from.values.begin(), static_cast<size_t>(from.SampleCount) * from.ChannelCount,
              to.values.begin());
  return FileSave_NATIVE(st, s.csv, 0) == 0;
}

// Every point drawn: the baseline the sampled and thinned view is measured against.
void drawNaive(QCustomPlot& plot, const GraphState& g) {
  plot.clearPlottables();
  for (const Curve& c : g.curves) {
    QVector<double> x, y;
    if (c.table) {
      for (int r = 0; r < c.table->rows; ++r) {
        x.append(c.table->at(r, c.xColumn));
        y.append(c.table->at(r, c.yColumn));
      }
    } else {
      x = QVector<double>(c.x.begin(), c.x.end());
      y = QVector<double>(c.y.begin(), c.y.end());
    }
    QCPAbstractPlottable* p;
    if (c.trajectory) {
      auto* curve = new QCPCurve(plot.xAxis, plot.yAxis);
      curve->setData(x, y);
      p = curve;
    } else {
      QCPGraph* graph = plot.addGraph();
      graph->setAdaptiveSampling(false);
      graph->setData(x, y, true);
      p = graph;
    }
    p->setPen(QPen(QColor(static_cast<QRgb>(c.colour)), 1));
    p->setAntialiased(false);
    p->setName(QString::fromStdString(c.legend));
  }
  plot.legend->setVisible(true);
  plot.rescaleAxes();
  plot.replot();
}

void redraw(benchmark::State& state, const PlotRequest& r, bool naive) {
  Setup& s = *gSetup;
  for (auto _ : state) {
    GraphState g = BuildPlot(s.st, r);
    if (naive)
      drawNaive(*s.naive, g);
    else
      s.plot->showGraph(g);
  }
  state.counters["curves"] = static_cast<double>(BuildPlot(s.st, r).curves.size());
  if (!naive) {
    // Points the paths keep after thinning (all of them for graphs, which sample as they draw).
    double kept = 0;
    for (int i = 0; i < s.plot->plottableCount(); ++i)
      if (auto* c = qobject_cast<QCPCurve*>(s.plot->plottable(i))) kept += c->data()->size();
    state.counters["pathPoints"] = kept;
  }
}

void BM_TimeSelection(benchmark::State& state) { redraw(state, {kRibs13X, 0, false}, false); }
void BM_TimeSelection_Naive(benchmark::State& state) { redraw(state, {kRibs13X, 0, false}, true); }
void BM_TimeSelectionCfc180(benchmark::State& state) { redraw(state, {kRibs13X, 180, false}, false); }
void BM_TimeSelectionCfc180_Naive(benchmark::State& state) { redraw(state, {kRibs13X, 180, false}, true); }
void BM_RibPath(benchmark::State& state) { redraw(state, {kThorax2XY, 0, false}, false); }
void BM_RibPath_Naive(benchmark::State& state) { redraw(state, {kThorax2XY, 0, false}, true); }

void BM_PlotModelOnly(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(BuildPlot(gSetup->st, {kRibs13X, 0, false}));
}

// What a zoom, pan or undo step costs once the curves are in the plot.
void BM_ReplotAfterZoom(benchmark::State& state) {
  qt::PlotWidget& p = *gSetup->plot;
  p.showGraph(BuildPlot(gSetup->st, {static_cast<int>(state.range(0)), 0, false}));
  const QCPRange x = p.xAxis->range();
  bool in = false;
  for (auto _ : state) {
    p.xAxis->scaleRange(in ? 0.5 : 2.0);
    in = !in;
    p.replot();
  }
  p.xAxis->setRange(x);
}

// Choosing the file to the first graph on the screen.
void BM_FileToFirstGraph(benchmark::State& state) {
  Setup& s = *gSetup;
  for (auto _ : state) {
    s.fileOp.fileAnswers.push_back(s.csv);
    FILESELECT(s.fileSt);
    s.plot->showGraph(s.fileSt.model[Ctl::PLOT_GRAPH].graph);
  }
  state.counters["samples"] = s.fileSt.data.ChannelData.SampleCount;
  state.counters["curves"] = static_cast<double>(s.plot->plottableCount());
}

// The same with fscanf for the numbers and every point drawn.
void BM_FileToFirstGraph_Naive(benchmark::State& state) {
  Setup& s = *gSetup;
  Station& st = s.fileSt;
  ChannelTable& t = st.data.ChannelData;
  for (auto _ : state) {
    std::FILE* f = std::fopen(s.csv.c_str(), "r");
    if (!f) {
      state.SkipWithError("no CSV");
      return;
    }
    char line[4000];
    for (int k = 0; k < 4; ++k) readfile_until_cr(line, f, sizeof line);
    const size_t limit = static_cast<size_t>(kSamples) * t.ChannelCount;
    size_t n = 0;
    while (n < limit && std::fscanf(f, "%f,", &t.values[n]) == 1) ++n;
    std::fclose(f);
    t.SampleCount = static_cast<int>(n / static_cast<size_t>(t.ChannelCount));
    drawNaive(*s.naive, BuildPlot(st, {kRibs13X, 0, false}));
  }
}

}  // namespace

// The first read in a process also pays for the first touch of the station's
// buffers (page faults), so it is reported apart from the later ones.
BENCHMARK(BM_FileToFirstGraph)
    ->Name("BM_FileToFirstGraph_FirstInProcess")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(BM_FileToFirstGraph)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_FileToFirstGraph_Naive)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_TimeSelection)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimeSelection_Naive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimeSelectionCfc180)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimeSelectionCfc180_Naive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RibPath)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RibPath_Naive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlotModelOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplotAfterZoom)->Arg(kRibs13X)->Arg(kThorax2XY)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  auto setup = std::make_unique<Setup>();
  loadRecording(setup->st);
  if (!writeCsv(*setup)) {
    std::fprintf(stderr, "plot_bench: the CSV could not be written\n");
    return 1;
  }
  LoadMainLayout(setup->fileSt.model);
  setup->fileSt.workDir = setup->folder;
  setup->plot = std::make_unique<qt::PlotWidget>();
  setup->naive = std::make_unique<QCustomPlot>();
  for (QWidget* w : {static_cast<QWidget*>(setup->plot.get()), static_cast<QWidget*>(setup->naive.get())}) {
    w->resize(1000, 600);
    w->show();
  }
  gSetup = setup.get();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gSetup = nullptr;
  std::filesystem::remove_all(setup->folder);
  return 0;
}
