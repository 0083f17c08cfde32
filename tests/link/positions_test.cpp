// The current-position query and the number lists of replies: a short count
// fills only its numbers, a count beyond the array is held to it, a failed
// link zeroes the array, and the list reader never reads past its field.
#include "link/positions.h"

#include "link/query.h"
#include "support/drive_station.h"

#include <gtest/gtest.h>

#include <array>

using namespace lumvex;
using lumvex::testing::DriveStation;

namespace {

lumvex::sim::CommandTable positionsReply(std::string count, std::string list) {
  auto t = lumvex::sim::DefaultCommands();
  t.add("CURRENT_POSITIONS", [count, list](lumvex::sim::Exchange& x) { x.reply({count, list}); });
  return t;
}

std::string numbers(int n) {
  std::string s;
  for (int i = 1; i <= n; ++i) s += std::to_string(i) + ".5,";
  return s;
}

}  // namespace

TEST(GetPoints, CountOf24FillsTheFirst24AndLeavesTheRest) {
  DriveStation s({}, 0, positionsReply("24", numbers(30)));
  ASSERT_TRUE(s.connect());
  std::array<double, kMaxPointValues> p;
  p.fill(-7);
  int count = 0;
  ASSERT_EQ(getPoints(s.st, count, p.data()), 0);
  EXPECT_EQ(count, 24);
  EXPECT_EQ(p[0], 1.5);
  EXPECT_EQ(p[23], 24.5);
  EXPECT_EQ(p[24], -7);
  EXPECT_EQ(p[53], -7);
}

TEST(GetPoints, CountBeyondTheArrayIsHeldToIt) {
  DriveStation s({}, 0, positionsReply("60", numbers(60)));
  ASSERT_TRUE(s.connect());
  std::array<double, kMaxPointValues + 1> p{};
  p.back() = -1;
  int count = 0;
  ASSERT_EQ(getPoints(s.st, count, p.data()), 0);
  EXPECT_EQ(count, kMaxPointValues);
  EXPECT_EQ(p[53], 54.5);
  EXPECT_EQ(p.back(), -1);  // nothing written past the 54 numbers
}

TEST(GetPoints, LongListUsesTheWiderSecondField) {
  // 54 numbers of 8 characters: more than the 255 of an ordinary field.
  std::string list;
  for (int i = 0; i < kMaxPointValues; ++i) list += "-123.45,";
  ASSERT_GT(list.size(), 255u);
  DriveStation s({}, 0, positionsReply("54", list));
  ASSERT_TRUE(s.connect());
  std::array<double, kMaxPointValues> p{};
  int count = 0;
  ASSERT_EQ(getPoints(s.st, count, p.data()), 0);
  EXPECT_EQ(p[53], -123.45);
}

TEST(GetPoints, FailuresZeroOrReport) {
  DriveStation s;
  ASSERT_TRUE(s.connect());
  s.sim.addFault({lumvex::sim::FaultKind::CorruptChecksum, "CURRENT_POSITIONS"});
  std::array<double, kMaxPointValues> p;
  p.fill(3);
  int count = -5;
  EXPECT_EQ(getPoints(s.st, count, p.data()), -1);
  EXPECT_TRUE(s.op.showed("COMM ERROR", "Comm Error getting current positions"));
  EXPECT_EQ(p[0], 3);  // a bad reply leaves the array

  lumvex::testing::TestStation none;  // no link: every number becomes 0
  EXPECT_EQ(getPoints(none.st, count, p.data()), -1);
  for (double v : p) ASSERT_EQ(v, 0);
}
