// The station against the simulated unit over a pseudo-terminal standing in
// for a serial port (named COMn through LUMVEX_SERIAL_PORTS): connect, a
// recording cycle, a hung-up line, a silent unit, every injected fault ending
// in its message and state, and COM1 never reaching COM10.
#include "ui/screens.h"
#include "support/scripted_operator.h"
#include "ui/setup_page.h"
#include "link/link.h"
#include "link/status.h"
#include "support/sim_station.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

using namespace lumvex;
using lumvex::testing::SimStation;

namespace {

struct PtyStation : SimStation {
  // comIndex: the COMPORT index (0 = COM1) the pseudo-terminal is mapped to.
  explicit PtyStation(int comIndex = 2, int restingMs = 300) : SimStation(restingMs) {
    path = sim().openPty();
    if (path.empty()) return;
    std::string mapping = "COM" + std::to_string(comIndex + 1) + "=" + path;
    setenv("LUMVEX_SERIAL_PORTS", mapping.c_str(), 1);
    LabelComPorts(st);
    st.model.setIndex(Ctl::CONNECTION, 1);
    st.model.setIndex(Ctl::COMPORT, comIndex);
  }
  ~PtyStation() { unsetenv("LUMVEX_SERIAL_PORTS"); }
  std::string path;
};

const char* const kLost =
    "Connection to the Lumvex has been lost.\n Try Reconnnecting\nCheck Lumvex power or reboot the Lumvex";
const char* const kCommError =
    "Communication Error with Lumvex\rPress continue to try again, or press Disconnect";

sim::FaultRule fault(sim::FaultKind k, std::string cmd = "S", int nth = 1, long value = -1) {
  sim::FaultRule r;
  r.kind = k;
  r.command = std::move(cmd);
  r.nth = nth;
  r.value = value;
  return r;
}

void expectDisconnected(const Station& st) {
  EXPECT_EQ(st.session.unitStatus, -1);
  EXPECT_FALSE(LinkOpen(st));
  EXPECT_FALSE(st.model.timerRunning());
  EXPECT_EQ(st.model.text(Ctl::STATUSBOX), "Disconnected");
  EXPECT_EQ(st.model.label(Ctl::CONNECT), "CONNECT");
  EXPECT_TRUE(st.model.dimmed(Ctl::ARM_BUT));
}

}  // namespace

TEST(PtySession, ConnectsOverTheMappedPortAndFollowsACycle) {
  PtyStation s;
  ASSERT_FALSE(s.path.empty());
  EXPECT_EQ(s.st.model.itemCount(Ctl::COMPORT), 12);
  EXPECT_EQ(s.st.model[Ctl::COMPORT].items[2].label, "COM 3 - " + s.path + " (LUMVEX_SERIAL_PORTS)");
  s.sim().withUnit([](sim::UnitState& u) { u.storeMs = 20; });
  ASSERT_TRUE(s.connect()) << ::testing::PrintToString(s.op.messages());
  EXPECT_EQ(s.st.session.linkKind, LinkSerial);
  EXPECT_TRUE(s.st.session.linkHandle != nullptr);
  EXPECT_EQ(s.st.model.text(Ctl::STATUSBOX), "Connected - Idle");
  EXPECT_TRUE(s.st.model.timerRunning());

  std::string buf = CommandFrame("ARM#0#40#");
  ASSERT_EQ(sendRcv(s.st, buf), 0);
  std::string a, b;
  ASSERT_EQ(Parser("ARM", buf, a, b), 0);
  EXPECT_EQ(a, "OK");
  s.tick();
  EXPECT_EQ(s.st.session.unitStatus, 1);
  EXPECT_TRUE(s.st.model.panel(Panel::CableDisconnect).visible);
  buf = CommandFrame("T#");
  ASSERT_EQ(sendRcv(s.st, buf), 0);
  ASSERT_TRUE(s.tickUntil(3, 2000));
  EXPECT_FALSE(s.st.model.timerRunning());
  EXPECT_TRUE(s.op.messages().empty()) << ::testing::PrintToString(s.op.messages());

  // Disconnect and connect again on the same terminal.
  s.st.model.commit(Ctl::CONNECT);
  EXPECT_EQ(s.st.session.unitStatus, -1);
  ASSERT_TRUE(s.connect());
  EXPECT_EQ(s.st.session.unitStatus, 3);
}

