// The WorldSID derived channels on synthetic records: IR-TRACC equivalents and
// length change at rest, under known rib motion and across error-code runs
// (merged, never ending, changing code, short valid stretches, a full run
// table), the rib-0 rule of the WorldSID 5th, codes, type names and layout.
#include "processing/derived.h"
#include "support/scripted_operator.h"

#include "files/naming.h"
#include "processing/filter.h"
#include "processing/assembly.h"
#include "support/rib_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

using namespace lumvex;

namespace {

constexpr int kLeds = 18;
constexpr int kAssembled = 61;

struct Pos {
  double x, y, z;  // mm
};

Pos restPosition(int led) { return {6.0 + 3.0 * (led % 3) - 0.25 * led, 80.0 + 1.5 * led, 4.0 + 0.5 * led}; }

int xColumn(int led) { return 3 * led + 1; }
int uncorrectedColumn(int rib) { return 61 + rib; }
int correctedColumn(int rib) { return 67 + rib; }
int lengthColumn(int led) { return 73 + led; }

using lumvex::testing::anchorX;
using lumvex::testing::irtDepth;

class Derived : public ::testing::Test {
 protected:
  ScriptedOperator op;
  std::unique_ptr<Station> st = std::make_unique<Station>(op);
  ChannelTable& t = st->data.ChannelData;

  // An assembled WorldSID record with every LED at rest.
  void make(int type, int lx2, int samples) {
    st->session.DummyType = type;
    st->session.IsLX2 = lx2;
    InitDummyTypeNames(st->data);
    t.ChannelCount = kAssembled;
    t.SampleCount = samples;
    st->data.StartTimeMs = -20.0f;
    for (int i = 0; i < samples; ++i) {
      t.at(i, 0) = static_cast<float>(-20.0 + 0.1 * i);
      for (int led = 0; led < kLeds; ++led) place(i, led, restPosition(led));
      for (int s = 0; s < 6; ++s) t.at(i, 55 + s) = 1000.0f + s;
    }
    const char axes[] = "XYZ";
    for (int led = 0; led < kLeds; ++led) {
      for (int a = 0; a < 3; ++a) {
        const std::string code = "10TRRILE" + std::to_string(10 + led) + "WSDS" + axes[a] + "0";
        std::strcpy(st->data.codes.ChannelCodes[3 * led + a].data(), code.c_str());
      }
    }
    CalcChannelOffsets(st->data);
  }

  void place(int i, int led, Pos p) {
    t.at(i, xColumn(led)) = static_cast<float>(p.x);
    t.at(i, xColumn(led) + 1) = static_cast<float>(p.y);
    t.at(i, xColumn(led) + 2) = static_cast<float>(p.z);
  }

  void setCode(int led, int first, int last, float code) {
    for (int i = first; i <= last; ++i) place(i, led, {code, code, code});
  }

  void runBoth() {
    ASSERT_EQ(IRTraccCalcs(*st), 0);
    CalcChannelOffsets(st->data);
    ASSERT_EQ(LengthCalcs(*st), 0);
  }

  std::string code(int slot) const { return st->data.codes.ChannelCodes[slot].data(); }
  std::string typeName() const { return st->data.codes.DummyTypeNames[st->session.DummyType].data(); }
};

}  // namespace

TEST_F(Derived, LedsAtRestGiveZeroEverywhere) {
  make(DummyWorldSID50th, 0, 400);
  runBoth();
  ASSERT_EQ(t.ChannelCount, 91);
  for (int i = 0; i < 400; ++i) {
    for (int rib = 0; rib < 6; ++rib) {
      ASSERT_EQ(t.at(i, uncorrectedColumn(rib)), 0.0f) << i;
      ASSERT_EQ(t.at(i, correctedColumn(rib)), 0.0f) << i;
    }
    for (int led = 0; led < kLeds; ++led) ASSERT_NEAR(t.at(i, lengthColumn(led)), 0.0f, 1e-4) << i;
  }
}

