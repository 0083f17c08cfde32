// The byte links: line reads across chunks, read-ahead kept for binary reads,
// a time-out told apart from a lost peer, over-long lines, clearing, and the
// serial link on a pseudo-terminal in raw mode.
#include "platform/transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

using namespace lumvex;

namespace {

// A loopback listener and the accepted peer of one openTcp().
struct TcpPair {
  TcpPair() {
    lfd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(lfd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(lfd, 1);
    socklen_t len = sizeof a;
    getsockname(lfd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    link = Transport::openTcp("127.0.0.1", port, 1000);
    peer = accept(lfd, nullptr, nullptr);
  }
  ~TcpPair() {
    if (peer >= 0) close(peer);
    close(lfd);
  }
  void send(const std::string& s) const { ASSERT_EQ(::write(peer, s.data(), s.size()), ssize_t(s.size())); }
  int lfd = -1, peer = -1, port = 0;
  std::shared_ptr<Transport> link;
};

long long msSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

TEST(TcpTransport, ReadsLinesAcrossChunksAndKeepsTheRestForLater) {
  TcpPair p;
  ASSERT_TRUE(p.link);
  EXPECT_FALSE(p.link->serial());
  EXPECT_EQ(p.link->name(), "TCPIP::127.0.0.1::" + std::to_string(p.port) + "::SOCKET");
  p.link->setTimeout(1000);
  std::thread writer([&] {
    p.send("S#0");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    p.send("#201\r\nNEXT#1\r\n\x01\x02\x03");
  });
  std::string line;
  bool complete = false;
  EXPECT_EQ(p.link->readLine(line, 2047, &complete), IoStatus::Ok);
  writer.join();
  EXPECT_TRUE(complete);
  EXPECT_EQ(line, "S#0#201\r\n");
  EXPECT_EQ(p.link->readLine(line, 2047), IoStatus::Ok);
  EXPECT_EQ(line, "NEXT#1\r\n");
  char raw[3];
  size_t got = 0;
  EXPECT_EQ(p.link->readRaw(raw, 3, got), IoStatus::Ok);
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(raw[2], 3);
}

TEST(TcpTransport, SilenceIsATimeOutWithThePartialBytes) {
  TcpPair p;
  p.link->setTimeout(60);
  p.send("S#0");
  std::string line;
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(p.link->readLine(line, 2047), IoStatus::Timeout);
  EXPECT_GE(msSince(t0), 55);
  EXPECT_EQ(line, "S#0");
  char raw[4];
  size_t got = 9;
  EXPECT_EQ(p.link->readRaw(raw, 4, got), IoStatus::Timeout);
  EXPECT_EQ(got, 0u);
}

TEST(TcpTransport, APeerThatClosesIsLostNotATimeOut) {
  TcpPair p;
  p.link->setTimeout(5000);
  p.send("S#");
  close(p.peer);
  p.peer = -1;
  std::string line;
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(p.link->readLine(line, 2047), IoStatus::Lost);
  EXPECT_LT(msSince(t0), 1000) << "a closed peer must not wait for the time-out";
  EXPECT_EQ(line, "S#");
  // Writes soon fail too (the first may still be buffered by the kernel).
  IoStatus w = IoStatus::Ok;
  for (int i = 0; i < 50 && w == IoStatus::Ok; ++i) {
    w = p.link->write("S#118\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(w, IoStatus::Lost);
}

TEST(TcpTransport, OverLongLineStopsAtMaxAndTheTailCanBeSkipped) {
  TcpPair p;
  p.link->setTimeout(500);
  p.send(std::string(3000, 'X') + "\r\nS#0#201\r\n");
  std::string line;
  bool complete = true;
  EXPECT_EQ(p.link->readLine(line, 2047, &complete), IoStatus::Ok);
  EXPECT_FALSE(complete);
  EXPECT_EQ(line.size(), 2047u);
  EXPECT_EQ(p.link->skipLine(), IoStatus::Ok);
  EXPECT_EQ(p.link->readLine(line, 2047, &complete), IoStatus::Ok);
  EXPECT_EQ(line, "S#0#201\r\n");
}

TEST(TcpTransport, BinaryModeDoesNotEndAtLineFeed) {
  TcpPair p;
  p.link->setTimeout(500);
  p.link->setLineMode(false);
  p.send("ab\ncd");
  std::string block;
  EXPECT_EQ(p.link->readLine(block, 5), IoStatus::Ok);
  EXPECT_EQ(block, "ab\ncd");
}

TEST(TcpTransport, ClearDropsWhatIsWaiting) {
  TcpPair p;
  p.link->setTimeout(50);
  p.send("OLD#1\r\nOLDER#2\r\n");
  std::string line;
  ASSERT_EQ(p.link->readLine(line, 2047), IoStatus::Ok);  // one read ahead, one in the kernel
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  p.link->clear();
  EXPECT_EQ(p.link->readLine(line, 2047), IoStatus::Timeout);
  EXPECT_EQ(line, "");
}

TEST(TcpTransport, NoListenerFailsToOpen) {
  int port = 0;
  {
    TcpPair p;  // a port that was just free
    port = p.port;
  }
  EXPECT_EQ(Transport::openTcp("127.0.0.1", port, 500), nullptr);
  EXPECT_EQ(Transport::openTcp("127.0.0.1", 0, 500), nullptr);
}

// An adopted socket-pair end is a stream link like TCP: lines both ways,
// binary reads, a time-out on silence and Lost once the other end is gone.
TEST(SocketPairTransport, AdoptedEndTalksTimesOutAndIsLostWhenThePeerGoes) {
  EXPECT_EQ(Transport::adoptSocket(-1, "none"), nullptr);
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
  auto t = Transport::adoptSocket(fds[0], "pair");
  ASSERT_NE(t, nullptr);
  EXPECT_FALSE(t->serial());
  EXPECT_EQ(t->name(), "pair");
  t->setTimeout(50);  // ms
  ASSERT_EQ(t->write("S#83\r\n"), IoStatus::Ok);
  char sent[16] = {};
  ASSERT_EQ(read(fds[1], sent, sizeof sent - 1), 6);
  EXPECT_STREQ(sent, "S#83\r\n");

  const std::string reply = "S#0##236\r\n\x01\n\x02";
  ASSERT_EQ(write(fds[1], reply.data(), reply.size()), static_cast<ssize_t>(reply.size()));
  std::string line;
  EXPECT_EQ(t->readLine(line, 100), IoStatus::Ok);
  EXPECT_EQ(line, "S#0##236\r\n");
  t->setLineMode(false);
  char bin[4] = {};
  size_t got = 0;
  EXPECT_EQ(t->readRaw(bin, 3, got), IoStatus::Ok);
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(std::string(bin, 3), "\x01\n\x02");
  EXPECT_EQ(t->readSome(bin, 1, got), IoStatus::Timeout);
  close(fds[1]);
  EXPECT_EQ(t->readSome(bin, 1, got), IoStatus::Lost);
}

TEST(SerialTransport, PseudoTerminalIsRawBothWaysAndHangUpIsLost) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  std::string path = ptsname(master);
  auto link = Transport::openSerial(path);
  ASSERT_TRUE(link);
  EXPECT_TRUE(link->serial());
  termios t{};
  ASSERT_EQ(tcgetattr(master, &t), 0);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u) << "raw: no echo, no line editing";
  EXPECT_EQ(cfgetospeed(&t), B115200);
  link->setTimeout(500);
  // CR and a byte 0x03 (^C) must arrive untouched.
  std::string reply = "S#3#204\r\n";
  reply.insert(0, "\x03");
  ASSERT_EQ(::write(master, reply.data(), reply.size()), ssize_t(reply.size()));
  std::string line;
  EXPECT_EQ(link->readLine(line, 2047), IoStatus::Ok);
  EXPECT_EQ(line, reply);
  EXPECT_EQ(link->write("S#118\r\n"), IoStatus::Ok);
  char buf[16] = {};
  ssize_t n = ::read(master, buf, sizeof buf);
  EXPECT_EQ(std::string(buf, n > 0 ? n : 0), "S#118\r\n");
  close(master);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(link->readLine(line, 2047), IoStatus::Lost);
  EXPECT_LT(msSince(t0), 400);
}

TEST(SerialTransport, MissingDeviceFailsToOpen) {
  EXPECT_EQ(Transport::openSerial("/dev/lumvex-no-such-port"), nullptr);
}

// readSome: the read-ahead first, then what the kernel holds without waiting
// for more; one time-out of silence; a closed peer is a lost link.
TEST(TcpTransport, ReadSomeTakesWhatHasArrivedAndWaitsOneTimeOutAtMost) {
  TcpPair p;
  ASSERT_TRUE(p.link);
  p.link->setTimeout(150);
  p.send("OK#1\r\nabcdef");
  std::string line;
  ASSERT_EQ(p.link->readLine(line, 2047), IoStatus::Ok);
  char buf[64];
  size_t got = 0;
  // Whatever followed the line was read ahead: it comes first, and no more.
  ASSERT_EQ(p.link->readSome(buf, sizeof buf, got), IoStatus::Ok);
  EXPECT_EQ(std::string(buf, got), "abcdef");
  p.send("ghi");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(p.link->readSome(buf, 2, got), IoStatus::Ok);
  EXPECT_EQ(std::string(buf, got), "gh");
  ASSERT_EQ(p.link->readSome(buf, sizeof buf, got), IoStatus::Ok);
  EXPECT_EQ(std::string(buf, got), "i");
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(p.link->readSome(buf, sizeof buf, got), IoStatus::Timeout);
  EXPECT_EQ(got, 0u);
  EXPECT_GE(msSince(t0), 140);
  close(p.peer);
  p.peer = -1;
  EXPECT_EQ(p.link->readSome(buf, sizeof buf, got), IoStatus::Lost);
}
