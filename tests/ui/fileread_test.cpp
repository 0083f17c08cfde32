// The plot page's file button on the control model: its dialog, the files it
// does not read, a failed read leaving the data set in memory exactly as it
// was, the raw reprocessing's wait (selectors usable, other buttons held
// off, the window closed), and the calibration file found whatever the
// session's calibration date.
#include "ui/fileread.h"

#include "ui/callbacks.h"
#include "files/csv.h"
#include "files/diadem.h"
#include "files/iso.h"
#include "files/readers.h"
#include "support/export_data.h"
#include "support/scripted_operator.h"
#include "support/raw_file.h"
#include "support/testing.h"
#include "support/unit_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace lumvex;
namespace lt = lumvex::testing;

namespace {

// Keeps every file request, folder and proposed name included.
struct RecordingOperator : ScriptedOperator {
  std::vector<FileRequest> requests;
  std::optional<std::string> chooseFile(const FileRequest& r) override {
    requests.push_back(r);
    return ScriptedOperator::chooseFile(r);
  }
};

float sampleValue(int s, int n) { return static_cast<float>(n) - static_cast<float>(s) * 0.5f; }

// Everything a read may replace, to compare before and after.
struct Snapshot {
  std::vector<float> values;
  FileDataSet set;
  int rawPresent, rawSaved;
  explicit Snapshot(const Station& st) : set(CurrentDataSet(st)) {
    const ChannelTable& t = st.data.ChannelData;
    values.assign(t.values.data.get(),
                  t.values.data.get() + static_cast<size_t>(t.SampleCount) * t.ChannelCount);
    rawPresent = st.data.RawPresent;
    rawSaved = st.data.RawSaved;
  }
  // "" when the station holds this very data set.
  std::string differs(const Station& st) const {
    const Snapshot now(st);
    const FileDataSet& a = set;
    const FileDataSet& b = now.set;
    if (now.values != values) return "values";
    if (a.DummyType != b.DummyType || a.DummyTypeNames != b.DummyTypeNames) return "type";
    if (a.ChannelCount != b.ChannelCount || a.SampleCount != b.SampleCount) return "counts";
    if (a.layout.LedCount != b.layout.LedCount || a.layout.AxesPerLed != b.layout.AxesPerLed) return "layout";
    if (a.SampleIntervalMs != b.SampleIntervalMs || a.StartTimeMs != b.StartTimeMs) return "times";
    if (a.ChannelOffsets != b.ChannelOffsets) return "offsets";
    if (a.ChannelCodes != b.ChannelCodes || a.DataFilterCode != b.DataFilterCode) return "codes";
    if (a.AlreadyZeroed != b.AlreadyZeroed || a.TriggerSetting != b.TriggerSetting) return "flags";
    if (a.SerialNumberText != b.SerialNumberText || a.DirectionText != b.DirectionText) return "unit texts";
    if (a.ident.AtdText != b.ident.AtdText || a.ident.TestDateUs != b.ident.TestDateUs ||
        a.ident.TestTimeText != b.ident.TestTimeText || a.ident.TestCommentText != b.ident.TestCommentText)
      return "identification";
    return "";
  }
};

struct FileButton : ::testing::Test {
  lt::TempDir dir, work;
  RecordingOperator op;
  Station st{op};

  FileButton() {
    lt::LayOutStation(st);
    BindCallbacks(st);
    st.workDir = work.path();
  }

  // A Polar data set in memory whose raw file is still due.
  void earlierDataSet() {
    st.session.DummyType = DummyPolar;
    st.data.layout = {6, 2, 2, 2};
    st.session.SerialNumberText = "17";
    st.session.DirectionText = "Left Side";
    st.data.ident = {"ATD 1", "10:00:00", "2024-01-02", "01-02-2024", "01.02.2024", "old comment", ""};
    lt::setPolarCodes(st.data);
    lt::fillTables(st.data, 150, 15, sampleValue);
    st.data.StartTimeMs = -5;
    for (int n = 1; n < 15; ++n) st.data.ChannelOffsets[static_cast<size_t>(n)] = static_cast<float>(n);
    st.data.RawPresent = 1;
    st.data.RawSaved = 0;
    st.model.setText(Ctl::TESTINFO, "old comment");
  }