TEST(PtySession, HungUpLineIsALostLink) {
  PtyStation s;
  ASSERT_TRUE(s.connect());
  s.sim().dropClients();
  s.tick();
  EXPECT_TRUE(
      s.op.showed("Communication Error",
                  "Connection to the Lumvex has been lost.\n Try Reconnnecting\nCheck Lumvex power or "
                  "reboot the Lumvex"));
  EXPECT_EQ(s.st.session.unitStatus, -1);
  EXPECT_FALSE(s.st.model.timerRunning());
  EXPECT_EQ(s.st.model.text(Ctl::STATUSBOX), "Disconnected");
}

TEST(PtySession, SilentUnitAtConnectAsksThenCannotOpen) {
  PtyStation s(2, 80);
  sim::FaultRule stall;
  stall.kind = sim::FaultKind::Stall;
  stall.command = "S";
  s.sim().addFault(stall);
  EXPECT_FALSE(s.connect());
  ASSERT_GE(s.op.transcript.size(), 2u);
  EXPECT_EQ(s.op.transcript[0].kind, Shown::TwoButton);
  EXPECT_EQ(s.op.transcript[0].title, "Communication Error");
  EXPECT_EQ(s.op.messages(), std::vector<std::string>{"Error: Could not open the COM port"});
  EXPECT_EQ(s.st.session.unitStatus, -1);
  EXPECT_FALSE(LinkOpen(s.st));
}

TEST(PtySession, Com1NeverReachesCom10) {
  PtyStation s(9);  // the terminal is COM10
  ASSERT_FALSE(s.path.empty());
  // COM1 names a device that is not there, so no real port of this machine is
  // opened; the search must go past the terminal named COM10.
  setenv("LUMVEX_SERIAL_PORTS", ("COM1=/dev/lumvex-no-such-port,COM10=" + s.path).c_str(), 1);
  s.st.model.setIndex(Ctl::COMPORT, 0);
  EXPECT_FALSE(s.connect());
  EXPECT_TRUE(s.sim().received().empty());
  ASSERT_EQ(s.op.transcript.size(), 2u);
  EXPECT_EQ(s.op.transcript[0].kind, Shown::Console);
  EXPECT_EQ(s.op.transcript[0].text.rfind("Could not open /dev/lumvex-no-such-port, status = 0x", 0), 0u);
  EXPECT_EQ(s.op.messages(), std::vector<std::string>{"Error: Could not open the COM port"});
  s.op.clear();
  s.st.model.setIndex(Ctl::COMPORT, 9);
  EXPECT_TRUE(s.connect());
  // The first line the terminal carried is the status query of the connect.
  ASSERT_FALSE(s.sim().received().empty());
  EXPECT_EQ(s.sim().received().front(), "S#118");
}

TEST(ConnectSerial, UnknownPortIsNotFound) {
  ScriptedOperator op;
  auto st = std::make_unique<Station>(op);
  setenv("LUMVEX_SERIAL_PORTS", "COM200=/dev/lumvex-missing", 1);
  EXPECT_EQ(ConnectSerial(*st, 199), -1);
  unsetenv("LUMVEX_SERIAL_PORTS");
  ASSERT_EQ(op.transcript.size(), 1u);
  EXPECT_EQ(op.transcript[0].kind, Shown::Console);
  EXPECT_EQ(op.transcript[0].text.rfind("Could not open /dev/lumvex-missing, status = 0x", 0), 0u);
  EXPECT_EQ(ConnectSerial(*st, 250), -1) << "no resource at all: nothing to say";
  EXPECT_EQ(ConnectSerial(*st, -1), -1);
  EXPECT_FALSE(LinkOpen(*st));
}

