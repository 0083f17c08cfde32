// The simulated unit: its recording state machine against a made-up clock,
// the fault specs, and over a real loopback socket its framing, the faults
// it injects and the way a command file extends it.
#include "link/link.h"
#include "platform/transport.h"
#include "sim/commands.h"
#include "sim/options.h"
#include "sim/unit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

using namespace lumvex;
using namespace lumvex::sim;
using std::chrono::milliseconds;

TEST(UnitStateMachine, ArmTriggerStoreEraseFollowsTheClock) {
  UnitState u;
  u.storeMs = 50;
  u.eraseMs = 100;
  auto t = Clock::time_point{} + std::chrono::hours(1);
  std::string f1, f2;
  ArmUnit(u, 0, 200, t, f1, f2);
  EXPECT_EQ(f1, "OK");
  EXPECT_EQ(f2, "OK");
  EXPECT_EQ(u.status, 1);
  Advance(u, t + milliseconds(10000));
  EXPECT_EQ(u.status, 1) << "armed units wait for a trigger";
  TriggerUnit(u, t + milliseconds(10000));
  EXPECT_EQ(u.status, 2);
  Advance(u, t + milliseconds(10249));
  EXPECT_EQ(u.status, 2);
  Advance(u, t + milliseconds(10250));
  EXPECT_EQ(u.status, 3) << "post-trigger time plus storing";
  ArmUnit(u, 0, 200, t, f1, f2);
  EXPECT_NE(f1.find("ERASED"), std::string::npos);
  EXPECT_EQ(u.status, 3);
  StartErase(u, t + milliseconds(20000));
  Advance(u, t + milliseconds(20099));
  EXPECT_TRUE(u.erasing);
  Advance(u, t + milliseconds(20100));
  EXPECT_FALSE(u.erasing);
  EXPECT_TRUE(u.eraseReplyDue);
  EXPECT_EQ(u.status, 0);
}

TEST(UnitStateMachine, RefusedArmTimesLeaveTheUnitReady) {
  UnitState u;
  u.props["type"] = "Polar";
  auto t = Clock::now();
  std::string f1, f2;
  ArmUnit(u, 5, 1000, t, f1, f2);
  EXPECT_EQ(f1, "BAD");
  EXPECT_EQ(f2, "OK");
  ArmUnit(u, 0, 30000, t, f1, f2);
  EXPECT_EQ(f2, "BAD");
  ArmUnit(u, 0, 0, t, f1, f2);
  EXPECT_EQ(f2, "BAD");
  ArmUnit(u, 30001, 1000, t, f1, f2);
  EXPECT_EQ(f1, "BAD");
  EXPECT_EQ(u.status, 0);
  ArmUnit(u, 30000, 29999, t, f1, f2);
  EXPECT_EQ(u.status, 1);
  DisarmUnit(u);
  EXPECT_EQ(u.status, 0);
}

TEST(UnitStateMachine, ArmLimitsFollowTheFamilyAndRefusalsComeOnDemand) {
  UnitState u;
  auto t = Clock::now();
  std::string f1, f2;
  struct {
    const char* type;
    const char* firmware;
    int limit;  // ms
  } cases[] = {{"WorldSID", "V7.3", 25000},
               {"WorldSID Female", "V7.3", 25000},
               {"WorldSID", "LX2 V8.0", 180000},
               {"WorldSID Female", "LX2 V8.0", 180000},
               {"Hybrid III 50th", "LX2 V8.0", 30000},
               {"SIDIIs", "V6", 30000}};
  for (const auto& c : cases) {
    u.props["type"] = c.type;
    u.props["firmware"] = c.firmware;
    EXPECT_EQ(FamilyArmLimitMs(u), c.limit) << c.type << " " << c.firmware;
    ArmUnit(u, c.limit + 1, c.limit, t, f1, f2);
    EXPECT_EQ(f1, "BAD") << c.type;
    EXPECT_EQ(f2, "BAD") << c.type;
    ArmUnit(u, c.limit, c.limit - 1, t, f1, f2);
    EXPECT_EQ(f1 + f2, "OKOK") << c.type;
    DisarmUnit(u);
  }
  u.props["arm.refuse"] = "post";
  ArmUnit(u, 0, 300, t, f1, f2);
  EXPECT_EQ(f1 + "/" + f2, "OK/BAD");
  u.props["arm.refuse"] = "stop,post";
  ArmUnit(u, 0, 300, t, f1, f2);
  EXPECT_EQ(f1 + "/" + f2, "BAD/BAD");
  EXPECT_EQ(u.status, 0);
  // A held recording is refused whatever the times.
  u.props.erase("arm.refuse");
  u.status = 3;
  ArmUnit(u, 0, 300, t, f1, f2);
  EXPECT_EQ(f1, "NOT ERASED");
  EXPECT_EQ(u.status, 3);
}

