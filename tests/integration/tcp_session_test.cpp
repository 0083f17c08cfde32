// The station against the simulated unit over real loopback TCP: connecting,
// following a whole arm -> trigger -> stored -> erase cycle on the status
// timer, the cable-disconnect prompt, disconnecting, and every injected
// fault ending in its message and session state.
#include "ui/screens.h"
#include "support/scripted_operator.h"
#include "ui/setup_page.h"
#include "link/link.h"
#include "link/status.h"
#include "platform/transport.h"
#include "support/sim_station.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

using namespace lumvex;
using lumvex::testing::SimStation;
using sim::FaultKind;
using sim::FaultRule;

namespace {

const char* const kLost =
    "Connection to the Lumvex has been lost.\n Try Reconnnecting\nCheck Lumvex power or reboot the Lumvex";
const char* const kCommError =
    "Communication Error with Lumvex\rPress continue to try again, or press Disconnect";

FaultRule fault(FaultKind k, std::string cmd = "S", int nth = 1, int count = 1, long value = -1) {
  FaultRule r;
  r.kind = k;
  r.command = std::move(cmd);
  r.nth = nth;
  r.count = count;
  r.value = value;
  return r;
}

int countOf(const std::vector<std::string>& lines, const std::string& line) {
  int n = 0;
  for (const auto& l : lines) n += l == line;
  return n;
}

void expectDisconnectedScreen(const Station& st) {
  const Model& m = st.model;
  EXPECT_EQ(st.session.unitStatus, -1);
  EXPECT_FALSE(LinkOpen(st));
  EXPECT_EQ(m.text(Ctl::STATUSBOX), "Disconnected");
  EXPECT_EQ(m[Ctl::STATUSBOX].textColour, colour::Black);
  EXPECT_EQ(m.label(Ctl::CONNECT), "CONNECT");
  EXPECT_FALSE(m.timerRunning());
  for (Ctl c :
       {Ctl::ARM_BUT, Ctl::ERASE_BUT, Ctl::DOWNLOAD_BUT, Ctl::TRIGGER_BUT, Ctl::LED_TABLE, Ctl::TPOST})
    EXPECT_TRUE(m.dimmed(c)) << controlName(c);
  for (int p : {2, 3, 5, 6}) EXPECT_FALSE(m.pageVisible(p)) << p;
  EXPECT_FALSE(m.visible(Ctl::BATT_FUEL));
  EXPECT_EQ(st.session.demoRunning + st.session.ioCheckRunning + st.session.triggerTestRunning, 0);
}

// A port nobody listens on (bound, then released).
int freePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

// Commands named `name` the unit has received so far.
int sent(SimStation& s, const std::string& name) {
  int n = 0;
  for (const auto& l : s.sim().received()) n += l.rfind(name + "#", 0) == 0;
  return n;
}

}  // namespace

TEST(TcpSession, ConnectToAnIdleUnitShowsConnectedIdle) {
  SimStation s;
  ASSERT_TRUE(s.connect()) << ::testing::PrintToString(s.op.messages());
  const Model& m = s.st.model;
  EXPECT_EQ(s.st.session.unitStatus, 0);
  EXPECT_EQ(s.st.session.linkKind, LinkEthernet);
  EXPECT_TRUE(s.st.session.resourceManager);
  EXPECT_EQ(m.text(Ctl::STATUSBOX), "Connected - Idle");
  EXPECT_EQ(m[Ctl::STATUSBOX].textColour, 0x008000u);
  EXPECT_EQ(m.label(Ctl::CONNECT), "DISCONNECT");
  EXPECT_FALSE(m.dimmed(Ctl::ARM_BUT));
  EXPECT_EQ(m.label(Ctl::ARM_BUT), "ARM");
  EXPECT_TRUE(m.dimmed(Ctl::ERASE_BUT));
  EXPECT_TRUE(m.dimmed(Ctl::DOWNLOAD_BUT));
  EXPECT_FALSE(m.visible(Ctl::TRIGGER_BUT));
  EXPECT_FALSE(m.dimmed(Ctl::LED_TABLE));
  EXPECT_TRUE(m.pageVisible(2));
  EXPECT_TRUE(m.pageVisible(5)) << "the simulated unit answers the trigger check";
  EXPECT_TRUE(m.timerRunning());
  EXPECT_TRUE(s.op.messages().empty());
  EXPECT_EQ(s.sim().received().front(), "S#118");
}

