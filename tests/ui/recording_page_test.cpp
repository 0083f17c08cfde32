// Recording control against the simulated unit: the arm button's checks in
// order (DISARM label, invalid trigger, status, LED error codes, battery), the
// stop time sent in each buffer mode, the unit's refusals and their texts per
// type, the software trigger, the buffer-mode switch, NOR flash, and erase
// with both confirmations and its progress.
#include "link/recording.h"
#include "ui/diagnostics_page.h"
#include "ui/setup_page.h"

#include "link/info.h"
#include "support/drive_station.h"
#include "ui/screens.h"

#include <gtest/gtest.h>

#include <memory>

using namespace lumvex;
using lumvex::sim::FaultKind;
using lumvex::testing::DriveStation;

namespace {

// A connected, identified unit of the given type with its screens set up.
struct Armed : DriveStation {
  explicit Armed(Props props = {}, int status = 0) : DriveStation(props, status) {
    EXPECT_TRUE(connect());
    EXPECT_EQ(GetLXinfo(st), 0);
    EXPECT_EQ(SetupScreens(st, 1), 0);
    op.clear();
    st.model.setLabel(Ctl::ARM_BUT, "ARM");
  }
  int unitStatus() { return sim.status(); }
};

}  // namespace

TEST(CountLedErrors, EqualCoordinatesAreErrorCodes) {
  double two[] = {1, 1, 2, 3, 9, 9};
  EXPECT_EQ(CountLedErrors(two, 3, 2), 2);
  double three[] = {1, 1, 2, 9, 9, 9, 4, 4, 4};
  EXPECT_EQ(CountLedErrors(three, 3, 3), 2);
  EXPECT_EQ(
      LedErrorQuestion(3),
      " 3 LEDs are reporting error codes \r\nClick YES to continue to ARM\r\nClick NO to STOP and use Show "
      "Current XYZ's to see which LEDs are reporting errors");
}

TEST(ArmButton, CircularModeSendsZeroStopTimeAndArms) {
  Armed a({{"type", "SIDIIs"}, {"serial", "57"}, {"firmware", "V6"}});
  a.st.model.setNumber(Ctl::CIRC_LIN_BUT, 0);
  a.st.model.setNumber(Ctl::TSTOP, 12000);
  a.st.model.setNumber(Ctl::TPOST, 500);
  ARM_BUT(a.st);
  EXPECT_EQ(a.lastReceived("ARM"), "ARM#0#500#" + std::to_string(FrameChecksum("ARM#0#500#")));
  EXPECT_EQ(a.unitStatus(), 1);
  EXPECT_EQ(a.st.model.label(Ctl::ARM_BUT), "DISARM");
  EXPECT_TRUE(a.st.model.visible(Ctl::TRIGGER_BUT));
  EXPECT_FALSE(a.st.model.dimmed(Ctl::TRIGGER_BUT));
  EXPECT_EQ(a.st.model.text(Ctl::STATUSBOX), "Collecting Pre-Trigger Data");
  EXPECT_EQ(a.st.model[Ctl::STATUSBOX].textColour, colour::DarkRed);
  EXPECT_TRUE(a.op.transcript.empty());

  // Pressed again while labelled DISARM: only the disarm goes out.
  int arms = a.countReceived("ARM"), statuses = a.countReceived("S");
  ARM_BUT(a.st);
  EXPECT_EQ(a.countReceived("D"), 1);
  EXPECT_EQ(a.countReceived("ARM"), arms);
  EXPECT_EQ(a.countReceived("S"), statuses);
  EXPECT_EQ(a.st.model.label(Ctl::ARM_BUT), "ARM");
  EXPECT_EQ(a.unitStatus(), 0);
}

TEST(ArmButton, LinearModeSendsTheStopTime) {
  Armed a({{"type", "Polar"}, {"serial", "57"}});
  a.st.model.setNumber(Ctl::CIRC_LIN_BUT, 1);
  a.st.model.setNumber(Ctl::TSTOP, 12000);
  a.st.model.setNumber(Ctl::TPOST, 800);
  ARM_BUT(a.st);
  EXPECT_EQ(a.lastReceived("ARM").substr(0, 14), "ARM#12000#800#");
}

