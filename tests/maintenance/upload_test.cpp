// The firmware load against the simulated unit over loopback: the exact bytes
// of a binary (LX2) and a text load between MANARMENABLE 0 and 1, the unit's
// answers and their boxes, the refusals before any byte goes out, and the
// bulk transfer's blocks.
#include "maintenance/upload.h"

#include "support/byte_stream.h"
#include "support/drive_station.h"
#include "platform/transport.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

using namespace lumvex;
using lumvex::testing::DriveStation;
using lumvex::testing::SameBytes;
using lumvex::testing::TempDir;
using lumvex::testing::writeFile;

namespace {

const std::string kArmOff = CommandFrame("MANARMENABLE#0#");
const std::string kArmOn = CommandFrame("MANARMENABLE#1#");
const std::vector<double> kTenths = {10, 20, 30, 40, 50, 60, 70, 80, 90};

struct LoadStation : DriveStation {
  TempDir dir;
  explicit LoadStation(Props props, sim::CommandTable table = sim::DefaultCommands())
      : DriveStation(props, 0, std::move(table)) {
    EXPECT_TRUE(connect());
    st.session.IsLX2 = sim.withUnit([](sim::UnitState& u) { return u.prop("firmware").find("LX2") == 0; });
    st.model.setTimerRunning(true);
    sim.captureInput(true);
  }
  // Runs the load of `bytes` from a file; the unit's verdict.
  int load(const std::string& bytes) {
    writeFile(dir.file("image"), bytes);
    op.fileAnswers.push_back(dir.file("image"));
    int loaded = -1;
    EXPECT_EQ(Loader(st, &loaded), 0);
    return loaded;
  }
  std::string firmware() {
    return sim.withUnit([](sim::UnitState& u) { return u.firmwareImage; });
  }
};

// An S-record of this type over address and data bytes, with its count and sum.
std::string srec(char type, const std::vector<int>& bytes) {
  unsigned sum = static_cast<unsigned>(bytes.size() + 1);
  char buf[8];
  std::snprintf(buf, sizeof buf, "S%c%02X", type, static_cast<unsigned>(bytes.size() + 1));
  std::string s = buf;
  for (int b : bytes) {
    std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(b));
    s += buf;
    sum += static_cast<unsigned>(b);
  }
  std::snprintf(buf, sizeof buf, "%02X", ~sum & 0xFFu);
  return s + buf + "\r\n";
}

// Three records, the middle one longer than the line reader takes at once.
std::string textImage() {
  std::vector<int> data = {0x10, 0x00};
  for (int i = 0; i < 150; ++i) data.push_back(i);
  return srec('0', {0, 0, 'H', 'D', 'R'}) + srec('1', data) + srec('9', {0, 0});
}

}  // namespace

