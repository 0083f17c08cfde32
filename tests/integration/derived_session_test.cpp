// WorldSID downloads from the simulated unit over loopback TCP, positions
// units (serial 100 and below) and raw units (above 100): the derived channels
// match the geometry of the simulated rib motion, error codes of the middle
// and outer LEDs are carried as runs, the WorldSID 5th rib-0 rule holds, and
// the 91-column table reaches the CSV, DIAdem and ISO MME exports with its
// codes and type name.
#include "ui/callbacks.h"
#include "processing/derived.h"
#include "sim/recording.h"
#include "sim/wsid_model.h"
#include "support/download_station.h"
#include "support/rib_geometry.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using namespace lumvex;
using Session = lumvex::testing::DownloadStation;
using lumvex::testing::fields;
using lumvex::testing::splitCr;

namespace {

constexpr int kLeds = 18;
constexpr int kStartMs = -20;

// Where an LED truly is (in the station's frame for the impact side) or
// the code it reports; code -1: the simulated conversion may give either.
struct Truth {
  double x, y, z;
  int code;
};

using lumvex::testing::anchorX;
using lumvex::testing::irtDepth;

struct Unit {
  const char* typeText;
  const char* firmware;
  const char* serial;
  int type;
  int lx2;
  const char* side;  // "LEFT" or "RIGHT"
  bool raw() const { return std::atoi(serial) > 100; }
  bool right() const { return std::string(side) == "RIGHT"; }
};

// The truth of every LED at every downloaded sample (and `kPad` samples either
// side), found once: the raw model's truth takes a calibration inversion.
class Geometry {
 public:
  static constexpr int kPad = 60;  // samples

  Geometry(const Unit& u, int samples) : u_(u), model_(sim::wsidModel(u.type, u.lx2)), samples_(samples) {
    truth_.resize(static_cast<size_t>(kLeds) * (samples + 2 * kPad));
    for (int led = 0; led < kLeds; ++led) {
      rest_[led] = find(led, -15.0);
      for (int i = -kPad; i < samples + kPad; ++i) slot(led, i) = find(led, kStartMs + 0.1 * i);
    }
  }

  const Truth& at(int led, int i) const { return truth_[index(led, i)]; }

  // The motion of the position units' pulse has corners (its slope jumps at
  // 0 and 32 ms) that no low-pass filter follows; the raw model's is smooth.
  bool nearCorner(int i) const {
    if (u_.raw()) return false;
    const double ms = kStartMs + 0.1 * i;
    return std::fabs(ms) < 2.0 || std::fabs(ms - 32.0) < 2.0;
  }

  // The LED is valid at sample i and at every sample within `margin` of it:
  // away from error runs, their merges and the ends of the filtered stretches.
  bool clear(int led, int i, int margin) const {
    for (int k = i - margin; k <= i + margin; ++k)
      if (at(led, k).code != 0) return false;
    return true;
  }

  double uncorrected(int rib, int i) const { return irt(rib, i, false); }
  double corrected(int rib, int i) const { return irt(rib, i, true); }

  double lengthChange(int led, int i) const {
    const double ax = anchorX(u_.type, u_.lx2, led / 3);
    const Truth &r = rest_[led], &p = at(led, i);
    return std::hypot(r.x - ax, r.y) - std::hypot(p.x - ax, p.y);
  }

 private:
  Truth find(int led, double tMs) const {
    if (u_.raw()) {
      const sim::WsidTruth w = sim::wsidTruth(model_, led < 9 ? 1 : 2, led % 9, tMs);
      return toStation({w.x, w.y, w.z, w.code});
    }
    double p[3];
    const int code = sim::ledPosition(u_.type, led, tMs, p);
    return toStation({p[0], p[1], p[2], code});
  }
  // The impact side's transform: the right side negates X, the left side Y.
  Truth toStation(Truth t) const {
    if (t.code != 0) return t;
    (u_.right() ? t.x : t.y) *= -1;
    return t;
  }
  size_t index(int led, int i) const {
    return static_cast<size_t>(led) * (samples_ + 2 * kPad) + static_cast<size_t>(i + kPad);
  }
  Truth& slot(int led, int i) { return truth_[index(led, i)]; }

