// The Export page: one export is one FileSave — the operator picks a file,
// the channels are zeroed and filtered as chosen into ExportData, the filter
// characters of the codes are set, and the file name's extension picks the
// writer (CSV, DIAdem or ISO MME). The first export after a raw download also
// writes the raw file.
#include "ui/export_page.h"

#include "files/csv.h"
#include "files/diadem.h"
#include "files/iso.h"
#include "files/naming.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "processing/filter.h"

#include <charconv>
#include <cstring>

namespace lumvex {
namespace {

constexpr size_t kMaxPathLength = 1023;

enum class Writer { None, Csv, Diadem, Iso };

Writer writerFor(std::string_view fromDot) {
  if (Contains(fromDot, "CSV")) return Writer::Csv;
  if (Contains(fromDot, "DAT")) return Writer::Diadem;
  if (Contains(fromDot, "MME")) return Writer::Iso;
  return Writer::None;
}

FileRequest exportRequest(const Station& st, int format) {
  FileRequest req;
  req.save = true;
  const auto& folder = st.ini.DefaultStorageLocation;
  req.folder.assign(folder.data(), strnlen(folder.data(), folder.size()));
  if (format == 0) {
    req.defaultName = ".CSV", req.filter = "*.CSV", req.title = "Select CSV Data File";
  } else if (format == 1) {
    req.defaultName = ".DAT", req.filter = "*.DAT", req.title = "Select Diadem Data File";
  } else {
    req.defaultName = ".MME", req.filter = "*.MME", req.title = "Select ISO Data File";
  }
  return req;
}

int selectedClass(const Model& m) {
  std::string v = m.itemValue(Ctl::EXPORT_FILTER);
  int cfc = 0;
  std::from_chars(v.data(), v.data() + v.size(), cfc);
  return cfc == 1000 || cfc == 600 || cfc == 180 || cfc == 60 ? cfc : 0;
}

char classLetter(int cfc) {
  switch (cfc) {
    case 1000:
      return 'A';
    case 600:
      return 'B';
    case 180:
      return 'C';
    default:
      return 'D';
  }
}

bool alreadyFiltered(char code) { return code >= 'A' && code <= 'D'; }

}  // namespace

ExportResult Export(Station& st, const std::string& chosenPath, int relative, int cfc) {
  ExportResult result;
  std::string path = chosenPath;
  const size_t dot = pathLastDot(path);
  if (dot == std::string::npos) return result;
  pathUpperExtension(path, dot);
  const Writer writer = writerFor(std::string_view(path).substr(dot));
  if (writer == Writer::None) return result;
  result.lastPath = path;

  if (alreadyFiltered(st.data.codes.DataFilterCode)) {
    cfc = 0;
  } else {
    if (cfc != 1000 && cfc != 600 && cfc != 180 && cfc != 60) cfc = 0;
    EncodeFilter(st, cfc > 0 ? classLetter(cfc) : UnfilteredCode(st.ini));
  }
  relative = relative == 1 ? 1 : 0;
  // The zeroing follows the writer chosen: a name such as RUN.XDAT goes to the
  // DIAdem writer, whose header subtracts the offsets, so its values must stay
  // absolute; RUN.DATCSV goes to the CSV writer, which must get them zeroed.
  {
    PhaseTimer t(st.timings, "export data (zeroing, filter)");
    FillExportData(st.data, relative, cfc, writer == Writer::Diadem);
  }

  std::string written = path;
  PhaseTimer write(st.timings, "export file write");
  if (writer == Writer::Csv)
    result.status = FileSave_NATIVE(st, written, relative);
  else if (writer == Writer::Diadem)
    result.status = FileSave_DIADEM(st, written, relative);
  else
    result.status = FileSave_ISO(st, written, relative);
  write.stop();
  result.file = written;
  result.lastPath = written;

  // The raw file is written once per raw download, beside the first export;
  // only a raw file that was written completely counts as saved, so a failed
  // one is tried again at the next export instead of being lost.
  if (st.data.RawPresent != 0 && st.data.RawSaved == 0) {
    std::string raw = written;
    PhaseTimer t(st.timings, "raw file write");
    if (FileSave_Raw(st, raw) == 0) {
      st.data.RawSaved = 1;
      result.rawFile = raw;
    }
    result.lastPath = raw;
  }
  return result;
}

int FileSave(Station& st, ExportResult* out) {
  st.session.CurrentDataPath.clear();
  std::optional<std::string> chosen =
      st.ui->chooseFile(exportRequest(st, st.model.index(Ctl::EXPORT_FORMAT)));
  if (!chosen || chosen->empty() || chosen->size() > kMaxPathLength) return -1;
  const int cfc = selectedClass(st.model);
  const int relative = st.model.index(Ctl::EXPORT_ZEROING) == 1 ? 1 : 0;
  ExportResult r = Export(st, *chosen, relative, cfc);
  st.session.CurrentDataPath = r.lastPath;
  if (out) *out = r;
  return r.status;
}

int SetupExportScreen(Station& st) {
  Model& m = st.model;
  m.setIndex(Ctl::EXPORT_FORMAT, st.ini.DefaultExportFormat);
  if (Contains(m.text(Ctl::EXPORT_STATUS), "Nothing to Export")) {
    m.setVisible(Ctl::EXPORT_NOTICE1, false);
    m.setVisible(Ctl::EXPORT_NOTICE2, false);
    m.setVisible(Ctl::EXPORT_NOTICE3, false);
  } else {
    m.setIndex(Ctl::EXPORT_ZEROING, st.ini.DefaultRelativeAbsolute);
    const float start = st.data.StartTimeMs;
    const int samples = st.data.ChannelData.SampleCount;
    if (start <= -10 && samples > 100 && st.data.AlreadyZeroed == 0) {
      m.setDimmed(Ctl::EXPORT_ZEROING, false);
      m.setVisible(Ctl::EXPORT_NOTICE2, false);
      m.setVisible(Ctl::EXPORT_NOTICE3, false);
    } else if (st.data.AlreadyZeroed == 1) {
      m.setIndex(Ctl::EXPORT_ZEROING, 1);
      m.setDimmed(Ctl::EXPORT_ZEROING, true);
      m.setVisible(Ctl::EXPORT_NOTICE2, false);
      m.setVisible(Ctl::EXPORT_NOTICE3, true);
    } else if (start > -10 || samples < 100) {
      m.setIndex(Ctl::EXPORT_ZEROING, 0);
      m.setDimmed(Ctl::EXPORT_ZEROING, true);
      m.setVisible(Ctl::EXPORT_NOTICE2, true);
      m.setVisible(Ctl::EXPORT_NOTICE3, false);
    }
    const char code = st.data.codes.DataFilterCode;
    if (code == '0') {
      m.setDimmed(Ctl::EXPORT_FILTER, false);
      m.setVisible(Ctl::EXPORT_NOTICE1, false);
    } else {
      if (alreadyFiltered(code)) m.setIndex(Ctl::EXPORT_FILTER, 1 + (code - 'A'));
      m.setDimmed(Ctl::EXPORT_FILTER, true);
      m.setVisible(Ctl::EXPORT_NOTICE1, true);
    }
  }
  m.setVisible(Ctl::ISO_NOTICE, m.index(Ctl::EXPORT_FORMAT) == 2);
  return 0;
}

void ExportFormatChange(Station& st) {
  st.model.setVisible(Ctl::ISO_NOTICE, st.model.index(Ctl::EXPORT_FORMAT) == 2);
}

int CB_BtnExport(Station& st, ExportResult* result) {
  if (FileSave(st, result) != 0)
    st.ui->message("ERROR", "Export Failed");
  else
    st.ui->message("Export Status", "Export Successful");
  return 0;
}

}  // namespace lumvex