namespace {

// Notes what the status box said when each message was shown.
struct WatchingOperator : ScriptedOperator {
  const Model* model = nullptr;
  std::vector<std::string> statusAtMessage;
  void message(std::string_view title, std::string_view text) override {
    statusAtMessage.push_back(model ? model->text(Ctl::STATUSBOX) : "");
    ScriptedOperator::message(title, text);
  }
};

}  // namespace

TEST(TcpSession, IdentificationFailingTwiceAtConnectDisconnects) {
  SimStation s;
  WatchingOperator op;
  op.model = &s.st.model;
  s.st.ui = &op;
  s.sim().addFault(fault(FaultKind::CorruptChecksum, "WHO_ARE_YOU", 1, 2));
  EXPECT_FALSE(s.connect());
  EXPECT_EQ(op.messages(), (std::vector<std::string>{
                               "COMM ERROR: Communication error getting Lumvex type",
                               "COMM ERROR: Communication error getting Lumvex type",
                               "Error: Could not get info from Lumvex -- Disconnecting",
                           }));
  ASSERT_EQ(op.statusAtMessage.size(), 3u);
  EXPECT_EQ(op.statusAtMessage[2], "Disconnected") << "the screen is reset before the message";
  expectDisconnectedScreen(s.st);
  EXPECT_EQ(sent(s, "WHO_ARE_YOU"), 2);
}

TEST(TcpSession, IdentificationSucceedingTheSecondTimeConnects) {
  SimStation s;
  s.sim().addFault(fault(FaultKind::WrongName, "WHO_ARE_YOU"));
  ASSERT_TRUE(s.connect());
  EXPECT_EQ(s.op.messages(), std::vector<std::string>{"COMM ERROR: Communication error getting Lumvex type"});
  EXPECT_EQ(s.st.model.text(Ctl::STATUSBOX), "Connected - Idle");
  EXPECT_EQ(s.st.model.text(Ctl::LXtype), "WorldSID");
  EXPECT_EQ(s.st.session.needsScreenSetup, 0);
}

TEST(TcpSession, ConnectPressedAgainDisconnects) {
  SimStation s;
  ASSERT_TRUE(s.connect());
  s.st.model.commit(Ctl::CONNECT);
  expectDisconnectedScreen(s.st);
  EXPECT_EQ(s.st.session.needsScreenSetup, -1);
  EXPECT_TRUE(SimStation::waitFor([&] { return s.sim().connectionCount() == 0; }));
}

TEST(TcpSession, RightClickOnConnectDoesNothing) {
  SimStation s;
  s.st.model.commit(Ctl::CONNECT, {EventKind::RightClick});
  EXPECT_EQ(s.st.session.unitStatus, -1);
  EXPECT_TRUE(s.sim().received().empty());
}

