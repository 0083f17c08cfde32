// The configuration read: the shipped files read silently; a missing file or
// the first failing key stops with its exact message; short ISO names are
// reported one by one and padded; commas are protected only for USE ALT CSV 1;
// "MultipleNICs.ini" is optional.
#include "core/config.h"
#include "support/scripted_operator.h"

#include "support/testing.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace lumvex;
using lumvex::testing::readFile;
using lumvex::testing::sourcePath;
using lumvex::testing::TempDir;
using lumvex::testing::writeFile;

namespace {

const char kHead[] = "Error reading initialization file\rCheck Lumvex_8_0.ini in Lumvex program directory \r";
const char kTail[] =
    "\r\r Check for blank or bad entries in the initialization file\r\r"
    "A backup copy of the file as installed, Lumvex_8_0.ini.bak, is supplied beside it in the Lumvex program "
    "directory and in the config folder of the installation.\r"
    "To restore the installed settings, copy Lumvex_8_0.ini.bak over Lumvex_8_0.ini and start Lumvex "
    "again.\r\r"
    "Aborting";
const char kReadTitle[] = "Error Reading Initialization File";
const char kShortTitle[] = "Error in Lumvex INI file";
const char kShortLeft[] = "WorldSID ISO Code left side name too short,  \n Check the INI file and fix it now";
const char kShortRight[] =
    "WorldSID ISO Code right side name too short,  \n Check the INI file and fix it now";
const char kShortH3[] = "Hybrid III ISO Code name too short, \n Check the INI file and fix it now";

std::string shipped() { return readFile(sourcePath("config/Lumvex_8_0.ini")); }

// The shipped text with the first line "key = ..." at or after `after` changed.
std::string withLine(std::string text, std::string_view key, std::string_view replacement,
                     std::string_view after = "") {
  size_t from = after.empty() ? 0 : text.find(after);
  size_t at = text.find("\n" + std::string(key) + " =", from);
  if (at == std::string::npos) throw std::runtime_error("no key " + std::string(key));
  size_t end = text.find('\n', at + 1);
  text.replace(at + 1, end - at, replacement.empty() ? "" : std::string(replacement) + "\n");
  return text;
}

std::string str(const char* slot) { return std::string(slot); }

struct Config : ::testing::Test {
  TempDir dir;
  ScriptedOperator op;
  Station st{op};
  void SetUp() override { st.workDir = dir.path(); }
  int read(const std::string& text) {
    writeFile(dir.file(kConfigFileName), text);
    return ReadINIfile(st);
  }
  std::string failure(std::string_view section, std::string_view key) {
    return std::string(kHead) + "Error in section = " + std::string(section) +
           ", variable = " + std::string(key) + kTail;
  }
};

}  // namespace

TEST_F(Config, ShippedFilesReadWithoutAnyMessage) {
  writeFile(dir.file(kNicFileName), readFile(sourcePath("config/MultipleNICs.ini")));
  ASSERT_EQ(read(shipped()), 0);
  EXPECT_TRUE(op.transcript.empty()) << op.transcript.front().text;
  const IniSettings& s = st.ini;
  EXPECT_EQ(str(s.WorldSidLeftIsoNames[0].data()), "SHRI LR 00");
  EXPECT_EQ(str(s.WorldSidRightIsoNames[17].data()), "ABRI RF 02");
  EXPECT_EQ(str(s.HybridIIIIsoNames[11].data()), "RIBS 06 RI");
  for (const auto* table : {&s.WorldSidLeftIsoNames, &s.WorldSidRightIsoNames})
    for (const auto& n : *table) {
      EXPECT_EQ(strlen(n.data()), 10u);
      EXPECT_EQ(n[4], ' ');  // the blanks of the LED ISO cell
      EXPECT_EQ(n[7], ' ');
    }
  EXPECT_EQ(s.DownloadStartTime, -50);
  EXPECT_EQ(s.DownloadStopTime, 250);
  EXPECT_EQ(str(s.AltWsLedNames[4].data()), "_Thorax1_Middle_");
  EXPECT_EQ(str(s.AltIsoPosnNames[1].data()), "Driver");
  EXPECT_EQ(str(s.DefaultStorageLocation.data()), ".");
  EXPECT_EQ(str(s.NicToUse.data()), "Default");
  EXPECT_EQ(readFile(sourcePath("config/Lumvex_8_0.ini.bak")), shipped());
}