TEST_F(Derived, WideningKeepsEveryRowAndAddsDerivedCodesAndNames) {
  make(DummyWorldSID50th, 0, 300);
  t.at(299, 0) = 123.5f;
  t.at(299, 60) = 77.0f;
  runBoth();
  EXPECT_EQ(t.at(299, 0), 123.5f);
  EXPECT_EQ(t.at(299, 60), 77.0f);
  EXPECT_EQ(t.at(150, 55), 1000.0f);
  EXPECT_FLOAT_EQ(t.at(150, xColumn(17) + 1), static_cast<float>(restPosition(17).y));
  EXPECT_EQ(code(60), "10TRRILE11WSDSU0");  // rib 0's middle LED is LED 1
  EXPECT_EQ(code(66), "10TRRILE11WSDSC0");
  EXPECT_EQ(code(65), "10TRRILE26WSDSU0");
  EXPECT_EQ(code(72), "10TRRILE10WSDSLB");
  EXPECT_EQ(code(89), "10TRRILE27WSDSLB");
  EXPECT_EQ(typeName(), "WorldSID w/IRT w/Length Change");
}

TEST_F(Derived, MmeNamesSettingReachesTheIrtCodes) {
  make(DummyWorldSID5th, 0, 200);
  st->ini.UseMmeIrtChannelNames = 1;
  runBoth();
  EXPECT_EQ(code(64), "10TRRILE01WSDS00");  // rib 4: fine locations "LE" and "01"
  EXPECT_EQ(code(70), "10TRRILE01WSDSY0");
  EXPECT_EQ(code(72), "10TRRILE10WSDSLB");
  EXPECT_EQ(typeName(), "WorldSID 5th w/IRT w/Length Change");
}

TEST_F(Derived, TypeNameSuffixesAreAddedOnlyOnce) {
  make(DummyWorldSID5th, 0, 200);
  std::strcpy(st->data.codes.DummyTypeNames[7].data(), "WorldSID 5th w/IRT w/Length Change");
  runBoth();
  EXPECT_EQ(typeName(), "WorldSID 5th w/IRT w/Length Change");
}

TEST_F(Derived, LayoutsThatDoNotFitAreRefusedUntouched) {
  make(DummyWorldSID50th, 0, 200);
  t.ChannelCount = 15;
  EXPECT_EQ(IRTraccCalcs(*st), -1);
  EXPECT_EQ(t.ChannelCount, 15);
  t.ChannelCount = kAssembled;
  EXPECT_EQ(LengthCalcs(*st), -1);  // needs the IR-TRACC columns first
  EXPECT_EQ(t.ChannelCount, kAssembled);
  t.ChannelCount = 62;  // not the assembled layout: column 61 would be overwritten
  EXPECT_EQ(IRTraccCalcs(*st), -1);
  t.ChannelCount = kAssembled;
  ASSERT_EQ(IRTraccCalcs(*st), 0);
  EXPECT_EQ(IRTraccCalcs(*st), -1);  // the IR-TRACC columns exist already
  EXPECT_EQ(t.ChannelCount, 73);
  ASSERT_EQ(LengthCalcs(*st), 0);
  EXPECT_EQ(IRTraccCalcs(*st), -1);  // 103 columns would overrun the offsets and codes
  EXPECT_EQ(LengthCalcs(*st), -1);
  EXPECT_EQ(t.ChannelCount, 91);
}

TEST_F(Derived, PureXMotionLeavesTheCorrectedChannelAtZero) {
  make(DummyWorldSID50th, 0, 300);
  const int led = 3 * 2 + 1;
  for (int i = 100; i < 300; ++i) {
    Pos p = restPosition(led);
    p.x += 0.05 * (i - 100);
    place(i, led, p);
  }
  ASSERT_EQ(IRTraccCalcs(*st), 0);
  EXPECT_LT(t.at(299, uncorrectedColumn(2)), -0.1f);
  for (int i = 0; i < 300; ++i) ASSERT_NEAR(t.at(i, correctedColumn(2)), 0.0f, 1e-5) << i;
}

TEST_F(Derived, CodeRunIsCarriedIntoBothIrtChannelsAndTheLengthChange) {
  make(DummyWorldSID50th, 0, 400);
  const int led = 3 * 2 + 1;
  for (int i = 0; i < 400; ++i) {
    Pos p = restPosition(led);
    p.y -= 0.01 * i;
    place(i, led, p);
  }
  setCode(led, 100, 120, 5);
  runBoth();
  for (int i = 100; i <= 120; ++i) {
    ASSERT_EQ(t.at(i, uncorrectedColumn(2)), 5.0f) << i;
    ASSERT_EQ(t.at(i, correctedColumn(2)), 5.0f) << i;
    ASSERT_EQ(t.at(i, lengthColumn(led)), 5.0f) << i;  // rib 2's anchor lies at X = 4.72
  }
  // Outside the run the channels follow the Y motion relative to the average of rows 0..99.
  EXPECT_NEAR(t.at(99, uncorrectedColumn(2)), 0.99 - 0.495, 1e-4);
  EXPECT_NEAR(t.at(121, uncorrectedColumn(2)), 1.21 - 0.495, 1e-4);
  EXPECT_NEAR(t.at(121, correctedColumn(2)), 1.21 - 0.495, 1e-4);
  EXPECT_GT(t.at(130, lengthColumn(led)), 0.5f);
}

