// The I/O check: the variant chosen by family and serial number, both output
// tables and the lamps, the exact traffic of one pass of each variant against
// the simulated unit, the lamps following the switches, the 0.5 s display
// interval, and how the loop ends (flag, nested loop, test button, the
// Disconnect choice of a failed exchange).
#include "link/link.h"
#include "maintenance/hwtests.h"
#include "maintenance/iocheck.h"
#include "maintenance/trigger.h"
#include "support/diag_station.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>

using namespace lumvex;
using lumvex::testing::DiagStation;
using lumvex::testing::line;

namespace {

using Lines = std::vector<std::string>;

bool lit(const Station& st, Ctl c) { return st.model.number(c) != 0; }

}  // namespace

TEST(IoCheck, VariantFollowsFamilyAndSerialNumber) {
  lumvex::testing::TestStation t;
  auto variant = [&](int type, const char* serial) {
    t.st.session.DummyType = type;
    t.st.model.setText(Ctl::SERNUM, serial);
    return IOCheckVariant(t.st);
  };
  EXPECT_EQ(variant(DummyWorldSID5th, "101"), IoVariant::RevD);
  EXPECT_EQ(variant(DummyWorldSID50th, "150"), IoVariant::RevD);
  EXPECT_EQ(variant(DummyWorldSID5th, "100"), IoVariant::RevBC);
  EXPECT_EQ(variant(DummyHybridIII50th, "150"), IoVariant::RevBC);
  EXPECT_EQ(variant(DummySIDIIs, "300"), IoVariant::RevBC);
}

TEST(IoCheck, OutputTablesAndLamps) {
  lumvex::testing::TestStation t;
  Model& m = t.st.model;
  const std::pair<Ctl, uint16_t> revD[] = {{Ctl::S1KILL, 0x0002},        {Ctl::S2KILL, 0x0004},
                                           {Ctl::S3KILL, 0x0008},        {Ctl::S4KILL, 0x0010},
                                           {Ctl::S5KILL, 0x0020},        {Ctl::S6KILL, 0x0040},
                                           {Ctl::TRIGGEROUT_SW, 0x0080}, {Ctl::ARMOUT_SW, 0x0100},
                                           {Ctl::OTHEROUT_SW, 0x0200},   {Ctl::BatteryOn_SW, 0x1000}};
  for (auto [c, bit] : revD) {
    SetRevDSwitches(m, bit);
    EXPECT_TRUE(m.number(c) == 1 && RevDOutputWord(m) == bit) << controlName(c);
  }

  // Rev B/C with the multiplexer on and sensor 1's switch off.
  SetRevDSwitches(m, 0);
  m.setNumber(Ctl::MUX_SW, 1);
  m.setNumber(Ctl::TRIGGEROUT_SW, 1);
  OutputWords w = RevBCOutputWords(m);
  EXPECT_EQ(w.set, 0x0020 | 0x0800);
  EXPECT_EQ(w.clear, 0x0002 | 0x0008 | 0x0400 | 0x1000);
  EXPECT_EQ(m.label(Ctl::S2B), "SENSOR 2 B");
  m.setNumber(Ctl::MUX_SW, 0);
  m.setNumber(Ctl::S1KILL, 1);
  w = RevBCOutputWords(m);
  EXPECT_EQ(w.set, 0x0004 | 0x0800);
  EXPECT_EQ(w.clear, 0x0020 | 0x0010 | 0x0400 | 0x1000);
  EXPECT_EQ(m.label(Ctl::S1KILL), "SENSOR 3");
  EXPECT_EQ(m.label(Ctl::S2A), "SENSOR 4 A");

  // Trigger, arm, other and charge lamps; Rev D's arm input is inverted on LX2.
  auto lamps = [&] {
    std::string s;
    for (Ctl c : {Ctl::TRIGIN_LED, Ctl::ARMIN_LED, Ctl::OTHERIN_LED, Ctl::CHARGEON_LED})
      s += lit(t.st, c) ? '1' : '0';
    return s;
  };
  ShowRevDInputs(m, 0x0400, false);
  EXPECT_EQ(lamps(), "1111");
  ShowRevDInputs(m, 0x0800, true);
  EXPECT_EQ(lamps(), "0111");
  ShowRevDInputs(m, 0xFFFF, false);  // a failed read: every bit set
  EXPECT_EQ(lamps(), "1000");
  ShowRevBCInputs(m, 0x0100);
  EXPECT_EQ(lamps().substr(0, 3), "111");
  ShowRevBCInputs(m, 0x0280);
  EXPECT_EQ(lamps().substr(0, 3), "000");
}

