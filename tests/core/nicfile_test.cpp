// The adaptor choice stored in "MultipleNICs.ini": the whole file replaced by
// the one item, the value cut to 15 characters, and read back at start-up.
#include "core/config.h"
#include "core/nicfile.h"

#include "support/scripted_operator.h"
#include "testing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace lumvex;
using namespace lumvex::testing;

namespace {

TEST(NicFile, ReplacesTheFileWithTheOneItemAndIsReadBack) {
  TempDir dir;
  ScriptedOperator op;
  Station st(op);
  st.workDir = dir.path();
  writeFile(dir.file("MultipleNICs.ini"),
            "[Other]\r\nkey = 1\r\n[MultipleNICs]\r\nNIC To Use = \"Default\"\r\n");
  ASSERT_EQ(WriteNicFile(st, "10.77.1.1"), 0);
  EXPECT_STREQ(st.ini.NicToUse.data(), "10.77.1.1");
  EXPECT_EQ(readFile(dir.file("MultipleNICs.ini")), "[MultipleNICs]\r\nNIC To Use = \"10.77.1.1\"\r\n\r\n");

  std::filesystem::copy_file(sourcePath("config/Lumvex_8_0.ini"), dir.file("Lumvex_8_0.ini"));
  std::strcpy(st.ini.NicToUse.data(), "Default");
  ASSERT_EQ(ReadINIfile(st), 0);
  EXPECT_STREQ(st.ini.NicToUse.data(), "10.77.1.1");
  EXPECT_TRUE(op.messages().empty());
}

TEST(NicFile, LongAdaptorTextIsCutToFifteenAndAFailedWriteIsReturned) {
  TempDir dir;
  ScriptedOperator op;
  Station st(op);
  st.workDir = dir.path();
  ASSERT_EQ(WriteNicFile(st, "192.168.100.200x"), 0);
  EXPECT_STREQ(st.ini.NicToUse.data(), "192.168.100.200");
  EXPECT_EQ(readFile(dir.file("MultipleNICs.ini")),
            "[MultipleNICs]\r\nNIC To Use = \"192.168.100.200\"\r\n\r\n");
  st.workDir = dir.file("no such folder");
  EXPECT_LT(WriteNicFile(st, "10.0.0.1"), 0);
  EXPECT_TRUE(op.transcript.empty()) << "a failed write is not told";
}

}  // namespace