TEST(BulkBlocks, NineTenthsThenTheRest) {
  std::array<size_t, 10> b = BulkBlocks(2'447'480);
  for (size_t x : b) EXPECT_EQ(x, 244'748u);
  b = BulkBlocks(1'711'072);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(b[static_cast<size_t>(i)], 171'107u);
  EXPECT_EQ(b[9], 171'109u);
  b = BulkBlocks(5);
  EXPECT_EQ(b[0], 0u);
  EXPECT_EQ(b[9], 5u);
}

TEST(Loader, Lx2ImageGoesOutWholeAndTheRawBufferNoLongerCountsAsData) {
  LoadStation s({{"firmware", "LX2 V8.0"}});
  s.st.data.RawPresent = 1;
  s.st.data.RawSaved = 0;
  bool panelDuringWait = false;
  s.op.onEvents = [&] { panelDuringWait = s.st.model.panel(Panel::LoaderWait).visible; };
  const std::string image("\x01\x02\xFE\xFF\x80", 5);
  EXPECT_EQ(s.load(image), 1);
  // The command for a 5-byte image carries the checksum 50.
  EXPECT_TRUE(SameBytes(s.sim.capturedInput(), kArmOff + "LOADER#5#50\r\n" + image + kArmOn));
  EXPECT_EQ(s.op.messages(), std::vector<std::string>{"Code Load Response: OK"});
  EXPECT_EQ(s.op.progress, kTenths);
  EXPECT_EQ(s.op.openProgressBoxes, 0);
  EXPECT_TRUE(panelDuringWait);
  EXPECT_FALSE(s.st.model.panel(Panel::LoaderWait).visible);
  EXPECT_EQ(s.st.data.RawPresent, 0);
  EXPECT_TRUE(s.st.model.timerRunning());
  EXPECT_EQ(s.st.session.linkHandle->timeout(), 2000);
  EXPECT_EQ(s.firmware(), image);
  EXPECT_EQ(s.op.transcript.front().title, " Select Lumvex Firmware File");
}

TEST(Loader, Lx2RefusalIsShownWithTheUnitsWordsAndAChecksumAbove127StaysPositive) {
  LoadStation s({{"firmware", "LX2 V8.0"}, {"loader.result", "FLASH WRITE ERROR"}});
  const std::string image(1000, '\xA5');
  EXPECT_EQ(s.load(image), 0);
  EXPECT_TRUE(SameBytes(s.sim.capturedInput(), kArmOff + "LOADER#1000#190\r\n" + image + kArmOn));
  EXPECT_EQ(s.op.messages(),
            std::vector<std::string>{
                "Program File Load ERROR: Program file did not load properly - Lumvex reports:\r\n"
                "FLASH WRITE ERROR\r\n Try loading the PROGRAM file again !\r\n"});
}

TEST(Loader, ImageLargerThanTheRawBufferIsRefusedBeforeAnyByteIsSent) {
  LoadStation s({{"firmware", "LX2 V8.0"}});
  s.st.data.RawPresent = 1;
  const std::string path = s.dir.file("huge.bin");
  writeFile(path, "");
  std::filesystem::resize_file(path, kFirmwareImageCapacity + 1);  // sparse: no disk used
  s.op.fileAnswers.push_back(path);
  EXPECT_EQ(Loader(s.st), 0);
  EXPECT_TRUE(SameBytes(s.sim.capturedInput(), kArmOff + kArmOn));
  EXPECT_EQ(s.op.messages(),
            std::vector<std::string>{"Program File Load ERROR: The program file is larger than "
                                     "the 116000464 bytes the station can hold - code not "
                                     "loaded\r\n" +
                                     path});
  EXPECT_EQ(s.st.data.RawPresent, 1);  // nothing of the data set was overwritten
}

TEST(Loader, CancelledOrTooShortPathRestoresManualArmAndTimer) {
  LoadStation s({{"firmware", "V7.3"}});
  s.op.fileAnswers.push_back("a.hx");  // shorter than 5 characters
  EXPECT_EQ(Loader(s.st), -1);
  s.op.fileAnswers.push_back(std::nullopt);
  EXPECT_EQ(Loader(s.st), -1);
  EXPECT_TRUE(SameBytes(s.sim.capturedInput(), kArmOff + kArmOn + kArmOff + kArmOn));
  EXPECT_TRUE(s.st.model.timerRunning());
  EXPECT_TRUE(s.op.messages().empty());
}

TEST(Loader, TextImageGoesOutLineByLineWithProgressByLines) {
  LoadStation s({{"firmware", "V7.3"}});
  bool noticeDuringWait = false;
  s.op.onEvents = [&] { noticeDuringWait = noticeDuringWait || s.st.model.visible(Ctl::LOADERMSG); };
  const std::string image = textImage();
  EXPECT_EQ(s.load(image), 1);
  EXPECT_TRUE(SameBytes(s.sim.capturedInput(), kArmOff + "LOADER#218\r\n" + image + kArmOn));
  // The 310-character record counts as two lines of the 254-byte line reader.
  EXPECT_EQ(s.op.progress, (std::vector<double>{25, 50, 75, 100}));
  EXPECT_EQ(
      s.op.messages(),
      std::vector<std::string>{
          "File Loader: Code Load Ok - Reboot Lumvex to start new program, Close this program and restart"});
  EXPECT_TRUE(noticeDuringWait);
  EXPECT_FALSE(s.st.model.visible(Ctl::LOADERMSG));
  EXPECT_EQ(s.st.session.linkHandle->timeout(), 2000);
}

TEST(Loader, TextImageWithABadRecordIsReportedNotLoaded) {
  LoadStation s({{"firmware", "V7.3"}});
  std::string image = textImage();
  image[image.find("\r\n") + 8] ^= 1;  // a data digit of the second record
  EXPECT_EQ(s.load(image), 0);
  EXPECT_EQ(s.op.messages(),
            std::vector<std::string>{"File Loader: Program load failed at line 2\r\n  New Program "
                                     "Not Loaded"});
  // The unit's further lines up to LOADER_DONE were read: the link is in step.
  EXPECT_EQ(s.st.session.linkHandle->timeout(), 2000);
  EXPECT_EQ(s.countReceived("MANARMENABLE"), 2);
}

TEST(Loader, TextImageOfNoLinesStillSendsTheCommandAndClosesTheProgressAtOnce) {
  sim::CommandTable table = sim::DefaultCommands();
  table.add("LOADER", [](sim::Exchange& x) {
    x.reply({"Start Sending Program File"});
    x.sendRaw("Nothing to program\r\nLOADER_DONE\r\n");
  });
  LoadStation s({{"firmware", "V7.3"}}, std::move(table));
  EXPECT_EQ(s.load(""), 1);
  EXPECT_TRUE(SameBytes(s.sim.capturedInput(), kArmOff + "LOADER#218\r\n" + kArmOn));
  EXPECT_TRUE(s.op.progress.empty());
  EXPECT_EQ(s.op.openProgressBoxes, 0);
}

TEST(Loader, TextLoaderThatDoesNotStartSendsNothing) {
  sim::CommandTable table = sim::DefaultCommands();
  table.add("LOADER", [](sim::Exchange& x) { x.reply({"BUSY"}); });
  LoadStation s({{"firmware", "V7.3"}}, std::move(table));
  EXPECT_EQ(s.load(textImage()), 0);
  EXPECT_TRUE(SameBytes(s.sim.capturedInput(), kArmOff + "LOADER#218\r\n" + kArmOn));
  EXPECT_EQ(s.op.messages(),
            std::vector<std::string>{"Error: No resonse to Loader Command - code not loaded"});
}
