// Command framing and reply parsing: every fixed command line the station
// sends carries the checksum the unit expects, and Parser accepts exactly the
// well-formed replies (field counts, checksum coverage, name case, capacity).
#include "link/link.h"

#include <gtest/gtest.h>

#include <string>

using namespace lumvex;

namespace {

// Every fixed command line of the unit, as it goes on the wire: the
// argument-free commands and the firmware announcement of a 5-byte image.
const char* const kFixedCommands[] = {
    "ARMTRIGGER#23\r\n",
    "BATTSETFULL#109\r\n",
    "CAL_DATE#112\r\n",
    "CURRENT_POSITIONS#109\r\n",
    "D#103\r\n",
    "DIRECTION#196\r\n",
    "DUMPINFO#133\r\n",
    "E#104\r\n",
    "ERASE#147\r\n",
    "FIRMWARE#128\r\n",
    "FLASHTEST#209\r\n",
    "GETBATINFO#6\r\n",
    "GETGOLDENPOSNS#79\r\n",
    "GETIO#155\r\n",
    "GETTESTCOMMENT#86\r\n",
    "GETTRIGGER#23\r\n",
    "LOADER#218\r\n",
    "LOADER#5#50\r\n",
    "NORFLASH#128\r\n",
    "RAMTEST#67\r\n",
    "S#118\r\n",
    "SAVE#82\r\n",
    "SDCARDTEST#20\r\n",
    "SENDCONFIG#3\r\n",
    "SERIAL_NUMBER#11\r\n",
    "SETGOLDENPOSNS#91\r\n",
    "SETTESTCOMMENT#98\r\n",
    "SHOW_LEDPOSN#216\r\n",
    "SHOW_LEDRIB#117\r\n",
    "T#119\r\n",
    "TEMPERATURES#196\r\n",
    "TRIGGERCHECK#149\r\n",
    "WHO_ARE_YOU#164\r\n",
};

class FixedCommand : public ::testing::TestWithParam<const char*> {};

TEST_P(FixedCommand, FrameOfItsBodyIsTheLineTheUnitExpects) {
  std::string line = GetParam();
  std::string body = line.substr(0, line.rfind('#') + 1);
  EXPECT_EQ(CommandFrame(body), line);
}

INSTANTIATE_TEST_SUITE_P(AllFixedCommands, FixedCommand, ::testing::ValuesIn(kFixedCommands));

}  // namespace

TEST(CommandFrame, ArgumentsAreSummedWithEveryHash) {
  EXPECT_EQ(CommandFrame("TRIGGERSET#2#"), "TRIGGERSET#2#120\r\n");
  EXPECT_EQ(CommandFrame("ARM#0#2000#"), "ARM#0#2000#59\r\n");
  EXPECT_EQ(FrameChecksum("S#"), 118);
  // High bytes count as unsigned values.
  EXPECT_EQ(FrameChecksum(std::string("\xff\x01", 2)), 0);
}

TEST(Parser, StatusReplyGivesItsField) {
  std::string a = "x", b = "y";
  EXPECT_EQ(Parser("S", "S#0#201\r\n", a, b), 0);
  EXPECT_EQ(a, "0");
  EXPECT_EQ(b, "201\r\n") << "the field read last, the checksum, goes to the next output";
  EXPECT_EQ(Parser("S", "S#0#202\r\n", a, b), -1);
  EXPECT_EQ(Parser("S", "S#1#202", a, b), 0) << "CR LF is not needed";
}

TEST(Parser, OneFieldIsTheChecksumAndLandsInTheFirstOutput) {
  std::string a, b = "stale";
  ASSERT_EQ(Parser("D", "D#103\r\n", a, b), 0);
  EXPECT_EQ(a, "103\r\n");
  EXPECT_EQ(b, "");
  EXPECT_EQ(Parser("D", "D#104\r\n", a, b), -1);
}

TEST(Parser, TwoDataFieldsAndTheChecksumOverBoth) {
  std::string body = "E#3#64#";
  std::string reply = body + std::to_string(FrameChecksum(body)) + "\r\n";
  std::string a, b;
  ASSERT_EQ(Parser("E", reply, a, b), 0);
  EXPECT_EQ(a, "3");
  EXPECT_EQ(b, "64");
  // The sum of the body without the last '#' must not pass.
  std::string shortSum = body + std::to_string(FrameChecksum("E#3#64")) + "\r\n";
  EXPECT_EQ(Parser("E", shortSum, a, b), -1);
}

