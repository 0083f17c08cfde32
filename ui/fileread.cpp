#include "ui/fileread.h"

#include "ui/export_page.h"
#include "ui/plot_model.h"
#include "files/naming.h"
#include "files/readers.h"
#include "link/link.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "processing/assembly.h"
#include "processing/derived.h"
#include "processing/rawconv.h"
#include "ui/screens.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

namespace lumvex {
namespace {

// While the station waits for "Continue Reprocessing" the data set in memory
// is half replaced: the buttons that would connect, read another file or
// export are dimmed until the wait is over.
class WaitGuard {
 public:
  explicit WaitGuard(Model& m) : m_(m) {
    for (Ctl c : {Ctl::CONNECT, Ctl::FILESELECT, Ctl::EXPORT_BUT}) {
      saved_.emplace_back(c, m.dimmed(c));
      m.setDimmed(c, true);
    }
  }
  ~WaitGuard() {
    for (auto [c, dimmed] : saved_) m_.setDimmed(c, dimmed);
  }
  WaitGuard(const WaitGuard&) = delete;
  WaitGuard& operator=(const WaitGuard&) = delete;

 private:
  Model& m_;
  std::vector<std::pair<Ctl, bool>> saved_;
};

bool waitForContinue(Station& st) {
  SessionState& s = st.session;
  while (s.ReprocessRequested == 0 && !st.quitRequested) {
    st.ui->processEvents();
    if (s.ReprocessRequested != 0 || st.quitRequested) break;
    st.ui->delay(kReprocessPollMs);
  }
  const bool pressed = s.ReprocessRequested != 0;
  s.ReprocessRequested = 0;
  return pressed;
}

}  // namespace

int ReprocessCalibrationPath(Station& st, std::string& path) {
  namespace fs = std::filesystem;
  path.clear();
  const SessionState& s = st.session;
  std::error_code ec;
  if (fs::is_regular_file(pathJoin(st.workDir, calibrationFileName(s)), ec)) return 0;
  // A raw file does not carry the calibration date: look for the unit's
  // files of that side whatever their date.
  const std::string head = "SN" + s.SerialNumberText + "_";
  const std::string tail = "_" + s.DirectionText + "_cal.bin";
  std::vector<std::string> found;
  for (fs::directory_iterator it(st.workDir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() >= head.size() + tail.size() && name.compare(0, head.size(), head) == 0 &&
        name.compare(name.size() - tail.size(), tail.size(), tail) == 0 && it->is_regular_file(ec))
      found.push_back(name);
  }
  std::sort(found.begin(), found.end());
  if (found.empty()) return 0;
  if (found.size() == 1) {
    path = pathJoin(st.workDir, found.front());
    return 0;
  }
  FileRequest req;
  req.title = kCalibrationSelectTitle;
  req.folder = st.workDir;
  // A blank separates the patterns of a dialog's filter: '?' stands for it.
  std::string pattern = head + "*" + tail;
  std::replace(pattern.begin(), pattern.end(), ' ', '?');
  req.filter = pattern;
  req.defaultName = found.front();
  const std::optional<std::string> chosen = st.ui->chooseFile(req);
  if (chosen && !chosen->empty()) {
    path = *chosen;
    return 0;
  }
  std::string text = "Several Calibration files found:";
  for (const std::string& f : found) text += " \r\n " + f;
  text += " \r\n Select one of them\r\n Reprocessing aborted";
  st.ui->message("Calibration File Error", text);
  return -1;
}

int ReadRawFile(Station& st, const std::string& path, const std::string& calibrationFile, bool* wordsRead) {
  Model& m = st.model;
  SessionState& s = st.session;
  const FileDataSet before = CurrentDataSet(st);
  const std::string commentBefore = m.text(Ctl::TESTINFO);
  FileDataSet ds = before;
  if (wordsRead) *wordsRead = false;
  const int words = ReadRawWords(st, path, ds, s.IsLX2);
  if (words != 0) {
    if (wordsRead) *wordsRead = words == -2;
    return -1;
  }
  if (wordsRead) *wordsRead = true;

  m.setText(Ctl::TESTINFO, ds.ident.TestCommentText);
  m.setText(Ctl::LXtype, ds.DummyType == DummyWorldSID5th ? "WorldSID 5th" : "WorldSID");
  const int lx2 = s.IsLX2;
  SetupScreens(st, 0);
  s.IsLX2 = lx2;
  for (Ctl c : {Ctl::LED_TABLE, Ctl::POSITION, Ctl::TESTOBJECT, Ctl::LX_DIRECTION}) m.setDimmed(c, false);
  ds.DataFilterCode = '0';

  bool pressed;
  {
    WaitGuard guard(m);
    m.setActivePage(pageIndex(Panel::Setup));
    m.setVisible(Ctl::REPROCESS_BUTTON, true);
    s.ReprocessRequested = 0;
    st.ui->message("Re-Processing Raw Data File",
                   "Set the ISO Codes and then click on Continue Reprocessing button");
    pressed = waitForContinue(st);
    m.setVisible(Ctl::REPROCESS_BUTTON, false);
    m.setActivePage(pageIndex(Panel::Plot));
  }

  auto fail = [&](int rc) {
    InstallDataSet(st, before, false);
    m.setText(Ctl::TESTINFO, commentBefore);
    CtrlScreens(st);
    return rc == 0 ? -1 : rc;
  };
  if (!pressed) return fail(-1);

  // The screens set the type and layout up for the file's family.
  ds.DummyType = s.DummyType;
  ds.layout = st.data.layout;
  ds.SampleIntervalMs = st.data.SampleIntervalMs;
  ds.DirectionText = m.itemLabel(Ctl::LX_DIRECTION);
  InstallDataSet(st, ds, false);
  ChannelTable& t = st.data.ChannelData;
  t.ChannelCount = 60;
  BuildChannelCodes(st);
  t.ChannelCount = kRawChannelCount;

  std::string cal = calibrationFile;
  if (cal.empty() && ReprocessCalibrationPath(st, cal) != 0) return fail(1);
  const int rc = ConvertWSIDdata(st, CoordConvert, cal);
  if (rc != 0) return fail(rc);
  return 0;
}

int GetFileData(Station& st, const std::string& calibrationFile) {
  FileRequest req;
  req.title = kFileSelectTitle;
  const auto& folder = st.ini.DefaultFileReadLocation;
  req.folder.assign(folder.data(), strnlen(folder.data(), folder.size()));
  req.filter = kFileSelectFilter;
  req.defaultName = "*.DAT";
  req.save = false;
  const std::optional<std::string> chosen = st.ui->chooseFile(req);
  std::error_code ec;
  if (!chosen || chosen->size() < 4 || !std::filesystem::is_regular_file(*chosen, ec)) return -1;
  const std::string path = *chosen;

  MeasurementData& d = st.data;
  SessionState& s = st.session;
  const int rawPresent = d.RawPresent, rawSaved = d.RawSaved;
  d.RawPresent = 0;
  d.RawSaved = 1;
  Disconnect(st);
  CtrlScreens(st);
  s.IsLX2 = 0;
  s.CurrentDataPath = path;

  FileDataSet ds = CurrentDataSet(st);
  int rc = -1;
  bool table = true, wordsRead = false;
  if (Contains(path, ".CSV")) {
    rc = ReadCSVFile(st, path, ds);
  } else if (Contains(path, ".DAT")) {
    rc = ReadDiademFile(st, path, ds);
  } else if (Contains(path, ".MME")) {
    rc = ReadISOFile(st, path, ds);
  } else if (Contains(path, ".RDF") || Contains(path, ".RD2")) {
    table = false;
    if (Contains(path, ".RD2")) s.IsLX2 = 1;
    rc = ReadRawFile(st, path, calibrationFile, &wordsRead);
    if (rc == 0) {
      IRTraccCalcs(st);
      if (isWorldSid(s.DummyType)) LengthCalcs(st);
    }
  }
  if (rc != 0) {
    // The earlier data set keeps its raw file, unless its words are gone.
    if (!wordsRead) {
      d.RawPresent = rawPresent;
      d.RawSaved = rawSaved;
    } else {
      d.RawRecordCount = 0;
    }
    return -1;
  }
  if (table) InstallDataSet(st, ds, true);

  Disconnect(st);
  CtrlScreens(st);
  Model& m = st.model;
  m.setText(Ctl::PLOT_SOURCE, path);
  m.setText(Ctl::EXPORT_STATUS, path);
  m.setDimmed(Ctl::EXPORT_BUT, false);
  const char filter = d.codes.ChannelCodes[0][15];
  d.codes.DataFilterCode = filter == 'P' ? '0' : filter;
  if (d.StartTimeMs <= -10 || d.ChannelData.SampleCount >= 100) CalcChannelOffsets(d);
  SetupPlotScreen(st);
  SetupExportScreen(st);
  return 0;
}

void FILESELECT(Station& st) {
  if (GetFileData(st) == 0) PlotData(st);
}

}  // namespace lumvex
