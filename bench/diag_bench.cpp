// The maintenance loops' cost per pass. "OwnWork" runs everything a pass does
// besides its unit exchanges on canned reply lines: building the commands,
// parsing the replies, the Polar turn, the lamps, the A/D displays (written
// every pass here, the worst case) and the 18 live ovals, with an observer on
// the model as a front end has. "Sim" runs whole passes against the
// in-process simulated unit over loopback TCP, and "Exchanges" the same unit
// exchanges alone, so that the difference is the station's own share.
#include "link/link.h"
#include "support/scripted_operator.h"
#include "link/info.h"
#include "link/query.h"
#include "maintenance/hwtests.h"
#include "maintenance/iocheck.h"
#include "maintenance/live.h"
#include "sim/commands.h"
#include "sim/unit.h"
#include "ui/layout.h"
#include "ui/screens.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>

using namespace lumvex;

namespace {

// A reply line as the unit frames it.
std::string reply(const std::string& body) { return CommandFrame(body); }

struct Bench {
  ScriptedOperator op;
  std::unique_ptr<Station> st = std::make_unique<Station>(op);
  long notified = 0;
  explicit Bench(int type, const char* typeText, const char* serial, bool lx2) {
    LoadMainLayout(st->model);
    st->model.observe([this](const ModelChange&) { ++notified; });
    st->model.setText(Ctl::LXtype, typeText);
    st->model.setText(Ctl::SERNUM, serial);
    st->model.setText(Ctl::FIRMWARE, lx2 ? "LX2 V8.0" : "V7.3");
    SetupScreens(*st, 0);
    st->session.DummyType = type;
    st->session.IsLX2 = lx2 ? 1 : 0;
  }
};

// CURRENT_POSITIONS reply of `leds` LEDs with `axes` coordinates each.
std::string positionsReply(int leds, int axes) {
  std::string list;
  char buf[32];
  for (int i = 0; i < leds * axes; ++i) {
    std::snprintf(buf, sizeof buf, "%.2f,", 20.0 * (i % axes) + 3.5 * (i / axes) + 0.25);
    list += buf;
  }
  return reply("CURRENT_POSITIONS#" + std::to_string(leds * axes) + "#" + list + "#");
}

void livePassOwnWork(benchmark::State& state, int type, const char* text, int leds, int axes) {
  Bench b(type, text, "150", false);
  Station& st = *b.st;
  LiveDisplay d = DemoStart(st);  // no link: the manual-arm command fails at once
  const std::string line = positionsReply(leds, axes);
  std::array<double, kMaxPointValues> fresh;
  std::string first, second;
  for (auto _ : state) {
    // What DemoPass does with the reply line once sendRcv has it.
    Parser("CURRENT_POSITIONS", line, first, second, kReplyFieldCapacity, kPointsFieldCapacity);
    const int count = std::clamp(FieldInt(first), 0, kMaxPointValues);
    ReadNumberList(second, fresh.data(), count);
    d.points = fresh;
    d.count = count;
    DrawLive(st, d);
  }
  benchmark::DoNotOptimize(b.notified);
  state.counters["ovals"] =
      static_cast<double>(st.model[Ctl::LIVE_GRAPH].graph.curves.size() - d.legendCurves);
}

void BM_LivePassOwnWorkWorldSid(benchmark::State& s) {
  livePassOwnWork(s, DummyWorldSID50th, "WorldSID", 18, 3);
}
void BM_LivePassOwnWorkPolar(benchmark::State& s) { livePassOwnWork(s, DummyPolar, "Polar", 6, 2); }

void ioPassOwnWork(benchmark::State& state, bool revD) {
  Bench b(revD ? DummyWorldSID50th : DummyHybridIII50th, revD ? "WorldSID" : "Hybrid III 50th", "150", revD);
  Station& st = *b.st;
  Model& m = st.model;
  IoCheckRun run;
  run.variant = revD ? IoVariant::RevD : IoVariant::RevBC;
  run.lx2 = revD;
  run.worldSid = revD;
  const std::string ok = reply("SETOUTPUTS#OK#"), clear = reply("CLEAROUTPUTS#OK#");
  const std::string io = reply("GETIO#26624#");
  const std::string ad =
      reply(revD ? "LEDAD#420,340,90,75,66,69,72,75,78,81,84,87,#" : "LEDAD#420,340,90,75,#");
  const std::string temp = reply("TEMPERATURES#Board 31.5 C  CPU 38.2 C#");
  std::string a, c;
  int flip = 0;
  for (auto _ : state) {
    m.setNumber(Ctl::TRIGGEROUT_SW, flip ^= 1);  // the operator's switch: lamps change every pass
    if (revD) {
      benchmark::DoNotOptimize(CommandFrame("SETOUTPUTS#" + std::to_string(RevDOutputWord(m)) + "#"));
      Parser("SETOUTPUTS", ok, a, c);
    } else {
      OutputWords w = RevBCOutputWords(m);
      benchmark::DoNotOptimize(CommandFrame("CLEAROUTPUTS#" + std::to_string(w.clear) + "#"));
      Parser("CLEAROUTPUTS", clear, a, c);
      benchmark::DoNotOptimize(CommandFrame("SETOUTPUTS#" + std::to_string(w.set) + "#"));
      Parser("SETOUTPUTS", ok, a, c);
    }
    Parser("GETIO", io, a, c);
    const auto word = static_cast<uint16_t>(FieldInt(a) ^ (flip ? 0x0500 : 0));
    if (revD)
      ShowRevDInputs(m, word, true);
    else
      ShowRevBCInputs(m, word);
    benchmark::DoNotOptimize(CommandFrame("LEDAD#" + std::to_string(SelectedLed(m)) + "#" +
                                          std::to_string(LedDriveLevel(m)) + "#"));
    Parser("LEDAD", ad, a, c);
    ParseLedReadings(a, revD ? 12 : 4, run.readings.data());
    run.readings[0] += flip;  // a new value to write
    ShowReadings(m, run);
    if (revD) {
      Parser("TEMPERATURES", temp, a, c);
      m.setText(Ctl::TEMPERATURE, a);
    }
  }
  benchmark::DoNotOptimize(b.notified);
}

void BM_IoPassOwnWorkRevD(benchmark::State& s) { ioPassOwnWork(s, true); }
void BM_IoPassOwnWorkRevBC(benchmark::State& s) { ioPassOwnWork(s, false); }

// A station connected to an in-process simulated unit and set up for it.
struct SimBench : Bench {
  sim::Simulator unit;
  bool ok = false;
  SimBench(int type, const char* text, const char* serial, bool lx2) : Bench(type, text, serial, lx2) {
    unit.withUnit([&](sim::UnitState& u) {
      u.props["type"] = text;
      u.props["serial"] = serial;
      u.props["firmware"] = lx2 ? "LX2 V8.0" : "V7.3";
    });
    const int port = unit.listenTcp("127.0.0.1", 0);
    unit.start();
    ok = ConnectEthernet(*st, "127.0.0.1:" + std::to_string(port), 0) == 0 && EthernetSync(*st) == 0;
  }
  ~SimBench() {
    st.reset();
    unit.stop();
  }
};

void BM_LivePassSim(benchmark::State& state) {
  SimBench b(DummyWorldSID50th, "WorldSID", "150", false);
  if (!b.ok) return state.SkipWithError("no link");
  LiveDisplay d = DemoStart(*b.st);
  for (auto _ : state) DemoPass(*b.st, d);
  state.counters["passes/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void ioPassSim(benchmark::State& state, bool revD) {
  SimBench b(revD ? DummyWorldSID50th : DummyHybridIII50th, revD ? "WorldSID" : "Hybrid III 50th", "150",
             revD);
  if (!b.ok) return state.SkipWithError("no link");
  IoCheckRun run = IOCheckStart(*b.st);
  for (auto _ : state) IOCheckPass(*b.st, run);
}

void BM_IoPassSimRevD(benchmark::State& s) { ioPassSim(s, true); }
void BM_IoPassSimRevBC(benchmark::State& s) { ioPassSim(s, false); }

// The Rev D pass's four exchanges with nothing else.
void BM_IoExchangesSimRevD(benchmark::State& state) {
  SimBench b(DummyWorldSID50th, "WorldSID", "150", true);
  if (!b.ok) return state.SkipWithError("no link");
  for (auto _ : state) {
    benchmark::DoNotOptimize(Ask(*b.st, CommandFrame("SETOUTPUTS#0#"), "SETOUTPUTS"));
    benchmark::DoNotOptimize(Ask(*b.st, "GETIO#155\r\n", "GETIO"));
    benchmark::DoNotOptimize(Ask(*b.st, CommandFrame("LEDAD#1#400#"), "LEDAD"));
    benchmark::DoNotOptimize(Ask(*b.st, "TEMPERATURES#196\r\n", "TEMPERATURES"));
  }
}

}  // namespace

BENCHMARK(BM_LivePassOwnWorkWorldSid)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LivePassOwnWorkPolar)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IoPassOwnWorkRevD)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IoPassOwnWorkRevBC)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LivePassSim)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_IoPassSimRevD)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_IoPassSimRevBC)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_IoExchangesSimRevD)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_MAIN();
