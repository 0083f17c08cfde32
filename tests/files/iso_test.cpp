// ISO MME export: the test folder and its refusal when it exists, the test
// description, channel list and channel files byte for byte (CR LF ends,
// "%E" values), the error flags, the start time, plot names, and failures.
#include "files/iso.h"
#include "support/scripted_operator.h"

#include "files/naming.h"
#include "support/export_data.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

using namespace lumvex;
namespace lt = lumvex::testing;

namespace {

constexpr const char* kFolderProblem =
    "Unable to create the output directory.\nMost likely cause - it already exists.\n"
    "If this is the case you must delete\nor rename it before proceeding.";

float sampleValue(int s, int n) { return static_cast<float>(n) * 10.0f - static_cast<float>(s) * 0.125f; }

void fill(Station& st, int samples, int channels) { lt::fillTables(st.data, samples, channels, sampleValue); }

void identify(Station& st, int type) {
  InitDummyTypeNames(st.data);
  st.session.DummyType = type;
  st.session.SerialNumberText = "117";
  st.session.DirectionText = "Left Side";
  st.session.TriggerSetting = 2;
  st.session.SoftwareTriggerOffset = 4;
  st.data.ident.TestDateIso = "2024-06-11";
  st.data.ident.TestTimeText = "14:03:59";
  st.data.ident.AtdText = "ATD 0042";
  st.data.SampleIntervalMs = 0.1;
  st.data.StartTimeMs = -20.0f;
}

// Polar: 6 LEDs of X and Y, then the left and right sensors (15 columns).
void polar(Station& st, int samples) {
  identify(st, DummyPolar);
  st.data.layout = {6, 2, 2, 2};
  lt::setPolarCodes(st.data);
  fill(st, samples, 15);
}

// WorldSID 50th with IR-TRACC and length change: 91 columns.
void worldSid(Station& st, int samples) {
  identify(st, DummyWorldSID50th);
  st.data.layout = {18, 3, 6, 6};
  for (int k = 0; k < 90; ++k)
    setCode(st.data.codes.ChannelCodes[k], k < 54 ? "11TRRILE01WSDSY0" : "11SENSTORE99PO00");
  fill(st, samples, 91);
}

bool exists(const std::string& p) {
  struct stat sb;
  return ::stat(p.c_str(), &sb) == 0;
}

std::string cE(float v) {
  char b[32];
  return std::string(b, static_cast<size_t>(std::snprintf(b, sizeof b, "%E", static_cast<double>(v))));
}

// The line of a file that starts with the field name.
std::string fieldLine(const std::string& text, const std::string& name) {
  size_t at = text.find(name);
  if (at == std::string::npos) return "";
  return text.substr(at, text.find("\r\n", at) + 2 - at);
}

struct IsoTest : ::testing::Test {
  lt::TempDir dir;
  ScriptedOperator op;
  std::unique_ptr<Station> st = std::make_unique<Station>(op);
  int save(const std::string& name, int relative) {
    st->session.CurrentDataPath = dir.file(name);
    return FileSave_ISO(*st, st->session.CurrentDataPath, relative);
  }
  std::string channel(const std::string& test, const std::string& ext) {
    return lt::readFile(dir.file(test + "/CHANNEL/" + test + "." + ext));
  }
};

}  // namespace

