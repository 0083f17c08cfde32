// The position autocheck: the magnitude comparison at and around its limits,
// "AutoPosnCheck.ini" read and written whole with its messages, the unit's
// references with their error counts, the check that keeps the table while
// the unit is armed, storing new references after two questions, and the
// question before arming.
#include "maintenance/autocheck.h"

#include "platform/transport.h"
#include "support/drive_station.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace lumvex;
using lumvex::sim::FaultKind;
using lumvex::testing::DriveStation;
using lumvex::testing::readFile;
using lumvex::testing::TempDir;
using lumvex::testing::writeFile;

namespace {

// The simulated unit's resting position of LED led (1-based), axis a (mm).
double resting(int led, int a) { return 20.0 * a + 3.5 * led + 0.25; }

std::string list(const std::array<double, 54>& v) {
  std::string s;
  char buf[32];
  for (double x : v) {
    std::snprintf(buf, sizeof buf, "%.2f,", x);
    s += buf;
  }
  return s;
}

std::array<double, 54> restingPositions() {
  std::array<double, 54> v{};
  for (int i = 0; i < 54; ++i) v[static_cast<size_t>(i)] = resting(i / 3 + 1, i % 3);
  return v;
}

}  // namespace

TEST(CompareWithReferences, MagnitudesAreComparedAndTheLimitItselfIsWithin) {
  std::array<double, 54> cur{}, ref{};
  bool out[54];
  const std::array<int, 3> limits = {2, 3, 1};
  cur[0] = 40.0, ref[0] = -40.0;  // LED 1 X: only the sign differs
  cur[3] = 12.0, ref[3] = 10.0;   // LED 2 X: exactly the limit
  cur[6] = 12.01, ref[6] = 10.0;  // LED 3 X: just over it
  cur[7] = 1.9, ref[7] = 5.0;     // LED 3 Y: 3.1 over a limit of 3
  cur[8] = -6.0, ref[8] = 5.5;    // LED 3 Z: 0.5 within 1
  EXPECT_EQ(CompareWithReferences(cur.data(), ref.data(), limits, out), 2);
  EXPECT_FALSE(out[0]);
  EXPECT_FALSE(out[3]);
  EXPECT_TRUE(out[6]);
  EXPECT_TRUE(out[7]);
  EXPECT_FALSE(out[8]);
}

TEST(AutoCheckIni, ShippedFileReadsAndAWriteReplacesTheWholeFile) {
  DriveStation s;
  TempDir dir;
  s.st.workDir = dir.path();
  writeFile(dir.file(kAutoCheckIniName), readFile(lumvex::testing::sourcePath("config/AutoPosnCheck.ini")));
  ASSERT_EQ(ReadAutoCheckIni(s.st), 0);
  EXPECT_EQ(s.st.AutoCheckLimits, (std::array<int, 3>{4, 3, 4}));

  writeFile(dir.file(kAutoCheckIniName), "; old\r\n[Other]\r\nkeep = 1\r\n[Error Limits]\r\nXerror = 9\r\n");
  s.st.AutoCheckLimits = {5, 6, 7};
  ASSERT_EQ(WriteAutoCheckIni(s.st), 0);
  const std::string text = readFile(dir.file(kAutoCheckIniName));
  EXPECT_EQ(text.find("Other"), std::string::npos);
  EXPECT_EQ(text.find("old"), std::string::npos);
  s.st.AutoCheckLimits = {};
  ASSERT_EQ(ReadAutoCheckIni(s.st), 0);
  EXPECT_EQ(s.st.AutoCheckLimits, (std::array<int, 3>{5, 6, 7}));
  EXPECT_TRUE(s.op.transcript.empty());
}

TEST(AutoCheckIni, MissingFileAndMissingZerrorAreToldAndKeepTheLimits) {
  DriveStation s;
  TempDir dir;
  s.st.workDir = dir.path();
  s.st.AutoCheckLimits = {1, 2, 3};
  EXPECT_EQ(ReadAutoCheckIni(s.st), -1);
  writeFile(dir.file(kAutoCheckIniName), "[Error Limits]\r\nXerror = 4\r\nYerror = 3\r\nZerror =\r\n");
  EXPECT_EQ(ReadAutoCheckIni(s.st), -1);
  EXPECT_EQ(s.op.messages(),
            (std::vector<std::string>{
                "Error Reading Initialization File: Error reading initialization file,\r Check "
                "AutoPosnCheck.ini in Lumvex program directory \r Aborting",
                "Error Reading Initialization File: Error reading initialization file\rCheck "
                "AutoPosnCheck.ini in Lumvex program directory \rError in section = Error "
                "Limits, variable = Zerror\r\r Check for blank or bad entries in the "
                "initialization file\r\rAborting"}));
  EXPECT_EQ(s.st.AutoCheckLimits, (std::array<int, 3>{1, 2, 3}));
}

