// Channel naming: codes compacted from the LED table's ISO cells for every
// layout, sensor codes, derived IR-TRACC and length-change codes, the filter
// character before export, amplitude classes, plot names and type names.
#include "files/naming.h"
#include "support/scripted_operator.h"

#include "support/testing.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace lumvex {
namespace {

using lumvex::testing::TempDir;
using lumvex::testing::writeFile;

struct TypeLayout {
  int type, leds, axes, sensors;
  const char* family;
};
constexpr TypeLayout kLayouts[] = {{0, 6, 2, 2, "PE"}, {1, 12, 2, 2, "HF"}, {2, 12, 2, 2, "H3"},
                                   {3, 6, 3, 3, "S2"}, {4, 3, 3, 3, "BA"},  {5, 18, 3, 6, "WS"},
                                   {6, 6, 3, 3, "H3"}, {7, 18, 3, 6, "WF"}};

// The 25-character ISO cell with single spaces at 1, 3, 8, 11, 14, 17, 20, 24.
std::string cell(char obj, char pos, const std::string& main4, const std::string& fine1,
                 const std::string& fine2, const std::string& fine3, const std::string& dir) {
  std::string c;
  c += obj;
  c += ' ';
  c += pos;
  c += ' ' + main4 + ' ' + fine1 + ' ' + fine2 + ' ' + fine3 + " DS " + dir + ' ';
  return c;
}

struct Fixture {
  Fixture() = default;
  Fixture(const Fixture&) = delete;
  ScriptedOperator op;
  std::unique_ptr<Station> st = std::make_unique<Station>(op);

