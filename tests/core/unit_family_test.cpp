// The unit-family table: the family found from a type text in its fixed
// order of tests, and the layout, columns and interval each family gives.
#include "core/unit_family.h"

#include <gtest/gtest.h>

using namespace lumvex;

TEST(DummyTypeFromText, FirstMatchInTheFixedOrderWins) {
  struct {
    const char* text;
    int type;
  } cases[] = {
      {"Polar", DummyPolar},
      {"Hybrid III 50th 3D", DummyHybridIII50th3D},
      {"Hybrid III 50th ADJ", DummyHybridIII50th},
      {"Hybrid III 50th", DummyHybridIII50th},
      {"SIDIIs", DummySIDIIs},
      {"Ballistic", DummyBallistic},
      {"WorldSID Female", DummyWorldSID5th},
      {"WorldSID 5th", DummyWorldSID5th},
      {"WorldSID", DummyWorldSID50th},
      {"Hybrid III 5th Female", DummyHybridIII5th},
      {"Polar 50th", DummyPolar},
      // Any text holding "50th" is a Hybrid III 50th, even a WorldSID one.
      {"WorldSID 50th", DummyHybridIII50th},
      {"", DummyHybridIII5th},
  };
  for (const auto& c : cases) EXPECT_EQ(DummyTypeFromText(c.text), c.type) << c.text;
  EXPECT_TRUE(IsAdjustable50th("Hybrid III 50th ADJ"));
  EXPECT_FALSE(IsAdjustable50th("Hybrid III 50th 3D ADJ"));
}

TEST(UnitFamily, ColumnsFollowTheLayout) {
  EXPECT_EQ(unitFamily(DummyPolar).ChannelCount, 15);
  EXPECT_EQ(unitFamily(DummyHybridIII50th).ChannelCount, 27);
  EXPECT_EQ(unitFamily(DummyBallistic).SampleIntervalMs, 0.05);
  EXPECT_EQ(unitFamily(DummyWorldSID5th).ChannelCount, kRawChannelCount);
  EXPECT_EQ(unitFamily(DummyWorldSID50th).DerivedChannelCount, 91);
  EXPECT_EQ(unitFamily(DummySIDIIs).DerivedChannelCount, unitFamily(DummySIDIIs).ChannelCount);
  EXPECT_EQ(unitFamily(DummyWorldSID50th).transformWidth, 6);
  EXPECT_EQ(unitFamily(DummyHybridIII50th3D).transformWidth, 3);
  EXPECT_EQ(unitFamily(8).name, "undefined");
  EXPECT_EQ(unitFamily(-1).LedCount, 0);
  EXPECT_EQ(rawRecordWords(1), 232);
  EXPECT_TRUE(recordsRawWords(DummyWorldSID5th, 101));
  EXPECT_FALSE(recordsRawWords(DummyWorldSID5th, 100));
  EXPECT_FALSE(recordsRawWords(DummySIDIIs, 150));
}