TEST(TcpSession, WholeRecordingCycleFollowedByTheTimer) {
  SimStation s;
  s.sim().withUnit([](sim::UnitState& u) {
    u.storeMs = 30;
    u.eraseMs = 30;
  });
  ASSERT_TRUE(s.connect());
  Model& m = s.st.model;

  // Armed from the unit's side: the next poll sees 1 and opens the prompt.
  s.sim().arm(0, 60);
  s.tick();
  EXPECT_EQ(s.st.session.unitStatus, 1);
  EXPECT_EQ(m.text(Ctl::STATUSBOX), "Collecting Pre-Trigger Data");
  EXPECT_EQ(m[Ctl::STATUSBOX].textColour, 0x800000u);
  EXPECT_EQ(m.label(Ctl::ARM_BUT), "DISARM");
  EXPECT_TRUE(m.visible(Ctl::TRIGGER_BUT));
  EXPECT_FALSE(m.dimmed(Ctl::TRIGGER_BUT));
  EXPECT_FALSE(m.pageVisible(2));
  EXPECT_TRUE(m.timerRunning());
  EXPECT_TRUE(m.panel(Panel::CableDisconnect).visible);
  EXPECT_EQ(m.panel(Panel::CableDisconnect).title, "Dummy Cable Disconnect");
  EXPECT_EQ(m.text(Ctl::CABLE_TEXT),
            "If you plan to unplug the Ethernet\n cable  from the Lumvex, \nyou must Disconnect Now");
  EXPECT_EQ(m.label(Ctl::DISC_BUTTON), "DISCONNECT NOW");
  EXPECT_EQ(m.label(Ctl::STAY_CONN_BUTT), "STAY CONNECTED");
  m.setActivePage(1);
  m.commit(Ctl::STAY_CONN_BUTT);
  EXPECT_FALSE(m.panel(Panel::CableDisconnect).visible);
  EXPECT_EQ(m.activePage(), 0);
  EXPECT_EQ(s.op.delayedMs, 1000);
  EXPECT_EQ(s.st.session.unitStatus, 1) << "staying connected keeps the session";

  // Software trigger sent by the station as a raw command.
  std::string buf = CommandFrame("T#");
  ASSERT_EQ(sendRcv(s.st, buf), 0);
  std::string a, b;
  EXPECT_EQ(Parser("T", buf, a, b), 0);
  s.tick();
  EXPECT_EQ(s.st.session.unitStatus, 2);
  EXPECT_EQ(m.text(Ctl::STATUSBOX), "Collecting Post-Trigger Data and storing to flash");
  EXPECT_EQ(m[Ctl::STATUSBOX].textColour, 0x800000u);
  EXPECT_TRUE(m.dimmed(Ctl::ARM_BUT));
  EXPECT_FALSE(m.visible(Ctl::TRIGGER_BUT));

  // The post-trigger time elapses in real time, then the unit stores.
  ASSERT_TRUE(s.tickUntil(3, 2000));
  EXPECT_EQ(m.text(Ctl::STATUSBOX), "Connected - Idle");
  EXPECT_EQ(m[Ctl::STATUSBOX].textColour, 0x008000u);
  EXPECT_FALSE(m.timerRunning()) << "nothing changes in state 3 without the operator";
  EXPECT_FALSE(m.dimmed(Ctl::ERASE_BUT));
  EXPECT_FALSE(m.dimmed(Ctl::DOWNLOAD_BUT));
  EXPECT_TRUE(m.dimmed(Ctl::ARM_BUT));
  EXPECT_TRUE(m.pageVisible(2));

  // Erase with progress polling, as the erase button does it.
  ASSERT_EQ(WriteRaw(s.st, "ERASE#147\r\n", 11), 0);
  std::string line;
  bool finished = false;
  for (int i = 0; i < 200 && !finished; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    line = CommandFrame("E#");
    ASSERT_EQ(sendRcv(s.st, line), 0);
    finished = line.find("ERASE") != std::string::npos;
  }
  ASSERT_TRUE(finished);
  EXPECT_EQ(Parser("ERASE", line, a, b), 0);
  EXPECT_EQ(a, "0");
  EXPECT_EQ(ReadLine(s.st, line, 126), 0);
  s.st.session.unitStatus = CheckStatus(s.st);
  CtrlScreens(s.st);
  EXPECT_EQ(s.st.session.unitStatus, 0);
  EXPECT_TRUE(m.timerRunning());
  EXPECT_TRUE(m.dimmed(Ctl::ERASE_BUT));
  EXPECT_TRUE(s.op.messages().empty()) << ::testing::PrintToString(s.op.messages());
}

TEST(TcpSession, ArmedByItsOwnInputWhileWatchedThenDisconnectNow) {
  SimStation s;
  ASSERT_TRUE(s.connect());
  s.tick();
  EXPECT_FALSE(s.st.model.panel(Panel::CableDisconnect).visible);
  s.sim().armByInputAfter(0);
  s.tick();
  EXPECT_EQ(s.st.session.unitStatus, 1);
  ASSERT_TRUE(s.st.session.cableDisconnectPanel);
  s.st.model.setActivePage(4);
  s.st.model.commit(Ctl::DISC_BUTTON);
  EXPECT_FALSE(s.st.model.panel(Panel::CableDisconnect).visible);
  EXPECT_FALSE(s.st.session.cableDisconnectPanel);
  EXPECT_EQ(s.st.model.activePage(), 0);
  expectDisconnectedScreen(s.st);
}

