// The impact-side change against the simulated unit: an older unit's
// calibration load with its exact stream and the "????????" entry, the file,
// question and time-out failures, the LX2 unit's SETSIDECAL answers, and the
// relabelling of a unit below serial 100.
#include "maintenance/side.h"

#include "link/info.h"
#include "maintenance/upload.h"
#include "platform/transport.h"
#include "sim/wsid_model.h"
#include "support/byte_stream.h"
#include "support/drive_station.h"
#include "support/testing.h"
#include "ui/screens.h"

#include <gtest/gtest.h>

using namespace lumvex;
using lumvex::sim::FaultKind;
using lumvex::testing::DriveStation;
using lumvex::testing::readFile;
using lumvex::testing::SameBytes;
using lumvex::testing::TempDir;

namespace {

constexpr char kRightDate[] = "02-Feb-2024";
constexpr char kLeftDate[] = "01-Jan-2024";
constexpr char kRightFile[] = "SN150_02-Feb-2024_Right Side_cal.bin";

// A WorldSID unit identified and laid out, facing left.
struct SideStation : DriveStation {
  TempDir dir;
  SideStation(const char* serial, const char* firmware, sim::CommandTable table = sim::DefaultCommands())
      : DriveStation({{"serial", serial}, {"firmware", firmware}, {"side", "LEFT"}}, 0, std::move(table)) {
    set("caldate", kLeftDate);
    set("caldate.left", kLeftDate);
    set("caldate.right", kRightDate);
    st.workDir = dir.path();
    EXPECT_TRUE(connect());
    EXPECT_EQ(GetLXinfo(st), 0);
    EXPECT_EQ(SetupScreens(st, 1), 0);
    sim.captureInput(true);
    op.clear();
  }
  SideChange pick(const char* side) {
    st.model.selectValue(Ctl::LX_DIRECTION, side);
    return DirChange(st);
  }
  std::string fragment(int row) { return st.model.cell(Ctl::LED_TABLE, row, 4).text.substr(4, 10); }
  std::string writeRightCalibration() {
    EXPECT_EQ(
        sim::wsidWriteCalibrationFile(dir.path(), "150", kRightDate, "Right Side", DummyWorldSID50th, 0), 0);
    return readFile(dir.file(kRightFile));
  }
};

int failedEntries(const Model& m) {
  int n = 0;
  for (const Item& it : m[Ctl::LX_DIRECTION].items) n += it.label == "????????" && it.value == "??";
  return n;
}

}  // namespace

TEST(DirChange, OlderUnitTakesTheNewSidesCalibrationExactly) {
  SideStation s("150", "V7.3");
  const std::string file = s.writeRightCalibration();
  unsigned sum = 0;
  for (char c : file) sum += static_cast<unsigned char>(c);
  s.op.twoButtonAnswers.push_back(2);
  EXPECT_EQ(s.pick("RI"), SideChange::Loaded);

  const Shown& q = s.op.transcript.front();
  EXPECT_EQ(q.title, "Lumvex Direction Change");
  EXPECT_EQ(q.text,
            "This will load a calibration file into the Lumvex\n\rIf the Lumvex is installed for RIGHT side "
            "impact, "
            "click on the Load File button\n\rOtherwise click on the Cancel button");
  EXPECT_EQ(q.answer, "Load Cal File");
  EXPECT_TRUE(SameBytes(s.sim.capturedInput(),
                        CommandFrame("CAL_DATE#1#") +
                            CommandFrame("CALLOADRIGHT#2447480#" + std::to_string(sum % 256) + "#") + file +
                            "DIRECTION#196\r\n"));
  EXPECT_EQ(s.op.messages(), std::vector<std::string>{"Cal Load Response: OK"});
  EXPECT_EQ(s.op.progress, (std::vector<double>{10, 20, 30, 40, 50, 60, 70, 80, 90}));
  EXPECT_EQ(s.st.model.itemValue(Ctl::LX_DIRECTION), "RI");
  EXPECT_EQ(s.st.session.DirectionText, "Right Side");
  EXPECT_EQ(s.st.model.text(Ctl::CALDATE), kRightDate);
  EXPECT_EQ(s.fragment(1), "WR01 01 RE");
  EXPECT_EQ(s.fragment(18), "WR18 06 FR");
  EXPECT_TRUE(SameBytes(s.sim.withUnit([](sim::UnitState& u) { return u.sideCalibration[1]; }), file));
  EXPECT_EQ(s.sim.withUnit([](sim::UnitState& u) { return u.prop("caldate"); }), kRightDate);

  // The side now current again: nothing is asked or sent.
  s.op.clear();
  EXPECT_EQ(s.pick("RI"), SideChange::Nothing);
  EXPECT_TRUE(s.op.transcript.empty());
  EXPECT_EQ(s.sim.capturedInput(), "");
}

