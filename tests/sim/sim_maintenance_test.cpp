// The simulated unit's uploads over a raw loopback line: a calibration of the
// wrong size or sum is refused, a good one is kept for its side so that the
// date and later raw recordings follow it, and firmware sizes the loader
// cannot take are refused; the references a laboratory recorded hold no error
// codes.
#include "link/link.h"
#include "platform/transport.h"
#include "core/callayout.h"
#include "sim/commands.h"
#include "sim/wsid_model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace lumvex;
using namespace lumvex::sim;

namespace {

struct Line {
  Simulator sim;
  std::shared_ptr<Transport> link;
  Line() {
    const int port = sim.listenTcp("127.0.0.1", 0);
    sim.start();
    link = Transport::openTcp("127.0.0.1", port, 1000);
    link->setTimeout(2000);
  }
  std::string readLine() {
    std::string r;
    link->readLine(r, 4096);
    return r;
  }
  std::string ask(std::string_view body) {
    link->write(CommandFrame(body));
    return readLine();
  }
  // Announces a calibration of `bytes` with `sum`, sends it, returns the final answer.
  std::string calLoad(const char* name, const std::string& bytes, unsigned sum) {
    const std::string first =
        ask(std::string(name) + "#" + std::to_string(bytes.size()) + "#" + std::to_string(sum) + "#");
    EXPECT_EQ(first.rfind(name, 0), 0u) << first;
    link->write(bytes);
    return readLine();
  }
};

std::string bytesOf(const std::vector<float>& image) {
  std::string s(image.size() * 4, '\0');
  std::memcpy(s.data(), image.data(), s.size());  // little-endian host
  return s;
}

unsigned byteSum(const std::string& s) {
  unsigned sum = 0;
  for (char c : s) sum += static_cast<unsigned char>(c);
  return sum % 256;
}

}  // namespace

TEST(SimCalibrationLoad, WrongSizeOrSumIsRefusedAndAGoodOneIsKeptForItsSide) {
  Line l;
  l.sim.withUnit([](UnitState& u) {
    u.props = {{"type", "WorldSID Female"}, {"firmware", "V7.3"}, {"caldate.right", "02-Feb-2024"}};
  });
  // Every slope 3 % steeper: a calibration the unit's own is not.
  std::vector<float> image = wsidCalibrationImage(CalLayout5th);
  for (size_t i = 1; i < image.size(); i += 2) image[i] *= 1.03f;
  const std::string bytes = bytesOf(image);
  ASSERT_EQ(bytes.size(), 1'711'072u);

  EXPECT_EQ(l.calLoad("CALLOADRIGHT", bytes, (byteSum(bytes) + 1) % 256),
            FrameReply("CALLOAD", {"BAD CHECKSUM"}));
  EXPECT_EQ(l.calLoad("CALLOADRIGHT", bytes.substr(4), byteSum(bytes.substr(4))),
            FrameReply("CALLOAD", {"BAD SIZE"}));
  EXPECT_EQ(l.ask("DIRECTION#"), FrameReply("DIRECTION", {"LEFT SIDE"}));
  EXPECT_EQ(l.calLoad("CALLOADRIGHT", bytes, byteSum(bytes)), FrameReply("CALLOAD", {"OK"}));
  EXPECT_EQ(l.ask("DIRECTION#"), FrameReply("DIRECTION", {"RIGHT SIDE"}));
  EXPECT_EQ(l.ask("CAL_DATE#"), FrameReply("CAL_DATE", {"02-Feb-2024\r"}));

  // A raw recording is now made with the loaded calibration.
  const std::string head = l.ask("RAWDUMP#0#1#");
  ASSERT_EQ(head, FrameReply("RAWDUMP", {"120", "11"}));
  std::string rec(241, '\0');
  size_t got = 0;
  l.link->setLineMode(false);
  ASSERT_EQ(l.link->readRaw(rec.data(), rec.size(), got), IoStatus::Ok);
  WsidModel loaded = wsidModel(DummyWorldSID5th, 0);
  const std::vector<uint16_t> unitsOwn = [&] {
    std::vector<uint16_t> w(120);
    wsidFillRecords(loaded, 0.0, 1, w.data());
    return w;
  }();
  loaded.calibration = std::make_shared<const std::vector<float>>(image);
  std::vector<uint16_t> want(120);
  wsidFillRecords(loaded, 0.0, 1, want.data());
  EXPECT_EQ(std::memcmp(rec.data(), want.data(), 240), 0);
  EXPECT_NE(want, unitsOwn);
}

TEST(SimFirmwareLoad, SizesTheLoaderCannotTakeAreRefused) {
  Line l;
  EXPECT_EQ(l.ask("LOADER#0#"), FrameReply("LOADER", {"BAD SIZE"}));
  EXPECT_EQ(l.ask("LOADER#116000465#"), FrameReply("LOADER", {"BAD SIZE"}));
  EXPECT_EQ(l.ask("LOADER#3#"), FrameReply("LOADER", {"Send File"}));
  l.link->write("abc");
  EXPECT_EQ(l.readLine(), FrameReply("LOADER", {"OK"}));
  EXPECT_EQ(l.sim.withUnit([](UnitState& u) { return u.firmwareImage; }), "abc");
}

TEST(SimReferences, RecordedWithEveryLedWorkingUntilTheUnitStoresItsPresentPositions) {
  Line l;
  l.sim.withUnit([](UnitState& u) { u.props["leds.error"] = "2"; });
  const std::string recorded = l.ask("GETGOLDENPOSNS#");
  EXPECT_EQ(recorded.substr(0, 33), "GETGOLDENPOSNS#54#3.75,23.75,43.7");
  EXPECT_NE(recorded.find(",43.75,7.25,27.25,47.25,10.75,"), std::string::npos) << recorded;
  EXPECT_EQ(l.sim.withUnit([](UnitState& u) { return u.prop("leds.error"); }), "2");
  EXPECT_EQ(l.ask("SETGOLDENPOSNS#").substr(0, 17), "SETGOLDENPOSNS#0#");
  EXPECT_NE(l.ask("GETGOLDENPOSNS#").find(",43.75,9.00,9.00,9.00,10.75,"), std::string::npos);
}