TEST(TcpSession, ConnectingToARecordingUnitShowsItsStatusAtOnce) {
  SimStation s;
  s.sim().withUnit([](sim::UnitState& u) {
    u.status = 2;
    u.triggeredAt = sim::Clock::now();
    u.postTriggerMs = 200;
    u.storeMs = 20;
  });
  ASSERT_TRUE(s.connect());
  EXPECT_EQ(s.st.session.unitStatus, 2);
  EXPECT_EQ(s.st.model.text(Ctl::STATUSBOX), "Collecting Post-Trigger Data and storing to flash");
  EXPECT_NE(s.st.session.needsScreenSetup, 0) << "not identified while recording";
  for (Ctl c : {Ctl::LXtype, Ctl::SERNUM, Ctl::FIRMWARE}) EXPECT_EQ(s.st.model.text(c), "") << controlName(c);
  EXPECT_EQ(sent(s, "WHO_ARE_YOU"), 0);
  EXPECT_TRUE(s.st.model.timerRunning());
  EXPECT_FALSE(s.st.model.panel(Panel::CableDisconnect).visible) << "the prompt is for 0 -> 1 only";

  // The first state 3 seen identifies the unit, once.
  ASSERT_TRUE(s.tickUntil(3, 2000));
  EXPECT_EQ(s.st.session.needsScreenSetup, 0);
  EXPECT_EQ(s.st.model.text(Ctl::LXtype), "WorldSID");
  EXPECT_EQ(s.st.model.text(Ctl::SERNUM), "150");
  EXPECT_EQ(sent(s, "WHO_ARE_YOU"), 1);
  s.st.session.unitStatus = 0;
  CtrlScreens(s.st);
  EXPECT_EQ(sent(s, "WHO_ARE_YOU"), 1) << "identified once per connection";
  EXPECT_TRUE(s.op.messages().empty()) << ::testing::PrintToString(s.op.messages());
}

TEST(TcpSession, LinkLostOnAPollDisconnectsAndStopsTheTimer) {
  SimStation s;
  ASSERT_TRUE(s.connect());
  s.st.session.demoRunning = 1;
  s.sim().dropClients();
  s.tick();
  EXPECT_EQ(s.op.messages(), std::vector<std::string>{std::string("Communication Error: ") + kLost});
  expectDisconnectedScreen(s.st);
  size_t before = s.op.transcript.size();
  s.tick();  // a tick after the disconnect does nothing
  EXPECT_EQ(s.op.transcript.size(), before);
}

// Arming and the software trigger lose the link in their own exchange: the
// screens show it at once, not a connected unit with a closed link.
TEST(TcpSession, LinkLostOnArmOrTriggerShowsTheDisconnectedScreen) {
  for (const std::string cmd : {"ARM", "T"}) {
    SCOPED_TRACE(cmd);
    SimStation s;
    ASSERT_TRUE(s.connect());
    Model& m = s.st.model;
    m.setNumber(Ctl::TPOST, 200);
    if (cmd == "T") {
      m.commit(Ctl::ARM_BUT);
      ASSERT_EQ(m.label(Ctl::ARM_BUT), "DISARM");
    }
    s.sim().addFault(fault(FaultKind::DropAtCommand, cmd));
    m.commit(cmd == "T" ? Ctl::TRIGGER_BUT : Ctl::ARM_BUT);
    EXPECT_TRUE(s.op.showed("Communication Error", kLost));
    expectDisconnectedScreen(s.st);
  }
}

TEST(TcpSession, DropAtTheNthCommandIsALostLink) {
  SimStation s;
  s.sim().addFault(fault(FaultKind::DropAtCommand, "S", 3));
  ASSERT_TRUE(s.connect());
  s.tick();
  EXPECT_EQ(s.st.session.unitStatus, 0);
  s.tick();
  EXPECT_TRUE(s.op.showed("Communication Error", kLost));
  expectDisconnectedScreen(s.st);
}

TEST(TcpSession, DropInTheMiddleOfAReplyIsALostLinkNotATimeOut) {
  SimStation s(5000);  // a time-out would take 5 s; the test must not wait for it
  ASSERT_TRUE(s.connect());
  s.sim().addFault(fault(FaultKind::DropAfterBytes, "", 1, 1, 3));
  auto t0 = std::chrono::steady_clock::now();
  s.tick();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2000));
  EXPECT_TRUE(s.op.showed("Communication Error", kLost));
  expectDisconnectedScreen(s.st);
}