TEST(DirChange, TwoFailedLoadsLeaveOneMarkedEntryUntilALoadSucceeds) {
  SideStation s("150", "V7.3");
  s.writeRightCalibration();
  s.set("calload.result", "BAD CHECKSUM");
  for (int i = 0; i < 2; ++i) {
    s.op.twoButtonAnswers.push_back(2);
    EXPECT_EQ(s.pick("RI"), SideChange::Failed);
    EXPECT_EQ(failedEntries(s.st.model), 1);
    EXPECT_EQ(s.st.model.itemValue(Ctl::LX_DIRECTION), "??");
    EXPECT_EQ(s.st.model.itemCount(Ctl::LX_DIRECTION), 3);
  }
  EXPECT_TRUE(s.op.showed(
      "Calibration File Load ERROR",
      "CAlibration file did not load properly - Lumvex reports:\r\nBAD CHECKSUM\r\n Try loading the "
      "calbration file again !\r\nDO NOT USE the Lumvex until a calibration file is sucessfully "
      "loaded"));
  EXPECT_EQ(s.fragment(1), "WR01 01 RE");  // the cells follow the chosen side either way

  s.sim.withUnit([](sim::UnitState& u) { u.props.erase("calload.result"); });
  s.op.twoButtonAnswers.push_back(2);
  EXPECT_EQ(s.pick("RI"), SideChange::Loaded);
  EXPECT_EQ(failedEntries(s.st.model), 0);
  EXPECT_EQ(s.st.model.itemValue(Ctl::LX_DIRECTION), "RI");
}

TEST(DirChange, CancelMissingFileAndReprocessingSendNoCalibration) {
  SideStation s("150", "V7.3");
  EXPECT_EQ(s.pick("RI"), SideChange::Cancelled);  // the first button, "Cancel"
  EXPECT_EQ(s.st.model.itemValue(Ctl::LX_DIRECTION), "LE");
  EXPECT_EQ(s.sim.capturedInput(), "");

  s.op.twoButtonAnswers.push_back(2);
  EXPECT_EQ(s.pick("RI"), SideChange::Failed);
  EXPECT_EQ(s.op.messages(), std::vector<std::string>{
                                 "Calibration File Error: Could not find calibration file, Load aborted"});
  EXPECT_EQ(s.st.model.itemValue(Ctl::LX_DIRECTION), "LE");
  EXPECT_EQ(s.st.session.calDate, kLeftDate);
  EXPECT_EQ(s.st.model.text(Ctl::CALDATE), kLeftDate);
  EXPECT_EQ(s.sim.capturedInput(), CommandFrame("CAL_DATE#1#"));

  s.writeRightCalibration();
  s.st.model.setVisible(Ctl::REPROCESS_BUTTON, true);
  s.op.clear();
  EXPECT_EQ(s.pick("RI"), SideChange::Nothing);
  EXPECT_TRUE(s.op.transcript.empty());
}

TEST(SendCal, AUnitThatNeverAnswersEndsInTheFailureBox) {
  sim::CommandTable table = sim::DefaultCommands();
  table.add("CALLOADLEFT", [](sim::Exchange& x) {
    x.reply({"Send Cal Data"});
    x.expectBytes(10, [](sim::Exchange&, std::string_view) {});  // takes the data, says nothing
  });
  SideStation s("150", "V7.3", std::move(table));
  for (int i = 0; i < 10; ++i)
    s.st.data.CalUploadBuffer[static_cast<size_t>(i)] = static_cast<uint8_t>(200 + i);
  EXPECT_EQ(SendCal(s.st, 10, 0, 300), -1);
  // 200 + ... + 209 = 2045, which is 253 modulo 256.
  EXPECT_EQ(s.sim.received().back(),
            "CALLOADLEFT#10#253#" + std::to_string(FrameChecksum("CALLOADLEFT#10#253#")));
  EXPECT_EQ(s.op.messages(),
            std::vector<std::string>{
                "Calibration File Load ERROR: CAlibration file did not load properly - Lumvex "
                "reports:\r\n\r\n Try loading the calbration file again !\r\nDO NOT USE the Lumvex "
                "until a calibration file is sucessfully loaded"});
  EXPECT_EQ(s.st.session.linkHandle->timeout(), 2000);
  EXPECT_FALSE(s.st.model.panel(Panel::LoaderWait).visible);
}