TEST_F(IsoTest, PolarTestFolderIsByteForByteTheTables) {
  polar(*st, 3000);
  ASSERT_EQ(save("TEST1.mme", 0), 0);
  EXPECT_EQ(st->session.CurrentDataPath, dir.file("TEST1/TEST1.MME"));
  EXPECT_TRUE(op.messages().empty());
  EXPECT_EQ(lt::readFile(dir.file("TEST1/TEST1.MME")),
            "Data format edition number  :1.4\r\n"
            "Laboratory name             :NOVALUE\r\n"
            "Laboratory contact name     :NOVALUE\r\n"
            "Laboratory contact phone    :NOVALUE\r\n"
            "Laboratory contact fax      :NOVALUE\r\n"
            "Laboratory contact email    :NOVALUE\r\n"
            "Laboratory test ref. number :TEST1\r\n"
            "Test Series                 :TEST1\r\n"
            "Customer name               :NOVALUE\r\n"
            "Customer test ref. number   :NOVALUE\r\n"
            "Customer project ref. number:NOVALUE\r\n"
            "Customer order number       :NOVALUE\r\n"
            "Customer cost unit          :NOVALUE\r\n"
            "Customer test engineer name :NOVALUE\r\n"
            "Customer test engineer phone:NOVALUE\r\n"
            "Customer test engineer fax  :NOVALUE\r\n"
            "Customer test engineer email:NOVALUE\r\n"
            "Title                       :NOVALUE\r\n"
            "Medium No./number of media  :1/1\r\n"
            "Timestamp                   :2024-06-11 14:03:59\r\n"
            "Type of the test            :NOVALUE\r\n"
            "Subtype of the test         :NOVALUE\r\n"
            "Regulation                  :NOVALUE\r\n"
            "Reference temperature       :NOVALUE\r\n"
            "Relative air humidity       :NOVALUE\r\n"
            "Date of the test            :2024-06-11\r\n"
            "Number of test objects      :2\r\n"
            "Name of test object 1       :NOVALUE\r\n"
            "Velocity test object 1      :NOVALUE\r\n"
            "Mass test object 1          :NOVALUE\r\n"
            "Driver position object 1    :0\r\n"
            "Impact side test object 1   :00\r\n"
            "Type of test object 1       :1\r\n"
            "Class of test object 1      :NOVALUE\r\n"
            "Code of test object 1       :NOVALUE\r\n"
            "Ref. number of test object 1:NOVALUE\r\n"
            "Name of test object 2       :NOVALUE\r\n"
            "Velocity test object 2      :NOVALUE\r\n"
            "Mass test object 2          :NOVALUE\r\n"
            "Driver position object 2    :0\r\n"
            "Impact side test object 2   :00\r\n"
            "Type of test object 2       :0\r\n"
            "Class of test object 2      :NOVALUE\r\n"
            "Code of test object 2       :NOVALUE\r\n"
            "Ref. number of test object 2:NOVALUE\r\n");

  std::string chn =
      "Instrumentation standard    :ISO 6487 (1987) / SAE J211 (MAR95)\r\n"
      "Number of channels          :14\r\n";
  const char* names[] = {"10RIBS01LEPEDSX0", "10RIBS01LEPEDSY0", "10RIBS02RIPEDSX0", "10RIBS02RIPEDSY0",
                         "10RIBS03LEPEDSX0", "10RIBS03LEPEDSY0", "10RIBS04RIPEDSX0", "10RIBS04RIPEDSY0",
                         "10RIBS05LEPEDSX0", "10RIBS05LEPEDSY0", "10RIBS06RIPEDSX0", "10RIBS06RIPEDSY0",
                         "10SENSLE9999PO00", "10SENSRI9999PO00"};
  for (int n = 1; n <= 14; ++n) {
    char num[4];
    std::snprintf(num, sizeof num, "%03d", n);
    chn += std::string("Name of channel ") + num + "         :" + names[n - 1] + "\r\n";
  }
  EXPECT_EQ(lt::readFile(dir.file("TEST1/CHANNEL/TEST1.CHN")), chn);

  const std::string header =
      "Test object number          :1\r\n"
      "Errors occurred             :NO\r\n"
      "Name of the channel         :10RIBS04RIPEDSY0\r\n"
      "Laboratory channel code     :NOVALUE\r\n"
      "Customer channel code       :Lumvex Right Rib 04 Displacement Y\r\n"
      "Channel code                :10RIBS04RIPEDSY0\r\n"
      "Unit                        :mm\r\n"
      "Reference system            :Local\r\n"
      "Transducer type             :Lumvex Type Polar s/n:117  Direction: Left Side  Trigger:6\r\n"
      "Pre-filter type             :none\r\n"
      "Cut off frequency           :None\r\n"
      "Channel amplitude class     :327\r\n"
      "Bit resolution              :16\r\n"
      "Reference channel           :Implicit\r\n"
      "Reference channel name      :NOVALUE\r\n"
      "Data source                 :ATD 0042\r\n"
      "Data status                 :ok\r\n"
      "Sampling interval           :0.000100\r\n"
      "Time of first sample        :-0.0200\r\n"
      "Number of samples           :3000\r\n"
      "First global maximum value  :NOVALUE\r\n"
      "Time of maximum value       :NOVALUE\r\n"
      "First global minimum value  :NOVALUE\r\n"
      "Time of minimum value       :NOVALUE\r\n"
      "Start offset interval       :NOVALUE\r\n"
      "End offset interval         :NOVALUE\r\n";
  std::string values;
  for (int s = 0; s < 3000; ++s) values += cE(sampleValue(s, 8)) + "\r\n";
  EXPECT_EQ(channel("TEST1", "008"), header + values);

  const std::string sensor = channel("TEST1", "014");
  EXPECT_EQ(fieldLine(sensor, "Unit "), "Unit                        :1\r\n");
  EXPECT_EQ(fieldLine(sensor, "Customer channel code"),
            "Customer channel code       :Lumvex Ambient Right\r\n");
  EXPECT_FALSE(exists(dir.file("TEST1/CHANNEL/TEST1.000")));  // no file for the time column
  EXPECT_FALSE(exists(dir.file("TEST1/CHANNEL/TEST1.015")));
}

