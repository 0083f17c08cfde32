// The simulated unit's diagnostics over a loopback socket: how each hardware
// generation takes its output words and loops them back on the inputs, LED
// A/D readings by LED, drive and sensor switch, the memory tests' time, and
// the current positions breathing only when asked to.
#include "link/link.h"
#include "platform/transport.h"
#include "sim/commands.h"
#include "sim/options.h"
#include "sim/unit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#include <thread>

using namespace lumvex;
using namespace lumvex::sim;

namespace {

struct Unit {
  Simulator sim;
  std::shared_ptr<Transport> link;
  explicit Unit(std::initializer_list<std::pair<const char*, const char*>> props) {
    sim.withUnit([&](UnitState& u) {
      for (auto [k, v] : props) u.props[k] = v;
    });
    int port = sim.listenTcp("127.0.0.1", 0);
    sim.start();
    link = Transport::openTcp("127.0.0.1", port, 1000);
    if (link) link->setTimeout(2000);
  }
  ~Unit() {
    link.reset();
    sim.stop();
  }
  // The first data field of the reply to `body`.
  std::string ask(const std::string& body) {
    std::string r;
    if (!link || link->write(CommandFrame(body)) != IoStatus::Ok) return "?";
    link->readLine(r, 2047);
    size_t a = r.find('#'), b = r.find('#', a + 1);
    return a == std::string::npos || b == std::string::npos ? "?" : r.substr(a + 1, b - a - 1);
  }
  int word() { return std::stoi(ask("GETIO#")); }
  // The readings of an LEDAD reply.
  std::vector<int> readings(const std::string& body) {
    std::vector<int> out;
    std::stringstream in(ask(body));
    for (std::string item; std::getline(in, item, ',');) out.push_back(std::stoi(item));
    return out;
  }
};

}  // namespace

TEST(SimDiagnostics, OutputsComeBackOnTheInputsOfEachGeneration) {
  Unit d({{"type", "WorldSID"}, {"serial", "150"}, {"firmware", "V7.3"}});
  ASSERT_TRUE(d.link);
  EXPECT_EQ(d.word(), 0x0800 | 0x2000 | 0x4000) << "idle: arm, other and charge inputs high";
  d.ask("SETOUTPUTS#" + std::to_string(0x0080 | 0x0100 | 0x0200 | 0x1000) + "#");
  EXPECT_EQ(d.word(), 0x0080 | 0x0100 | 0x0200 | 0x1000 | 0x0400);
  d.ask("SETOUTPUTS#2#");  // Rev D writes the whole word
  EXPECT_EQ(d.word(), 0x0002 | 0x0800 | 0x2000 | 0x4000);

  Unit lx2({{"type", "WorldSID Female"}, {"serial", "101"}, {"firmware", "LX2 V8.0"}, {"io.set", "0x8000"}});
  EXPECT_EQ(lx2.word(), 0x4000 | 0x8000) << "LX2: arm in idle low, Vext present, a forced bit";
  lx2.ask("SETOUTPUTS#256#");
  EXPECT_EQ(lx2.word() & 0x0800, 0x0800);

  Unit bc({{"type", "WorldSID"}, {"serial", "100"}});
  bc.ask("SETOUTPUTS#" + std::to_string(0x0800 | 0x0400 | 0x0020) + "#");
  bc.ask("SETOUTPUTS#4096#");  // Rev B/C sets bits, CLEAROUTPUTS clears them
  EXPECT_EQ(bc.word(), 0x0800 | 0x0400 | 0x0020 | 0x1000 | 0x0100);
  bc.ask("CLEAROUTPUTS#" + std::to_string(0x0800 | 0x1000) + "#");
  EXPECT_EQ(bc.word(), 0x0400 | 0x0020 | 0x0200);
}

TEST(SimDiagnostics, ReadingsMemoryTestsAndBreathing) {
  Unit d({{"type", "WorldSID"}, {"serial", "150"}, {"ram.ms", "300"}});
  auto reading = [&](const std::string& body, size_t k) { return d.readings(body).at(k); };
  const int rib1 = reading("LEDAD#1#4000#", 0);
  EXPECT_EQ(rib1, 60 + 3600);
  EXPECT_EQ(reading("LEDAD#1#0#", 0), 60) << "no drive: the dark level";
  EXPECT_LT(reading("LEDAD#16#4000#", 0), rib1 / 4) << "rib 6 hardly lights sensor 1";
  d.ask("SETOUTPUTS#2#");  // sensor 1 off
  EXPECT_EQ(reading("LEDAD#1#4000#", 0), 60);
  Unit bc({{"type", "WorldSID"}, {"serial", "90"}});
  const std::vector<int> redBlue = bc.readings("LEDAD#1#4000#");
  ASSERT_EQ(redBlue.size(), 8u);
  EXPECT_LT(redBlue[6], redBlue[2]) << "blue reads less than red";

  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(d.ask("RAMTEST#"), "0");
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(300));

  // Still unless asked to breathe.
  std::string r;
  std::set<std::string> seen;
  for (int i = 0; i < 20 && seen.size() < 3; ++i) {
    if (i == 2) d.sim.withUnit([](UnitState& u) { u.props["positions.breath"] = "2"; });
    d.link->write(CommandFrame("CURRENT_POSITIONS#"));
    d.link->readLine(r, 2047);
    seen.insert(r);
    if (i == 1) {
      EXPECT_EQ(seen.size(), 1u);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  EXPECT_GE(seen.size(), 3u) << "the LEDs move";
}
