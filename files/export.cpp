#include "files/export.h"

#include "files/csv.h"
#include "files/diadem.h"
#include "files/iso.h"
#include "files/naming.h"
#include "platform/paths.h"
#include "processing/filter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace lumvex {
namespace {

constexpr size_t kMaxPathLength = 1023;

enum class Writer { None, Csv, Diadem, Iso };

bool contains(std::string_view s, std::string_view part) { return s.find(part) != std::string_view::npos; }

Writer writerFor(std::string_view fromDot) {
  if (contains(fromDot, "CSV")) return Writer::Csv;
  if (contains(fromDot, "DAT")) return Writer::Diadem;
  if (contains(fromDot, "MME")) return Writer::Iso;
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

// How the conversion marks a lost LED: the group's values truncate to integers
// of one absolute value below 10 (for two-axis groups X and Y).
bool isErrorSample(const float* v, int size) {
  if (size < 2) return false;
  const double a = std::fabs(std::trunc(static_cast<double>(v[0])));
  if (!(a < 10.0)) return false;
  for (int i = 1; i < size; ++i)
    if (std::fabs(std::trunc(static_cast<double>(v[i]))) != a) return false;
  return true;
}

struct ColumnGroup {
  int first, size;
  bool zero, filter;
};

std::vector<ColumnGroup> columnGroups(const Station& st, int relative, int cfc) {
  const int columns = st.data.ChannelData.ChannelCount;
  const int axes = std::max(st.data.layout.AxesPerLed, 1);
  std::vector<ColumnGroup> groups;
  for (int g = 1; g < columns; g += axes) {
    ColumnGroup grp{g, std::min(axes, columns - g), false, false};
    bool sens = false, dsl = false;
    for (int j = g; j < g + grp.size && j - 1 < kCodeSlots; ++j) {
      std::string_view code = codeText(st.data.codes.ChannelCodes[j - 1]);
      sens = sens || contains(code, "SENS");
      dsl = dsl || contains(code, "DSL");
    }
    grp.zero = !sens && relative == 1 && st.data.AlreadyZeroed == 0;
    grp.filter = cfc > 0 && !sens && !dsl;
    groups.push_back(grp);
  }
  return groups;
}

}  // namespace

void FillExportData(Station& st, int relative, int cfc, bool diadem) {
  const ChannelTable& in = st.data.ChannelData;
  ChannelTable& out = st.data.ExportData;
  out.ChannelCount = in.ChannelCount;
  out.SampleCount = in.SampleCount;
  const int columns = in.ChannelCount;
  if (columns <= 0 || in.SampleCount <= 0) return;
  const std::vector<ColumnGroup> groups = columnGroups(st, relative, cfc);
  std::vector<float> offsets(static_cast<size_t>(columns), 0.0f);
  for (int j = 1; j < columns && j < kMaxChannels; ++j) offsets[j] = st.data.ChannelOffsets[j];

  // One pass over the rows: each row's groups are zeroed as the writer needs.
  for (int s = 0; s < in.SampleCount; ++s) {
    const float* src = &in.values[static_cast<size_t>(s) * columns];
    float* dst = &out.values[static_cast<size_t>(s) * columns];
    dst[0] = src[0];
    for (const ColumnGroup& g : groups) {
      const int end = g.first + g.size;
      if (!g.zero) {
        std::copy(src + g.first, src + end, dst + g.first);
        continue;
      }
      const bool error = isErrorSample(src + g.first, g.size);
      for (int j = g.first; j < end; ++j) {
        // DIAdem keeps absolute values (its header carries the offset), so
        // its error samples get the offset that reading subtracts again.
        if (diadem)
          dst[j] = error ? src[j] + offsets[j] : src[j];
        else
          dst[j] = error ? src[j] : src[j] - offsets[j];
      }
    }
  }

  std::vector<int> filtered;
  for (const ColumnGroup& g : groups)
    if (g.filter)
      for (int j = g.first; j < g.first + g.size; ++j) filtered.push_back(j);
  if (!filtered.empty())
    ButfiltColumns(out.values.data.get(), columns, filtered, in.SampleCount, cfc,
                   static_cast<float>(st.data.SampleIntervalMs));
}

int FileSave(Station& st) {
  st.session.CurrentDataPath.clear();
  std::optional<std::string> chosen =
      st.ui->chooseFile(exportRequest(st, st.model.index(Ctl::EXPORT_FORMAT)));
  if (!chosen || chosen->empty() || chosen->size() > kMaxPathLength) return -1;
  std::string path = *chosen;
  const size_t dot = pathLastDot(path);
  if (dot == std::string::npos) return -1;
  pathUpperExtension(path, dot);
  const std::string_view fromDot = std::string_view(path).substr(dot);
  const Writer writer = writerFor(fromDot);
  if (writer == Writer::None) return -1;
  st.session.CurrentDataPath = path;

  int cfc = 0;
  if (!alreadyFiltered(st.data.codes.DataFilterCode)) {
    cfc = selectedClass(st.model);
    EncodeFilter(st, cfc > 0 ? classLetter(cfc) : UnfilteredCode(st.ini));
  }
  const int relative = st.model.index(Ctl::EXPORT_ZEROING) == 1 ? 1 : 0;
  // The zeroing follows the writer chosen: a name such as RUN.XDAT goes to the
  // DIAdem writer, whose header subtracts the offsets, so its values must stay
  // absolute; RUN.DATCSV goes to the CSV writer, which must get them zeroed.
  const bool diadem = writer == Writer::Diadem;
  FillExportData(st, relative, cfc, diadem);

  int status = -1;
  if (writer == Writer::Csv)
    status = FileSave_NATIVE(st, relative);
  else if (writer == Writer::Diadem)
    status = FileSave_DIADEM(st, relative);
  else
    status = FileSave_ISO(st, relative);

  // The raw file is written once per raw download, beside the first export;
  // only a raw file that was written completely counts as saved, so a failed
  // one is tried again at the next export instead of being lost.
  if (st.data.RawPresent != 0 && st.data.RawSaved == 0 && FileSave_Raw(st) == 0) st.data.RawSaved = 1;
  return status;
}

int SetupExportScreen(Station& st) {
  Model& m = st.model;
  m.setIndex(Ctl::EXPORT_FORMAT, st.ini.DefaultExportFormat);
  if (contains(m.text(Ctl::EXPORT_STATUS), "Nothing to Export")) {
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

int CB_BtnExport(Station& st) {
  if (FileSave(st) != 0)
    st.ui->message("ERROR", "Export Failed");
  else
    st.ui->message("Export Status", "Export Successful");
  return 0;
}

}  // namespace lumvex