TEST(TcpSession, TimeOutThenContinueKeepsTheSession) {
  SimStation s(150);
  ASSERT_TRUE(s.connect());
  s.sim().addFault(fault(FaultKind::Stall));
  s.op.twoButtonAnswers.push_back(1);
  s.tick();
  ASSERT_EQ(s.op.transcript.size(), 1u);
  EXPECT_EQ(s.op.transcript[0].kind, Shown::TwoButton);
  EXPECT_EQ(s.op.transcript[0].title, "Communication Error");
  EXPECT_EQ(s.op.transcript[0].text, kCommError);
  EXPECT_EQ(s.op.transcript[0].answer, "Continue");
  EXPECT_EQ(s.st.session.unitStatus, 0);
  EXPECT_TRUE(LinkOpen(s.st));
  EXPECT_TRUE(s.st.model.timerRunning());
  s.sim().arm(0, 1000);
  s.tick();
  EXPECT_EQ(s.st.session.unitStatus, 1) << "the next tick tries again";
}

// A reply that comes after its time-out (and after "Continue" cleared the
// link) must not be taken for the answer to the next command.
TEST(TcpSession, LateReplyIsNotTakenForTheNextOne) {
  SimStation s(150);
  ASSERT_TRUE(s.connect());
  s.sim().addFault(fault(FaultKind::Stall, "S", 1, 1, 350));  // ms, past the 150 ms time-out
  s.op.twoButtonAnswers.push_back(1);
  s.tick();
  ASSERT_EQ(s.op.transcript.size(), 1u);
  EXPECT_EQ(s.op.transcript[0].answer, "Continue");
  // The late "ready" reply lands now; then the unit is armed.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  s.sim().arm(0, 1000);
  s.tick();
  EXPECT_EQ(s.st.session.unitStatus, 1) << "the stale reply was read as the answer";
  EXPECT_EQ(s.op.transcript.size(), 1u);
}

TEST(TcpSession, TimeOutThenDisconnectStopsTheLoopsAndShowsPageZero) {
  SimStation s(150);
  ASSERT_TRUE(s.connect());
  s.sim().addFault(fault(FaultKind::Stall));
  s.st.session.demoRunning = 1;
  s.st.session.ioCheckRunning = 1;
  s.st.model.setActivePage(3);
  s.op.twoButtonAnswers.push_back(2);
  auto t0 = std::chrono::steady_clock::now();
  s.tick();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1500));
  ASSERT_FALSE(s.op.transcript.empty());
  EXPECT_EQ(s.op.transcript[0].answer, "Disconnect");
  EXPECT_EQ(s.st.session.demoRunning, 0);
  EXPECT_EQ(s.st.session.ioCheckRunning, 0);
  EXPECT_EQ(s.st.model.activePage(), 0);
  expectDisconnectedScreen(s.st);
  EXPECT_TRUE(s.op.messages().empty()) << "no second message after the box";
}

TEST(TcpSession, IdleRowsReadTheSideBatteryAndWindowRecordingRowsReadNothing) {
  SimStation s;
  s.st.ini.FuelGaugeInstalled = 1;
  s.sim().withUnit([](sim::UnitState& u) {
    u.storeMs = 20;
    u.props["side"] = "RIGHT";
    u.props["battery.charge"] = "64";
  });
  ASSERT_TRUE(s.connect());
  const Model& m = s.st.model;
  EXPECT_GE(sent(s, "DIRECTION"), 1);
  EXPECT_EQ(s.st.session.DirectionText, "Right Side");
  EXPECT_TRUE(m.visible(Ctl::LX_DIRECTION));
  EXPECT_GE(sent(s, "GETBATINFO"), 1);
  EXPECT_TRUE(m.visible(Ctl::BATT_FUEL));
  EXPECT_EQ(m.number(Ctl::BATT_FUEL), 64);

  int side = sent(s, "DIRECTION"), batt = sent(s, "GETBATINFO"), window = sent(s, "DUMPINFO");
  s.sim().arm(0, 40);
  s.tick();
  ASSERT_EQ(s.st.session.unitStatus, 1);
  s.sim().trigger();
  s.tick();
  ASSERT_EQ(s.st.session.unitStatus, 2);
  EXPECT_EQ(sent(s, "DIRECTION"), side) << "nothing but the status while recording";
  EXPECT_EQ(sent(s, "GETBATINFO"), batt);
  EXPECT_EQ(sent(s, "DUMPINFO"), window);

  ASSERT_TRUE(s.tickUntil(3, 2000));
  EXPECT_EQ(sent(s, "DUMPINFO"), window + 1);
  EXPECT_EQ(m.text(Ctl::DATA_STRT), "-1000");
  EXPECT_EQ(m.text(Ctl::DATA_STOP), "40");
  EXPECT_EQ(sent(s, "DIRECTION"), side + 1);
  EXPECT_EQ(sent(s, "GETBATINFO"), batt + 1);
  EXPECT_TRUE(s.op.messages().empty()) << ::testing::PrintToString(s.op.messages());
}

