// Identification and settings against the simulated unit: trigger codes
// offered and accepted by serial number, LX2 and configuration bit, the
// configuration block read, test comments with '#' and ',', the recorded
// window limits, the side and the clock.
#include "link/info.h"
#include "ui/setup_page.h"

#include "support/drive_station.h"

#include <gtest/gtest.h>

using namespace lumvex;
using lumvex::testing::DriveStation;

namespace {

std::vector<std::string> triggerValues(const Model& m) {
  std::vector<std::string> v;
  for (const auto& it : m[Ctl::TRIGGER_SET].items) v.push_back(it.value);
  return v;
}

const std::vector<std::string> kEdges = {"0", "1"};
const std::vector<std::string> kAll = {"0", "1", "2", "3"};

}  // namespace

TEST(GetLXinfo, FillsTheIdentityFieldsAndTheRecordedWindow) {
  DriveStation s({{"type", "WorldSID"},
                  {"serial", "150"},
                  {"firmware", "V7.1"},
                  {"caldate", "01-Feb-2023"},
                  {"comment",
                   "sled 12\x03"
                   "4_a"}},
                 3);
  ASSERT_TRUE(s.connect());
  ASSERT_EQ(GetLXinfo(s.st), 0);
  const Model& m = s.st.model;
  EXPECT_EQ(m.text(Ctl::LXtype), "WorldSID");
  EXPECT_EQ(m.text(Ctl::SERNUM), "150");
  EXPECT_EQ(s.st.session.SerialNumberText, "150");
  EXPECT_EQ(m.text(Ctl::FIRMWARE), "V7.1");
  EXPECT_EQ(s.st.session.IsLX2, 0);
  EXPECT_EQ(m.text(Ctl::CALDATE), "01-Feb-2023");  // cut at the CR
  EXPECT_EQ(s.st.session.calDate, "01-Feb-2023");
  EXPECT_EQ(m.text(Ctl::TESTINFO), "sled 12#4_a");
  EXPECT_EQ(m.text(Ctl::DATA_STRT), "-1000");
  EXPECT_EQ(m.text(Ctl::DATA_STOP), "1000");
  EXPECT_EQ(m[Ctl::DL_START_TIME].minimum, -1000);
  EXPECT_EQ(m[Ctl::DL_STOP_TIME].maximum, 1000);
  EXPECT_EQ(s.st.session.triggerCheckSupported, 1);
  EXPECT_EQ(s.countReceived("SENDCONFIG"), 0);  // not an LX2 unit
  EXPECT_TRUE(s.op.transcript.empty());
}

TEST(GetLXinfo, SerialBelow100OffersAllFourCodesAndAcceptsCode3) {
  DriveStation s({{"serial", "57"}, {"firmware", "V6"}, {"trigger", "3"}});
  ASSERT_TRUE(s.connect());
  ASSERT_EQ(GetLXinfo(s.st), 0);
  EXPECT_EQ(triggerValues(s.st.model), kAll);
  EXPECT_EQ(s.st.model.itemValue(Ctl::TRIGGER_SET), "3");
  EXPECT_EQ(s.st.session.TriggerSetting, 3);
  EXPECT_EQ(s.st.session.triggerInvalid, 0);
  EXPECT_EQ(s.st.model[Ctl::TRIGGER_SET].textColour, colour::Black);
}

TEST(GetLXinfo, NonLx2Serial150ReportingCode2IsInvalid) {
  DriveStation s({{"serial", "150"}, {"firmware", "V6"}, {"trigger", "2"}});
  ASSERT_TRUE(s.connect());
  ASSERT_EQ(GetLXinfo(s.st), 0);
  EXPECT_EQ(s.st.session.triggerInvalid, 1);
  EXPECT_TRUE(s.op.showed("Invalid trigger Setting in Lumvex",
                          "Invalid Lumvex trigger setting - Reset the Lumvex Trigger"));
  EXPECT_EQ(triggerValues(s.st.model), (std::vector<std::string>{"-1", "0", "1"}));
  EXPECT_EQ(s.st.model.itemLabel(Ctl::TRIGGER_SET), "TRIGGER NOT SET !!!!!!!!!!!!!!!!!!");
  EXPECT_EQ(s.st.model[Ctl::TRIGGER_SET].textColour, colour::Red);

  // Choosing a valid trigger and re-reading clears the state.
  s.st.model.setIndex(Ctl::TRIGGER_SET, 2);  // "1" Falling Edge
  s.op.clear();
  s.st.model.bind(Ctl::TRIGGER_SET, [&](const Event&) { TRIGGER_SET(s.st); });
  s.st.model.commit(Ctl::TRIGGER_SET);
  EXPECT_EQ(s.lastReceived("TRIGGERSET"), "TRIGGERSET#1#119");
  EXPECT_TRUE(s.op.showed("note", "Trigger Setting changed in Lumvex"));
  EXPECT_EQ(s.st.session.triggerInvalid, 0);
  EXPECT_EQ(s.st.session.TriggerSetting, 1);
  EXPECT_EQ(s.st.model[Ctl::TRIGGER_SET].textColour, colour::Black);
  EXPECT_EQ(triggerValues(s.st.model), kEdges);
}