TEST(UnitStateMachine, OwnInputsArmAndTrigger) {
  UnitState u;
  u.storeMs = 0;
  u.postTriggerMs = 100;
  u.triggerByInputAfterMs = 30;
  auto t = Clock::now();
  u.armByInputPending = true;
  u.armByInputAt = t + milliseconds(500);
  Advance(u, t + milliseconds(499));
  EXPECT_EQ(u.status, 0);
  Advance(u, t + milliseconds(520));
  EXPECT_EQ(u.status, 1);
  Advance(u, t + milliseconds(530));
  EXPECT_EQ(u.status, 2);
  Advance(u, t + milliseconds(630));
  EXPECT_EQ(u.status, 3);
  EXPECT_FALSE(u.armByInputPending) << "the input arms once";
}

TEST(FaultSpec, ParsesKindCommandOccurrenceCountAndValue) {
  FaultRule r;
  ASSERT_TRUE(ParseFault("stall=S@3*2:5000", r));
  EXPECT_EQ(r.kind, FaultKind::Stall);
  EXPECT_EQ(r.command, "S");
  EXPECT_EQ(r.nth, 3);
  EXPECT_EQ(r.count, 2);
  EXPECT_EQ(r.value, 5000);
  ASSERT_TRUE(ParseFault("drop-bytes:10", r));
  EXPECT_EQ(r.kind, FaultKind::DropAfterBytes);
  EXPECT_EQ(r.value, 10);
  ASSERT_TRUE(ParseFault("corrupt", r));
  EXPECT_EQ(r.command, "");
  EXPECT_EQ(r.nth, 1);
  EXPECT_EQ(r.count, 1);
  std::string err;
  EXPECT_FALSE(ParseFault("explode=S", r, &err));
  EXPECT_FALSE(ParseFault("stall@0", r, &err));
  EXPECT_FALSE(ParseFault("stall:abc", r, &err));
  EXPECT_FALSE(ParseFault("drop-bytes", r, &err)) << "needs a byte count";
  EXPECT_FALSE(err.empty());
}

TEST(SimOptions, ParsesTheCommandLine) {
  const char* argv[] = {"lumvex-sim", "--port",       "0",           "--pty", "--state",
                        "3",          "--erase-ms",   "40",          "--set", "type=WorldSID 50th",
                        "--fault",    "wrong-name=S", "--arm-after", "100"};
  SimOptions o;
  std::string err;
  ASSERT_TRUE(ParseSimOptions(14, argv, o, err)) << err;
  EXPECT_EQ(o.port, 0);
  EXPECT_TRUE(o.pty);
  EXPECT_EQ(o.startState, 3);
  EXPECT_EQ(o.unit.eraseMs, 40);
  EXPECT_EQ(o.unit.prop("type"), "WorldSID 50th");
  ASSERT_EQ(o.faults.size(), 1u);
  EXPECT_EQ(o.faults[0].kind, FaultKind::WrongName);
  EXPECT_EQ(o.armAfterMs, 100);
  const char* bad[] = {"lumvex-sim", "--state", "4"};
  EXPECT_FALSE(ParseSimOptions(3, bad, o, err));
  const char* none[] = {"lumvex-sim", "--no-tcp"};
  SimOptions fresh;
  EXPECT_FALSE(ParseSimOptions(2, none, fresh, err));
  const char* help[] = {"lumvex-sim", "--no-tcp", "--help"};
  SimOptions asked;
  EXPECT_TRUE(ParseSimOptions(3, help, asked, err)) << "--help is answered whatever else is given";
  EXPECT_TRUE(asked.help);
  EXPECT_NE(std::string(SimUsage()).find("--fault"), std::string::npos);
}

TEST(SimFraming, RequestsAndReplies) {
  EXPECT_EQ(FrameReply("S", {"0"}), "S#0#201\r\n");
  EXPECT_EQ(FrameReply("D", {}), "D#103\r\n");
  Request r;
  ASSERT_TRUE(ParseRequest("ARM#0#2000#59", r));
  EXPECT_EQ(r.name, "ARM");
  ASSERT_EQ(r.args.size(), 2u);
  EXPECT_EQ(r.args[1], "2000");
  EXPECT_TRUE(r.checksumOk);
  ASSERT_TRUE(ParseRequest("S#119", r));
  EXPECT_FALSE(r.checksumOk);
  EXPECT_FALSE(ParseRequest("HELLO", r));
}