  // The middle LED's distance from the point (X0, -K, Z0) against its
  // distance at rest; the X-corrected channel takes the distance's share in
  // the Y direction of the X-Y plane, leaving the fore-and-aft motion out.
  double irt(int rib, int i, bool xCorrected) const {
    const Truth &r = rest_[3 * rib + 1], &p = at(3 * rib + 1, i);
    const double anchorY = -irtDepth(u_.type, u_.lx2, rib);
    const double dX = p.x - r.x, dY = p.y - anchorY, dZ = p.z - r.z;
    double distance = std::sqrt(dX * dX + dY * dY + dZ * dZ);
    if (xCorrected) distance *= std::fabs(dY) / std::hypot(dX, dY);
    return std::fabs(r.y - anchorY) - distance;
  }

  Unit u_;
  sim::WsidModel model_;
  int samples_;
  Truth rest_[kLeds];
  std::vector<Truth> truth_;
};

std::string fixed2(float v) {
  char b[32];
  std::snprintf(b, sizeof b, "%4.2f", static_cast<double>(v));
  return b;
}

const Unit kUnits[] = {
    {"WorldSID", "V7.3", "42", DummyWorldSID50th, 0, "LEFT"},
    {"WorldSID 5th", "V7.3", "100", DummyWorldSID5th, 0, "RIGHT"},
    {"WorldSID", "V7.3", "150", DummyWorldSID50th, 0, "RIGHT"},
    {"WorldSID 5th", "V7.3", "101", DummyWorldSID5th, 0, "LEFT"},
    {"WorldSID 5th", "LX2 V8.0", "150", DummyWorldSID5th, 1, "LEFT"},
};

std::string describe(const Unit& u) {
  return std::string(u.typeText) + " " + u.firmware + " SN" + u.serial + " " + u.side;
}

// Downloads [kStartMs, stopMs] from a simulated unit of the given kind.
void download(Session& s, const Unit& u, lumvex::testing::TempDir& work, int stopMs) {
  s.st.workDir = work.path();
  if (u.raw()) {
    ASSERT_EQ(sim::wsidWriteCalibrationFiles(work.path(), u.serial, "12-Mar-2024", u.type, u.lx2), 0);
  }
  s.st.model.commit(Ctl::CONNECT);
  ASSERT_EQ(s.st.session.unitStatus, 3);
  s.window(kStartMs, stopMs);
  s.st.model.commit(Ctl::DOWNLOAD_BUT);
  ASSERT_EQ(s.st.data.RawPresent, u.raw() ? 1 : 0);
  ASSERT_EQ(s.st.data.ChannelData.SampleCount, (stopMs - kStartMs) * 10 + 1)
      << ::testing::PrintToString(s.op.messages());
  ASSERT_EQ(s.st.data.ChannelData.ChannelCount, 91);
}

}  // namespace