TEST(ArmButton, InvalidTriggerRefusesWithoutSending) {
  Armed a({{"type", "Ballistic"}, {"serial", "150"}, {"firmware", "V6"}, {"trigger", "2"}});
  ASSERT_EQ(a.st.session.triggerInvalid, 1);
  int before = static_cast<int>(a.sim.received().size());
  ARM_BUT(a.st);
  EXPECT_TRUE(a.op.showed("Can Not Arm", "Fix Trigger Setting"));
  EXPECT_EQ(static_cast<int>(a.sim.received().size()), before);
}

TEST(ArmButton, LedErrorsAskAndNoStops) {
  Armed a({{"type", "WorldSID"}, {"serial", "150"}, {"firmware", "V7"}, {"leds.error", "2,5,18"}});
  ARM_BUT(a.st);  // the scripted answer is No
  ASSERT_EQ(a.op.transcript.size(), 1u);
  EXPECT_EQ(a.op.transcript[0].title, "LED errors detected!");
  EXPECT_EQ(a.op.transcript[0].text, LedErrorQuestion(3));
  EXPECT_EQ(a.countReceived("ARM"), 0);
  EXPECT_EQ(a.st.model.label(Ctl::ARM_BUT), "ARM");
}

TEST(ArmButton, FailedPositionQueryCountsEveryLed) {
  Armed a({{"type", "Hybrid III 50th"}, {"serial", "57"}});
  a.sim.addFault({FaultKind::CorruptChecksum, "CURRENT_POSITIONS"});
  a.op.confirmAnswers.push_back(true);
  ARM_BUT(a.st);
  EXPECT_TRUE(a.op.showed("COMM ERROR", "Comm Error getting current positions"));
  EXPECT_TRUE(a.op.showed("LED errors detected!", LedErrorQuestion(12)));
  EXPECT_EQ(a.unitStatus(), 1);
}

TEST(ArmButton, LowBatteryOnLx2WithGaugeAsks) {
  Armed a({{"type", "WorldSID"}, {"firmware", "LX2 V8"}, {"battery.charge", "40"}});
  a.st.ini.FuelGaugeInstalled = 1;
  ARM_BUT(a.st);
  EXPECT_TRUE(
      a.op.showed("BATTERY errors detected!",
                  "Battery is less than 50 percent charged or reporting errors \r\nClick YES to continue to "
                  "ARM\r\nClick NO to STOP and fix the battery"));
  EXPECT_EQ(a.countReceived("ARM"), 0);
  EXPECT_EQ(a.st.model.number(Ctl::BATT_FUEL), 40);

  // Without a fuel gauge configured the battery is not read.
  a.st.ini.FuelGaugeInstalled = 0;
  a.op.clear();
  int reads = a.countReceived("GETBATINFO");
  ARM_BUT(a.st);
  EXPECT_EQ(a.countReceived("GETBATINFO"), reads);
  EXPECT_EQ(a.unitStatus(), 1);
}

TEST(ArmButton, NotErasedRefusalRestoresTheButton) {
  Armed a({{"type", "WorldSID"}}, 3);
  ARM_BUT(a.st);
  EXPECT_TRUE(a.op.showed("ERROR", "Lumvex Flash Memory not Erased, ARM Aborted"));
  EXPECT_EQ(a.st.model.label(Ctl::ARM_BUT), "ARM");
  EXPECT_FALSE(a.st.model.visible(Ctl::TRIGGER_BUT));
  EXPECT_EQ(a.unitStatus(), 3);
}

TEST(ArmButton, ArmedUnitStatusStopsSilently) {
  Armed a({{"type", "Polar"}});
  a.sim.arm(0, 500);
  ARM_BUT(a.st);
  EXPECT_TRUE(a.op.transcript.empty());
  EXPECT_EQ(a.countReceived("CURRENT_POSITIONS"), 0);
}