TEST_F(Config, MissingMainFileStopsWithItsMessage) {
  EXPECT_EQ(ReadINIfile(st), -1);
  ASSERT_EQ(op.messages().size(), 1u);
  EXPECT_TRUE(
      op.showed(kReadTitle,
                "Error reading initialization file,\r Check Lumvex_8_0.ini in Lumvex program directory \r "
                "Aborting"));
}

TEST_F(Config, LastKeyMissingFailsAfterEveryOtherKeyWasRead) {
  EXPECT_EQ(read(withLine(shipped(), "LegacySWUnfiltCode", "")), -1);
  ASSERT_EQ(op.transcript.size(), 1u);
  EXPECT_EQ(op.transcript[0].title, kReadTitle);
  EXPECT_EQ(op.transcript[0].text, failure("LegacySoftwareFilterClassCode", "LegacySWUnfiltCode"));
  EXPECT_EQ(str(st.ini.DefaultFileReadLocation.data()), ".");  // read before the failure
}

TEST_F(Config, OnlyTheFirstFailingKeyIsReported) {
  std::string text = withLine(shipped(), "Download Start Time", "Download Start Time =");
  text = withLine(text, "Default Export Format", "");
  EXPECT_EQ(read(text), -1);
  ASSERT_EQ(op.transcript.size(), 1u);
  EXPECT_EQ(op.transcript[0].text, failure("connect_tab_controls", "Download Start Time"));
  EXPECT_EQ(st.ini.DataAfterTrigger, 1000);
  EXPECT_EQ(st.ini.DefaultExportFormat, 0);  // never reached
}

TEST_F(Config, KeyFailuresNameTheirSectionAndKey) {
  struct Case {
    std::string text;
    std::string section, key;
  } cases[] = {
      {withLine(shipped(), "Thorax 3 Rib Front LED", ""), "WorldSIDleft", "Thorax 3 Rib Front LED"},
      {withLine(shipped(), "Thorax 3 Rib Front LED", "", "[WorldSIDright]"), "WorldSIDright",
       "Thorax 3 Rib Front LED"},
      {withLine(shipped(), "Buffer Type", "Buffer Type = 1.5"), "connect_tab_controls", "Buffer Type"},
      {withLine(shipped(), "USE ALT CSV", ""), "ALTCSV", "USE ALT CSV"},
      {withLine(shipped(), "alt H3Rib 6 Right", ""), "ALTCSV", "alt H3Rib 6 Right"},
      {withLine(shipped(), "alt WS Abdomen 2 Rib Front LED", ""), "ALTCSV", "alt WS Abdomen 2 Rib Front LED"},
      {withLine(shipped(), "Fuel_Gauge_Installed", "Fuel_Gauge_Installed = yes"), "Battery_Fuel_Gauge",
       "Fuel_Gauge_Installed"},
  };
  for (const Case& c : cases) {
    op.clear();
    EXPECT_EQ(read(c.text), -1) << c.key;
    ASSERT_EQ(op.transcript.size(), 1u) << c.key;
    EXPECT_EQ(op.transcript[0].text, failure(c.section, c.key));
  }
}

TEST_F(Config, ShortIsoNamesAreReportedInTurnAndPadded) {
  std::string text = withLine(shipped(), "Shoulder Rib Middle LED", "Shoulder Rib Middle LED =");
  text = withLine(text, "Thorax 2 Rib Rear LED", "Thorax 2 Rib Rear LED = THRI L", "[WorldSIDright]");
  text = withLine(text, "Rib 3 Left", "Rib 3 Left = RIBS 03 LEFT SIDE");  // too long: cut, no message
  text = withLine(text, "Rib 4 Left", "Rib 4 Left = RIBS04");
  ASSERT_EQ(read(text), 0);
  ASSERT_EQ(op.transcript.size(), 3u);
  EXPECT_EQ(op.transcript[0].title, kShortTitle);
  EXPECT_EQ(op.transcript[0].text, kShortLeft);
  EXPECT_EQ(op.transcript[1].text, kShortRight);
  EXPECT_EQ(op.transcript[2].text, kShortH3);
  EXPECT_EQ(str(st.ini.WorldSidLeftIsoNames[1].data()), "----------");
  EXPECT_EQ(str(st.ini.WorldSidRightIsoNames[6].data()), "THRI L----");
  EXPECT_EQ(str(st.ini.HybridIIIIsoNames[2].data()), "RIBS 03 LE");
  EXPECT_EQ(str(st.ini.HybridIIIIsoNames[3].data()), "RIBS04----");
  EXPECT_EQ(str(st.ini.HybridIIIIsoNames[4].data()), "RIBS 05 LE");
}

