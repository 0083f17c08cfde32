// The CFC filter: coefficients at 0.1 and 0.05 ms against the documented
// values, the 32/33 length boundary, constant and step series, zero phase,
// values fixed by an independent calculation, and the column-batched filter
// giving exactly the single-series result.
#include "processing/filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace lumvex {
namespace {

TEST(ButterworthDesign, ReferenceCoefficientsAtTenKilohertz) {
  struct Ref {
    int cfc;
    double a0, b1, b2;
  } refs[] = {{600, 0.096040, 0.952689, -0.336847},
              {1000, 0.216761, 0.323036, -0.190080},
              {180, 0.011639, 1.672469, -0.719025},
              {60, 0.001432, 1.890141, -0.895869}};
  for (const Ref& r : refs) {
    SCOPED_TRACE(r.cfc);
    ButterworthCoefficients c = ButterworthDesign(r.cfc, 0.1f);
    EXPECT_NEAR(c.a0, r.a0, 1e-6);
    EXPECT_NEAR(c.b1, r.b1, 1e-6);
    EXPECT_NEAR(c.b2, r.b2, 1e-6);
    EXPECT_EQ(c.a1, 2 * c.a0);
    EXPECT_EQ(c.a2, c.a0);
    EXPECT_NEAR(c.a0 + c.a1 + c.a2 + c.b1 + c.b2, 1.0, 1e-12);
  }
}

// Ballistic data (20 kHz) in the export: the same classes designed at 0.05 ms,
// values of an independent evaluation of the design formulas.
TEST(ButterworthDesign, ReferenceCoefficientsAtTwentyKilohertz) {
  struct Ref {
    int cfc;
    double a0, b1, b2;
  } refs[] = {{1000, 0.071026915, 1.117651612, -0.401759273},
              {600, 0.029425475, 1.459547172, -0.577249073},
              {180, 0.003138622, 1.835389017, -0.847943506},
              {60, 0.000367706, 1.945032616, -0.946503440}};
  for (const Ref& r : refs) {
    SCOPED_TRACE(r.cfc);
    ButterworthCoefficients c = ButterworthDesign(r.cfc, 0.05f);
    EXPECT_NEAR(c.a0, r.a0, 1e-9);
    EXPECT_NEAR(c.b1, r.b1, 1e-9);
    EXPECT_NEAR(c.b2, r.b2, 1e-9);
  }
}

TEST(ButterworthDesign, TheIntervalEntersTheDesign) {
  ButterworthCoefficients slow = ButterworthDesign(600, 0.1f);
  ButterworthCoefficients fast = ButterworthDesign(600, 0.05f);
  EXPECT_GT(slow.a0, fast.a0 * 2);  // a higher rate puts the class lower in the band
  EXPECT_NEAR(fast.a0 + fast.a1 + fast.a2 + fast.b1 + fast.b2, 1.0, 1e-12);
  // At 0.05 ms class 1000 is the 0.1 ms design of class 500.
  ButterworthCoefficients half = ButterworthDesign(500, 0.1f);
  ButterworthCoefficients c1000 = ButterworthDesign(1000, 0.05f);
  EXPECT_NEAR(c1000.a0, half.a0, 1e-9);
  EXPECT_NEAR(c1000.b2, half.b2, 1e-9);
}

FilterWork gWork;  // the filter's work area, reused by every test as the station reuses its own

std::vector<float> stepAt(int count, int at, float before, float after) {
  std::vector<float> v(count, before);
  for (int i = at; i < count; ++i) v[i] = after;
  return v;
}

TEST(Butfilt, ThirtyTwoValuesStayThirtyThreeAreFiltered) {
  std::vector<float> v32 = stepAt(32, 16, 0, 10);
  std::vector<float> orig32 = v32;
  Butfilt(v32.data(), 60, 32, 0.1f, gWork);
  EXPECT_EQ(v32, orig32);

  std::vector<float> v33 = stepAt(33, 16, 0, 10);
  std::vector<float> orig33 = v33;
  Butfilt(v33.data(), 60, 33, 0.1f, gWork);
  EXPECT_NE(v33, orig33);
  EXPECT_GT(v33[15], 0.5f);
  EXPECT_LT(v33[16], 9.5f);
}

TEST(Butfilt, ConstantSeriesPassesBitForBit) {
  for (float level : {0.0f, 123.456f, -7.25f, 3.0f, 1e-3f}) {
    for (int cfc : {60, 180, 600, 1000}) {
      std::vector<float> v(5000, level);
      Butfilt(v.data(), cfc, static_cast<int>(v.size()), 0.1f, gWork);
      for (float x : v) ASSERT_EQ(x, level) << "class " << cfc;
    }
  }
}

TEST(Butfilt, NoStartUpTransientAtTheFirstSample) {
  // The record starts at 100 mm: the padding repeats that value, so the start
  // stays where it is instead of rising from zero. What remains is the dead
  // band of the single-precision recurrence after the later step (about
  // 200 ulps at class 60), far below a transient of tens of mm.
  std::vector<float> v = stepAt(3000, 2000, 100.0f, 20.0f);
  Butfilt(v.data(), 60, 3000, 0.1f, gWork);
  EXPECT_NEAR(v[0], 100.0f, 2e-3);
  EXPECT_NEAR(v[1000], 100.0f, 2e-3);
  EXPECT_NEAR(v[2999], 20.0f, 2e-3);
  // A series whose very first sample is the step: its start is the new level.
  std::vector<float> w = stepAt(1000, 1, -50.0f, 50.0f);
  Butfilt(w.data(), 1000, 1000, 0.1f, gWork);
  EXPECT_GT(w[5], 49.0f);
  EXPECT_NEAR(w[999], 50.0f, 2e-3);
}

TEST(Butfilt, ForwardAndBackwardLeaveNoPhaseShift) {
  std::vector<float> v = stepAt(4000, 2000, 0.0f, 100.0f);
  Butfilt(v.data(), 180, 4000, 0.1f, gWork);
  // Symmetric about the step: y(2000 + i) - 50 = 50 - y(1999 - i).
  for (int i = 0; i < 200; ++i) EXPECT_NEAR(v[2000 + i] - 50.0f, 50.0f - v[1999 - i], 2e-3) << i;
  EXPECT_NEAR(v[1999] + v[2000], 100.0f, 2e-3);
}

// Values computed for this series by an independent implementation of the
// same algorithm: catch any change of order, rounding or padding.
TEST(Butfilt, MatchesIndependentlyComputedValues) {
  auto series = [] {
    std::vector<float> v(50, 0.0f);
    for (int i = 20; i < 40; ++i) v[i] = 10.0f;
    for (int i = 40; i < 50; ++i) v[i] = 3.75f;
    return v;
  };
  const int at[] = {0, 18, 19, 20, 21, 39, 45, 49};
  std::vector<float> v = series();
  Butfilt(v.data(), 180, 50, 0.1f, gWork);
  const float c180[] = {-0x1.a1ddeap-3f, 0x1.ef893cp+1f, 0x1.2c5d42p+2f, 0x1.622fa4p+2f,
                        0x1.96e956p+2f,  0x1.d5268ap+2f, 0x1.23d248p+2f, 0x1.dec3f4p+1f};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(v[at[i]], c180[i]) << at[i];

  v = series();
  Butfilt(v.data(), 1000, 50, 0.05f, gWork);
  const float c1000[] = {-0x1.65bec6p-11f, 0x1.f44506p+0f, 0x1.f2da66p+1f, 0x1.869d7ep+2f,
                         0x1.017d2ap+3f,   0x1.e4293cp+2f, 0x1.c368eap+1f, 0x1.df7a8cp+1f};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(v[at[i]], c1000[i]) << at[i];
}

TEST(ButfiltColumns, EachColumnExactlyAsFilteredAlone) {
  const int rows = 1500, stride = 21;
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> u(-200.0f, 200.0f);
  std::vector<float> table(static_cast<size_t>(rows) * stride);
  for (float& x : table) x = u(rng);
  std::vector<float> expected = table;
  // 18 columns of a 21-wide table: one full batch of 16 and a partial one;
  // columns 0, 5 and 20 untouched.
  std::vector<int> cols = {1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  for (int c : cols) {
    std::vector<float> col(rows);
    for (int r = 0; r < rows; ++r) col[r] = expected[static_cast<size_t>(r) * stride + c];
    Butfilt(col.data(), 600, rows, 0.1f, gWork);
    for (int r = 0; r < rows; ++r) expected[static_cast<size_t>(r) * stride + c] = col[r];
  }
  const std::vector<float> input = table;
  for (FilterKernel k : {FilterKernel::Best, FilterKernel::Sse2, FilterKernel::Portable}) {
    table = input;
    ButfiltColumns(table.data(), stride, cols, rows, 600, 0.1f, gWork, k);
    ASSERT_EQ(std::memcmp(table.data(), expected.data(), table.size() * sizeof(float)), 0)
        << "kernel " << static_cast<int>(k);
  }

  std::vector<float> shortTable(32 * 3, 1.0f);
  shortTable[40] = 9.0f;
  std::vector<float> before = shortTable;
  ButfiltColumns(shortTable.data(), 3, std::vector<int>{1, 2}, 32, 60, 0.1f, gWork);
  EXPECT_EQ(shortTable, before);
}

}  // namespace
}  // namespace lumvex