TEST(Arm, RefusalTextsPerType) {
  struct {
    const char* type;
    const char* text;
  } cases[] = {
      {"WorldSID", "Data to collect after Trigger must be greater than 0 and less than 25000, Arm Aborted"},
      {"WorldSID Female",
       "Data to collect after Trigger must be greater than 0 and less than 30000, Arm Aborted"},
      {"Polar", "Data to collect after Trigger must be greater than 0 and less than 30000, Arm Aborted"},
  };
  for (const auto& c : cases) {
    Armed a({{"type", c.type}, {"firmware", "V7"}});
    a.sim.withUnit([](lumvex::sim::UnitState& u) { u.postTriggerLimitMs = 400; });
    a.st.model.setNumber(Ctl::TPOST, 500);
    EXPECT_EQ(Arm(a.st), -1) << c.type;
    EXPECT_TRUE(a.op.showed("ERROR", c.text)) << c.type;
  }
  Armed a({{"type", "SIDIIs"}});
  a.st.model.setNumber(Ctl::CIRC_LIN_BUT, 1);
  a.st.model.setNumber(Ctl::TSTOP, 29000);
  a.sim.withUnit([](lumvex::sim::UnitState& u) { u.stopTimeLimitMs = 20000; });
  EXPECT_EQ(Arm(a.st), -1);
  EXPECT_TRUE(a.op.showed("ERROR", "Linear Buffer stop time must be greater than 0, Arm Aborted"));
}

TEST(Arm, UnparsableReplyIsFollowedByDisarm) {
  Armed a({{"type", "Polar"}});
  a.sim.addFault({FaultKind::CorruptChecksum, "ARM"});
  EXPECT_EQ(Arm(a.st), -1);
  EXPECT_TRUE(a.op.showed("COMM ERROR", "Bad Response to Arm command, Arm Aborted"));
  EXPECT_EQ(a.countReceived("D"), 1);
  EXPECT_EQ(a.unitStatus(), 0);
}

TEST(TriggerButton, TriggersAndSetsTheOffset) {
  Armed a({{"type", "Polar"}});
  ARM_BUT(a.st);
  ASSERT_EQ(a.unitStatus(), 1);
  TRIGGER_BUT(a.st);
  EXPECT_EQ(a.st.session.SoftwareTriggerOffset, 4);
  EXPECT_GE(a.unitStatus(), 2);
}

TEST(BufferModeSwitch, ShowsStopTimeInLinearModeWhenIdle) {
  Armed a({{"type", "Polar"}});
  a.st.model.setNumber(Ctl::CIRC_LIN_BUT, 1);
  CIRC_LIN_BUT(a.st);
  EXPECT_TRUE(a.st.model.visible(Ctl::TSTOP));
  EXPECT_TRUE(a.st.model.visible(Ctl::LIN_BUF_LABEL));
  a.st.model.setNumber(Ctl::CIRC_LIN_BUT, 0);
  CIRC_LIN_BUT(a.st);
  EXPECT_FALSE(a.st.model.visible(Ctl::TSTOP));
  a.sim.arm(0, 5000);
  a.st.model.setNumber(Ctl::CIRC_LIN_BUT, 1);
  CIRC_LIN_BUT(a.st);
  EXPECT_FALSE(a.st.model.visible(Ctl::TSTOP));  // armed: unchanged
}

TEST(EraseButton, EitherNoStopsBeforeAnythingIsSent) {
  Armed a({{"type", "Polar"}}, 3);
  ERASE_BUT(a.st);  // first question: No
  a.op.confirmAnswers.push_back(true);
  a.op.twoButtonAnswers.push_back(1);  // second check: "No"
  ERASE_BUT(a.st);
  EXPECT_EQ(a.countReceived("ERASE"), 0);
  ASSERT_EQ(a.op.transcript.size(), 3u);
  EXPECT_EQ(a.op.transcript[1].title, "Erase Request");
  EXPECT_EQ(a.op.transcript[1].text, "Are you sure you want to Erase memory");
  EXPECT_EQ(a.op.transcript[2].title, "Erase Request second check");
  EXPECT_EQ(a.op.transcript[2].answer, "No");
  EXPECT_EQ(a.unitStatus(), 3);
}

TEST(EraseButton, ErasesWithProgressAndReturnsToReady) {
  Armed a({{"type", "Polar"}}, 3);
  a.op.realDelays = true;  // the unit erases in real time
  a.sim.withUnit([](lumvex::sim::UnitState& u) { u.eraseMs = 300; });
  a.op.confirmAnswers.push_back(true);
  a.op.twoButtonAnswers.push_back(2);  // "Yes"
  a.st.model.setNumber(Ctl::TPOST, 1000);
  ERASE_BUT(a.st);
  EXPECT_EQ(a.countReceived("ERASE"), 1);
  EXPECT_GE(a.countReceived("E"), 1);
  EXPECT_EQ(a.op.openProgressBoxes, 0);
  EXPECT_TRUE(a.op.showed("ERASE Status", "Percent Complete"));
  for (double p : a.op.progress) {
    EXPECT_GE(p, 0);
    EXPECT_LT(p, 100);
  }
  EXPECT_FALSE(a.op.showed("ERASE FAILED", "At least one Sector didn't erase"));
  EXPECT_EQ(a.unitStatus(), 0);
  EXPECT_EQ(a.st.session.unitStatus, 0);
  EXPECT_EQ(a.st.model.text(Ctl::DATA_STRT), "0");
  EXPECT_EQ(a.st.model.text(Ctl::DATA_STOP), "0");
}

