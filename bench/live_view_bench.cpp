// One pass of the live display's drawing on a 1000 x 600 live graph,
// offscreen: DrawLive's 18 WorldSID ovals (positions moving every pass) and
// the Qt live view's redraw to the finished picture, beside the graph view the
// other graphs use, which rebuilds everything on every pass. The positions
// reply's parse is timed in diag_bench.
#include "core/station.h"
#include "maintenance/live.h"
#include "support/scripted_operator.h"
#include "ui/layout.h"
#include "ui/qt/graph_view.h"
#include "ui/qt/live_view.h"
#include "ui/screens.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <memory>

using namespace lumvex;

namespace {

struct Setup {
  ScriptedOperator op;
  Station st{op};
  LiveDisplay live;
  std::unique_ptr<qt::LiveWidget> view = std::make_unique<qt::LiveWidget>();
  std::unique_ptr<QCustomPlot> rebuilt = std::make_unique<QCustomPlot>();
  Setup() {
    LoadMainLayout(st.model);
    st.model.setText(Ctl::LXtype, "WorldSID");
    st.model.setText(Ctl::SERNUM, "150");
    SetupScreens(st, 0);
    st.session.DummyType = DummyWorldSID50th;
    live = DemoStart(st);  // no link: the manual-arm command fails at once
    LiveManualRanges(st.model);
    for (QWidget* w : {static_cast<QWidget*>(view.get()), static_cast<QWidget*>(rebuilt.get())}) {
      w->resize(1000, 600);
      w->show();
    }
  }
  // The next pass's positions: every LED a little further along (mm).
  void move(int pass) {
    live.count = 18 * 3;
    for (int i = 0; i < live.count; ++i)
      live.points[i] = 20.0 * (i % 3) + 3.5 * (i / 3) + 0.01 * (pass % 100);
    DrawLive(st, live);
  }
};
Setup* gSetup = nullptr;

void BM_LiveRedraw(benchmark::State& state) {
  Setup& s = *gSetup;
  int pass = 0;
  for (auto _ : state) {
    s.move(++pass);
    s.view->showLive(s.st.model[Ctl::LIVE_GRAPH].graph);
  }
  state.counters["ovals"] = s.view->ovalCount();
}

// The graph view the other graphs use: everything on the plot replaced, then
// the picture.
void BM_LiveRedraw_GraphView(benchmark::State& state) {
  Setup& s = *gSetup;
  int pass = 0;
  for (auto _ : state) {
    s.move(++pass);
    qt::drawGraph(*s.rebuilt, s.st.model[Ctl::LIVE_GRAPH].graph);
  }
}

}  // namespace

BENCHMARK(BM_LiveRedraw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiveRedraw_GraphView)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  auto setup = std::make_unique<Setup>();
  gSetup = setup.get();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