TEST(IoCheck, RevDPassTrafficStartsFromTheUnitsOutputsAndSuspendsTheTimer) {
  DiagStation d({{"type", "WorldSID Female"}, {"serial", "101"}, {"firmware", "V7.3"}});
  ASSERT_TRUE(d.connected());
  d.sim.withUnit([](sim::UnitState& u) { u.outputs = 0x0004 | 0x1000; });  // sensor 2 off, battery on
  Model& m = d.st.model;
  ASSERT_TRUE(m.timerRunning());
  m.setIndex(Ctl::LEDSEL, 1);
  m.setNumber(Ctl::LEDDRIVE, 10);
  m.setLabel(Ctl::TRIGIN_LED, "Opto Trig In");  // left by an LX2 unit checked before
  bool timerDuring = true;
  d.st.session.ioCheckRunning = 1;
  d.onPasses(d.st.session.ioCheckRunning, 1, [&](int) { timerDuring = m.timerRunning(); });
  const size_t from = d.mark();
  EXPECT_EQ(Checkio(d.st), 0);
  EXPECT_EQ(d.since(from), (Lines{"GETIO#155", line("SETOUTPUTS#4100#"), "GETIO#155", line("LEDAD#2#400#")}));
  EXPECT_FALSE(timerDuring);
  EXPECT_TRUE(m.timerRunning());
  EXPECT_TRUE(lit(d.st, Ctl::S2KILL) && lit(d.st, Ctl::BatteryOn_SW) && !lit(d.st, Ctl::S1KILL));
  EXPECT_TRUE(m.visible(Ctl::S6B) && !m.visible(Ctl::MUX_SW) && !m.visible(Ctl::REDBLUE));
  EXPECT_EQ(m.label(Ctl::OTHEROUT_SW), "Spare Out");
  EXPECT_EQ(m.label(Ctl::OTHERIN_LED), "   Spare In");
  EXPECT_EQ(m.label(Ctl::TRIGIN_LED), "Trigger In");
  EXPECT_TRUE(lit(d.st, Ctl::CHARGEON_LED));  // battery control comes back as the charge lamp
  // LED 2 lights sensor 1; sensor 2, switched off, reads dark.
  EXPECT_GT(m.number(Ctl::S1A), m.number(Ctl::S2A) + 100);
  EXPECT_TRUE(d.op.transcript.empty());
}

TEST(IoCheck, RevDOnLx2RelabelsTheLampsAndShowsTheTemperature) {
  DiagStation d(
      {{"type", "WorldSID"}, {"serial", "150"}, {"firmware", "LX2 V8.0"}, {"temperature", "T 40 C"}});
  ASSERT_TRUE(d.connected());
  d.st.session.ioCheckRunning = 1;
  d.onPasses(d.st.session.ioCheckRunning, 1);
  const size_t from = d.mark();
  Checkio(d.st);
  EXPECT_EQ(d.since(from), (Lines{"GETIO#155", line("SETOUTPUTS#0#"), "GETIO#155", line("LEDAD#1#400#"),
                                  "TEMPERATURES#196"}));
  const Model& m = d.st.model;
  EXPECT_EQ(m.text(Ctl::TEMPERATURE), "T 40 C");
  EXPECT_EQ(m.label(Ctl::OTHERIN_LED), "   Vext OK");
  EXPECT_EQ(m.label(Ctl::CHARGEON_LED), "VBatt OK");
  EXPECT_EQ(m.label(Ctl::ARMIN_LED), "485 Trig In");
  EXPECT_EQ(m.label(Ctl::TRIGIN_LED), "Opto Trig In");
  EXPECT_TRUE(lit(d.st, Ctl::OTHERIN_LED) && !lit(d.st, Ctl::ARMIN_LED));
}