TEST(TcpSession, BatteryIsReadForAnLx2WithAGaugeAndTheSideForWorldSid) {
  struct Case {
    const char* type;
    const char* firmware;
    int gauge;
    bool side, battery;
  } cases[] = {
      {"WorldSID", "V7.3", 1, true, false},
      {"WorldSID Female", "LX2 V8.0", 0, true, false},
      {"Hybrid III 50th", "LX2 V8.0", 1, false, true},
      {"Polar", "V6.1", 1, false, false},
  };
  for (const Case& c : cases) {
    SimStation s;
    s.st.ini.FuelGaugeInstalled = c.gauge;
    s.sim().withUnit([&](sim::UnitState& u) {
      u.props["type"] = c.type;
      u.props["firmware"] = c.firmware;
    });
    ASSERT_TRUE(s.connect()) << c.type;
    EXPECT_EQ(sent(s, "DIRECTION") > 0, c.side) << c.type << " " << c.firmware;
    EXPECT_EQ(sent(s, "GETBATINFO") > 0, c.battery) << c.type << " " << c.firmware;
    EXPECT_EQ(s.st.model.visible(Ctl::BATT_FUEL), c.battery) << c.type;
  }
}

TEST(TcpSession, LinkLostWhileTheStoredRowQueriesTheUnitEndsDisconnected) {
  SimStation s;
  ASSERT_TRUE(s.connect());
  s.sim().addFault(fault(FaultKind::DropAtCommand, "DUMPINFO"));
  s.sim().withUnit([](sim::UnitState& u) { u.status = 3; });
  s.tick();  // 0 -> 3: the row for a stored recording reads the recorded window
  EXPECT_EQ(s.op.messages(), std::vector<std::string>{std::string("Communication Error: ") + kLost});
  expectDisconnectedScreen(s.st);
  EXPECT_FALSE(s.st.model.visible(Ctl::CHECK_BATT));
}

TEST(TcpSession, DisconnectChosenWhileTheSideIsQueriedEndsDisconnected) {
  SimStation s(150);
  s.st.ini.FuelGaugeInstalled = 1;  // the simulated unit is an LX2 WorldSID: its battery is read too
  ASSERT_TRUE(s.connect());
  ASSERT_TRUE(s.st.model.visible(Ctl::BATT_FUEL));
  s.sim().addFault(fault(FaultKind::Stall, "DIRECTION"));
  s.sim().withUnit([](sim::UnitState& u) { u.status = 3; });
  s.op.twoButtonAnswers.push_back(2);
  s.tick();
  ASSERT_EQ(s.op.transcript.size(), 1u) << "nothing is sent after the box: the link is closed";
  EXPECT_EQ(s.op.transcript[0].text, kCommError);
  EXPECT_EQ(s.op.transcript[0].answer, "Disconnect");
  expectDisconnectedScreen(s.st);
  for (Ctl c : {Ctl::BATT_VOLTS, Ctl::CHECK_BATT, Ctl::BATT_SPLITTER}) EXPECT_FALSE(s.st.model.visible(c));
}

class MalformedReply : public ::testing::TestWithParam<FaultKind> {};

