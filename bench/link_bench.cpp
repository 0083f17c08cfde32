// One status exchange (frame, sendRcv, Parser) against the in-process
// simulated unit over loopback TCP and over a pseudo-terminal, and the parser
// alone.
#include "link/link.h"
#include "support/scripted_operator.h"
#include "link/status.h"
#include "sim/commands.h"
#include "sim/unit.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

using namespace lumvex;

namespace {

void statusPolls(benchmark::State& state, bool serial) {
  sim::Simulator unit;
  int port = unit.listenTcp("127.0.0.1", 0);
  std::string pty = serial ? unit.openPty() : "";
  unit.start();
  ScriptedOperator op;
  auto st = std::make_unique<Station>(op);
  int r = -1;
  if (serial) {
    setenv("LUMVEX_SERIAL_PORTS", ("COM1=" + pty).c_str(), 1);
    r = ConnectSerial(*st, 0);
  } else {
    r = ConnectEthernet(*st, "127.0.0.1:" + std::to_string(port), 0);
  }
  if (r != 0) {
    state.SkipWithError("no link");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(CheckStatus(*st));
  Disconnect(*st);
  unit.stop();
}

void BM_StatusPollTcp(benchmark::State& state) { statusPolls(state, false); }
void BM_StatusPollPty(benchmark::State& state) { statusPolls(state, true); }

void BM_ParseStatusReply(benchmark::State& state) {
  std::string a, b;
  for (auto _ : state) benchmark::DoNotOptimize(Parser("S", "S#2#203\r\n", a, b));
}

}  // namespace

BENCHMARK(BM_StatusPollTcp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StatusPollPty)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseStatusReply);
BENCHMARK_MAIN();