TEST_F(IsoTest, SecondExportToTheSameNameIsRefused) {
  polar(*st, 20);
  ASSERT_EQ(save("RUN2.MME", 0), 0);
  const std::string first = channel("RUN2", "001");
  for (int n = 1; n < 15; ++n) st->data.ExportData.at(0, n) = 99.0f;
  EXPECT_EQ(save("RUN2.MME", 0), -1);
  EXPECT_EQ(op.messages(), std::vector<std::string>{std::string("ISO Export Problem: ") + kFolderProblem});
  EXPECT_EQ(channel("RUN2", "001"), first);  // nothing rewritten
  // A folder that cannot be made for another reason gets the same box.
  op.clear();
  EXPECT_EQ(save("no/such/RUN3.MME", 0), -1);
  EXPECT_TRUE(op.showed("ISO Export Problem", kFolderProblem));
}

TEST_F(IsoTest, FullWorldSidWritesNinetyChannelFiles) {
  worldSid(*st, 4);
  ASSERT_EQ(save("WS.MME", 0), 0);
  const std::string chn = lt::readFile(dir.file("WS/CHANNEL/WS.CHN"));
  EXPECT_NE(chn.find("Number of channels          :90\r\n"), std::string::npos);
  EXPECT_NE(chn.find("Name of channel 090         :11SENSTORE99PO00\r\n"), std::string::npos);
  for (int n = 1; n <= 90; ++n) {
    char ext[4];
    std::snprintf(ext, sizeof ext, "%03d", n);
    ASSERT_TRUE(exists(dir.file(std::string("WS/CHANNEL/WS.") + ext))) << ext;
  }
  EXPECT_FALSE(exists(dir.file("WS/CHANNEL/WS.091")));
  EXPECT_EQ(fieldLine(channel("WS", "002"), "Channel amplitude class"),
            "Channel amplitude class     :75\r\n");
}