  int read(const std::string& path) {
    op.fileAnswers.push_back(path);
    return GetFileData(st);
  }

  // Files of the earlier data set made by the writers, then damaged.
  std::string written(const std::string& name) {
    std::string path = dir.file(name);
    const std::string ext = name.substr(name.size() - 3);
    const int rc = ext == "CSV"   ? FileSave_NATIVE(st, path, 0)
                   : ext == "DAT" ? FileSave_DIADEM(st, path, 0)
                                  : FileSave_ISO(st, path, 0);
    EXPECT_EQ(rc, 0) << name;
    // The DIAdem writer leaves the data file's path; the ISO writer the ".MME".
    return ext == "DAT" ? dir.file(name) : path;
  }
};

}  // namespace

TEST_F(FileButton, DialogAndThePathsItDoesNotRead) {
  earlierDataSet();
  std::snprintf(st.ini.DefaultFileReadLocation.data(), 255, "%s", dir.path().c_str());
  st.model.commit(Ctl::FILESELECT);  // cancelled
  ASSERT_EQ(op.requests.size(), 1u);
  const FileRequest& r = op.requests[0];
  EXPECT_EQ(r.title, "Select File to Plot:   Diadem = *.DAT,   ISO = *.MME,   CSV = *.CSV,   RDF = *.RDF");
  EXPECT_EQ(r.filter, "*.CSV;*.MME;*.RDF;*.RD2;*.DAT");
  EXPECT_EQ(r.defaultName, "*.DAT");
  EXPECT_EQ(r.folder, dir.path());
  EXPECT_FALSE(r.save);

  const Snapshot before(st);
  const std::string csv = written("low.CSV");
  std::filesystem::rename(csv, dir.file("low.csv"));
  for (const std::string& p : {dir.file("low.csv"), dir.file("none.CSV"), dir.path(), std::string("a.C")})
    EXPECT_EQ(read(p), -1) << p;
  EXPECT_TRUE(op.messages().empty());
  EXPECT_EQ(before.differs(st), "");
  EXPECT_EQ(st.data.RawPresent, 1);
  EXPECT_EQ(st.data.RawSaved, 0);
}

// Damaged files fail half-way through their reading; what was in memory,
// the raw file still due included, stays as it was. A raw file that got as
// far as its words leaves no raw words for the earlier data set.
TEST_F(FileButton, FailedReadsLeaveTheDataSetAsItWas) {
  earlierDataSet();
  const std::string csv = written("bad.CSV");
  std::string text = lt::readFile(csv);
  text.replace(text.find("Polar"), 5, "Bogus");
  lt::writeFile(csv, text);
  const std::string dat = written("bad.DAT");
  std::filesystem::resize_file(dir.file("bad.R32"), 15 * 150 * 4 - 1);
  const std::string mme = written("bad.MME");
  std::filesystem::remove(dir.file("bad/CHANNEL/bad.014"));
  const std::string good = written("good.CSV");
  lt::RawFileSetup fileSetup;  // no calibration file in the working folder
  const std::string raw = lt::writeRawFile(dir.path(), "bad", fileSetup);
  op.onEvents = [&] { st.model.commit(Ctl::REPROCESS_BUTTON); };

  const Snapshot before(st);
  for (const std::string& p : {csv, dat, mme, raw}) {
    SCOPED_TRACE(p);
    EXPECT_EQ(read(p), -1);
    EXPECT_EQ(before.differs(st), "");
    EXPECT_EQ(st.model.text(Ctl::TESTINFO), "old comment");
    EXPECT_EQ(st.data.RawPresent, p == raw ? 0 : 1);
    EXPECT_EQ(st.data.RawSaved, p == raw ? 1 : 0);
    st.data.RawPresent = 1;
    st.data.RawSaved = 0;
  }
  EXPECT_EQ(
      op.messages(),
      (std::vector<std::string>{
          "Error in Plot: Not a Valid Lumvex Type",
          "File Read Error: " + RefusalText(ReadRefusal::DataTooShort, dir.file("bad.R32")),
          "File Read Error: " + RefusalText(ReadRefusal::DataNotOpened, dir.file("bad/CHANNEL/bad.014")),
          "Re-Processing Raw Data File: Set the ISO Codes and then click on Continue Reprocessing button",
          "Calibration File Error: Could not Find Calibration file: \r\n " + work.path() +
              "/SN150__Left Side_cal.bin \r\n Please copy the calibration file to the directory above\r\n "
              "Reprocessing aborted"}));

  // The same station reads a sound file from the button, which replaces the
  // data set and draws its first selection.
  st.model.edit(Ctl::PLOT_GRAPH).graph.curves.clear();
  op.fileAnswers.push_back(good);
  st.model.commit(Ctl::FILESELECT);
  EXPECT_NE(before.differs(st), "");
  EXPECT_EQ(st.model[Ctl::PLOTDATA].index, 0);
  EXPECT_FALSE(st.model[Ctl::PLOT_GRAPH].graph.curves.empty());
  EXPECT_EQ(st.data.RawPresent, 0);
  EXPECT_EQ(st.model.text(Ctl::PLOT_SOURCE), good);
  EXPECT_EQ(st.model.text(Ctl::EXPORT_STATUS), good);
  EXPECT_FALSE(st.model.dimmed(Ctl::EXPORT_BUT));
}