TEST_F(Config, SectionNamesMatchInAnyCase) {
  std::string text = shipped();
  text.replace(text.find("[WorldSIDleft]"), 14, "[worldsidleft]");
  ASSERT_EQ(read(text), 0);
  EXPECT_TRUE(op.transcript.empty());
  EXPECT_EQ(str(st.ini.WorldSidLeftIsoNames[2].data()), "SHRI LF 00");
}

TEST_F(Config, CommasAreReplacedOnlyForAltCsvOne) {
  std::string text = withLine(shipped(), "ISO POSN 1", "ISO POSN 1 = Drv,1");
  text = withLine(text, "alt H3Rib 1 Left", "alt H3Rib 1 Left = _Rib,1,Left_");
  text = withLine(text, "alt WS Shoulder Rib Rear LED", "alt WS Shoulder Rib Rear LED = _Sh,Rear_");
  ASSERT_EQ(read(withLine(text, "USE ALT CSV", "USE ALT CSV = 1")), 0);
  EXPECT_EQ(str(st.ini.AltIsoPosnNames[1].data()), "Drv_1");
  EXPECT_EQ(str(st.ini.AltH3RibNames[0].data()), "_Rib_1_Left_");
  EXPECT_EQ(str(st.ini.AltWsLedNames[0].data()), "_Sh_Rear_");
  ASSERT_EQ(read(withLine(text, "USE ALT CSV", "USE ALT CSV = 2")), 0);
  EXPECT_EQ(st.ini.UseAltCsv, 2);
  EXPECT_EQ(str(st.ini.AltH3RibNames[0].data()), "_Rib,1,Left_");
}

TEST_F(Config, NetworkAdaptorFileIsOptional) {
  ASSERT_EQ(read(shipped()), 0);  // no file: the default, silently
  EXPECT_EQ(str(st.ini.NicToUse.data()), "Default");
  EXPECT_TRUE(op.transcript.empty());

  writeFile(dir.file(kNicFileName), "[MultipleNICs]\nNIC To Use = \"192.168.100.201extra\"\n");
  ASSERT_EQ(ReadINIfile(st), 0);
  EXPECT_EQ(str(st.ini.NicToUse.data()), "192.168.100.201");  // cut to 15
  EXPECT_TRUE(op.transcript.empty());

  writeFile(dir.file(kNicFileName), "[MultipleNICs]\nOther = 1\n");
  ASSERT_EQ(ReadINIfile(st), 0);
  EXPECT_EQ(str(st.ini.NicToUse.data()), "Default");
  ASSERT_EQ(op.transcript.size(), 1u);
  EXPECT_TRUE(
      op.showed(kReadTitle,
                "Error reading initialization file for Multiple Network Adaptors\r"
                "Check MultipleNICs.ini in Lumvex program directory \r"
                "Using windows Default netwrk Adaptor\r"
                "If Default network adaptor doesn't work with Lumvex run Find Lumvexs to fix the file"));
}

TEST_F(Config, NameTablesAreClearedBeforeTheRead) {
  std::memcpy(st.ini.AltWsLedNames[17].data(), "stale", 6);
  ASSERT_EQ(read(withLine(shipped(), "Fuel_Gauge_Installed", "")), -1);
  EXPECT_EQ(str(st.ini.AltWsLedNames[17].data()), "");
}

TEST_F(Config, AutocheckSwitchIsOptionalAndOnlyOneTurnsItOn) {
  ASSERT_EQ(read(shipped()), 0);
  EXPECT_EQ(st.ini.AutoCheckSwitchedOn, 0);
  ASSERT_EQ(read(withLine(shipped(), "AutoCheck_On", "AutoCheck_On = 1")), 0);
  EXPECT_EQ(st.ini.AutoCheckSwitchedOn, 1);
  // An older station's file without the section still starts, switched off.
  const std::string text = shipped();
  ASSERT_EQ(read(text.substr(0, text.find("\n; LED position autocheck"))), 0);
  EXPECT_EQ(st.ini.AutoCheckSwitchedOn, 0);
  for (const char* v : {"AutoCheck_On = yes", "AutoCheck_On = 2", "AutoCheck_On ="}) {
    st.ini.AutoCheckSwitchedOn = 1;
    ASSERT_EQ(read(withLine(shipped(), "AutoCheck_On", v)), 0) << v;
    EXPECT_EQ(st.ini.AutoCheckSwitchedOn, 0) << v;
  }
  EXPECT_TRUE(op.transcript.empty());
}