TEST(EraseButton, SectorFailureIsReportedOnce) {
  Armed a({{"type", "Polar"}}, 3);
  a.sim.withUnit([](lumvex::sim::UnitState& u) {
    u.eraseMs = 0;
    u.eraseResult = 2;
  });
  a.op.confirmAnswers.push_back(true);
  a.op.twoButtonAnswers.push_back(2);
  ERASE_BUT(a.st);
  EXPECT_TRUE(a.op.showed("ERASE FAILED", "At least one Sector didn't erase"));
}

TEST(EraseStatus, ProgressWithDoneNotBelowTotalLeavesTheBarWhereItWas) {
  // A unit whose progress replies run up to and past the total.
  auto table = lumvex::sim::DefaultCommands();
  auto polls = std::make_shared<int>(0);
  table.add("E", [polls](lumvex::sim::Exchange& x) {
    static const char* kDone[] = {"29", "50", "100", "120"};
    int i = (*polls)++;
    if (i < 4) return x.reply({kDone[i], "100"});
    x.replyAs("ERASE", {"0"});
    x.reply({"100", "100"});
  });
  DriveStation a({}, 3, std::move(table));
  ASSERT_TRUE(a.connect());
  ASSERT_EQ(Erase(a.st), 0);
  EXPECT_EQ(a.st.model.text(Ctl::STATUSBOX), "ERASING FLASH MEMORY");
  EXPECT_EQ(a.st.model[Ctl::STATUSBOX].textColour, colour::DarkRed);
  EXPECT_EQ(EraseStatus(a.st), 0);
  // 29 / 100 x 100 is 28.999... in doubles: its integer part is 28.
  EXPECT_EQ(a.op.progress, (std::vector<double>{28, 50}));
  EXPECT_EQ(a.op.delayedMs, 5 * 1000);  // one second before each of the five polls
  EXPECT_EQ(a.st.model.text(Ctl::STATUSBOX), "Connected - Idle");
  EXPECT_EQ(a.st.model[Ctl::STATUSBOX].textColour, colour::DarkGreen);
  // The extra line after ERASE was read: the link is in step again.
  EXPECT_EQ(DumpInfo(a.st), 0);
  EXPECT_TRUE(a.op.messages().empty());
}

TEST(EraseStatus, BadFinalLineFails) {
  auto table = lumvex::sim::DefaultCommands();
  table.add("E", [](lumvex::sim::Exchange& x) {
    x.sendRaw("ERASE#0#1\r\n");
    x.reply({"1", "1"});
  });
  DriveStation a({}, 3, std::move(table));
  ASSERT_TRUE(a.connect());
  ASSERT_EQ(Erase(a.st), 0);
  EXPECT_EQ(EraseStatus(a.st), -1);
  EXPECT_TRUE(a.op.showed("COMM ERROR", " in erase status"));
  EXPECT_EQ(a.op.openProgressBoxes, 0);
}

TEST(EraseStatus, LostLinkEndsPollingWithBoxClosed) {
  Armed a({{"type", "Polar"}}, 3);
  a.sim.addFault({FaultKind::DropAtCommand, "E"});
  ASSERT_EQ(Erase(a.st), 0);
  EXPECT_EQ(EraseStatus(a.st), -1);
  EXPECT_EQ(a.op.openProgressBoxes, 0);
}

TEST(DisableSd, ForcesNorFlashAndTellsTheOperator) {
  Armed a({{"type", "WorldSID"}});
  DISABLE_SD(a.st);
  EXPECT_EQ(a.countReceived("NORFLASH"), 1);
  EXPECT_EQ(a.countReceived("DUMPINFO"), 2);  // identification, then the refresh
  EXPECT_TRUE(a.op.showed("FLASH USE", "SD CARD Read disabled until Lumvex is Rebooted"));
}