// Every rib of the simulated dummy is pushed by its own amount during the
// pulse; after the filter settles, the length change of every LED and both
// IR-TRACC equivalents of every rib equal what the true positions give.
TEST(DerivedSession, PushedRibsGiveTheGeometricDerivedChannels) {
  for (const Unit& u : kUnits) {
    SCOPED_TRACE(describe(u));
    Session s({{"type", u.typeText},
               {"serial", u.serial},
               {"firmware", u.firmware},
               {"caldate", "12-Mar-2024"},
               {"side", u.side}});
    lumvex::testing::TempDir work;
    const int stopMs = 100;
    download(s, u, work, stopMs);
    const ChannelTable& t = s.st.data.ChannelData;
    const Geometry g(u, t.SampleCount);
    double worstIrt = 0, worstLength = 0, biggestPush = 0;
    int irtChecked = 0, lengthChecked = 0, irtCodes = 0, lengthCodes = 0;
    std::vector<std::string> wrong;  // samples that do not carry what they should
    for (int i = 0; i < t.SampleCount; ++i) {
      for (int rib = 0; rib < 6; ++rib) {
        if (g.at(3 * rib + 1, i).code > 0) {
          // The middle LED reports a code: both channels carry its run's code.
          const float v = t.at(i, 61 + rib);
          const bool code = v >= 1 && v <= 9 && v == std::trunc(v) && t.at(i, 67 + rib) == v;
          if (!code) wrong.push_back("IR-TRACC rib " + std::to_string(rib) + " row " + std::to_string(i));
          ++irtCodes;
        }
        // Unfiltered: any sample away from a run of the middle LED (runs less
        // than 50 samples apart merge, so keep 50 samples clear).
        if (!g.clear(3 * rib + 1, i, 50)) continue;
        worstIrt = std::max(worstIrt, std::fabs(t.at(i, 61 + rib) - g.uncorrected(rib, i)));
        const bool fifthRib0WithRuns = u.type == DummyWorldSID5th && rib == 0;  // LED 1 drops out
        if (fifthRib0WithRuns) {
          if (t.at(i, 67 + rib) != 0.0f) wrong.push_back("rib 0 X-corrected row " + std::to_string(i));
        } else {
          worstIrt = std::max(worstIrt, std::fabs(t.at(i, 67 + rib) - g.corrected(rib, i)));
        }
        biggestPush = std::max(biggestPush, g.corrected(rib, i));
        ++irtChecked;
      }
      for (int led = 0; led < kLeds; ++led) {
        const int code = g.at(led, i).code;
        if (code > 0) {
          if (t.at(i, 73 + led) != static_cast<float>(code))
            wrong.push_back("length LED " + std::to_string(led) + " row " + std::to_string(i));
          ++lengthCodes;
        }
        // Filtered: also keep clear of the stretch ends, where the filter's
        // padding holds the end value.
        if (!g.clear(led, i, 60) || g.nearCorner(i)) continue;
        worstLength = std::max(worstLength, std::fabs(t.at(i, 73 + led) - g.lengthChange(led, i)));
        ++lengthChecked;
      }
    }
    EXPECT_GT(biggestPush, 20.0) << "the ribs must really move";
    EXPECT_GT(irtChecked, t.SampleCount * 4);
    EXPECT_GT(lengthChecked, t.SampleCount * 14);
    EXPECT_GT(irtCodes, 10) << "a middle LED drops out during the pulse";
    EXPECT_GT(lengthCodes, irtCodes);
    EXPECT_TRUE(wrong.empty()) << wrong.size() << " wrong, first: " << (wrong.empty() ? "" : wrong.front());
    EXPECT_LT(worstIrt, 0.1);
    EXPECT_LT(worstLength, 0.1);
  }
}