TEST(GetLXinfo, NegativeCodeIsInvalidToo) {
  DriveStation s({{"serial", "57"}, {"firmware", "V6"}, {"trigger", "-1"}});
  ASSERT_TRUE(s.connect());
  ASSERT_EQ(GetLXinfo(s.st), 0);
  EXPECT_EQ(s.st.session.triggerInvalid, 1);
  EXPECT_EQ(triggerValues(s.st.model), (std::vector<std::string>{"-1", "0", "1", "2", "3"}));
}

TEST(GetLXinfo, Lx2OffersDifferentialOnlyWithConfigurationBit) {
  {
    DriveStation s({{"serial", "150"}, {"firmware", "LX2 V8"}, {"config.flags", "32"}, {"trigger", "2"}});
    ASSERT_TRUE(s.connect());
    ASSERT_EQ(GetLXinfo(s.st), 0);
    EXPECT_EQ(s.st.session.IsLX2, 1);
    EXPECT_EQ(s.st.session.configValid, 1);
    EXPECT_EQ(ConfigFlags(s.st.session), 32u);
    EXPECT_EQ(triggerValues(s.st.model), kAll);
    EXPECT_EQ(s.st.model.itemValue(Ctl::TRIGGER_SET), "2");
  }
  {
    // Bit 0x20 clear (other bits set): codes up to 3 are accepted, only the
    // two edge entries are offered.
    DriveStation s({{"serial", "150"}, {"firmware", "LX2 V8"}, {"config.flags", "65503"}, {"trigger", "3"}});
    ASSERT_TRUE(s.connect());
    ASSERT_EQ(GetLXinfo(s.st), 0);
    EXPECT_EQ(s.st.session.triggerInvalid, 0);
    EXPECT_EQ(s.st.session.TriggerSetting, 3);
    EXPECT_EQ(triggerValues(s.st.model), kEdges);
  }
}

TEST(GetConfig, ShortBlockFailsAndLeavesZerosAndLineModeRestored) {
  DriveStation s({{"serial", "150"}, {"firmware", "LX2 V8"}, {"config.bytes", "255"}, {"trigger", "2"}});
  ASSERT_TRUE(s.connect());
  s.st.session.unitConfig.fill(0xAA);
  s.st.session.configValid = 1;
  ASSERT_EQ(GetLXinfo(s.st), 0);  // a failed block does not stop identification
  EXPECT_TRUE(s.op.showed("Read Error", "Could not read configuration structure"));
  EXPECT_EQ(s.st.session.configValid, 0);
  for (uint8_t b : s.st.session.unitConfig) ASSERT_EQ(b, 0);
  // Without the block an LX2 unit is offered only the edges, yet code 2 is accepted.
  EXPECT_EQ(triggerValues(s.st.model), kEdges);
  EXPECT_EQ(s.st.session.triggerInvalid, 0);
  // The link is back in line mode: the next command is answered normally.
  EXPECT_EQ(DumpInfo(s.st), 0);
  EXPECT_EQ(s.op.messages().size(), 1u);
}

TEST(GetLXinfo, BadTypeReplyStopsIdentification) {
  DriveStation s;
  ASSERT_TRUE(s.connect());
  s.sim.addFault({lumvex::sim::FaultKind::CorruptChecksum, "WHO_ARE_YOU"});
  EXPECT_EQ(GetLXinfo(s.st), -1);
  EXPECT_TRUE(s.op.showed("COMM ERROR", "Communication error getting Lumvex type"));
  EXPECT_EQ(s.countReceived("SERIAL_NUMBER"), 0);
}