TEST(DirChange, Lx2UnitSwitchesAndRereadsItsDateAndSide) {
  SideStation s("150", "LX2 V8.0");
  EXPECT_EQ(s.pick("RI"), SideChange::Switched);
  EXPECT_EQ(s.sim.capturedInput(), CommandFrame("SETSIDECAL#1#") + "CAL_DATE#112\r\nDIRECTION#196\r\n");
  EXPECT_EQ(s.st.session.DirectionText, "Right Side");
  EXPECT_EQ(s.st.model.text(Ctl::CALDATE), kRightDate);
  EXPECT_EQ(s.fragment(2), "WR02 01 MI");

  s.set("sidecal.result", "BAD2");
  EXPECT_EQ(s.pick("LE"), SideChange::Failed);
  EXPECT_EQ(s.op.messages(),
            std::vector<std::string>{"Cal Curve Error:: Left Side Cal is corrupted, reverting to "
                                     "Right Side"});
  EXPECT_EQ(s.st.model.itemValue(Ctl::LX_DIRECTION), "RI");
  EXPECT_EQ(s.fragment(2), "WR02 01 MI");
}

TEST(Set_LX2_Direction, RefusalsAndMalformedReplies) {
  SideStation s("150", "LX2 V8.0");
  s.set("sidecal.result", "BAD2");
  EXPECT_EQ(Set_LX2_Direction(s.st, 1), -1);  // BAD2 is tested before BAD
  s.set("sidecal.result", "BAD");
  EXPECT_EQ(Set_LX2_Direction(s.st, 0), -1);
  EXPECT_EQ(Set_LX2_Direction(s.st, 1), -1);
  s.set("sidecal.result", "BUSY");
  EXPECT_EQ(Set_LX2_Direction(s.st, 1), -1);
  EXPECT_EQ(s.op.messages(),
            (std::vector<std::string>{
                "Cal Curve Error:: Right Side Cal data is corrupted, reverting to Left Side",
                "Cal Curve Error:: Left Side Cal data does not exist, reverting to Right Side",
                "Cal Curve Error:: Right Side Cal data does not exist, reverting to Left Side"}));
  s.op.clear();
  s.sim.addFault({FaultKind::CorruptChecksum, "SETSIDECAL"});
  EXPECT_EQ(Set_LX2_Direction(s.st, 0), -1);
  EXPECT_EQ(s.op.messages(),
            std::vector<std::string>{"COMM ERROR: Communication error changing Lumvex cal curve"});
}

TEST(DirChange, UnitBelowSerial100OnlyRelabelsTheTable) {
  SideStation s("50", "V7.3");
  EXPECT_EQ(s.pick("RI"), SideChange::Relabelled);
  const Model& m = s.st.model;
  EXPECT_EQ(m.cell(Ctl::LED_TABLE, 1, 3).text, "FRONT");
  EXPECT_EQ(m.cell(Ctl::LED_TABLE, 2, 3).text, "MIDDLE");
  EXPECT_EQ(m.cell(Ctl::LED_TABLE, 3, 3).text, "REAR");
  // Within each rib the right side's entries come reversed.
  EXPECT_EQ(s.fragment(1), "WR03 01 FR");
  EXPECT_EQ(s.fragment(3), "WR01 01 RE");
  EXPECT_EQ(s.fragment(16), "WR18 06 FR");
  EXPECT_EQ(s.pick("LE"), SideChange::Relabelled);
  EXPECT_EQ(m.cell(Ctl::LED_TABLE, 1, 3).text, "REAR");
  EXPECT_EQ(s.fragment(1), "WL01 01 RE");
  EXPECT_EQ(s.sim.capturedInput(), "");
}