// The codes of a download's derived channels, and every export format writing
// all 90 data channels with them and the extended type name.
TEST(DerivedSession, ExportsCarryTheNinetyChannelsWithTheirCodes) {
  for (const Unit& u : {kUnits[0], kUnits[3]}) {
    SCOPED_TRACE(describe(u));
    Session s({{"type", u.typeText},
               {"serial", u.serial},
               {"firmware", u.firmware},
               {"caldate", "12-Mar-2024"},
               {"side", u.side}});
    s.st.ini.UseMmeIrtChannelNames = 0;
    lumvex::testing::TempDir work;
    download(s, u, work, 40);
    const ChannelTable& t = s.st.data.ChannelData;
    const auto code = [&](int slot) { return std::string(s.st.data.codes.ChannelCodes[slot].data()); };
    for (int rib = 0; rib < 6; ++rib) {
      std::string first = code(9 * rib + 4), second = first;
      first[14] = 'U';
      second[14] = 'C';
      EXPECT_EQ(code(60 + rib), first);
      EXPECT_EQ(code(66 + rib), second);
    }
    for (int led = 0; led < kLeds; ++led) {
      std::string want = code(3 * led);
      want[14] = 'L';
      want[15] = 'B';
      EXPECT_EQ(code(72 + led), want);
    }
    const std::string typeName =
        u.type == DummyWorldSID50th ? "WorldSID w/IRT w/Length Change" : "WorldSID 5th w/IRT w/Length Change";
    Model& m = s.st.model;
    lumvex::testing::TempDir dir;

    // CSV, absolute, class 180: the length-change columns are written as
    // stored (they were filtered when they were made), the others filtered.
    s.op.fileAnswers.push_back(dir.file("run.CSV"));
    m.setIndex(Ctl::EXPORT_ZEROING, 0);
    m.setIndex(Ctl::EXPORT_FILTER, 3);
    m.commit(Ctl::EXPORT_BUT);
    ASSERT_TRUE(s.op.showed("Export Status", "Export Successful"));
    const std::vector<std::string> lines = splitCr(lumvex::testing::readFile(dir.file("run.CSV")));
    ASSERT_EQ(lines.size(), static_cast<size_t>(4 + t.SampleCount));
    EXPECT_EQ(lines[0].rfind("Lumvex Type: " + typeName + ",,,,,,Data is Absolute,,,,,,ISO Filter code=C", 0),
              0u)
        << lines[0];
    const std::vector<std::string> names = fields(lines[3]);
    ASSERT_EQ(names.size(), 91u);
    for (int k = 0; k < 90; ++k) {
      std::string want = code(k);
      if (k >= 72) {
        EXPECT_EQ(want[15], 'B') << k;  // length change keeps its class
      } else if (want.find("SENS") == std::string::npos) {
        want[15] = 'C';
      }
      EXPECT_EQ(names[static_cast<size_t>(k + 1)], want) << k;
    }
    int filteredIrtDiffers = 0;
    for (int i = 0; i < t.SampleCount; i += 7) {
      const std::vector<std::string> v = fields(lines[static_cast<size_t>(4 + i)]);
      ASSERT_EQ(v.size(), 91u) << i;
      for (int c = 73; c < 91; ++c) ASSERT_EQ(v[static_cast<size_t>(c)], fixed2(t.at(i, c))) << i << " " << c;
      for (int c = 61; c < 73; ++c) filteredIrtDiffers += v[static_cast<size_t>(c)] != fixed2(t.at(i, c));
    }
    EXPECT_GT(filteredIrtDiffers, 0);

    // DIAdem: a header entry for every column, the values file 91 wide.
    s.op.clear();
    s.op.fileAnswers.push_back(dir.file("run.DAT"));
    m.setIndex(Ctl::EXPORT_FILTER, 0);
    m.commit(Ctl::EXPORT_BUT);
    ASSERT_TRUE(s.op.showed("Export Status", "Export Successful"));
    const std::string header = lumvex::testing::readFile(dir.file("run.DAT"));
    EXPECT_NE(header.find("101,Lumvex Type:" + typeName), std::string::npos);
    for (int k = 60; k < 90; ++k) EXPECT_NE(header.find("200," + code(k)), std::string::npos) << k;
    EXPECT_NE(header.find("262,91\r"), std::string::npos);
    EXPECT_EQ(header.find("262,92\r"), std::string::npos);
    EXPECT_EQ(lumvex::testing::readFile(dir.file("run.R32")).size(),
              static_cast<size_t>(91) * t.SampleCount * 4);

    // ISO MME: 90 channels, the last one a length change.
    s.op.clear();
    s.op.fileAnswers.push_back(dir.file("iso.MME"));
    m.commit(Ctl::EXPORT_BUT);
    ASSERT_TRUE(s.op.showed("Export Status", "Export Successful"));
    const std::string mme = lumvex::testing::readFile(dir.file("iso/CHANNEL/iso.CHN"));
    EXPECT_NE(mme.find("Number of channels          :90\r\n"), std::string::npos);
    EXPECT_NE(mme.find("Name of channel 061         :" + code(60)), std::string::npos);
    EXPECT_NE(mme.find("Name of channel 090         :" + code(89)), std::string::npos);
    const std::string last = lumvex::testing::readFile(dir.file("iso/CHANNEL/iso.090"));
    EXPECT_NE(last.find("Channel code                :" + code(89)), std::string::npos);
  }
}
