// Which device a "COM n" selection reaches: the whole-word rule, the
// LUMVEX_SERIAL_PORTS mapping and the numbering of listed ports.
#include "platform/transport.h"

#include <gtest/gtest.h>

using namespace lumvex;

TEST(ContainsPortName, Com1IsNeverCom10To12) {
  EXPECT_TRUE(ContainsPortName("COM1", "COM1"));
  EXPECT_TRUE(ContainsPortName("COM1 (/dev/pts/3)", "COM1"));
  for (const char* other : {"COM10", "COM11", "COM12"})
    EXPECT_FALSE(ContainsPortName(other, "COM1")) << other;
  EXPECT_TRUE(ContainsPortName("COM10 COM1", "COM1")) << "a later whole-word occurrence counts";
  EXPECT_TRUE(ContainsPortName("COM12", "COM12"));
  EXPECT_FALSE(ContainsPortName("COM2", "COM1"));
  EXPECT_FALSE(ContainsPortName("COM1", ""));
}

TEST(ParseSerialMapping, ReadsComEqualsPathEntries) {
  auto r = ParseSerialMapping("COM1=/dev/pts/5, com 3 = /dev/ttyUSB0,bad,COMx=/a,COM0=/b,COM4=");
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].comName, "COM1");
  EXPECT_EQ(r[0].device, "/dev/pts/5");
  EXPECT_EQ(r[1].comName, "COM3");
  EXPECT_EQ(r[1].device, "/dev/ttyUSB0");
  EXPECT_TRUE(ParseSerialMapping("").empty());
}

TEST(NameSerialResources, ExplicitEntriesFirstThenNativeThenLowestFree) {
  std::vector<SerialResource> expl = {{"COM2", "/dev/pts/7", "env"}};
  std::vector<SerialResource> listed = {
      {"", "/dev/ttyS0", "8250"},
      {"", "/dev/ttyS1", "8250"},  // would be COM2, which the mapping took
      {"", "/dev/ttyUSB0", "FTDI FT232R"},
      {"", "/dev/pts/7", "dup"},  // named by the mapping already
  };
  auto r = NameSerialResources(expl, listed);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].comName, "COM2");
  EXPECT_EQ(r[0].device, "/dev/pts/7");
  EXPECT_EQ(r[1].comName, "COM1");
  EXPECT_EQ(r[1].device, "/dev/ttyS0");
  EXPECT_EQ(r[2].comName, "COM3");
  EXPECT_EQ(r[2].device, "/dev/ttyS1");
  EXPECT_EQ(r[3].comName, "COM4");
  EXPECT_EQ(r[3].device, "/dev/ttyUSB0");
  EXPECT_EQ(r[3].description, "FTDI FT232R");
}

TEST(ListSerialResources, TheEnvironmentMappingComesFirst) {
  setenv("LUMVEX_SERIAL_PORTS", "COM9=/dev/pts/99", 1);
  auto r = ListSerialResources();
  unsetenv("LUMVEX_SERIAL_PORTS");
  ASSERT_FALSE(r.empty());
  EXPECT_EQ(r[0].comName, "COM9");
  EXPECT_EQ(r[0].device, "/dev/pts/99");
  for (size_t i = 1; i < r.size(); ++i) EXPECT_NE(r[i].comName, "COM9");
}