TEST(Parser, ThreeDataFieldsFail) {
  std::string body = "E#3#64#1#";
  std::string a, b;
  EXPECT_EQ(Parser("E", body + std::to_string(FrameChecksum(body)) + "\r\n", a, b), -1);
}

TEST(Parser, NameMustMatchExactly) {
  std::string a, b;
  EXPECT_EQ(Parser("S", "s#0#233\r\n", a, b), -1) << "other case";
  EXPECT_EQ(Parser("S", "SS#0#" + std::to_string(FrameChecksum("SS#0#")), a, b), -1);
  EXPECT_EQ(Parser("ERASE", "E#0#" + std::to_string(FrameChecksum("E#0#")), a, b), -1);
  EXPECT_EQ(Parser("S", "S0201\r\n", a, b), -1) << "no '#' at all";
  EXPECT_EQ(Parser("S", "", a, b), -1);
}

TEST(Parser, ChecksumFieldIsADecimalNumber) {
  std::string a, b;
  EXPECT_EQ(Parser("S", "S#0# 201\r\n", a, b), 0) << "leading white space";
  EXPECT_EQ(Parser("S", "S#0#\t+201\r\n", a, b), 0) << "a sign, as C reads numbers";
  EXPECT_EQ(Parser("S", "S#0#+-201\r\n", a, b), -1);
  EXPECT_EQ(Parser("S", "S#0#201junk", a, b), 0) << "text after the digits";
  EXPECT_EQ(Parser("S", "S#0#\r\n", a, b), -1) << "no digits";
  EXPECT_EQ(Parser("S", "S#0#x201\r\n", a, b), -1);
  EXPECT_EQ(Parser("S", "S#0#0000201\r\n", a, b), 0) << "nine characters with CR LF";
  EXPECT_EQ(Parser("S", "S#0#00000201\r\n", a, b), -1) << "ten characters";
  // A name whose bytes with '#' sum to 0: an empty checksum field is no 0.
  std::string name(1, static_cast<char>(221));
  EXPECT_EQ(Parser(name, name + "#0\r\n", a, b), 0);
  EXPECT_EQ(Parser(name, name + "#\r\n", a, b), -1);
}

TEST(Parser, FieldsLongerThanTheirCapacityFail) {
  std::string a, b;
  auto reply = [](const std::string& f1, const std::string& f2) {
    std::string body = "X#" + f1 + "#" + f2 + "#";
    return body + std::to_string(FrameChecksum(body)) + "\r\n";
  };
  EXPECT_EQ(Parser("X", reply(std::string(255, 'a'), "b"), a, b), 0);
  EXPECT_EQ(a.size(), 255u);
  EXPECT_EQ(Parser("X", reply(std::string(256, 'a'), "b"), a, b), -1);
  EXPECT_EQ(Parser("X", reply("a", std::string(256, 'b')), a, b), -1);
  EXPECT_EQ(Parser("X", reply("a", std::string(511, 'b')), a, b, 255, 511), 0);
  EXPECT_EQ(b.size(), 511u);
  EXPECT_EQ(Parser("X", reply("a", std::string(512, 'b')), a, b, 255, 511), -1);
}

TEST(Parser, OutputsAreEmptiedEvenWhenParsingFails) {
  std::string a = "old", b = "old";
  EXPECT_EQ(Parser("S", "nothing", a, b), -1);
  EXPECT_EQ(a, "");
  EXPECT_EQ(b, "");
}

TEST(SplitHostPort, AcceptsHostAndHostPort) {
  std::string h;
  int p = 3000;
  ASSERT_TRUE(SplitHostPort("192.168.1.20", h, p));
  EXPECT_EQ(h, "192.168.1.20");
  EXPECT_EQ(p, 3000);
  ASSERT_TRUE(SplitHostPort(" 127.0.0.1:4100 ", h, p));
  EXPECT_EQ(h, "127.0.0.1");
  EXPECT_EQ(p, 4100);
  p = 1066;
  ASSERT_TRUE(SplitHostPort("::1", h, p));
  EXPECT_EQ(h, "::1");
  EXPECT_EQ(p, 1066);
  ASSERT_TRUE(SplitHostPort("[::1]:5000", h, p));
  EXPECT_EQ(h, "::1");
  EXPECT_EQ(p, 5000);
  EXPECT_FALSE(SplitHostPort("host:0", h, p));
  EXPECT_FALSE(SplitHostPort("host:70000", h, p));
  EXPECT_FALSE(SplitHostPort("host:12ab", h, p));
  EXPECT_FALSE(SplitHostPort("", h, p));
  EXPECT_FALSE(SplitHostPort(":3000", h, p));
}
