// The text helpers: numbers read from reply fields and lists as C reads
// them, and the test comment as the unit takes it.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace lumvex;

TEST(TestComment, LongCommentsAreCutAndCommasReplaced) {
  std::string eighty(80, 'a');
  EXPECT_EQ(CleanTestComment(eighty), eighty);
  EXPECT_EQ(CleanTestComment(eighty + "b"), std::string(79, 'a'));
  EXPECT_EQ(CleanTestComment("ATD 50th, run 3,"), "ATD 50th_ run 3_");
  EXPECT_EQ(CleanTestComment(""), "");
}

TEST(ReadNumberList, UnreadableValuesAreZeroAndTheEndIsNeverPassed) {
  double v[6];
  std::fill(v, v + 6, -1.0);
  ReadNumberList("1.5,x,+2e1;-3", v, 6);
  // An unreadable value takes one character with it, as in "x" then ",".
  EXPECT_EQ(v[0], 1.5);
  EXPECT_EQ(v[1], 0);
  EXPECT_EQ(v[2], 0);
  EXPECT_EQ(v[3], 20);
  EXPECT_EQ(v[4], -3);
  EXPECT_EQ(v[5], 0);
  EXPECT_EQ(FieldInt("  -42abc"), -42);
  EXPECT_EQ(FieldInt("abc"), 0);
  EXPECT_EQ(FieldInt("99999999999"), 2147483647);
}