// While the station waits for "Continue Reprocessing" the operator sets the
// ISO selectors and the side; the codes and the calibration follow them.
TEST_F(FileButton, RawFileWaitsForContinueWhileTheSelectorsStayUsable) {
  lt::RawFileSetup fileSetup;
  fileSetup.dummyType = DummyWorldSID5th;
  fileSetup.isLX2 = 1;
  const std::string raw = lt::writeRawFile(dir.path(), "run", fileSetup);
  ASSERT_TRUE(lt::writeCalibration(work.path(), fileSetup, "12-Mar-2024"));
  std::filesystem::remove(work.file("SN150_12-Mar-2024_Left Side_cal.bin"));  // only the right side's
  Model& m = st.model;
  int looks = 0;
  std::vector<std::string> wrong;
  op.onEvents = [&] {
    if (++looks > 50) st.quitRequested = true;
    if (looks == 1) {
      if (!m.visible(Ctl::REPROCESS_BUTTON) || m.activePage() != 0) wrong.push_back("button or page");
      for (Ctl c : {Ctl::LED_TABLE, Ctl::TESTOBJECT, Ctl::POSITION, Ctl::LX_DIRECTION})
        if (m.dimmed(c)) wrong.push_back(std::string(controlName(c)) + " dimmed");
      for (Ctl c : {Ctl::CONNECT, Ctl::FILESELECT, Ctl::EXPORT_BUT})
        if (!m.dimmed(c)) wrong.push_back(std::string(controlName(c)) + " usable");
      if (m.text(Ctl::LXtype) != "WorldSID 5th" || m.text(Ctl::TESTINFO) != "sled 4 run 2")
        wrong.push_back("type or comment");
      m.selectValue(Ctl::TESTOBJECT, "D");
      m.commit(Ctl::TESTOBJECT);
      m.selectValue(Ctl::POSITION, "4");
      m.commit(Ctl::POSITION);
      m.selectValue(Ctl::LX_DIRECTION, "RI");
      m.commit(Ctl::LX_DIRECTION);
    }
    if (looks == 3) m.commit(Ctl::REPROCESS_BUTTON);
  };
  ASSERT_EQ(read(raw), 0) << ::testing::PrintToString(op.messages());
  EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
  EXPECT_GE(looks, 3);
  EXPECT_EQ(op.messages(),
            std::vector<std::string>{"Re-Processing Raw Data File: Set the ISO Codes and then click "
                                     "on Continue Reprocessing button"});
  EXPECT_FALSE(m.visible(Ctl::REPROCESS_BUTTON));
  EXPECT_EQ(m.activePage(), pageIndex(Panel::Plot));
  EXPECT_FALSE(m.dimmed(Ctl::CONNECT));
  EXPECT_FALSE(m.dimmed(Ctl::FILESELECT));
  EXPECT_FALSE(m.dimmed(Ctl::EXPORT_BUT));
  EXPECT_EQ(st.session.IsLX2, 1);
  EXPECT_EQ(st.session.DirectionText, "Right Side");
  EXPECT_EQ(st.session.SerialNumberText, "150");
  EXPECT_EQ(st.data.ident.TestCommentText, "sled 4 run 2");
  EXPECT_EQ(st.data.ChannelData.SampleCount, 300);
  EXPECT_EQ(st.data.ChannelData.ChannelCount, 91);
  EXPECT_EQ(std::string(st.data.codes.DummyTypeNames[DummyWorldSID5th].data()),
            "WorldSID 5th w/IRT w/Length Change");
  for (int k : {0, 53, 54, 59, 60, 89})
    EXPECT_EQ(std::string(st.data.codes.ChannelCodes[k].data(), 2), "D4") << k;
  EXPECT_EQ(st.data.codes.DataFilterCode, '0');
  EXPECT_EQ(st.data.StartTimeMs, -20.0f);
}