// X - T[r] + T[r] in single precision is 4.9999995 for X = 5 and the
// WorldSID 5th shoulder anchor (-7.0883 mm): a code read back through the
// anchor would be lost, one read from X is kept.
TEST_F(Derived, CodeFiveRunOnTheFifthShoulderKeepsItsCode) {
  make(DummyWorldSID5th, 0, 400);
  const int led = 1;  // rib 0's middle LED
  setCode(led, 100, 120, 5);
  runBoth();
  for (int i = 0; i < 400; ++i) {
    const bool inRun = i >= 100 && i <= 120;
    if (inRun) {
      ASSERT_EQ(t.at(i, lengthColumn(led)), 5.0f) << i;
    } else {
      ASSERT_NEAR(t.at(i, lengthColumn(led)), 0.0f, 1e-4) << i;
    }
    ASSERT_EQ(t.at(i, uncorrectedColumn(0)), inRun ? 5.0f : 0.0f) << i;
    ASSERT_EQ(t.at(i, correctedColumn(0)), inRun ? 5.0f : 0.0f) << i;
  }
}

TEST_F(Derived, CodeInsideARunIsReadFromTheLedItselfWhateverTheAnchor) {
  const int types[][2] = {{DummyWorldSID50th, 0}, {DummyWorldSID5th, 0}, {DummyWorldSID5th, 1}};
  for (const auto& ty : types) {
    make(ty[0], ty[1], 9 * 100 + 100);
    for (int led = 0; led < kLeds; ++led) {
      for (int c = 1; c <= 9; ++c) {
        setCode(led, 100 * c, 100 * c + 5, static_cast<float>(c));
        setCode(led, 100 * c + 6, 100 * c + 9, static_cast<float>(-c));  // codes of either sign
      }
    }
    runBoth();
    for (int led = 0; led < kLeds; ++led) {
      for (int c = 1; c <= 9; ++c) {
        for (int i = 100 * c; i <= 100 * c + 9; ++i)
          ASSERT_EQ(t.at(i, lengthColumn(led)), static_cast<float>(c)) << "type " << ty[0] << " led " << led;
      }
    }
  }
}

TEST_F(Derived, RunsFortyNineApartMergeAndCarryTheCodeOverValidSamples) {
  make(DummyWorldSID50th, 0, 600);
  const int led = 3 * 4 + 1;
  setCode(led, 150, 199, 2);
  setCode(led, 248, 260, 6);  // 49 after the first: one run
  setCode(led, 400, 410, 3);
  setCode(led, 460, 470, 4);  // 50 after the third: separate
  for (int i = 0; i < 600; ++i) {
    if (SampleErrorCode(t.at(i, xColumn(led)), t.at(i, xColumn(led) + 1), t.at(i, xColumn(led) + 2)) == 0) {
      Pos p = restPosition(led);
      if (i >= 100) p.y -= 3.0;
      place(i, led, p);
    }
  }
  runBoth();
  for (int i = 150; i <= 260; ++i) {
    ASSERT_EQ(t.at(i, uncorrectedColumn(4)), 2.0f) << i;
    ASSERT_EQ(t.at(i, correctedColumn(4)), 2.0f) << i;
  }
  for (int i = 200; i < 248; ++i) ASSERT_EQ(t.at(i, lengthColumn(led)), 0.0f) << i;  // valid, merged over
  EXPECT_EQ(t.at(249, lengthColumn(led)), 6.0f);
  for (int i = 411; i < 460; ++i) ASSERT_NEAR(t.at(i, correctedColumn(4)), 3.0f, 1e-4) << i;
  EXPECT_EQ(t.at(460, correctedColumn(4)), 4.0f);
}

