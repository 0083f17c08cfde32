// lumvex-cli's drive subcommands as a script would run them, against the
// in-process simulated unit over loopback: the identity printed by info, a
// question ending arm and erase with status 3 unless --yes answers it, and a
// whole arm -> trigger -> stored -> erase cycle.
#include "link/link.h"
#include "support/cli_station.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using lumvex::testing::CliRun;
using lumvex::testing::CliStation;

namespace {

// waitForUnit: polls the simulated unit until it reaches a status (3 s at most).
struct Cli : CliStation {
  using CliStation::CliStation;
  bool waitForUnit(int status) {
    for (int i = 0; i < 150; ++i) {
      if (sim.status() == status) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
};

}  // namespace

TEST(DriveCli, InfoPrintsTheIdentity) {
  Cli c({{"type", "SIDIIs"},
         {"serial", "57"},
         {"firmware", "V6.1"},
         {"trigger", "3"},
         {"comment",
          "a\x03"
          "b"}});
  CliRun r = c.run("info");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r, "type: SIDIIs\n")) << r.out;
  EXPECT_TRUE(has(r, "serial: 57\n"));
  EXPECT_TRUE(has(r, "firmware: V6.1\n"));
  EXPECT_TRUE(has(r, "calibration date: 12-Mar-2024\n"));
  EXPECT_TRUE(has(r, "trigger: Differential - Falling Edge (3)\n"));
  EXPECT_TRUE(has(r, "comment: a#b\n"));
  EXPECT_TRUE(has(r, "recorded window: 0 .. 0 ms\n"));
  EXPECT_TRUE(has(r, "side: Left Side\n"));
}

TEST(DriveCli, QuestionsEndWithStatus3UnlessYesAnswersThem) {
  Cli c({{"type", "Polar"}, {"serial", "57"}, {"leds.error", "2"}});
  CliRun r = c.run("arm --post 300");
  EXPECT_EQ(r.exitCode, 3) << r.out;
  EXPECT_TRUE(has(r, "LED errors detected!:  1 LEDs are reporting error codes \r\n")) << r.out;
  EXPECT_EQ(c.sim.status(), 0);
  EXPECT_EQ(c.countReceived("ARM"), 0);

  r = c.run("arm --post 300 --yes");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(c.lastReceived("ARM").substr(0, 10), "ARM#0#300#");
  EXPECT_EQ(c.sim.status(), 1);
  EXPECT_TRUE(has(r, "status: 1 Collecting Pre-Trigger Data"));

  r = c.run("trigger");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  ASSERT_TRUE(c.waitForUnit(3));

  r = c.run("erase");
  EXPECT_EQ(r.exitCode, 3) << r.out;
  EXPECT_TRUE(has(r, "Erase Request: Are you sure you want to Erase memory [No]"));
  EXPECT_EQ(c.countReceived("ERASE"), 0);

  r = c.run("erase --yes");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(c.sim.status(), 0);
}

TEST(DriveCli, ArmRefusalsExitNonZero) {
  Cli c({{"type", "WorldSID"}, {"firmware", "V7"}}, 3);
  CliRun r = c.run("arm --post 300 --yes");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(has(r, "ERROR: Lumvex Flash Memory not Erased, ARM Aborted")) << r.out;
  r = c.run("arm --post 30000");
  EXPECT_EQ(r.exitCode, 2);  // beyond the 24900 ms a WorldSID unit allows
  EXPECT_EQ(c.countReceived("ARM"), 1);
  r = c.run("arm --stop 100");
  EXPECT_EQ(r.exitCode, 2);

  // The unit's refusals of the two times, with the text for its type.
  c.sim.withUnit([](lumvex::sim::UnitState& u) { u.status = 0; });
  c.set("arm.refuse", "post");
  r = c.run("arm --post 300 --yes");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(has(r,
                  "ERROR: Data to collect after Trigger must be greater than 0 and less than 25000, Arm "
                  "Aborted\n"))
      << r.out;
  c.set("type", "WorldSID Female");
  r = c.run("arm --post 300 --yes");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(has(r, "less than 30000, Arm Aborted\n")) << r.out;
  c.set("arm.refuse", "stop");
  r = c.run("arm --linear --stop 500 --post 300 --yes");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(has(r, "ERROR: Linear Buffer stop time must be greater than 0, Arm Aborted\n")) << r.out;
  EXPECT_EQ(c.sim.status(), 0);
}

