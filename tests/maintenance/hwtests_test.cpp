// The diagnostic unit commands and the one-shot tests against the simulated
// unit: every parse-failure text, the result boxes (RAM address in hex, the
// failed exchange as FFFFFFFF, SD card codes), the long time-outs and the
// resting one restored; and the trigger check with its lamps and caption.
#include "link/link.h"
#include "maintenance/hwtests.h"
#include "maintenance/trigger.h"
#include "platform/transport.h"
#include "support/diag_station.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace lumvex;
using lumvex::testing::DiagStation;
using lumvex::testing::line;

namespace {

using Lines = std::vector<std::string>;

// A Hybrid III unit whose memory tests answer at once (so that the fault
// rules reach them); resting time-out 300 ms.
struct Unit : DiagStation {
  explicit Unit(Props extra = {}) : DiagStation({{"type", "Hybrid III 50th"}, {"serial", "150"}}, 300) {
    for (auto p : {"ram.ms", "flash.ms", "sd.ms"}) set(p, "0");
    for (const auto& [k, v] : extra) set(k, v);
    op.clear();
  }
  int timeout() const { return st.session.linkHandle ? st.session.linkHandle->timeout() : -1; }
};

}  // namespace

TEST(HwCommands, EveryParseFailureShowsItsText) {
  Unit u;
  ASSERT_TRUE(u.connected());
  Station& st = u.st;
  int readings[12];
  std::string text;
  struct Case {
    const char* command;
    std::function<int()> run;
    const char* failure;
    int result;
  } cases[] = {
      {"GETIO", [&] { return GetIO(st); }, "Error getting io info from the Lumvex", -1},
      {"SETOUTPUTS", [&] { return SetOutputs(st, 3); }, "Error setting Lumvex outputs", -1},
      {"CLEAROUTPUTS", [&] { return ClearOutputs(st, 3); }, "Error setting Lumvex outputs", -1},
      {"MANARMENABLE", [&] { return ManualArmCtrl(st, 1); }, "Error setting Lumvex Manual Arm control", -1},
      {"LEDAD", [&] { return LedAD(st, 1, 40, 4, readings); }, "Error in Led A/D routine", -1},
      {"TEMPERATURES", [&] { return CheckTemperatures(st, text); }, "in check temperature", -1},
      {"RAMTEST", [&] { return RamTest(st); }, "Error getting ram test result from the Lumvex", -1},
      {"FLASHTEST", [&] { return FlashTest(st); }, "Error getting flash test result from the Lumvex", -1},
      {"SDCARDTEST", [&] { return SDCardTest(st); }, "Error getting SD Card test result from the Lumvex", -1},
      {"ARMTRIGGER", [&] { return ArmTrigger(st); }, "in ArmTrigger", -1},
      {"TRIGGERCHECK", [&] { return CheckTrigger(st); }, "in check trigger", 0},
  };
  for (const Case& c : cases) {
    u.op.clear();
    u.sim.addFault({sim::FaultKind::CorruptChecksum, c.command});
    EXPECT_EQ(c.run(), c.result) << c.command;
    EXPECT_EQ(u.op.messages(), Lines{std::string("COMM ERROR: ") + c.failure}) << c.command;
    u.sim.clearFaults();
  }
  // Well answered: the input word, no box.
  u.op.clear();
  u.sim.withUnit([](sim::UnitState& s) { s.outputs = 0x0800; });  // trigger out: trigger in set
  EXPECT_EQ(GetIO(st), 0x0800 | 0x0100 | 0x0080 | 0x0200);        // arm in and other in idle high
  EXPECT_TRUE(u.op.transcript.empty());
}

TEST(HwCommands, ReadingsAndWordsAreReadWithinTheirField) {
  sim::CommandTable t = sim::DefaultCommands();
  t.add("LEDAD", [](sim::Exchange& x) { x.reply({" 5,-6x7"}); });
  DiagStation d({{"type", "Polar"}}, 2000, std::move(t));
  ASSERT_TRUE(d.connected());
  int r[5] = {9, 9, 9, 9, 9};
  EXPECT_EQ(LedAD(d.st, 1, 40, 4, r), 0);
  EXPECT_EQ((std::vector<int>(r, r + 5)), (std::vector<int>{5, -6, 7, 0, 9}));
  EXPECT_EQ(FieldWord32("4294967295"), 0xFFFFFFFFu);
  EXPECT_EQ(FieldWord32("99999999999"), 0xFFFFFFFFu);
  EXPECT_EQ(FieldWord32(" -1"), 0xFFFFFFFFu);
  EXPECT_EQ(FieldWord32("2147545088#"), 0x8000F000u);
}

TEST(HwTests, RamResultsAndTheLongTimeOut) {
  Unit u({{"ram.fail", "0x8000F000"}});
  ASSERT_TRUE(u.connected());
  EXPECT_EQ(RamCheck(u.st), -1);
  EXPECT_EQ(u.op.messages(), Lines{"Ram Check: Ram Failed at address 8000F000"});

  // Slower than the resting time-out, well within the test's own.
  u.set("ram.fail", "0");
  u.set("ram.ms", "800");
  u.op.clear();
  EXPECT_EQ(RamCheck(u.st), 0);
  EXPECT_EQ(u.op.messages(), Lines{"Ram Check: Ram is OK"});
  EXPECT_EQ(u.timeout(), 300) << "the resting time-out is back";

  // A failed exchange reads as -1: the box shows FFFFFFFF.
  u.op.clear();
  u.sim.addFault({sim::FaultKind::DropAtCommand, "RAMTEST"});
  EXPECT_EQ(RamCheck(u.st), -1);
  ASSERT_EQ(u.op.messages().size(), 2u);
  EXPECT_EQ(u.op.messages()[1], "Ram Check: Ram Failed at address FFFFFFFF");
}

