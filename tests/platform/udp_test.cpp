// UDP channels on loopback: source address and port of a datagram, a reply
// never copied past the caller's buffer, the channel's own broadcast echo on
// the default adaptor and when tied to the loopback adaptor, exclusive ports;
// the PC's addresses; and the system ping program's results.
#include "platform/ping.h"
#include "platform/udp.h"

#include "testing.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstring>

using namespace lumvex;

namespace {

TEST(UdpChannel, DatagramCarriesItsSourceAndIsCutToTheBuffer) {
  auto a = UdpChannel::open(0);
  auto b = UdpChannel::open(0);
  ASSERT_TRUE(a && b);
  std::string payload(200, 'x');
  payload[149] = 'y';
  ASSERT_EQ(a->write(payload.data(), payload.size(), "127.0.0.1", b->localPort()), 0);
  unsigned char buf[160];
  std::memset(buf, 0xEE, sizeof buf);
  std::string from;
  int port = 0;
  ASSERT_EQ(b->read(buf, 150, 2000, &from, &port), 150);
  EXPECT_EQ(buf[149], 'y');
  EXPECT_EQ(buf[150], 0xEE);
  EXPECT_EQ(from, "127.0.0.1");
  EXPECT_EQ(port, a->localPort());
  // The rest of the long datagram is gone; the next read waits in vain.
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(b->read(buf, 150, 100), kUdpTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(95));
  EXPECT_EQ(a->write("x", 1, "not-an-address", b->localPort()), -1);
}

// The station's own broadcast comes back to its channel: on the default
// adaptor, and when the channel is tied to the adaptor holding 127.0.0.1.
TEST(UdpChannel, OwnBroadcastComesBackAlsoWhenTiedToAnAdaptor) {
  for (const std::string adaptor : {"", "127.0.0.1"}) {
    auto probe = UdpChannel::open(0);
    ASSERT_TRUE(probe);
    const int port = probe->localPort();
    probe.reset();
    auto ch = UdpChannel::open(port, adaptor);
    ASSERT_TRUE(ch) << "adaptor '" << adaptor << "'";
    ASSERT_EQ(ch->write("\x00\x00\x00\xF6", 4, "127.255.255.255", port), 0);
    unsigned char buf[150];
    std::string from;
    ASSERT_EQ(ch->read(buf, sizeof buf, 2000, &from), 4) << "adaptor '" << adaptor << "'";
    EXPECT_EQ(from, "127.0.0.1");
  }
}

TEST(UdpChannel, AdaptorChannelNeedsAHeldAddressAndTheWholePort) {
  EXPECT_FALSE(UdpChannel::open(0, "203.0.113.9"));
  EXPECT_FALSE(UdpChannel::open(0, "no address"));
  auto shared = UdpChannel::open(0);
  ASSERT_TRUE(shared);
  EXPECT_TRUE(UdpChannel::open(shared->localPort())) << "the default adaptor shares the port";
  EXPECT_FALSE(UdpChannel::open(shared->localPort(), "127.0.0.1")) << "the port is taken";
  const int port = shared->localPort();
  shared.reset();
  auto exclusive = UdpChannel::open(port, "127.0.0.1");
  ASSERT_TRUE(exclusive);
  EXPECT_FALSE(UdpChannel::open(port)) << "an adaptor channel holds its port alone";
}

TEST(HostAddresses, LoopbackIsListedLastAndHeldByItsInterface) {
  auto all = HostIPv4Addresses();
  ASSERT_FALSE(all.empty());
  EXPECT_NE(std::find(all.begin(), all.end(), "127.0.0.1"), all.end());
  EXPECT_TRUE(all.back().rfind("127.", 0) == 0);
  EXPECT_EQ(InterfaceHoldingAddress("127.0.0.1"), "lo");
  EXPECT_EQ(InterfaceHoldingAddress("203.0.113.9"), "");
}

// A stand-in for the system ping: records its arguments, then exits with
// the code the test wants (or sleeps past every time-out).
struct FakePing : ::testing::Test {
  std::string program(const std::string& body) {
    std::string path = dir.file("ping");
    lumvex::testing::writeFile(path,
                               "#!/bin/sh\nprintf '%s ' \"$@\" > " + dir.file("args") + "\n" + body + "\n");
    chmod(path.c_str(), 0755);
    return path;
  }
  lumvex::testing::TempDir dir;
};

TEST_F(FakePing, ExitCodesGiveTheResult) {
  EXPECT_EQ(PingByProgram(program("exit 0"), "127.0.0.1", 100), PingResult::Answered);
  EXPECT_EQ(lumvex::testing::readFile(dir.file("args")), "-n -q -c 1 -W 0.100 127.0.0.1 ");
  EXPECT_EQ(PingByProgram(program("exit 1"), "127.0.0.1", 100), PingResult::NoAnswer);
  EXPECT_EQ(PingByProgram(program("exit 2"), "127.0.0.1", 100), PingResult::Error);
  EXPECT_EQ(PingByProgram(dir.file("missing"), "127.0.0.1", 100), PingResult::Error);
}

TEST_F(FakePing, OnlyDottedAddressesArePingedAndAHungProgramIsEnded) {
  const std::string p = program("exit 0");
  for (const char* text : {"-f", "localhost", "10.0.0", ""}) {
    EXPECT_EQ(PingByProgram(p, text, 100), PingResult::Error) << text;
    bool unavailable = true;
    EXPECT_EQ(PingBySocket(text, 100, &unavailable), PingResult::Error) << text;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("args"))) << "the program never ran";
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(PingByProgram(program("exec sleep 30"), "127.0.0.1", 100), PingResult::Error);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
}

}  // namespace
