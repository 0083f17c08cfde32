// GetLumvexData: choose the download, fetch it, record the test
// identification, convert and assemble, then hand over to plot and export.
#include "files/export.h"
#include "files/naming.h"
#include "link/download.h"
#include "processing/assembly.h"
#include "processing/derived.h"
#include "processing/offsets.h"
#include "processing/rawconv.h"

#include <cstdlib>
#include <ctime>

namespace lumvex {
namespace {

int chooseMode(const Station& st) {
  const int serial = std::atoi(st.session.SerialNumberText.c_str());
  if (recordsRawWords(st.session.DummyType, serial)) return st.session.IsLX2 ? DownloadRawLX2 : DownloadRaw;
  return DownloadProcessed;
}

void recordIdentification(Station& st) {
  TestIdentification& id = st.data.ident;
  GetCurrentDates(id);
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, "%H:%M:%S", &tm);
  id.TestTimeText = buf;
  st.session.DirectionText = st.model.itemLabel(Ctl::LX_DIRECTION);
  st.session.SerialNumberText = st.model.text(Ctl::SERNUM);
  id.AtdText = st.model.text(Ctl::TESTINFO);
  // The raw file's comment line: the test comment shown on the connection
  // screen (the unit's comment read at identification).
  id.TestCommentText = st.model.text(Ctl::TESTINFO);
}

void showDataInMemory(Station& st) {
  st.model.setText(Ctl::EXPORT_STATUS, "Downloaded Lumvex Data in Memory");
  st.model.setText(Ctl::PLOT_SOURCE, "Downloaded Lumvex Data in Memory");
  st.model.setDimmed(Ctl::EXPORT_BUT, false);
  st.model.setActivePage(pageIndex(Panel::Plot));
  st.data.AlreadyZeroed = 0;
  st.data.codes.DataFilterCode = '0';
  st.data.ident.CurrentFileName = " ";
}

}  // namespace

int GetLumvexData(Station& st) {
  MeasurementData& d = st.data;
  const int mode = chooseMode(st);
  struct Shape {
    int SampleCount, ChannelCount;
  } const before{d.ChannelData.SampleCount, d.ChannelData.ChannelCount};
  const int rc = Download(st, mode);
  const bool raw = mode != DownloadProcessed;
  if (rc != 0) {
    // The data set in memory stays as it was, with its raw flags, except that
    // raw words a failed download began to overwrite can no longer make its
    // raw file: a file of them would mix two tests.
    if (d.RawRecordCount == 0) d.RawPresent = 0;
    return -1;
  }
  d.RawPresent = raw ? 1 : 0;
  d.RawSaved = raw ? 0 : 1;

  showDataInMemory(st);
  recordIdentification(st);
  BuildChannelCodes(st);
  d.StartTimeMs = static_cast<float>(st.model.intValue(Ctl::DL_START_TIME));

  if (raw) {
    if (ConvertWSIDdata(st, CoordConvert) != 0) {
      // The table still holds the earlier data set: give it back its own
      // shape, and no raw file, whose words belong to the test just fetched.
      d.ChannelData.SampleCount = before.SampleCount;
      d.ChannelData.ChannelCount = before.ChannelCount;
      d.RawPresent = 0;
      d.RawSaved = 1;
      return -1;
    }
  } else {
    AssemblePositions(st);
  }
  const bool worldSid = isWorldSid(st.session.DummyType);
  if (worldSid) IRTraccCalcs(st);
  if (d.StartTimeMs <= -10 || d.ChannelData.SampleCount >= 100) CalcChannelOffsets(d);
  if (worldSid) LengthCalcs(st);
  SetupExportScreen(st);
  return 0;
}

}  // namespace lumvex