namespace {

// A simulator on a loopback port and a raw client line to it.
struct SimClient {
  explicit SimClient(CommandTable t = DefaultCommands()) : sim(std::move(t)) {
    port = sim.listenTcp("127.0.0.1", 0);
    sim.start();
    link = Transport::openTcp("127.0.0.1", port, 1000);
    link->setTimeout(500);
  }
  // Sends a framed command and returns the reply line ("" on a time-out).
  IoStatus ask(std::string_view body, std::string& reply) {
    IoStatus s = link->write(CommandFrame(body));
    if (s != IoStatus::Ok) return s;
    return link->readLine(reply, 8192);
  }
  std::string ask(std::string_view body) {
    std::string r;
    ask(body, r);
    return r;
  }
  Simulator sim;
  int port = -1;
  std::shared_ptr<Transport> link;
};

}  // namespace

TEST(SimOverTcp, AnswersStatusArmTriggerAndErase) {
  SimClient c;
  c.sim.withUnit([](UnitState& u) {
    u.storeMs = 0;
    u.eraseMs = 30;
  });
  EXPECT_EQ(c.ask("S#"), "S#0#201\r\n");
  EXPECT_EQ(c.ask("ARM#0#20#"), FrameReply("ARM", {"OK", "OK"}));
  EXPECT_EQ(c.ask("S#"), "S#1#202\r\n");
  EXPECT_EQ(c.ask("T#"), "T#119\r\n");
  EXPECT_EQ(c.ask("S#"), "S#2#203\r\n");
  ASSERT_TRUE(c.sim.withUnit([](UnitState& u) { return u.status == 2; }));
  std::this_thread::sleep_for(milliseconds(25));
  EXPECT_EQ(c.ask("S#"), "S#3#204\r\n");
  // ERASE has no immediate reply; E reports progress, then ERASE and E.
  ASSERT_EQ(c.link->write("ERASE#147\r\n"), IoStatus::Ok);
  std::string first = c.ask("E#");
  EXPECT_EQ(first.rfind("E#", 0), 0u) << first;
  std::this_thread::sleep_for(milliseconds(35));
  EXPECT_EQ(c.ask("E#"), "ERASE#0#" + std::to_string(FrameChecksum("ERASE#0#")) + "\r\n");
  std::string last;
  EXPECT_EQ(c.link->readLine(last, 200), IoStatus::Ok);
  EXPECT_EQ(last, FrameReply("E", {"64", "64"}));
  EXPECT_EQ(c.ask("S#"), "S#0#201\r\n");
  EXPECT_EQ(c.ask("NOSUCH#"), FrameReply("NOSUCH", {"ERROR"}));
}

TEST(SimOverTcp, IgnoresACommandWithABadChecksum) {
  SimClient c;
  c.link->setTimeout(50);
  ASSERT_EQ(c.link->write("S#117\r\n"), IoStatus::Ok);
  std::string r;
  EXPECT_EQ(c.link->readLine(r, 100), IoStatus::Timeout);
  EXPECT_EQ(c.sim.received().back(), "S#117");
}

TEST(SimFaults, ReplyFaultsHitTheChosenOccurrenceOnly) {
  SimClient c;
  FaultRule corrupt{FaultKind::CorruptChecksum, "S", 2, 1, -1};
  c.sim.addFault(corrupt);
  EXPECT_EQ(c.ask("S#"), "S#0#201\r\n");
  EXPECT_EQ(c.ask("S#"), "S#0#202\r\n");
  EXPECT_EQ(c.ask("S#"), "S#0#201\r\n");
  c.sim.clearFaults();
  c.sim.addFault({FaultKind::WrongName, "S", 1, 1, -1});
  EXPECT_EQ(c.ask("S#"), FrameReply("s", {"0"}));
  c.sim.addFault({FaultKind::ExtraFields, "S", 1, 1, -1});
  EXPECT_EQ(c.ask("S#"), FrameReply("S", {"0", "0", "0"}));
  c.sim.addFault({FaultKind::LongLine, "S", 1, 1, 2500});
  std::string longReply = c.ask("S#");
  EXPECT_EQ(longReply.size(), 2500u);
  std::string a, b;
  EXPECT_EQ(Parser("S", longReply, a, b, 4096, 4096), 0) << "only its length is wrong";
  EXPECT_EQ(c.ask("S#"), "S#0#201\r\n");
}