  void setType(const TypeLayout& t) {
    st->session.DummyType = t.type;
    st->data.layout = {t.leds, t.axes, t.sensors, t.axes};
    st->data.ChannelData.ChannelCount = 1 + t.leds * t.axes + t.sensors;
    st->model.setTableSize(Ctl::LED_TABLE, t.leds, 4);
    const char* dir = t.axes == 2 ? "X/Y" : "XYZ";
    for (int r = 1; r <= t.leds; ++r) {
      std::string fine1 = r < 10 ? "0" + std::to_string(r) : std::to_string(r);
      st->model.setCell(Ctl::LED_TABLE, r, 4, cell('1', '2', "RIBS", fine1, "MI", t.family, dir));
    }
  }
  std::string code(int k) const { return std::string(codeText(st->data.codes.ChannelCodes[k])); }
};

TEST(BuildChannelCodes, PolarRowGivesTheDocumentedCodes) {
  Fixture f;
  f.setType(kLayouts[0]);
  std::string c = cell('1', '0', "RIBS", "04", "OU", "PE", "X/Y");
  EXPECT_EQ(c, "1 0 RIBS 04 OU PE DS X/Y ");
  f.st->model.setCell(Ctl::LED_TABLE, 1, 4, c);
  f.st->data.codes.DataFilterCode = 'C';
  BuildChannelCodes(*f.st);
  EXPECT_EQ(f.code(0), "10RIBS04OUPEDSX0");
  EXPECT_EQ(f.code(1), "10RIBS04OUPEDSY0");
  EXPECT_EQ(f.code(2), "12RIBS02MIPEDSX0");
  // Sensor codes take test object and position from slot 0.
  EXPECT_EQ(f.code(12), "10SENSLE9999PO00");
  EXPECT_EQ(f.code(13), "10SENSRI9999PO00");
  EXPECT_EQ(f.st->data.codes.DataFilterCode, '0');
}

TEST(BuildChannelCodes, EveryLayoutPlacesAxesAndSensorsInColumnOrder) {
  const char* sensors2[] = {"SENSLE9999PO00", "SENSRI9999PO00"};
  const char* sensorsSid[] = {"SENSTO9999PO00", "SENSBO9999PO00", "SENSMI9999PO00"};
  const char* sensors3d[] = {"SENSLE9999PO00", "SENSRI9999PO00", "SENSMI9999PO00"};
  const char* sensorsWs[] = {"SENSTORE99PO00", "SENSBORE99PO00", "SENSMIRE99PO00",
                             "SENSTOBL99PO00", "SENSBOBL99PO00", "SENSMIBL99PO00"};
  for (const TypeLayout& t : kLayouts) {
    SCOPED_TRACE(t.type);
    Fixture f;
    f.setType(t);
    BuildChannelCodes(*f.st);
    for (int led = 0; led < t.leds; ++led) {
      for (int a = 0; a < t.axes; ++a) {
        std::string c = f.code(led * t.axes + a);
        ASSERT_EQ(c.size(), 16u);
        EXPECT_EQ(c.substr(0, 6), "12RIBS");
        EXPECT_EQ(c.substr(10, 4), std::string(t.family) + "DS");
        EXPECT_EQ(c[14], "XYZ"[a]);
        EXPECT_EQ(c[15], '0');
        EXPECT_EQ(std::stoi(c.substr(6, 2)), led + 1);
      }
    }
    const char** expected = t.axes == 2                      ? sensors2
                            : t.type == 5 || t.type == 7     ? sensorsWs
                            : t.type == DummyHybridIII50th3D ? sensors3d
                                                             : sensorsSid;
    for (int s = 0; s < t.sensors; ++s)
      EXPECT_EQ(f.code(t.leds * t.axes + s), std::string("12") + expected[s]);
  }
}

TEST(BuildChannelCodes, ShortCellReadsAsSpacesInsteadOfOverrunning) {
  Fixture f;
  f.setType(kLayouts[0]);
  f.st->model.setCell(Ctl::LED_TABLE, 2, 4, "1 0 RI");
  BuildChannelCodes(*f.st);
  EXPECT_EQ(f.code(2), "10RI          X0");
}

TEST(TestObjectAndPosition, RewriteEveryRowOfTheLedTable) {
  Fixture f;
  f.setType(kLayouts[3]);
  f.st->model.setItems(Ctl::TESTOBJECT, {{"1 - Vehicle 1", "1"}, {"D- Dummy", "D"}}, 1);
  f.st->model.setItems(Ctl::POSITION, {{"0", "0"}, {"3", "3"}}, 1);
  TestObjectChange(*f.st);
  IsoPosnChange(*f.st);
  for (int r = 1; r <= 6; ++r) {
    const std::string& c = f.st->model.cell(Ctl::LED_TABLE, r, 4).text;
    EXPECT_EQ(c[0], 'D');
    EXPECT_EQ(c[2], '3');
    EXPECT_EQ(c.substr(3), cell('1', '2', "RIBS", "0" + std::to_string(r), "MI", "S2", "XYZ").substr(3));
  }
  BuildChannelCodes(*f.st);
  EXPECT_EQ(f.code(0).substr(0, 2), "D3");
  EXPECT_EQ(f.code(18).substr(0, 2), "D3");
}

// A WorldSID table of the given type with all derived channels.
void worldSid(Fixture& f, int type) {
  f.setType(kLayouts[type]);
  BuildChannelCodes(*f.st);
  AssignIrTraccCodes(*f.st);
  AssignLengthChangeCodes(*f.st);
  f.st->data.ChannelData.ChannelCount = 91;
}

TEST(EncodeFilter, LegacyUnfilteredCharacterAndDerivedRules) {
  Fixture f;
  worldSid(f, 5);
  f.st->ini.LegacySwUnfiltCode = 1;
  EncodeFilter(*f.st, UnfilteredCode(f.st->ini));
  for (int k = 0; k < 90; ++k) {
    std::string c = f.code(k);
    if (c.find("DSL") != std::string::npos)
      EXPECT_EQ(c[15], 'B') << k;
    else
      EXPECT_EQ(c[15], 'P') << k;
  }
  EncodeFilter(*f.st, 'C');
  EXPECT_EQ(f.code(0)[15], 'C');
  EXPECT_EQ(f.code(54)[15], 'P');  // sensors stay unfiltered
  EXPECT_EQ(f.code(60)[15], 'C');  // IR-TRACC equivalents are filtered
  EXPECT_EQ(f.code(72)[15], 'B');  // length change keeps its class
  f.st->ini.LegacySwUnfiltCode = 0;
  EXPECT_EQ(UnfilteredCode(f.st->ini), '0');
}

TEST(EncodeFilter, TouchesOnlyTheColumnsOfTheLayout) {
  Fixture f;
  f.setType(kLayouts[0]);
  BuildChannelCodes(*f.st);
  setCode(f.st->data.codes.ChannelCodes[14], "STALECODE0000000");
  EncodeFilter(*f.st, 'A');
  EXPECT_EQ(f.code(13)[15], '0');  // last column: a sensor
  EXPECT_EQ(f.code(11)[15], 'A');
  EXPECT_EQ(f.code(14), "STALECODE0000000");
}

TEST(DerivedCodes, IrTraccPairsWithAndWithoutMmeNames) {
  Fixture f;
  worldSid(f, 5);
  // Slot 9p + 4 is the Y code of rib p's middle LED.
  EXPECT_EQ(f.code(60), f.code(4).substr(0, 14) + "U0");
  EXPECT_EQ(f.code(66), f.code(4).substr(0, 14) + "C0");
  EXPECT_EQ(f.code(65), f.code(49).substr(0, 14) + "U0");

  f.st->ini.UseMmeIrtChannelNames = 1;
  auto& c = f.st->data.codes.ChannelCodes;
  setCode(c[9 * 4 + 4], "11ABRILE03WSDSY0");
  setCode(c[9 * 1 + 4], "11THRIRI02WSDSY0");
  AssignIrTraccCodes(*f.st);
  EXPECT_EQ(f.code(64), "11ABRILE01WSDS00");
  EXPECT_EQ(f.code(70), "11ABRILE01WSDSY0");
  EXPECT_EQ(GetCAC(*f.st, 70), 75);  // "WSDSY" of a WorldSID 50th
  EXPECT_EQ(GetCAC(*f.st, 64), 327);
  EXPECT_EQ(f.code(61), "11THRIRI01WSDS00");
  EXPECT_EQ(f.code(67), "11THRIRI01WSDSY0");
}

TEST(DerivedCodes, LengthChangeFromEachLedsXCode) {
  Fixture f;
  worldSid(f, 7);
  for (int i = 0; i < 18; ++i) EXPECT_EQ(f.code(72 + i), f.code(3 * i).substr(0, 14) + "LB") << i;
  EXPECT_EQ(GetCAC(*f.st, 72), 327);
}

TEST(GetCAC, ClassesByFirstMatchingRule) {
  Fixture f;
  auto& c = f.st->data.codes.ChannelCodes;
  struct Case {
    const char* code;
    int cls;
  } cases[] = {{"11STRNUPLEH3DSX0", 90},  {"11STRNUPLEH3DSY0", 196}, {"11STRNUPLEH3DSZ0", 327},
               {"11RIBS01MIHFDSX0", 75},  {"11RIBS01MIHFDSY0", 150}, {"11SHRILE01WSDSY0", 75},
               {"11SHRILE01WSDSX0", 240}, {"11SHRILE01WSDSZ0", 80},  {"11SHRILE01W5DSY0", 65},
               {"11SHRILE01W5DSX0", 200}, {"11SHRILE01W5DSZ0", 80},  {"11SHRILE01WFDSY0", 327},
               {"10RIBS04OUPEDSX0", 327}, {"11SENSTORE99PO00", 327}, {"11SHRILE01WSDSLB", 327}};
  for (size_t i = 0; i < std::size(cases); ++i) setCode(c[i], cases[i].code);
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(GetCAC(*f.st, static_cast<int>(i)), cases[i].cls) << cases[i].code;
  EXPECT_EQ(GetCAC(*f.st, -1), 327);
  EXPECT_EQ(GetCAC(*f.st, 90), 327);
}

TEST(GeneratePlotNames, RibAndAmbientNamesForNonWorldSidTypes) {
  Fixture f;
  f.setType(kLayouts[0]);
  f.st->model.setCell(Ctl::LED_TABLE, 1, 4, cell('1', '0', "RIBS", "04", "OU", "PE", "X/Y"));
  f.st->model.setCell(Ctl::LED_TABLE, 2, 4, cell('1', '0', "RIBS", "05", "ZZ", "PE", "X/Y"));
  BuildChannelCodes(*f.st);
  setCode(f.st->data.codes.ChannelCodes[4], "10STRNUPLEPEDSX0");
  GeneratePlotNames(*f.st, 1);
  auto name = [&](int k) { return std::string(f.st->data.codes.PlotNames[k].data()); };
  EXPECT_EQ(name(0), "Lumvex Outer Rib 04 Relative Displacement X");
  EXPECT_EQ(name(2), "Lumvex 05 Relative Displacement X");
  EXPECT_EQ(name(4), "10STRNUPLEPEDSX0");
  EXPECT_EQ(name(12), "Lumvex Ambient Left");
  EXPECT_EQ(name(13), "Lumvex Ambient Right");
  EXPECT_EQ(name(14), " ");
  GeneratePlotNames(*f.st, 0);
  EXPECT_EQ(name(1), "Lumvex Outer Rib 04 Displacement Y");
}

TEST(GeneratePlotNames, WorldSidNamesFromTheShippedFile) {
  Fixture f;
  worldSid(f, 5);
  f.st->workDir = lumvex::testing::sourcePath("config");
  f.st->data.codes.ChannelCodes[0][6] = 'L';
  GeneratePlotNames(*f.st, 1);
  auto name = [&](int k) { return std::string(f.st->data.codes.PlotNames[k].data()); };
  EXPECT_EQ(name(0), "Lumvex Left Shoulder Rib Rear LED X Displacement");
  EXPECT_EQ(name(54), "Lumvex Left Ambient Head 1 Detector A");
  EXPECT_EQ(name(89), "Lumvex Left Abdomen 2 Rib Front LED Length Change");
  f.st->data.codes.ChannelCodes[0][6] = 'R';
  GeneratePlotNames(*f.st, 0);
  EXPECT_EQ(name(60), "Lumvex Right Shoulder Rib IR-TRACC Equivalent Deflection");
}

TEST(GeneratePlotNames, WorldSidFileShortCrLfOrMissing) {
  TempDir dir;
  Fixture f;
  worldSid(f, 7);
  f.st->workDir = dir.path();
  GeneratePlotNames(*f.st, 0);  // no file: the codes are the names
  EXPECT_EQ(std::string(f.st->data.codes.PlotNames[5].data()), f.code(5));

  // CR LF lines count as one line each; a last line without its end is kept.
  writeFile(dir.file(kPlotNamesFile), "First,a\r\nSecond\r\nThird");
  f.st->data.codes.ChannelCodes[0][6] = 'R';
  GeneratePlotNames(*f.st, 0);
  auto name = [&](int k) { return std::string(f.st->data.codes.PlotNames[k].data()); };
  EXPECT_EQ(name(0), "Lumvex Right First");
  EXPECT_EQ(name(1), "Lumvex Right Second");
  EXPECT_EQ(name(2), "Lumvex Right Third");
  EXPECT_EQ(name(3), "Lumvex Right ");
  EXPECT_EQ(name(89), "Lumvex Right ");

  // A line longer than a name is cut, and its rest does not become the next name.
  writeFile(dir.file(kPlotNamesFile), std::string(300, 'n') + "\nNext\n");
  GeneratePlotNames(*f.st, 0);
  EXPECT_EQ(name(0).size(), 127u);
  EXPECT_EQ(name(1), "Lumvex Right Next");
}

TEST(TypeNames, InitialNamesAndSuffixesAddedOnce) {
  Fixture f;
  f.st->session.DummyType = 7;
  EXPECT_EQ(currentTypeName(*f.st), "WorldSID 5th");
  AppendTypeNameSuffix(*f.st, "IRT", " w/IRT");
  AppendTypeNameSuffix(*f.st, "IRT", " w/IRT");
  AppendTypeNameSuffix(*f.st, "Length Change", " w/Length Change");
  EXPECT_EQ(currentTypeName(*f.st), "WorldSID 5th w/IRT w/Length Change");
  InitDummyTypeNames(f.st->data);
  EXPECT_EQ(currentTypeName(*f.st), "WorldSID 5th");
  f.st->session.DummyType = 1;
  EXPECT_EQ(currentTypeName(*f.st), "5th Female");
  f.st->session.DummyType = 42;
  EXPECT_EQ(currentTypeName(*f.st), "undefined");
}

}  // namespace
}  // namespace lumvex
