// Ingesting the largest download (250,001 records x 232 words, 116 MB) from
// the simulated unit over loopback TCP with Download, beside a plain reader
// of the same byte stream (one recv into a big buffer after the other, no
// sums, no progress) in the same run. The simulated unit sends a stream made
// once, so the figures are the station's side of the transfer.
#include "link/download.h"
#include "support/scripted_operator.h"
#include "link/link.h"
#include "sim/unit.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr long kRecords = 250'001;
constexpr int kWords = 232;
constexpr size_t kRecordBytes = kWords * 2 + 1;

// The records with their sums, made once.
const std::vector<std::string>& stream() {
  static std::vector<std::string> chunks = [] {
    std::vector<std::string> out;
    std::string chunk;
    for (long r = 0; r < kRecords; ++r) {
      unsigned sum = 0;
      for (int k = 0; k < kWords; ++k) {
        const auto w = static_cast<uint16_t>((r * 7 + k * 131) % 20000 + 1000);
        chunk.push_back(static_cast<char>(w & 0xFF));
        chunk.push_back(static_cast<char>(w >> 8));
        sum += (w & 0xFF) + (w >> 8);
      }
      chunk.push_back(static_cast<char>(sum & 0xFF));
      if (chunk.size() > (1u << 20)) out.push_back(std::move(chunk)), chunk.clear();
    }
    if (!chunk.empty()) out.push_back(chunk);
    return out;
  }();
  return chunks;
}

struct Unit {
  lumvex::sim::Simulator sim;
  int port = -1;
  Unit() : sim(table()) {
    port = sim.listenTcp("127.0.0.1", 0);
    sim.start();
  }
  ~Unit() { sim.stop(); }
  static lumvex::sim::CommandTable table() {
    lumvex::sim::CommandTable t;
    t.add("S", [](lumvex::sim::Exchange& x) { x.reply({"3"}); });
    t.add("RAWDUMP", [](lumvex::sim::Exchange& x) {
      x.reply({std::to_string(kWords), std::to_string(kRecords)});
      for (const std::string& c : stream()) x.sendRaw(c);
    });
    return t;
  }
};

Unit& unit() {
  static Unit u;
  return u;
}

// Operator that counts instead of drawing.
struct QuietOperator : lumvex::ScriptedOperator {
  bool progressUpdate(double) override { return true; }
};

void BM_StationDownload(benchmark::State& state) {
  stream();
  QuietOperator op;
  auto st = std::make_unique<lumvex::Station>(op);
  lumvex::Station& s = *st;
  s.session.DummyType = lumvex::DummyWorldSID50th;
  s.session.IsLX2 = 1;  // 232-word records; its window of exactly 25,000 ms is allowed
  s.model.setText(lumvex::Ctl::DATA_STRT, "-1000");
  s.model.setText(lumvex::Ctl::DATA_STOP, "30000");
  s.model.setNumber(lumvex::Ctl::DL_START_TIME, -1000);
  s.model.setNumber(lumvex::Ctl::DL_STOP_TIME, 24000);
  if (lumvex::ConnectEthernet(s, "127.0.0.1:" + std::to_string(unit().port), 0) != 0) {
    state.SkipWithError("connect failed");
    return;
  }
  for (auto _ : state) {
    if (lumvex::Download(s, lumvex::DownloadRawLX2) != 0) state.SkipWithError("download failed");
  }
  lumvex::Disconnect(s);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kRecords * kRecordBytes));
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  state.counters["peak_rss_MB"] = static_cast<double>(ru.ru_maxrss) / 1024.0;
}

// Baseline: the same request, then recv() into one big buffer until every byte arrived.
void BM_PlainRecv(benchmark::State& state) {
  stream();
  std::vector<char> buf(kRecords * kRecordBytes + 4096);
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(unit().port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    state.SkipWithError("connect failed");
    return;
  }
  const std::string cmd = lumvex::CommandFrame("RAWDUMP#-1000#24000#");
  for (auto _ : state) {
    if (write(fd, cmd.data(), cmd.size()) != static_cast<ssize_t>(cmd.size())) state.SkipWithError("write");
    // Reply line, then the records.
    size_t got = 0, line = std::string::npos;
    const size_t want = kRecords * kRecordBytes;
    while (true) {
      ssize_t n = recv(fd, buf.data() + got, buf.size() - got, 0);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
      if (line == std::string::npos) {
        for (size_t i = 0; i < got; ++i)
          if (buf[i] == '\n') {
            line = i + 1;
            break;
          }
      }
      if (line != std::string::npos && got - line >= want) break;
    }
    benchmark::DoNotOptimize(buf.data());
  }
  close(fd);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kRecords * kRecordBytes));
}

}  // namespace

BENCHMARK(BM_StationDownload)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PlainRecv)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_MAIN();