TEST(GetLXinfo, BadTriggerReplyOnlySkipsTheTriggerStep) {
  DriveStation s({{"comment", "abc"}});
  ASSERT_TRUE(s.connect());
  s.sim.addFault({lumvex::sim::FaultKind::WrongName, "GETTRIGGER"});
  EXPECT_EQ(GetLXinfo(s.st), 0);
  EXPECT_TRUE(s.op.showed("COMM ERROR", "Communication error getting Lumvex trigger setting"));
  EXPECT_EQ(s.st.model.text(Ctl::TESTINFO), "abc");
}

TEST(GetLXinfo, UnknownTriggerCheckMeansNoTriggerTest) {
  DriveStation s({{"triggercheck", "0"}});
  ASSERT_TRUE(s.connect());
  s.st.session.triggerCheckSupported = 1;
  ASSERT_EQ(GetLXinfo(s.st), 0);
  EXPECT_EQ(s.st.session.triggerCheckSupported, 0);
  EXPECT_TRUE(s.op.transcript.empty());
}

TEST(GetLXinfo, LostLinkFailsInsteadOfReportingAnIdentification) {
  DriveStation s;
  ASSERT_TRUE(s.connect());
  s.sim.addFault({lumvex::sim::FaultKind::DropAtCommand, "SERIAL_NUMBER"});
  EXPECT_EQ(GetLXinfo(s.st), -1);
  EXPECT_FALSE(LinkOpen(s.st));
}

TEST(DumpInfo, NoDataOpensTheWindowLimits) {
  DriveStation s;
  ASSERT_TRUE(s.connect());
  ASSERT_EQ(DumpInfo(s.st), 0);
  EXPECT_EQ(s.st.model.text(Ctl::DATA_STRT), "0");
  EXPECT_EQ(s.st.model[Ctl::DL_START_TIME].minimum, -30000);
  EXPECT_EQ(s.st.model[Ctl::DL_STOP_TIME].maximum, 30000);
  s.sim.addFault({lumvex::sim::FaultKind::ExtraFields, "DUMPINFO"});
  EXPECT_EQ(DumpInfo(s.st), -1);
  EXPECT_TRUE(s.op.showed("COMM ERROR", "in dump info"));
}

TEST(TestComment, HashReachesTheUnitAsThreeAndComesBackAsHash) {
  DriveStation s;
  ASSERT_TRUE(s.connect());
  s.st.model.setText(Ctl::TESTINFO, "run #7, left");
  TESTINFO(s.st);
  EXPECT_EQ(s.st.model.text(Ctl::TESTINFO), "run #7_ left");
  EXPECT_TRUE(s.op.showed("note", "ATD information changed in Lumvex"));
  std::string stored = s.sim.withUnit([](lumvex::sim::UnitState& u) { return u.prop("comment"); });
  EXPECT_EQ(stored,
            "run \x03"
            "7_ left");
  ASSERT_EQ(GetLXinfo(s.st), 0);
  EXPECT_EQ(s.st.model.text(Ctl::TESTINFO), "run #7_ left");
}

TEST(TestComment, EightyCharactersAreSentUnchangedEightyOneAreCutTo79) {
  DriveStation s;
  ASSERT_TRUE(s.connect());
  auto stored = [&] { return s.sim.withUnit([](lumvex::sim::UnitState& u) { return u.prop("comment"); }); };
  s.st.model.setText(Ctl::TESTINFO, std::string(80, 'a'));
  TESTINFO(s.st);
  EXPECT_EQ(stored(), std::string(80, 'a'));
  s.st.model.setText(Ctl::TESTINFO, std::string(81, 'b'));
  TESTINFO(s.st);
  EXPECT_EQ(s.st.model.text(Ctl::TESTINFO), std::string(79, 'b'));
  EXPECT_EQ(stored(), std::string(79, 'b'));
  EXPECT_EQ(CommentToUnit("x#y"), "x\x03y\r");
  EXPECT_EQ(CommentFromUnit("x\x03y,z"), "x#y_z");
}