TEST(HwTests, FlashAndSdCardResults) {
  Unit u({{"flash.fail", "0"}});
  ASSERT_TRUE(u.connected());
  EXPECT_EQ(FlashCheck(u.st), -1);
  EXPECT_EQ(u.lastReceived("FLASHTEST"), "FLASHTEST#209");
  u.set("flash.fail", "0x1F000");
  EXPECT_EQ(FlashCheck(u.st), -1);
  u.sim.withUnit([](sim::UnitState& s) { s.props.erase("flash.fail"); });
  EXPECT_EQ(FlashCheck(u.st), 0);
  EXPECT_EQ(u.op.messages(),
            (Lines{"Flash Check: Flash Failed at address 0", "Flash Check: Flash Failed at address 1F000",
                   "Flash Check: Flash is OK"}));

  u.op.clear();
  for (const char* code : {"0", "1", "2", "3", "4", "7"}) {
    u.set("sd.code", code);
    EXPECT_EQ(SdCardCheck(u.st), code[0] == '0' ? 0 : -1) << code;
  }
  u.sim.addFault({sim::FaultKind::CorruptChecksum, "SDCARDTEST"});
  EXPECT_EQ(SdCardCheck(u.st), -1);
  EXPECT_EQ(u.op.messages(), (Lines{"SD Card Check: SD Card is OK", "SD Card Check: Failed Status Check ",
                                    "SD Card Check: Block Erase Failed", "SD Card Check: Block Write Failed",
                                    "SD Card Check: Block Read Failed",
                                    "COMM ERROR: Error getting SD Card test result from the Lumvex",
                                    "SD Card Check: Bad check response from Lumvex"}));
  EXPECT_EQ(u.timeout(), 300);
}

TEST(TriggerTest, ArmedCheckLampsTheTriggerAfterASecond) {
  Unit u({{"triggercheck.after", "-1"}});
  ASSERT_TRUE(u.connected());
  Station& st = u.st;
  Model& m = st.model;
  int armResult = 1;
  bool pulsed = false;
  st.session.triggerTestRunning = 1;
  u.onPasses(st.session.triggerTestRunning, 200, [&](int n) {
    if (n == 1) {
      EXPECT_EQ(m.label(Ctl::TRIGGER_CHECK), "Start Trigger Check");
      armResult = ArmTriggerCheck(st);
      EXPECT_EQ(m.label(Ctl::TRIGGER_CHECK), "Stop Trigger Check");
      EXPECT_TRUE(m.number(Ctl::TRIG_ARMED) != 0 && m.number(Ctl::TRIG_LED) == 0);
    }
    if (n == 6 && !pulsed) {
      pulsed = true;
      u.set("triggercheck.pulse", "1");
    }
    if (m.number(Ctl::TRIG_LED) != 0) st.session.triggerTestRunning = 0;
  });
  const size_t from = u.mark();
  EXPECT_EQ(TriggerCheck(st), 0);
  EXPECT_EQ(armResult, 0);
  EXPECT_TRUE(m.number(Ctl::TRIG_LED) != 0 && m.number(Ctl::TRIG_ARMED) == 0);
  EXPECT_EQ(m.label(Ctl::TRIGGER_CHECK), "Start Trigger Check");
  EXPECT_EQ(st.session.triggerCheckArmed, 0);
  const Lines sent = u.since(from);
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent.front(), "ARMTRIGGER#23");
  // One query per second of waiting, none before the first second is over.
  const long queries = std::count(sent.begin(), sent.end(), "TRIGGERCHECK#149");
  EXPECT_EQ(queries, static_cast<long>(sent.size()) - 1);
  EXPECT_GE(u.op.delayedMs, queries * kTriggerPollMs);
}

TEST(TriggerTest, ARefusedArmShowsNothingArmedAndStopSendsNothing) {
  Unit u;
  ASSERT_TRUE(u.connected());
  Station& st = u.st;
  u.sim.addFault({sim::FaultKind::CorruptChecksum, "ARMTRIGGER"});
  EXPECT_EQ(ArmTriggerCheck(st), -1);
  EXPECT_EQ(u.op.messages(), Lines{"COMM ERROR: in ArmTrigger"});
  EXPECT_TRUE(st.model.number(Ctl::TRIG_ARMED) == 0 && st.session.triggerCheckArmed == 0);
  EXPECT_EQ(st.model.label(Ctl::TRIGGER_CHECK), "Start Trigger Check");

  // Stopped during the wait before the first query: the unit is not asked.
  st.session.triggerTestRunning = 1;
  u.onPasses(st.session.triggerTestRunning, 10, [&](int n) {
    if (n == 1) ArmTriggerCheck(st);
    if (n == 3) DisarmTriggerCheck(st);
  });
  const size_t from = u.mark();
  TriggerCheck(st);
  EXPECT_EQ(u.since(from), Lines{"ARMTRIGGER#23"});
  EXPECT_TRUE(st.model.number(Ctl::TRIG_ARMED) == 0 && st.model.number(Ctl::TRIG_LED) == 0);
}