// Connect, identify, set trigger and comment, arm with LEDs in error (the
// question is asked, --yes answers it), trigger, wait for the stored
// recording, erase: each step one command, as a test script runs them.
TEST(DriveCli, FullSessionOnAnLx2WorldSid) {
  Cli c({{"type", "WorldSID"},
         {"serial", "150"},
         {"firmware", "LX2 V8.0"},
         {"config.flags", "32"},
         {"leds.error", "4,11"},
         {"battery.charge", "87"},
         {"battery.volts", "12.6"},
         {"side", "RIGHT"}});
  CliRun r = c.run("info");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r, "type: WorldSID\n")) << r.out;
  EXPECT_TRUE(has(r, "trigger: Rising Edge (0)\n"));
  EXPECT_TRUE(has(r, "side: Right Side\n"));
  EXPECT_TRUE(has(r, "battery: 87 %, 12.60 V\n"));
  EXPECT_EQ(c.countReceived("SETTIME"), 1);  // the LX2 unit's clock is set

  r = c.run("settrigger 2");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r, "note: Trigger Setting changed in Lumvex\n"));
  EXPECT_TRUE(has(r, "trigger: Differential - Rising Edge (2)\n"));
  EXPECT_EQ(c.lastReceived("TRIGGERSET"),
            "TRIGGERSET#2#" + std::to_string(lumvex::FrameChecksum("TRIGGERSET#2#")));

  r = c.run("comment 'sled 4, run #2'");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r, "comment: sled 4_ run #2\n"));
  EXPECT_TRUE(has(r, "note: ATD information changed in Lumvex\n"));
  EXPECT_EQ(c.sim.withUnit([](lumvex::sim::UnitState& u) { return u.prop("comment"); }),
            "sled 4_ run \x03"
            "2");

  r = c.run("arm --post 200");
  EXPECT_EQ(r.exitCode, 3) << r.out;
  EXPECT_TRUE(has(r, "LED errors detected!:  2 LEDs are reporting error codes \r\n")) << r.out;
  EXPECT_EQ(c.countReceived("ARM"), 0);
  r = c.run("arm --post 200 --yes");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_FALSE(has(r, "BATTERY errors detected!"));  // 87 % needs no question
  EXPECT_TRUE(has(r, "status: 1 Collecting Pre-Trigger Data\n"));
  EXPECT_EQ(c.lastReceived("ARM").substr(0, 10), "ARM#0#200#");

  r = c.run("trigger");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  ASSERT_TRUE(c.waitForUnit(3));
  r = c.run("info");
  EXPECT_TRUE(has(r, "recorded window: -1000 .. 200 ms\n")) << r.out;
  EXPECT_TRUE(has(r, "comment: sled 4_ run #2\n"));

  r = c.run("erase --yes");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r, "Erase Request second check: Are you sure you want to Erase memory [Yes]\n"));
  EXPECT_TRUE(has(r, "status: 0 Connected - Idle\n"));
  EXPECT_EQ(c.sim.status(), 0);
}

TEST(DriveCli, TriggerAndBatteryQuestionsOfTheUnit) {
  // A code the unit does not offer is refused before anything is sent.
  Cli c({{"type", "WorldSID"}, {"serial", "150"}, {"firmware", "V7.3"}, {"trigger", "2"}});
  CliRun r = c.run("info");
  EXPECT_TRUE(has(r,
                  "Invalid trigger Setting in Lumvex: Invalid Lumvex trigger setting - Reset the Lumvex "
                  "Trigger\n"))
      << r.out;
  EXPECT_TRUE(has(r, "trigger: TRIGGER NOT SET !!!!!!!!!!!!!!!!!! (-1)\n"));
  r = c.run("arm --post 200 --yes");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(has(r, "Can Not Arm: Fix Trigger Setting\n")) << r.out;
  r = c.run("settrigger 3");
  EXPECT_EQ(r.exitCode, 2) << r.out;
  EXPECT_TRUE(has(r, "  1  Falling Edge\n"));
  EXPECT_EQ(c.countReceived("TRIGGERSET"), 0);
  r = c.run("settrigger 1");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r, "trigger: Falling Edge (1)\n"));
  // The valid code read back lifts the block on arming.
  r = c.run("arm --post 200 --yes");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(c.sim.status(), 1);

  // A reset fuel gauge: its box is a question unless --yes goes on without data.
  Cli b({{"type", "WorldSID Female"}, {"firmware", "LX2 V8.0"}, {"battery.charge", "-2"}});
  r = b.run("info");
  EXPECT_EQ(r.exitCode, 3) << r.out;
  EXPECT_TRUE(has(r, "[Continue without Battery Data]\n"));
  r = b.run("arm --post 200 --yes");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r,
                  "BATTERY errors detected!: Battery is less than 50 percent charged or reporting errors "
                  "\r\nClick YES to continue to ARM\r\nClick NO to STOP and fix the battery [Yes]\n"));
  EXPECT_EQ(b.countReceived("BATTSETFULL"), 0);
}

TEST(DriveCli, LinearArmAndPositions) {
  Cli c({{"type", "Ballistic"}, {"serial", "57"}, {"leds.error", "3"}});
  CliRun r = c.run("info");
  EXPECT_TRUE(has(r, "side: CENTER in X Dir\n")) << r.out;
  // As the LED table shows them: the Ballistic unit's first two axes swapped.
  r = c.run("positions");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r, "LED 1: 23.75 3.75 43.75\n")) << r.out;
  EXPECT_TRUE(has(r, "LED 3: 9.00 9.00 9.00  (error code)\n"));
  r = c.run("positions --unit-frame");
  EXPECT_TRUE(has(r, "LED 1: 3.75 23.75 43.75\n")) << r.out;
  r = c.run("arm --linear --stop 5000 --post 300 --yes");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(c.lastReceived("ARM").substr(0, 13), "ARM#5000#300#");
  r = c.run("disarm");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(c.sim.status(), 0);
  // Nothing to trigger on an unarmed unit.
  r = c.run("trigger");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(has(r, "the unit is not armed")) << r.out;
  EXPECT_EQ(c.countReceived("T"), 0);
}