// Each injected fault on the serial line ends as it does on TCP: a line closed
// under the station is a lost link, a silent unit asks Continue / Disconnect,
// a malformed reply is reported by the status query and the session stays.
TEST(PtySession, DropAtTheNthCommandIsALostLink) {
  PtyStation s;
  s.sim().addFault(fault(sim::FaultKind::DropAtCommand, "S", 2));  // the first is the connect's
  ASSERT_TRUE(s.connect());
  s.tick();
  EXPECT_EQ(s.op.messages(), std::vector<std::string>{std::string("Communication Error: ") + kLost});
  expectDisconnected(s.st);
}

TEST(PtySession, DropInTheMiddleOfAReplyIsALostLinkNotATimeOut) {
  PtyStation s(2, 5000);  // a time-out would take 5 s
  ASSERT_TRUE(s.connect());
  s.sim().addFault(fault(sim::FaultKind::DropAfterBytes, "", 1, 3));
  auto t0 = std::chrono::steady_clock::now();
  s.tick();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2000));
  EXPECT_TRUE(s.op.showed("Communication Error", kLost));
  expectDisconnected(s.st);
}

TEST(PtySession, TimeOutAsksContinueOrDisconnect) {
  PtyStation s(2, 120);
  ASSERT_TRUE(s.connect());
  s.sim().addFault(fault(sim::FaultKind::Stall, "S", 1));
  s.tick();  // no answer queued: "Continue", the default button
  ASSERT_EQ(s.op.transcript.size(), 1u);
  EXPECT_EQ(s.op.transcript[0].title, "Communication Error");
  EXPECT_EQ(s.op.transcript[0].text, kCommError);
  EXPECT_EQ(s.st.session.unitStatus, 0);
  EXPECT_TRUE(s.st.model.timerRunning());

  s.sim().addFault(fault(sim::FaultKind::Stall, "S", 1));
  s.st.session.demoRunning = 1;
  s.st.session.ioCheckRunning = 1;
  s.st.model.setActivePage(2);
  s.op.twoButtonAnswers.push_back(2);
  s.tick();
  ASSERT_EQ(s.op.transcript.size(), 2u);
  EXPECT_EQ(s.op.transcript[1].answer, "Disconnect");
  EXPECT_EQ(s.st.model.activePage(), 0);
  EXPECT_EQ(s.st.session.demoRunning + s.st.session.ioCheckRunning, 0);
  expectDisconnected(s.st);
  EXPECT_TRUE(s.op.messages().empty());
}

TEST(PtySession, BadStatusReplyAtConnectCannotOpen) {
  PtyStation s;
  s.sim().addFault(fault(sim::FaultKind::CorruptChecksum));
  EXPECT_FALSE(s.connect());
  EXPECT_EQ(s.op.messages(),
            (std::vector<std::string>{"COMM ERROR: in check status", "Error: Could not open the COM port"}));
  EXPECT_EQ(s.st.session.unitStatus, -1);
  EXPECT_FALSE(LinkOpen(s.st));
  ASSERT_TRUE(s.connect()) << "the next reply is good again";
}

class PtyMalformedReply : public ::testing::TestWithParam<sim::FaultKind> {};

TEST_P(PtyMalformedReply, IsReportedInCheckStatusAndTheSessionStays) {
  PtyStation s;
  ASSERT_TRUE(s.connect());
  s.sim().addFault(fault(GetParam()));
  s.tick();
  EXPECT_EQ(s.op.messages(), std::vector<std::string>{"COMM ERROR: in check status"});
  EXPECT_EQ(s.st.session.unitStatus, 0);
  EXPECT_TRUE(LinkOpen(s.st));
  EXPECT_TRUE(s.st.model.timerRunning());
  s.sim().arm(0, 5000);
  s.tick();
  EXPECT_EQ(s.st.session.unitStatus, 1) << "the next poll is in step again";
  EXPECT_EQ(s.op.messages().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Faults, PtyMalformedReply,
                         ::testing::Values(sim::FaultKind::CorruptChecksum, sim::FaultKind::WrongName,
                                           sim::FaultKind::ExtraFields, sim::FaultKind::LongLine));