TEST(IoCheck, RevBCPassTrafficAndManualArmAroundTheLoop) {
  DiagStation d({{"type", "Hybrid III 50th"}, {"serial", "150"}});
  ASSERT_TRUE(d.connected());
  // The set-up turned the multiplexer on and the two sensor switches off.
  d.st.session.ioCheckRunning = 1;
  d.onPasses(d.st.session.ioCheckRunning, 1);
  const size_t from = d.mark();
  EXPECT_EQ(Checkio(d.st), 0);
  EXPECT_EQ(d.since(from), (Lines{line("MANARMENABLE#0#"), line("CLEAROUTPUTS#7178#"), line("SETOUTPUTS#32#"),
                                  "GETIO#155", line("LEDAD#1#400#"), line("MANARMENABLE#1#")}));
  EXPECT_EQ(d.sim.withUnit([](sim::UnitState& u) { return u.prop("manarm"); }), "1");
}

TEST(IoCheck, LampsFollowTheSwitchesWithinAPass) {
  for (const char* serial : {"150", "90"}) {  // Rev D, then Rev B/C
    DiagStation d({{"type", "WorldSID"}, {"serial", serial}, {"firmware", "V7.3"}});
    ASSERT_TRUE(d.connected());
    Model& m = d.st.model;
    bool before = true, after = false, armBefore = false, armAfter = true;
    d.st.session.ioCheckRunning = 1;
    d.onPasses(d.st.session.ioCheckRunning, 2, [&](int n) {
      if (n != 1) return;
      before = lit(d.st, Ctl::TRIGIN_LED);
      armBefore = lit(d.st, Ctl::ARMIN_LED);
      m.setNumber(Ctl::TRIGGEROUT_SW, 1);
      m.setNumber(Ctl::ARMOUT_SW, 1);
    });
    Checkio(d.st);
    after = lit(d.st, Ctl::TRIGIN_LED);
    armAfter = lit(d.st, Ctl::ARMIN_LED);
    EXPECT_FALSE(before) << serial;
    EXPECT_TRUE(after) << serial;
    EXPECT_NE(armBefore, armAfter) << serial;
  }
}

TEST(IoCheck, RevBCShowsTheRedOrBlueReadingsOfAWorldSidUnit) {
  sim::CommandTable t = sim::DefaultCommands();
  t.add("LEDAD", [](sim::Exchange& x) { x.reply({"10,11,12,13,14,15,16,17,"}); });
  DiagStation d({{"type", "WorldSID"}, {"serial", "77"}}, 2000, std::move(t));
  ASSERT_TRUE(d.connected());
  Model& m = d.st.model;
  d.st.session.ioCheckRunning = 1;
  d.onPasses(d.st.session.ioCheckRunning, 1);
  Checkio(d.st);
  EXPECT_EQ(m.number(Ctl::S1A), 14);  // REDBLUE off: readings 4 to 7
  EXPECT_EQ(m.number(Ctl::S2B), 17);
  m.setNumber(Ctl::REDBLUE, 1);
  d.st.session.ioCheckRunning = 1;
  d.onPasses(d.st.session.ioCheckRunning, 1);
  Checkio(d.st);
  EXPECT_EQ(m.number(Ctl::S1A), 10);
  EXPECT_EQ(m.number(Ctl::S2B), 13);
}

TEST(IoCheck, ReadingsAreWrittenAtMostEveryHalfSecond) {
  sim::CommandTable t = sim::DefaultCommands();
  auto n = std::make_shared<int>(0);
  t.add("LEDAD", [n](sim::Exchange& x) { x.reply({std::to_string(++*n) + ",0,0,0,"}); });
  DiagStation d({{"type", "Polar"}, {"serial", "12"}}, 2000, std::move(t));
  ASSERT_TRUE(d.connected());
  using Clock = std::chrono::steady_clock;
  std::vector<Clock::time_point> writes;
  double shown = d.st.model.number(Ctl::S1A);
  d.st.model.observe([&](const ModelChange& c) {
    if (c.control != Ctl::S1A || d.st.model.number(Ctl::S1A) == shown) return;  // a relabel
    shown = d.st.model.number(Ctl::S1A);
    writes.push_back(Clock::now());
  });
  int passes = 0;
  const auto end = Clock::now() + std::chrono::seconds(4);
  d.st.session.ioCheckRunning = 1;
  d.onPasses(d.st.session.ioCheckRunning, 100000, [&](int) {
    ++passes;
    if (writes.size() >= 3 || Clock::now() > end) d.st.session.ioCheckRunning = 0;
  });
  Checkio(d.st);
  ASSERT_GE(writes.size(), 2u);
  EXPECT_GT(passes, static_cast<int>(writes.size())) << "passes in between write nothing";
  for (size_t i = 1; i < writes.size(); ++i)
    EXPECT_GE(writes[i] - writes[i - 1], std::chrono::milliseconds(495));
}

