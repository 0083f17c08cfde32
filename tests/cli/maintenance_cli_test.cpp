// lumvex-cli's maintenance subcommands against the in-process simulated unit:
// a firmware load that exits 0 only when the unit took it, the side change
// whose question needs --yes before a calibration goes out, the adjustable
// 50th's LED assignment set and saved, and the autocheck with the switch off.
#include "sim/wsid_model.h"
#include "support/cli_station.h"
#include "support/testing.h"

#include <gtest/gtest.h>

using namespace lumvex;
using lumvex::testing::CliRun;
using lumvex::testing::CliStation;
using lumvex::testing::readFile;
using lumvex::testing::writeFile;

namespace {

std::string unitProp(CliStation& c, const char* key) {
  return c.sim.withUnit([key](sim::UnitState& u) { return u.prop(key); });
}

}  // namespace

TEST(MaintenanceCli, FirmwareExitsZeroOnlyWhenTheUnitLoadedIt) {
  CliStation c({{"firmware", "LX2 V8.0"}});
  std::string image(1000, '\0');
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7);
  writeFile(c.dir.file("image.bin"), image);
  CliRun r = c.run("firmware image.bin");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r, "firmware: loaded\n"));
  EXPECT_EQ(c.sim.withUnit([](sim::UnitState& u) { return u.firmwareImage; }), image);

  c.set("loader.result", "FLASH WRITE FAILED");
  r = c.run("firmware image.bin");
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_TRUE(has(r,
                  "Program File Load ERROR: Program file did not load properly - Lumvex reports:\r\nFLASH "
                  "WRITE FAILED"));
  EXPECT_EQ(c.run("firmware none.bin").exitCode, 2);
  EXPECT_EQ(c.countReceived("LOADER"), 2);
}

TEST(MaintenanceCli, SideAsksAndLoadsTheCalibrationOnlyWithYes) {
  CliStation c({{"type", "WorldSID"},
                {"serial", "150"},
                {"firmware", "V7.3"},
                {"side", "LEFT"},
                {"caldate", "01-Jan-2024"},
                {"caldate.left", "01-Jan-2024"},
                {"caldate.right", "02-Feb-2024"}});
  ASSERT_EQ(
      sim::wsidWriteCalibrationFile(c.dir.path(), "150", "02-Feb-2024", "Right Side", DummyWorldSID50th, 0),
      0);
  CliRun r = c.run("side RI");
  EXPECT_EQ(r.exitCode, 3) << r.out;
  EXPECT_TRUE(has(r, "Otherwise click on the Cancel button [Cancel]\n"));
  EXPECT_EQ(c.countReceived("CALLOADRIGHT"), 0);

  r = c.run("side RI --yes");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r, "side: Right Side\ncalibration date: 02-Feb-2024\n"));
  EXPECT_EQ(unitProp(c, "side"), "RIGHT");
  EXPECT_EQ(c.run("side RI --yes").exitCode, 0);  // already facing right: nothing sent
  EXPECT_EQ(c.countReceived("CALLOADRIGHT"), 1);

  // The positions as the LED table shows them now (X turned), and the unit's own.
  r = c.run("positions");
  EXPECT_TRUE(has(r, "LED 1: -3.75 23.75 43.75\n")) << r.out;
  r = c.run("positions --unit-frame");
  EXPECT_TRUE(has(r, "LED 1: 3.75 23.75 43.75\n")) << r.out;

  r = c.run("side LE --yes");  // no left calibration file in the folder
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_TRUE(has(r, "Calibration File Error: Could not find calibration file, Load aborted\n"));
  EXPECT_EQ(c.countReceived("CALLOADLEFT"), 0);
  EXPECT_EQ(c.run("side XX").exitCode, 2);
}

TEST(MaintenanceCli, LedsSetsAreLostWithoutSaveAndStoredWithIt) {
  CliStation c({{"type", "Hybrid III 50th ADJ"}, {"serial", "57"}, {"firmware", "V7.3"}});
  CliRun r = c.run("leds --set 5=3:right_sternum");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(has(r, "LED 5: rib 3, RIGHT STERNUM, ISO 1 1 STRN 03 RI H3 DS X/Y \n")) << r.out;
  EXPECT_TRUE(has(r, "lost at exit"));
  EXPECT_EQ(c.countReceived("LED_RIB"), 0);

  r = c.run("leds --set 5=3:3 --save");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_FALSE(has(r, "lost at exit"));
  EXPECT_EQ(unitProp(c, "leds.rib.saved"), "1,2,3,4,3,6,1,2,3,4,5,6,");
  EXPECT_EQ(unitProp(c, "leds.posn.saved"), "0,0,0,0,3,0,2,2,2,2,2,2,");
  r = c.run("leds");  // read back as stored, ISO cell included
  EXPECT_TRUE(has(r, "LED 5: rib 3, RIGHT STERNUM, ISO 1 1 STRN 03 RI H3 DS X/Y \n")) << r.out;

  c.set("ledrib.echo", "4");  // the unit echoes another rib: three tries, then the message
  r = c.run("leds --set 1=2:0 --save");
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_TRUE(has(r, "Could not set LED RIB information in Lumvex."));
  EXPECT_EQ(c.run("leds --set 13=1:0").exitCode, 2);
  EXPECT_EQ(c.run("leds --set 1=7:0").exitCode, 2);

  CliStation fixed({{"type", "SIDIIs"}, {"serial", "57"}, {"firmware", "V7.3"}});
  r = fixed.run("leds");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(has(r, "fixed places"));
}

TEST(MaintenanceCli, AutocheckRunsWithTheSwitchOffAndExitsOneOnDeviations) {
  // LED 2's recorded X lies 5 mm beyond where it is; the shipped limits allow 4.
  std::string golden;
  for (int i = 0; i < 54; ++i)
    golden += std::to_string(20.0 * (i % 3) + 3.5 * (i / 3 + 1) + 0.25 + (i == 3 ? 5 : 0)) + ",";
  CliStation c({{"type", "WorldSID"}, {"firmware", "LX2 V8.0"}, {"golden", golden}});
  CliRun r = c.run("autocheck");
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_TRUE(has(r, "limits: X 4 mm, Y 3 mm, Z 4 mm\n"));
  EXPECT_TRUE(has(r, "LED 2: reference 12.25 27.25 47.25, current 7.25 27.25 47.25\n")) << r.out;
  EXPECT_TRUE(has(r, "out of limits: LED 2 X (current 7.25, reference 12.25, limit 4 mm)\n"));
  EXPECT_TRUE(has(r, "coordinates out of limits: 1\n"));

  r = c.run("autocheck --limits 5,3,4");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(readFile(c.dir.file("AutoPosnCheck.ini")).find("Xerror = 5"), std::string::npos);

  r = c.run("autocheck --limits 4,3,4 --update");
  EXPECT_EQ(r.exitCode, 3) << r.out;
  EXPECT_EQ(c.countReceived("SETGOLDENPOSNS"), 0);
  r = c.run("autocheck --update --yes");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(c.countReceived("SETGOLDENPOSNS"), 1);
  EXPECT_TRUE(has(r, "LED 2: reference 7.25 27.25 47.25, current 7.25 27.25 47.25\n"));
  EXPECT_EQ(c.run("autocheck --limits 4,3").exitCode, 2);
}
