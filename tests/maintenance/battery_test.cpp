// The battery read-out against the simulated unit: a reading shown on the
// gauge, the two error codes' messages, the reset dialog's two ways out, the
// retries and the fuel-gauge reset button.
#include "maintenance/battery.h"
#include "ui/diagnostics_page.h"
#include "support/scripted_operator.h"

#include "support/drive_station.h"

#include <gtest/gtest.h>

using namespace lumvex;
using lumvex::sim::FaultKind;
using lumvex::testing::DriveStation;

namespace {

bool askedAboutReset(const ScriptedOperator& op) {
  for (const auto& s : op.transcript)
    if (s.kind == Shown::TwoButton && s.title == "BATTERY ERROR") return true;
  return false;
}

}  // namespace

TEST(DoBattery, ReadingIsShownOnGaugeAndVolts) {
  DriveStation s({{"battery.charge", "87"}, {"battery.volts", "12.6"}});
  ASSERT_TRUE(s.connect());
  s.st.model.setVisible(Ctl::BATT_FUEL, false);
  EXPECT_EQ(DoBattery(s.st), 87);
  const Model& m = s.st.model;
  EXPECT_EQ(m.number(Ctl::BATT_FUEL), 87);
  EXPECT_DOUBLE_EQ(m.number(Ctl::BATT_VOLTS), 12.6);
  for (Ctl c : {Ctl::BATT_FUEL, Ctl::CHECK_BATT, Ctl::BATT_VOLTS, Ctl::BATT_SPLITTER})
    EXPECT_TRUE(m.visible(c));
  EXPECT_FALSE(m.dimmed(Ctl::BATT_FUEL));
  EXPECT_FALSE(m.dimmed(Ctl::BATT_VOLTS));
  EXPECT_TRUE(s.op.transcript.empty());
}

TEST(DoBattery, NotFoundAndCommErrorsShowTheirMessagesAndKeepTheGaugeDimmedAtZero) {
  DriveStation s({{"battery.charge", "-1"}});
  ASSERT_TRUE(s.connect());
  s.st.model.setNumber(Ctl::BATT_FUEL, 55);
  EXPECT_EQ(DoBattery(s.st), -1);
  EXPECT_TRUE(
      s.op.showed("BATTERY ERROR",
                  "Battery was not Found!\r\n Check that battery cable is plugged in\r\n or battery might be "
                  "completely discharged\r\n click Check Batt to recheck"));
  EXPECT_EQ(s.st.model.number(Ctl::BATT_FUEL), 0);
  EXPECT_TRUE(s.st.model.dimmed(Ctl::BATT_FUEL));
  s.set("battery.charge", "-3");
  EXPECT_EQ(DoBattery(s.st), -3);
  EXPECT_TRUE(
      s.op.showed("BATTERY ERROR",
                  "Battery repeated communication error\r\n Check the battey cable \r\n click Check Batt to "
                  "recheck"));
}

TEST(DoBattery, GaugeResetThenFullyChargedShowsTheNewReading) {
  DriveStation s({{"battery.charge", "-2"}, {"battery.full", "100"}, {"battery.volts", "13.1"}});
  ASSERT_TRUE(s.connect());
  s.op.twoButtonAnswers.push_back(1);  // "Fully Charged"
  EXPECT_EQ(DoBattery(s.st), 100);
  ASSERT_TRUE(askedAboutReset(s.op));
  const Shown& box = s.op.transcript[0];
  EXPECT_EQ(box.text,
            "Fuel Gage Chip has been Reset, Charge Level is Unknown\r\n"
            "Fully charge the battery and then click on Fully charged\" button below\r\n"
            "You can continue without fixing the fuel gage with the \"Continue\" button below \r\n"
            "IF you disconnect you will come back to this screen next time you connect\r\n");
  EXPECT_EQ(box.answer, "Fully Charged");
  EXPECT_EQ(s.st.model.number(Ctl::BATT_FUEL), 100);
  EXPECT_DOUBLE_EQ(s.st.model.number(Ctl::BATT_VOLTS), 13.1);
  EXPECT_EQ(s.countReceived("BATTSETFULL"), 1);
}

TEST(DoBattery, GaugeResetContinueWithoutDataReturnsMinusTwo) {
  DriveStation s({{"battery.charge", "-2"}});
  ASSERT_TRUE(s.connect());
  s.op.twoButtonAnswers.push_back(2);
  EXPECT_EQ(DoBattery(s.st), -2);
  EXPECT_EQ(s.countReceived("BATTSETFULL"), 0);
  EXPECT_TRUE(s.st.model.dimmed(Ctl::BATT_FUEL));
}

TEST(DoBattery, FailedFirstReadingAfterResetIsRepeated) {
  DriveStation s({{"battery.charge", "-2"}, {"battery.full", "100"}});
  ASSERT_TRUE(s.connect());
  s.sim.addFault({FaultKind::CorruptChecksum, "GETBATINFO", 2});  // the first reading after the reset
  s.op.twoButtonAnswers.push_back(1);
  EXPECT_EQ(DoBattery(s.st), 100);
  EXPECT_EQ(s.countReceived("GETBATINFO"), 3);
  EXPECT_TRUE(s.op.showed("COMM ERROR", "in get battery info"));
  EXPECT_EQ(s.st.model.number(Ctl::BATT_FUEL), 100);
}

TEST(DoBattery, FailedResetReturnsZero) {
  DriveStation s({{"battery.charge", "-2"}, {"battery.refuse", "1"}});
  ASSERT_TRUE(s.connect());
  s.op.twoButtonAnswers.push_back(1);
  EXPECT_EQ(DoBattery(s.st), 0);
  EXPECT_EQ(s.countReceived("BATTSETFULL"), 2);
  EXPECT_TRUE(s.op.showed("ERROR", "Unknown Error setting battery to full charge"));
}

TEST(DoBattery, TwoBadReadingsGiveZero) {
  DriveStation s({{"battery.charge", "95"}});
  ASSERT_TRUE(s.connect());
  s.sim.addFault({FaultKind::ExtraFields, "GETBATINFO", 1, 2});
  EXPECT_EQ(DoBattery(s.st), 0);
  EXPECT_EQ(s.countReceived("GETBATINFO"), 2);
  EXPECT_EQ(s.st.model.number(Ctl::BATT_FUEL), 0);
}

TEST(BatReset, RetriesOnceAndReportsBothOutcomes) {
  DriveStation s({{"battery.charge", "-2"}});
  ASSERT_TRUE(s.connect());
  s.sim.addFault({FaultKind::CorruptChecksum, "BATTSETFULL", 1});
  BAT_RESET(s.st);
  EXPECT_TRUE(s.op.showed("COMM ERROR", "Communnication Error setting battery to full charge"));
  EXPECT_TRUE(s.op.showed("Fuel Gage Reset", "Battery Fuel Gage Reset to Full Charge"));
  EXPECT_EQ(s.countReceived("BATTSETFULL"), 2);
  s.op.clear();
  s.set("battery.refuse", "1");
  BAT_RESET(s.st);
  EXPECT_TRUE(s.op.showed("Battery Comm Error", "Bad Comm with Battery"));
}

TEST(GetBattInfo, FailedExchangeReadsAsZero) {
  lumvex::testing::TestStation t;  // no link at all
  int charge = 5;
  double volts = 1;
  EXPECT_EQ(GetBattInfo(t.st, charge, volts), 0);
  EXPECT_EQ(charge, 0);
  EXPECT_EQ(volts, 0);
}