TEST(GetGoldenPosns, ReferencesOrTheUnitsErrorCounts) {
  DriveStation s;
  ASSERT_TRUE(s.connect());
  double v[54];
  int count = 0;
  ASSERT_EQ(GetGoldenPosns(s.st, count, v), 0);
  EXPECT_EQ(count, 54);
  EXPECT_DOUBLE_EQ(v[0], 3.75);
  EXPECT_DOUBLE_EQ(v[53], resting(18, 2));
  EXPECT_EQ(s.st.session.linkHandle->timeout(), 2000);

  s.set("golden.count", "1");
  EXPECT_EQ(GetGoldenPosns(s.st, count, v), 1);
  EXPECT_EQ(v[0], 0.0);
  s.set("golden.count", "0");
  EXPECT_EQ(GetGoldenPosns(s.st, count, v), 1);
  s.sim.addFault({FaultKind::CorruptChecksum, "GETGOLDENPOSNS"});
  v[53] = 7;
  EXPECT_EQ(GetGoldenPosns(s.st, count, v), -1);
  EXPECT_EQ(v[53], 0.0);
  EXPECT_EQ(s.op.messages(),
            (std::vector<std::string>{
                "CRC ERROR: CRC Error getting Golden LED positions, creating new file",
                "File ERROR: File not found error getting Golden LED positions, creating new file",
                "COMM ERROR: Comm Error getting current positions"}));
  EXPECT_EQ(s.st.session.linkHandle->timeout(), 2000);
}

TEST(AutoCheck, CheckMarksDeviationsAndNewReferencesClearThem) {
  std::array<double, 54> golden = restingPositions();
  golden[3] += 5.0;        // LED 2 X moved by 5 mm
  golden[7] = -golden[7];  // LED 3 Y on the other side: no deviation
  DriveStation s({{"golden", list(golden)}});
  ASSERT_TRUE(s.connect());
  s.st.AutoCheckLimits = {4, 3, 4};
  AutoCheckTables t;
  int count = 0;
  ASSERT_EQ(GetGoldenPosns(s.st, count, t.reference.data()), 0);
  EXPECT_EQ(checkPosnsForAutoCheck(s.st, t), 1);
  EXPECT_TRUE(t.outOfLimits[3]);
  EXPECT_DOUBLE_EQ(t.current[7], resting(3, 1));

  // Armed: the current table is not read again.
  s.sim.arm(0, 1000);
  t.current[0] = 99.0;
  EXPECT_EQ(checkPosnsForAutoCheck(s.st, t), 2);
  s.sim.disarm();

  // The operator refuses at the first and at the second question, then agrees.
  s.op.confirmAnswers = {false, true, true};
  s.op.twoButtonAnswers = {1, 2};
  EXPECT_EQ(UpdateGoldens(s.st, t), 2);
  EXPECT_EQ(UpdateGoldens(s.st, t), 2);
  EXPECT_EQ(s.countReceived("SETGOLDENPOSNS"), 0);
  EXPECT_EQ(UpdateGoldens(s.st, t), 0);
  EXPECT_EQ(s.countReceived("SETGOLDENPOSNS"), 1);
  EXPECT_DOUBLE_EQ(t.reference[3], resting(2, 0));
  for (bool marked : t.outOfLimits) EXPECT_FALSE(marked);
  EXPECT_EQ(checkPosnsForAutoCheck(s.st, t), 0);
  EXPECT_TRUE(
      s.op.showed("LED Position Update Request",
                  "Are you sure you want to change the recorded positions in the Lumvex?\r\n This should "
                  "only be done in the ATD Lab\r\nPress NO to cancel"));
  EXPECT_TRUE(
      s.op.showed("LED Position Update second check",
                  "Are you really really sure you want to change the recorded positions in the Lumvex?"));

  s.set("golden.store", "3");
  s.op.confirmAnswers = {true};
  s.op.twoButtonAnswers = {2};
  EXPECT_EQ(UpdateGoldens(s.st, t), 1);
  EXPECT_TRUE(s.op.showed("file ERROR", "File Error Storing Golden LED positions"));
}

TEST(AutoCheck, BeforeArmOutOfLimitsAsksAndTheSwitchNeedsAnLx2Unit) {
  DriveStation s;
  ASSERT_TRUE(s.connect());
  s.st.AutoCheckLimits = {4, 3, 4};
  AutoCheckTables t;  // references all zero: every coordinate is out
  EXPECT_FALSE(AutoCheckBeforeArm(s.st, t));
  EXPECT_TRUE(
      s.op.showed("LED errors detected!",
                  " There are LEDs are reporting position errors or error codes \r\nClick YES to continue to "
                  "ARM\r\nClick NO to STOP and look at the LED Position Auto Check tab to see which LEDs are "
                  "reporting errors"));
  t.reference = restingPositions();
  s.op.clear();
  EXPECT_TRUE(AutoCheckBeforeArm(s.st, t));
  EXPECT_TRUE(s.op.transcript.empty());

  SessionState lx2;
  lx2.IsLX2 = 1;
  lx2.DummyType = DummyWorldSID5th;
  EXPECT_FALSE(AutoCheckOn(lx2, false));
  EXPECT_TRUE(AutoCheckOn(lx2, true));
  EXPECT_FALSE(AutoCheckOn(SessionState{}, true));
  lx2.DummyType = DummySIDIIs;  // "LX2" firmware on a unit without 18 reference LEDs
  EXPECT_FALSE(AutoCheckOn(lx2, true));
}