TEST_F(FileButton, ClosingTheWindowDuringTheWaitReadsNothing) {
  earlierDataSet();
  lt::RawFileSetup fileSetup;
  const std::string raw = lt::writeRawFile(dir.path(), "run", fileSetup);
  ASSERT_TRUE(lt::writeCalibration(work.path(), fileSetup, "12-Mar-2024"));
  const Snapshot before(st);
  op.onEvents = [&] { st.quitRequested = true; };
  EXPECT_EQ(read(raw), -1);
  EXPECT_EQ(before.differs(st), "");
  EXPECT_EQ(st.model.text(Ctl::TESTINFO), "old comment");
  EXPECT_FALSE(st.model.visible(Ctl::REPROCESS_BUTTON));
  EXPECT_TRUE(st.model.dimmed(Ctl::LED_TABLE));
}

// The name made from the session's calibration date is looked for first;
// else the unit's files of that side whatever their date: one is taken,
// of several the operator chooses, none is the conversion's error.
TEST_F(FileButton, CalibrationFileIsFoundWhateverTheSessionsDate) {
  lt::RawFileSetup fileSetup;
  const std::string raw = lt::writeRawFile(dir.path(), "run", fileSetup);
  op.onEvents = [&] { st.model.commit(Ctl::REPROCESS_BUTTON); };
  st.session.calDate = "01-Jan-2020";

  EXPECT_EQ(read(raw), -1);
  EXPECT_TRUE(
      op.showed("Calibration File Error",
                "Could not Find Calibration file: \r\n " + work.path() +
                    "/SN150_01-Jan-2020_Left Side_cal.bin \r\n Please copy the calibration file to the "
                    "directory above\r\n Reprocessing aborted"))
      << ::testing::PrintToString(op.messages());

  ASSERT_TRUE(lt::writeCalibration(work.path(), fileSetup, "12-Mar-2024"));
  op.clear();
  EXPECT_EQ(read(raw), 0) << ::testing::PrintToString(op.messages());
  EXPECT_EQ(op.requests.size(), 2u);  // the two file buttons' dialogs only

  ASSERT_TRUE(lt::writeCalibration(work.path(), fileSetup, "02-Feb-2025"));
  op.clear();
  op.requests.clear();
  EXPECT_EQ(read(raw), -1);
  ASSERT_EQ(op.requests.size(), 2u);
  EXPECT_EQ(op.requests[1].title, "Select Calibration File");
  EXPECT_EQ(op.requests[1].filter, "SN150_*_Left?Side_cal.bin");
  EXPECT_EQ(op.requests[1].folder, work.path());
  EXPECT_TRUE(
      op.showed("Calibration File Error",
                "Several Calibration files found: \r\n SN150_02-Feb-2025_Left Side_cal.bin \r\n "
                "SN150_12-Mar-2024_Left Side_cal.bin \r\n Select one of them\r\n Reprocessing aborted"));

  op.clear();
  op.fileAnswers.push_back(raw);
  op.fileAnswers.push_back(work.file("SN150_02-Feb-2025_Left Side_cal.bin"));
  EXPECT_EQ(GetFileData(st), 0) << ::testing::PrintToString(op.messages());

  // The session's own date wins without a question.
  st.session.calDate = "12-Mar-2024";
  op.requests.clear();
  EXPECT_EQ(read(raw), 0);
  EXPECT_EQ(op.requests.size(), 1u);
}