TEST(SimFaults, StallHoldsTheReplyOrDropsIt) {
  SimClient c;
  c.sim.addFault({FaultKind::Stall, "S", 1, 1, 120});
  c.link->setTimeout(60);
  std::string r;
  EXPECT_EQ(c.ask("S#", r), IoStatus::Timeout);
  c.link->setTimeout(500);
  EXPECT_EQ(c.link->readLine(r, 100), IoStatus::Ok) << "the held reply arrives late";
  EXPECT_EQ(r, "S#0#201\r\n");
  c.sim.addFault({FaultKind::Stall, "S", 1, 1, -1});
  c.link->setTimeout(80);
  EXPECT_EQ(c.ask("S#", r), IoStatus::Timeout);
  EXPECT_EQ(c.ask("S#"), "S#0#201\r\n") << "the next command is answered";
}

TEST(SimFaults, DropAtCommandAndAfterBytesCloseTheConnection) {
  SimClient c;
  c.sim.addFault({FaultKind::DropAtCommand, "", 2, 1, -1});
  EXPECT_EQ(c.ask("S#"), "S#0#201\r\n");
  std::string r;
  EXPECT_EQ(c.ask("S#", r), IoStatus::Lost);
  EXPECT_EQ(r, "");
  // A new connection is served again; this one loses the link mid-reply.
  c.link = Transport::openTcp("127.0.0.1", c.port, 1000);
  ASSERT_TRUE(c.link);
  c.link->setTimeout(500);
  c.sim.addFault({FaultKind::DropAfterBytes, "", 1, 1, 3});
  EXPECT_EQ(c.ask("S#", r), IoStatus::Lost);
  EXPECT_EQ(r, "S#0");
}

TEST(SimOverTcp, AClientHangingUpMidDownloadLeavesTheUnitServing) {
  SimClient c;
  c.sim.withUnit([](UnitState& u) {
    u.status = 3;
    u.props["type"] = "WorldSID";
    u.props["window.start"] = "-10000";
    u.props["window.stop"] = "10000";
  });
  // About 24 MB of records follow the reply line; nobody reads them. The
  // simulator makes them all before it answers.
  c.link->setTimeout(20000);
  std::string r;
  ASSERT_EQ(c.ask("DUMPBINA#-10000#10000#", r), IoStatus::Ok);
  EXPECT_EQ(r.rfind("DUMPBINA#60#200001#", 0), 0u) << r;
  c.link.reset();
  for (int k = 0; k < 300 && c.sim.connectionCount() > 0; ++k) std::this_thread::sleep_for(milliseconds(10));
  EXPECT_EQ(c.sim.connectionCount(), 0);
  c.link = Transport::openTcp("127.0.0.1", c.port, 1000);
  ASSERT_TRUE(c.link);
  c.link->setTimeout(500);
  EXPECT_EQ(c.ask("S#").rfind("S#3#", 0), 0u);
}

// How a command file extends the unit: a handler that takes a second line.
TEST(SimExtension, HandlersRegisterAndTakeFollowUpInput) {
  CommandTable t = DefaultCommands();
  t.add("SETTESTCOMMENT", [](Exchange& x) {
    x.reply({"SEND COMMENT"});
    x.expectLine([](Exchange& y, std::string_view line) {
      y.unit.props["comment"] = std::string(line);
      y.replyAs("COMMENT", {"OK"});
    });
  });
  t.add("S", [](Exchange& x) { x.reply({"7"}); });  // replaces the built-in one
  SimClient c(std::move(t));
  EXPECT_EQ(c.ask("SETTESTCOMMENT#"), FrameReply("SETTESTCOMMENT", {"SEND COMMENT"}));
  ASSERT_EQ(c.link->write("crash 42\r\n"), IoStatus::Ok);
  std::string r;
  ASSERT_EQ(c.link->readLine(r, 100), IoStatus::Ok);
  EXPECT_EQ(r, FrameReply("COMMENT", {"OK"}));
  EXPECT_EQ(c.sim.withUnit([](UnitState& u) { return u.prop("comment"); }), "crash 42");
  EXPECT_EQ(c.ask("S#"), FrameReply("S", {"7"}));
}