TEST_F(Derived, LedInvalidForTheWholeRecordGivesZeroAndMinusTen) {
  make(DummyWorldSID5th, 0, 300);
  setCode(4, 0, 299, 9);  // middle LED of rib 1
  runBoth();
  for (int i = 0; i < 300; ++i) {
    ASSERT_EQ(t.at(i, uncorrectedColumn(1)), 0.0f) << i;
    ASSERT_EQ(t.at(i, correctedColumn(1)), 0.0f) << i;
    ASSERT_EQ(t.at(i, lengthColumn(4)), -10.0f) << i;
    ASSERT_NEAR(t.at(i, lengthColumn(3)), 0.0f, 1e-4) << i;
  }
  EXPECT_FLOAT_EQ(st->data.ChannelOffsets[lengthColumn(4)], -10.0f);  // offsets follow the new columns
}

TEST_F(Derived, RunChangingCodeKeepsItsFirstCodeInIrtButLengthReportsEachSample) {
  make(DummyWorldSID50th, 0, 300);
  const int led = 3 * 3 + 1;
  setCode(led, 150, 159, 5);
  setCode(led, 160, 170, 7);
  runBoth();
  for (int i = 150; i <= 170; ++i) {
    ASSERT_EQ(t.at(i, uncorrectedColumn(3)), 5.0f) << i;
    ASSERT_EQ(t.at(i, correctedColumn(3)), 5.0f) << i;
    ASSERT_EQ(t.at(i, lengthColumn(led)), i < 160 ? 5.0f : 7.0f) << i;
  }
}

TEST_F(Derived, StretchesShorterThanThirtyThreeSamplesStayUnfiltered) {
  for (int len : {32, 33}) {
    make(DummyWorldSID50th, 0, 200);
    const int led = 0;
    for (int i = 0; i < len; ++i) {
      Pos p = restPosition(led);
      if (i >= len / 2) {  // a step in both axes: filtering visibly changes it
        p.y -= 4.0;
        p.x += 3.0;
      }
      place(i, led, p);
    }
    setCode(led, len, 199, 3);
    ASSERT_EQ(IRTraccCalcs(*st), 0);
    const double x0 = st->data.ChannelOffsets[xColumn(led)];
    const double y0 = st->data.ChannelOffsets[xColumn(led) + 1];
    const double tx = anchorX(DummyWorldSID50th, 0, 0);
    std::vector<float> a(len), b(len);
    for (int i = 0; i < len; ++i) {
      a[i] = static_cast<float>(t.at(i, xColumn(led)) - tx);
      b[i] = t.at(i, xColumn(led) + 1);
    }
    if (len == 33) {
      Butfilt(a.data(), 600, len, 0.1f, st->data.filterWork);
      Butfilt(b.data(), 600, len, 0.1f, st->data.filterWork);
    }
    ASSERT_EQ(LengthCalcs(*st), 0);
    const double l0 = std::hypot(x0 - tx, y0);
    double biggestStepChange = 0;
    for (int i = 0; i < len; ++i) {
      const float want = static_cast<float>(l0 - std::sqrt(double(a[i]) * a[i] + double(b[i]) * b[i]));
      ASSERT_FLOAT_EQ(t.at(i, lengthColumn(led)), want) << len << " " << i;
      const double raw = l0 - std::hypot(t.at(i, xColumn(led)) - tx, t.at(i, xColumn(led) + 1));
      biggestStepChange = std::max(biggestStepChange, std::fabs(want - raw));
    }
    if (len == 32) {
      EXPECT_LT(biggestStepChange, 1e-4) << "32 samples are used as they are";
    } else {
      EXPECT_GT(biggestStepChange, 0.5) << "33 samples are filtered";
    }
    EXPECT_EQ(t.at(len, lengthColumn(led)), 3.0f);
  }
}

TEST_F(Derived, FifthRibZeroWithARunLeavesTheCorrectedChannelAtZero) {
  struct Case {
    int type, rib, run;
    bool corrected;
  };
  const Case cases[] = {{DummyWorldSID5th, 0, 1, false},
                        {DummyWorldSID5th, 0, 0, true},
                        {DummyWorldSID5th, 1, 1, true},
                        {DummyWorldSID50th, 0, 1, true}};
  for (const Case& c : cases) {
    make(c.type, 0, 400);
    const int led = 3 * c.rib + 1;
    for (int i = 100; i < 400; ++i) {
      Pos p = restPosition(led);
      p.y -= 6.0;
      p.x += 1.0;
      place(i, led, p);
    }
    if (c.run) setCode(led, 200, 210, 4);
    ASSERT_EQ(IRTraccCalcs(*st), 0);
    SCOPED_TRACE(::testing::Message() << "type " << c.type << " rib " << c.rib << " run " << c.run);
    EXPECT_NEAR(t.at(300, uncorrectedColumn(c.rib)), 5.9f, 0.1f);
    EXPECT_NEAR(t.at(300, correctedColumn(c.rib)), c.corrected ? 6.0f : 0.0f, 1e-3);
    if (c.run) {
      EXPECT_EQ(t.at(205, correctedColumn(c.rib)), 4.0f);
    }
  }
}

