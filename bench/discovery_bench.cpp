// A search without the beacon phase against simulated units on loopback:
// four units (each phase ends when four are listed) and one unit (each phase
// ends at its 300 ms time-out). Goal: four units in 0.7 s or less.
#include "support/scripted_operator.h"
#include "link/discovery.h"
#include "sim/netmodule.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <vector>

using namespace lumvex;

namespace {

int freeUdpPort() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  socklen_t len = sizeof a;
  int port = 0;
  if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  if (fd >= 0) close(fd);
  return port;
}

void search(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const int port = freeUdpPort();
  std::vector<std::unique_ptr<sim::NetModule>> units;
  for (int i = 0; i < count; ++i) {
    sim::NetConfig c;
    c.address = "127.0.93." + std::to_string(2 + i);
    c.listen = "127.255.255.255";
    c.queryPort = port;
    c.id = {0x10, static_cast<unsigned char>(i)};
    units.push_back(std::make_unique<sim::NetModule>(c));
    if (!units.back()->start()) {
      state.SkipWithError("a simulated unit did not start");
      return;
    }
  }
  ScriptedOperator op;
  auto st = std::make_unique<Station>(op);
  std::strcpy(st->ini.NicToUse.data(), "Default");
  st->ini.WidgetType = 1;
  st->discovery.network.broadcast = "127.255.255.255";
  st->discovery.network.queryPort = port;
  for (auto _ : state) {
    if (SearchForUnits(*st) != count) {
      state.SkipWithError("not every unit was found");
      break;
    }
  }
  for (auto& u : units) u->stop();
}

BENCHMARK(search)->Arg(4)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
