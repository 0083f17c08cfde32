// lumvex-cli's diagnostics subcommands against the in-process simulated unit:
// the one-shot tests' boxes and exit statuses, io's switches applied after the
// check has read them back and its refusals, the trigger test's two endings,
// and the live display's drawn centres in both views.
#include "support/cli_station.h"

#include <gtest/gtest.h>

using lumvex::testing::CliRun;
using lumvex::testing::CliStation;

TEST(DiagCli, OneShotTestsPrintTheirBoxAndExitByTheResult) {
  CliStation c({{"type", "Hybrid III 50th"}, {"serial", "40"}, {"firmware", "V7.3"}, {"ram.ms", "0"}});
  CliRun r = c.run("diag ram");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r, "Ram Check: Ram is OK\n"));

  c.set("ram.fail", "0x1234AB");
  r = c.run("diag ram");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(has(r, "Ram Check: Ram Failed at address 1234AB\n")) << r.out;

  c.set("sd.code", "7");  // a code the station has no text for
  r = c.run("diag sd");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(has(r, "SD Card Check: no text for result code 7\n")) << r.out;

  // Temperatures come from LX2 units only: nothing is asked of this one.
  r = c.run("diag temperature");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(c.countReceived("TEMPERATURES"), 0);
  EXPECT_EQ(c.run("diag eeprom").exitCode, 2);
}

TEST(DiagCli, IoSetsTheSwitchesAfterTheStartAndPrintsEveryPass) {
  // Rev D, not LX2: the unit's Arm Out is on, and the check starts from it.
  CliStation c({{"type", "WorldSID"}, {"serial", "150"}, {"firmware", "V7.3"}});
  c.sim.withUnit([](lumvex::sim::UnitState& u) { u.outputs = 0x0100; });
  CliRun r = c.run("io --passes 2 --on TRIGGEROUT_SW --led 4 --drive 10");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r, "I/O check, Rev D; LED 4 at drive 10 (sent as 400)\n")) << r.out;
  EXPECT_TRUE(has(r, "pass 2\n  lamps: Trigger In on, Arm In on, Spare In off, Charge On off\n")) << r.out;
  EXPECT_TRUE(has(r, "  A/D: Sensor 1 A ")) << r.out;
  EXPECT_TRUE(has(r, ", Sensor 6 B ")) << r.out;
  EXPECT_EQ(c.countReceived("GETIO"), 3);                                    // the read-back, then one a pass
  EXPECT_EQ(c.lastReceived("SETOUTPUTS").substr(0, 15), "SETOUTPUTS#384#");  // 0x0100 | 0x0080
  EXPECT_EQ(c.lastReceived("LEDAD").substr(0, 11), "LEDAD#4#400");

  // A control that is no switch of the check is refused before connecting;
  // a switch this unit's page hides, after the start, before any pass.
  const int before = static_cast<int>(c.sim.received().size());
  r = c.run("io --on DISABLE_SD");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(has(r, "DISABLE_SD is no switch of the I/O check")) << r.out;
  EXPECT_EQ(static_cast<int>(c.sim.received().size()), before);
  r = c.run("io --on MUX_SW");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(has(r, "this unit's Diagnostics page has no MUX_SW")) << r.out;
  EXPECT_EQ(c.countReceived("SETOUTPUTS"), 2);
  EXPECT_EQ(c.run("io --led 40").exitCode, 2);
}

TEST(DiagCli, IoOfRevBCKeepsManualArmingOffAroundThePasses) {
  CliStation c({{"type", "Hybrid III 50th"}, {"serial", "40"}, {"firmware", "V7.3"}});
  CliRun r = c.run("io --on ARMOUT_SW");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r, "I/O check, Rev B/C;")) << r.out;
  EXPECT_TRUE(has(r, "  A/D: SENSOR 1 A ")) << r.out;  // the multiplexer is on for a Hybrid III
  std::vector<std::string> names;
  for (const auto& l : c.sim.received()) names.push_back(l.substr(0, l.find('#')));
  const std::vector<std::string> pass{"MANARMENABLE", "CLEAROUTPUTS", "SETOUTPUTS",
                                      "GETIO",        "LEDAD",        "MANARMENABLE"};
  ASSERT_GE(names.size(), pass.size());
  EXPECT_EQ(std::vector<std::string>(names.end() - 6, names.end()), pass);
  EXPECT_EQ(c.lastReceived("MANARMENABLE").substr(0, 15), "MANARMENABLE#1#");
}

TEST(DiagCli, TriggerTestEndsWithTheTriggerOrTheTimeOut) {
  CliStation c({{"type", "SIDIIs"}, {"serial", "40"}, {"triggercheck.after", "200"}});
  CliRun r = c.run("trigger-test --timeout 20");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r, "trigger received after 1.")) << r.out;  // the first query comes after 1 s

  c.set("triggercheck.after", "-1");
  r = c.run("trigger-test --timeout 2");
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_TRUE(has(r, "no trigger within 2 s\n")) << r.out;
  EXPECT_EQ(c.countReceived("ARMTRIGGER"), 2);

  c.set("triggercheck", "0");
  r = c.run("trigger-test");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(has(r, "this unit has no trigger test")) << r.out;
}

TEST(DiagCli, LivePrintsEachLedsDrawnCentre) {
  CliStation c({{"type", "WorldSID"}, {"serial", "150"}});
  CliRun r = c.run("live --passes 2");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  // LED 1 at rest (3.75, 23.75, 43.75): X across and Y up, or Z across in view 1.
  EXPECT_TRUE(has(r, "pass 2\n  LED 1: 3.75 23.75\n")) << r.out;
  EXPECT_TRUE(has(r, "  LED 18: ")) << r.out;
  EXPECT_FALSE(has(r, "  LED 19: "));
  r = c.run("live --view 1");
  EXPECT_TRUE(has(r, "pass 1\n  LED 1: 43.75 23.75\n")) << r.out;
  EXPECT_EQ(c.lastReceived("MANARMENABLE").substr(0, 15), "MANARMENABLE#1#");
  EXPECT_EQ(c.run("live --view 2").exitCode, 2);
}