TEST_F(IsoTest, ErrorFlagMarksEveryColumnOfAnLedWithACode) {
  worldSid(*st, 50);
  ChannelTable& t = st->data.ChannelData;
  for (int a = 0; a < 3; ++a) t.at(17, 4 + a) = 5.0f;                    // LED 1: code 5 at one sample
  for (int a = 0; a < 3; ++a) t.at(3, 10 + a) = 7.0005f;                 // LED 3: still a code
  for (int a = 0; a < 3; ++a) t.at(3, 16 + a) = 7.002f;                  // LED 5: above the codes
  for (int a = 0; a < 3; ++a) t.at(9, 22 + a) = 0.998f;                  // LED 7: below the codes
  t.at(5, 28) = t.at(5, 29) = 2.0f;                                      // LED 9: Z differs
  for (int c = 55; c <= 60; ++c) t.at(2, c) = 3.0f;                      // sensors are never flagged
  for (int a = 0; a < 3; ++a) st->data.ExportData.at(1, 31 + a) = 4.0f;  // LED 10 in ExportData only
  ASSERT_EQ(save("ERR.MME", 0), 0);
  for (int n = 1; n <= 90; ++n) {
    char ext[4];
    std::snprintf(ext, sizeof ext, "%03d", n);
    bool yes = (n >= 4 && n <= 6) || (n >= 10 && n <= 12);
    EXPECT_EQ(fieldLine(channel("ERR", ext), "Errors occurred"),
              std::string("Errors occurred             :") + (yes ? "YES" : "NO") + "\r\n")
        << n;
  }
}

TEST_F(IsoTest, StartTimeIntervalAndRelativePlotNames) {
  polar(*st, 10);
  st->data.StartTimeMs = -20.0f;
  st->data.SampleIntervalMs = 0.05;
  ASSERT_EQ(save("REL.MME", 1), 0);
  const std::string f = channel("REL", "001");
  EXPECT_EQ(fieldLine(f, "Time of first sample"), "Time of first sample        :-0.0200\r\n");
  EXPECT_EQ(fieldLine(f, "Sampling interval"), "Sampling interval           :0.000050\r\n");
  EXPECT_EQ(fieldLine(f, "Customer channel code"),
            "Customer channel code       :Lumvex Left Rib 01 Relative Displacement X\r\n");
  EXPECT_EQ(fieldLine(channel("REL", "014"), "Customer channel code"),
            "Customer channel code       :Lumvex Ambient Right\r\n");
}

TEST_F(IsoTest, BadPathsFailWithoutAMessage) {
  polar(*st, 5);
  for (std::string p : {dir.file("NOEXT"), std::string("TEST9.MME"), dir.file(".MME")}) {
    st->session.CurrentDataPath = p;
    EXPECT_EQ(FileSave_ISO(*st, st->session.CurrentDataPath, 0), -1) << p;
  }
  EXPECT_TRUE(op.messages().empty());
  EXPECT_FALSE(exists("TEST9"));
}

TEST_F(IsoTest, AWriteThatRunsOutOfRoomFailsTheExport) {
  polar(*st, 3000);  // each channel file is about 45 kB
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 20'000;  // bytes
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  int r = save("FULL.MME", 0);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(r, -1);
  EXPECT_TRUE(op.messages().empty());
}

TEST_F(IsoTest, LargeExportSplitOverTwoWritersKeepsEveryValueInPlace) {
  worldSid(*st, 11'000);  // above the size where the columns are shared by two threads
  ASSERT_EQ(save("BIG.MME", 0), 0);
  for (int n : {1, 45, 46, 90}) {
    char ext[4];
    std::snprintf(ext, sizeof ext, "%03d", n);
    const std::string f = channel("BIG", ext);
    const std::string end = "End offset interval         :NOVALUE\r\n";
    size_t at = f.find(end);
    ASSERT_NE(at, std::string::npos);
    std::string expect;
    for (int s = 0; s < 11'000; ++s) expect += cE(sampleValue(s, n)) + "\r\n";
    EXPECT_EQ(f.substr(at + end.size()), expect) << n;
  }
}