TEST_P(MalformedReply, IsReportedInCheckStatusAndTheSessionStays) {
  SimStation s;
  ASSERT_TRUE(s.connect());
  s.sim().addFault(fault(GetParam()));
  s.tick();
  EXPECT_EQ(s.op.messages(), std::vector<std::string>{"COMM ERROR: in check status"});
  EXPECT_EQ(s.st.session.unitStatus, 0);
  EXPECT_TRUE(LinkOpen(s.st));
  EXPECT_TRUE(s.st.model.timerRunning());
  // The next poll is in step again (an over-long line leaves no tail behind).
  s.sim().arm(0, 1000);
  s.tick();
  EXPECT_EQ(s.st.session.unitStatus, 1);
  EXPECT_EQ(s.op.messages().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Faults, MalformedReply,
                         ::testing::Values(FaultKind::CorruptChecksum, FaultKind::WrongName,
                                           FaultKind::ExtraFields, FaultKind::LongLine));

TEST(TcpSession, StatusOutOfRangeIsAnErrorWithoutAMessage) {
  sim::CommandTable t;
  int reply = 0;
  t.add("S", [&reply](sim::Exchange& x) { x.reply({std::to_string(reply)}); });
  SimStation s(300, std::move(t), false);
  ASSERT_TRUE(s.connect());
  reply = 4;
  EXPECT_EQ(CheckStatus(s.st), -1);
  reply = -1;
  EXPECT_EQ(CheckStatus(s.st), -1);
  reply = 3;
  EXPECT_EQ(CheckStatus(s.st), 3);
  EXPECT_TRUE(s.op.messages().empty());
}

TEST(TcpSession, AUnitAnsweringMinusOneAtConnectLeavesNoLinkOpen) {
  sim::CommandTable t;
  t.add("S", [](sim::Exchange& x) { x.reply({"-1"}); });
  SimStation s(300, std::move(t), false);
  EXPECT_FALSE(s.connect());
  EXPECT_EQ(s.op.messages(), std::vector<std::string>{"Error: Could not open the COM port"});
  EXPECT_FALSE(LinkOpen(s.st));
  EXPECT_TRUE(SimStation::waitFor([&] { return s.sim().connectionCount() == 0; }));
}

TEST(TcpSession, NoUnitListeningCannotOpen) {
  SimStation s;
  s.st.model.setText(Ctl::IPADDRESS, "127.0.0.1:" + std::to_string(freePort()));
  EXPECT_FALSE(s.connect());
  EXPECT_EQ(s.op.messages(), std::vector<std::string>{"Error: Could not open the COM port"});
  EXPECT_EQ(s.st.session.unitStatus, -1);
  EXPECT_FALSE(LinkOpen(s.st));
}

TEST(EthernetSync, FiveBadRepliesGiveUp) {
  SimStation s(100);
  s.sim().addFault(fault(FaultKind::CorruptChecksum, "S", 1, 0));
  EXPECT_FALSE(s.connect());
  EXPECT_EQ(countOf(s.sim().received(), "S#118"), 5);
  EXPECT_EQ(s.op.messages(), (std::vector<std::string>{"Comm Error: could not synch with Lumvex",
                                                       "Error: Could not open the COM port"}));
  EXPECT_EQ(s.st.session.unitStatus, -1);
  EXPECT_FALSE(LinkOpen(s.st));
}

TEST(EthernetSync, FiveSilentAttemptsTakeFiveTimeOuts) {
  SimStation s(60);
  s.sim().addFault(fault(FaultKind::Stall, "S", 1, 0));
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(s.connect());
  auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_GE(ms, 5 * 55);
  EXPECT_LT(ms, 2000);
  EXPECT_EQ(countOf(s.sim().received(), "S#118"), 5);
  EXPECT_TRUE(s.op.showed("Comm Error", "could not synch with Lumvex"));
}

TEST(EthernetSync, TheFifthAttemptMaySucceed) {
  SimStation s(100);
  s.sim().addFault(fault(FaultKind::WrongName, "S", 1, 4));
  ASSERT_TRUE(s.connect());
  EXPECT_EQ(countOf(s.sim().received(), "S#118"), 5);
  EXPECT_EQ(s.st.session.unitStatus, 0);
  EXPECT_TRUE(s.op.messages().empty());
}

TEST(EthernetSync, ALostLinkEndsAtOnceWithoutTheSynchMessage) {
  SimStation s(100);
  s.sim().addFault(fault(FaultKind::DropAtCommand, "S"));
  EXPECT_FALSE(s.connect());
  EXPECT_EQ(countOf(s.sim().received(), "S#118"), 1);
  EXPECT_EQ(s.op.messages(), std::vector<std::string>{"Error: Could not open the COM port"});
  EXPECT_EQ(s.st.session.unitStatus, -1);
}

TEST(EthernetSync, ReturnsTheFirstFieldOfTheStatusReply) {
  SimStation s(100);
  s.sim().withUnit([](sim::UnitState& u) { u.status = 3; });
  ASSERT_EQ(ConnectEthernet(s.st, "127.0.0.1:" + std::to_string(s.port), 0), 0);
  EXPECT_EQ(EthernetSync(s.st), 3);
}

TEST(ConnectEthernet, ThePortFollowsTheFlagUnlessTheAddressNamesOne) {
  for (int flag : {0, 1}) {
    int port = flag ? 1066 : 3000;
    sim::Simulator sim;
    if (sim.listenTcp("127.0.0.1", port) != port) {
      GTEST_SKIP() << "port " << port << " is in use here";
    }
    sim.start();
    ScriptedOperator op;
    auto st = std::make_unique<Station>(op);
    EXPECT_EQ(ConnectEthernet(*st, "127.0.0.1", flag), 0) << port;
    EXPECT_EQ(st->session.linkKind, LinkEthernet);
    EXPECT_EQ(ConnectEthernet(*st, "127.0.0.1", flag ? 0 : 1), -1) << "the other port has no unit";
    Disconnect(*st);
  }
}

TEST(TcpSession, Port1066SelectorStateConnectsWithAnExplicitPort) {
  SimStation s;
  s.st.model.edit(Ctl::CONNECTION).index = 2;
  ASSERT_TRUE(s.connect());
  EXPECT_EQ(s.st.session.unitStatus, 0);
}

TEST(LinkTimeout, RestingValueStandsForTheSessionsOwn) {
  SimStation s(120);
  ASSERT_TRUE(s.connect());
  EXPECT_EQ(s.st.session.linkHandle->timeout(), 120);
  ASSERT_EQ(SetLinkTimeout(s.st, 10000), 0);
  EXPECT_EQ(s.st.session.linkHandle->timeout(), 10000);
  ASSERT_EQ(SetLinkTimeout(s.st, kRestingTimeoutMs), 0);
  EXPECT_EQ(s.st.session.linkHandle->timeout(), 120);
  EXPECT_EQ(SetLinkTimeout(s.st, -5), -1);
  Disconnect(s.st);
  EXPECT_EQ(SetLinkTimeout(s.st, 100), -1);
  EXPECT_EQ(SetLineMode(s.st, false), -1);
  std::string buf = CommandFrame("S#");
  EXPECT_EQ(sendRcv(s.st, buf), -2) << "no link: nothing to send on";
}

namespace {

// Runs a nested callback while the Continue / Disconnect box is up, as the
// event loop may, then answers with `answer`.
struct NestingOperator : ScriptedOperator {
  std::function<void()> whileAsking;
  int answer = 1;
  int twoButton(std::string_view title, std::string_view text, std::string_view first,
                std::string_view second) override {
    if (whileAsking) {
      auto f = std::move(whileAsking);
      whileAsking = nullptr;
      f();
    }
    twoButtonAnswers.push_back(answer);
    return ScriptedOperator::twoButton(title, text, first, second);
  }
};

}  // namespace

TEST(TcpSession, NestedPollDuringTheErrorBoxFindsAWorkingLink) {
  SimStation s(120);
  NestingOperator op;
  s.st.ui = &op;
  ASSERT_TRUE(s.connect());
  s.sim().addFault(fault(FaultKind::Stall));
  s.sim().arm(0, 1000);
  int nested = -9;
  op.whileAsking = [&] {
    s.tick();
    nested = s.st.session.unitStatus;
  };
  s.tick();
  EXPECT_EQ(nested, 1) << "the nested poll got its own reply";
  EXPECT_EQ(s.st.session.unitStatus, 1);
  EXPECT_TRUE(LinkOpen(s.st));
}

TEST(TcpSession, NestedDisconnectDuringTheErrorBoxThenContinue) {
  SimStation s(120);
  NestingOperator op;
  s.st.ui = &op;
  ASSERT_TRUE(s.connect());
  s.sim().addFault(fault(FaultKind::Stall));
  op.whileAsking = [&] { s.st.model.commit(Ctl::CONNECT); };  // the operator disconnects meanwhile
  s.tick();
  EXPECT_EQ(s.st.session.unitStatus, -1);
  EXPECT_FALSE(LinkOpen(s.st));
  EXPECT_EQ(s.st.model.text(Ctl::STATUSBOX), "Disconnected");
  s.tick();
  EXPECT_EQ(op.transcript.size(), 1u) << "nothing more is sent or asked";
}