TEST(IoCheck, ALoopStartedInsideRunsToItsEndBeforeTheCheckEnds) {
  DiagStation d({{"type", "Hybrid III 50th"}, {"serial", "150"}, {"triggercheck.after", "0"}});
  ASSERT_TRUE(d.connected());
  Station& st = d.st;
  int ioPassesDuringTrigger = 0;
  size_t from = d.mark();
  st.session.ioCheckRunning = 1;
  d.onPasses(st.session.ioCheckRunning, 50, [&](int n) {
    if (n == 1) st.model.commit(Ctl::TAB, {EventKind::TabChanged, 5});  // Trigger Test page
    if (n == 2) ArmTriggerCheck(st);
    if (st.session.triggerTestRunning && st.model.number(Ctl::TRIG_LED) != 0) {
      const Lines sent = d.since(from);
      ioPassesDuringTrigger = static_cast<int>(std::count(sent.begin(), sent.end(), "GETIO#155"));
      st.model.commit(Ctl::TAB, {EventKind::TabChanged, 0});
    }
  });
  Checkio(st);
  const Lines got = d.since(from);
  EXPECT_EQ(ioPassesDuringTrigger, 1);
  ASSERT_GE(got.size(), 3u);
  EXPECT_EQ(got[got.size() - 3], "ARMTRIGGER#23");
  EXPECT_EQ(got[got.size() - 2], "TRIGGERCHECK#149");
  EXPECT_EQ(got.back(), line("MANARMENABLE#1#")) << "the check ends after the trigger loop";
  EXPECT_EQ(st.model.label(Ctl::CHECKIOBUT), "Check I/O");
}

TEST(IoCheck, TestButtonEndsTheCheckBeforeTheTestRuns) {
  DiagStation d({{"type", "Hybrid III 50th"}, {"serial", "150"}, {"ram.ms", "0"}});
  ASSERT_TRUE(d.connected());
  Station& st = d.st;
  st.model.setLabel(Ctl::CHECKIOBUT, "Stop");
  st.session.ioCheckRunning = 1;
  std::string captionAtTest;
  d.onPasses(st.session.ioCheckRunning, 20, [&](int n) {
    if (n != 1) return;
    EndIOCheck(st);
    captionAtTest = st.model.label(Ctl::CHECKIOBUT);
    RamCheck(st);
  });
  const size_t from = d.mark();
  Checkio(st);
  const Lines got = d.since(from);
  EXPECT_EQ(captionAtTest, "Check I/O");
  ASSERT_EQ(got.size(), 7u);
  EXPECT_EQ(got[5], "RAMTEST#67");
  EXPECT_EQ(got[6], line("MANARMENABLE#1#"));
  EXPECT_TRUE(d.op.showed("Ram Check", "Ram is OK"));
}

TEST(IoCheck, DisconnectChosenAfterAFailedExchangeEndsTheLoop) {
  DiagStation d({{"type", "Hybrid III 50th"}, {"serial", "150"}}, 300);
  ASSERT_TRUE(d.connected());
  Station& st = d.st;
  d.sim.addFault({sim::FaultKind::Stall, "GETIO", 2, 1, -1});  // the second pass's read goes unanswered
  d.op.twoButtonAnswers = {2};
  st.session.ioCheckRunning = 1;
  int calls = 0;
  d.onPasses(st.session.ioCheckRunning, 20, [&](int n) { calls = n; });
  const size_t from = d.mark();
  EXPECT_EQ(Checkio(st), -2);
  EXPECT_EQ(calls, 2);
  ASSERT_EQ(d.op.transcript.size(), 1u);
  EXPECT_EQ(d.op.transcript[0].answer, "Disconnect");
  EXPECT_EQ(st.model.text(Ctl::STATUSBOX), "Disconnected");
  EXPECT_FALSE(st.model.timerRunning());
  const Lines sent = d.since(from);
  ASSERT_EQ(sent.size(), 8u) << "nothing after the unanswered read";
  EXPECT_EQ(sent.back(), "GETIO#155");
}