TEST(TestComment, UnitWithoutCommentPromptIsReported) {
  DriveStation s({{"comment.refuse", "1"}});
  ASSERT_TRUE(s.connect());
  s.st.model.setText(Ctl::TESTINFO, "x");
  SetTestComment(s.st);
  EXPECT_TRUE(s.op.showed("COMM ERROR", "ATD not set in Lumvex"));
  // No comment line followed: the next command is answered at once.
  EXPECT_EQ(DumpInfo(s.st), 0);
  EXPECT_EQ(s.op.messages().size(), 1u);
}

TEST(TriggerSet, RefusalIsReported) {
  DriveStation s({{"trigger.refuse", "1"}});
  ASSERT_TRUE(s.connect());
  s.st.model.setItems(Ctl::TRIGGER_SET, {{"Rising Edge", "0"}}, 0);
  EXPECT_EQ(TriggerSet(s.st), -1);
  EXPECT_TRUE(s.op.showed("COMM ERROR", "Error setting Lumvex Trigger"));
  EXPECT_EQ(s.lastReceived("TRIGGERSET"), "TRIGGERSET#0#118");
}

TEST(Direction, SideSetsSelectorAndText) {
  DriveStation s({{"side", "RIGHT"}});
  ASSERT_TRUE(s.connect());
  s.st.model.setItems(Ctl::LX_DIRECTION, {{"Left Side", "LE"}, {"Right Side", "RI"}}, 0);
  ASSERT_EQ(Direction(s.st), 0);
  EXPECT_EQ(s.st.model.itemValue(Ctl::LX_DIRECTION), "RI");
  EXPECT_EQ(s.st.session.DirectionText, "Right Side");
  s.set("side", "LEFT");
  ASSERT_EQ(Direction(s.st), 0);
  EXPECT_EQ(s.st.session.DirectionText, "Left Side");
}

TEST(SetTime, SendsSecondsSince1970AndReportsRefusal) {
  DriveStation s;
  ASSERT_TRUE(s.connect());
  long long before = static_cast<long long>(std::time(nullptr));
  ASSERT_EQ(SetTime(s.st), 0);
  std::string sent = s.sim.withUnit([](lumvex::sim::UnitState& u) { return u.prop("clock"); });
  long long secs = std::stoll(sent);
  EXPECT_GE(secs, before);
  EXPECT_LE(secs, before + 5);
  s.set("settime.refuse", "1");
  EXPECT_EQ(SetTime(s.st), -1);
  EXPECT_TRUE(s.op.showed("COMM ERROR", "Error setting Lumvex Time"));
}

TEST(GetCalDate, SideQueryIsFramedWithTheSide) {
  DriveStation s({{"caldate.right", "05-May-2022"}});
  ASSERT_TRUE(s.connect());
  ASSERT_EQ(GetCalDate(s.st, 1), 0);
  EXPECT_EQ(s.st.session.calDate, "05-May-2022");
  EXPECT_EQ(s.lastReceived("CAL_DATE"), "CAL_DATE#1#" + std::to_string(FrameChecksum("CAL_DATE#1#")));
}

TEST(TriggerRules, SerialBoundaryAndLx2ConfigurationBit) {
  SessionState s;
  // Serial 99 is below 100; 100 is not.
  EXPECT_TRUE(DifferentialTriggerOffered(s, 99));
  EXPECT_EQ(HighestTriggerCode(s, 99), 3);
  EXPECT_FALSE(DifferentialTriggerOffered(s, 100));
  EXPECT_EQ(HighestTriggerCode(s, 100), 1);
  // LX2: codes up to 3 accepted; the differential entries need a block that
  // was read and holds bit 0x20 in the little-endian word at byte 56.
  s.IsLX2 = 1;
  EXPECT_EQ(HighestTriggerCode(s, 150), 3);
  s.unitConfig[56] = 0x20;
  EXPECT_FALSE(DifferentialTriggerOffered(s, 150));  // not read successfully
  s.configValid = 1;
  EXPECT_TRUE(DifferentialTriggerOffered(s, 150));
  s.unitConfig[56] = 0;
  s.unitConfig[57] = 0x20;  // bit 0x2000, not 0x20
  EXPECT_FALSE(DifferentialTriggerOffered(s, 150));
  // An LX2 firmware text on a unit without the block offers the edges only.
  s.IsLX2 = 0;
  s.unitConfig[56] = 0x20;
  EXPECT_FALSE(DifferentialTriggerOffered(s, 150));
}