TEST_F(Derived, FullRunTableLeavesTheLengthAfterItUnavailable) {
  const int n = 499 * 60 + 300;
  make(DummyWorldSID50th, 0, n);
  const int led = 10;  // rib 3's middle LED
  for (int k = 0; k < 499; ++k) setCode(led, k * 60 + 130, k * 60 + 131, 2);
  const int tail = 498 * 60 + 132;
  for (int i = tail + 10; i < n; ++i) {
    Pos p = restPosition(led);
    p.y -= 2.0;
    place(i, led, p);
  }
  runBoth();
  EXPECT_NEAR(t.at(tail - 40, lengthColumn(led)), 0.0f, 1e-4);  // the stretch before the last run
  for (int i = tail; i < n; ++i) ASSERT_EQ(t.at(i, lengthColumn(led)), -10.0f) << i;
  EXPECT_EQ(t.at(tail - 1, uncorrectedColumn(3)), 2.0f);
  EXPECT_NEAR(t.at(n - 1, uncorrectedColumn(3)), 2.0f, 1e-4);  // the IR-TRACC channel is still computed
}

// Each rib is pushed by a known amount (Y towards the anchor, some X) with a
// smooth ramp; after the filter settles the channels equal the geometry.
TEST_F(Derived, PushedRibsGiveTheGeometricLengthChangeAndIrtValues) {
  const int types[][2] = {{DummyWorldSID50th, 0}, {DummyWorldSID5th, 0}, {DummyWorldSID5th, 1}};
  constexpr int n = 700, rampStart = 200, rampEnd = 300;
  for (const auto& ty : types) {
    make(ty[0], ty[1], n);
    auto push = [](int rib) { return 4.0 + 3.0 * rib; };   // mm towards Y = 0
    auto shift = [](int rib) { return 2.5 - 1.0 * rib; };  // mm along X
    for (int i = rampStart; i < n; ++i) {
      const double s = i >= rampEnd
                           ? 1.0
                           : 0.5 - 0.5 * std::cos(std::numbers::pi * (i - rampStart) / (rampEnd - rampStart));
      for (int led = 0; led < kLeds; ++led) {
        Pos p = restPosition(led);
        p.y -= s * push(led / 3);
        p.x += s * shift(led / 3);
        place(i, led, p);
      }
    }
    runBoth();
    double worst = 0;
    for (int i = rampEnd + 50; i < n; ++i) {
      for (int rib = 0; rib < 6; ++rib) {
        const Pos r = restPosition(3 * rib + 1);
        const double anchorY = -irtDepth(ty[0], ty[1], rib);
        const double before = std::fabs(r.y - anchorY);
        const double after = std::hypot(shift(rib), r.y - push(rib) - anchorY);
        worst = std::max(worst, std::fabs(t.at(i, uncorrectedColumn(rib)) - (before - after)));
        worst = std::max(worst, std::fabs(t.at(i, correctedColumn(rib)) - push(rib)));
      }
      for (int led = 0; led < kLeds; ++led) {
        const Pos r = restPosition(led);
        const double ax = anchorX(ty[0], ty[1], led / 3);
        const double before = std::hypot(r.x - ax, r.y);
        const double after = std::hypot(r.x + shift(led / 3) - ax, r.y - push(led / 3));
        worst = std::max(worst, std::fabs(t.at(i, lengthColumn(led)) - (before - after)));
      }
    }
    EXPECT_LT(worst, 0.01) << "type " << ty[0] << " LX2 " << ty[1];
    // The filter smooths the ramp but keeps it monotonic and bounded.
    EXPECT_GT(t.at(rampEnd, lengthColumn(16)), t.at(rampStart + 50, lengthColumn(16)));
  }
}
