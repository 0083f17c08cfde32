// Subcommands that fetch a recording: download (download, assembly and
// export, exactly as the page-0 download button and the export button run
// them; the output's extension picks the writer) and rawdump (the raw memory
// dump CSV of the Diagnostics page).
#include "cli/cli.h"
#include "ui/diagnostics_page.h"
#include "ui/export_page.h"
#include "ui/setup_page.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <tuple>

namespace lumvex::cli {
namespace {

constexpr int kFailed = 1;
constexpr int kBadArguments = 2;

struct DownloadArgs {
  int start = 0, stop = 0;
  bool haveStart = false, haveStop = false;
  std::string out;
  int filter = 0;  // 0 unfiltered, else a channel class
  bool relative = false;
  std::string testObject, position;
};

bool parseArgs(const std::vector<std::string>& a, DownloadArgs& d, std::string& error) {
  for (size_t i = 0; i < a.size(); ++i) {
    const std::string& k = a[i];
    auto value = [&](std::string& v) {
      if (i + 1 >= a.size()) return false;
      v = a[++i];
      return true;
    };
    std::string v;
    if (k == "--start" && value(v) && ParseCliInt(v, d.start)) {
      d.haveStart = true;
    } else if (k == "--stop" && value(v) && ParseCliInt(v, d.stop)) {
      d.haveStop = true;
    } else if (k == "--out" && value(d.out)) {
    } else if (k == "--filter" && value(v) && ParseCliInt(v, d.filter) &&
               (d.filter == 1000 || d.filter == 600 || d.filter == 180 || d.filter == 60)) {
    } else if (k == "--relative") {
      d.relative = true;
    } else if (k == "--test-object" && value(d.testObject) && d.testObject.size() == 1) {
    } else if (k == "--position" && value(d.position) && d.position.size() == 1) {
    } else {
      error = "bad argument: " + k;
      return false;
    }
  }
  if (!d.haveStart || !d.haveStop || d.out.empty()) {
    error = "--start, --stop and --out are required";
    return false;
  }
  return true;
}

void setWindow(Model& m, int start, int stop) {
  m.setNumber(Ctl::DL_START_TIME, start);
  m.setNumber(Ctl::DL_STOP_TIME, stop);
}

int download(CliContext& c) {
  DownloadArgs d;
  std::string error;
  if (!parseArgs(c.opt.args, d, error)) {
    std::fprintf(stderr, "download: %s\n", error.c_str());
    return kBadArguments;
  }
  if (CliConnect(c) != 0) return kFailed;
  Station& st = c.st;
  Model& m = st.model;
  // The ISO selectors as the operator would set them before downloading; a
  // value the selector does not offer is refused rather than replaced by the
  // default.
  for (auto [ctl, value, what] : {std::tuple{Ctl::TESTOBJECT, &d.testObject, "test object"},
                                  std::tuple{Ctl::POSITION, &d.position, "position"}}) {
    if (value->empty()) continue;
    if (!m.selectValue(ctl, *value)) {
      std::fprintf(stderr, "download: the %s selector offers no %s\n", what, value->c_str());
      CliDisconnect(c);
      return kBadArguments;
    }
    m.commit(ctl);
  }
  setWindow(m, d.start, d.stop);
  if (m.intValue(Ctl::DL_START_TIME) != d.start || m.intValue(Ctl::DL_STOP_TIME) != d.stop) {
    std::fprintf(stderr, "download: window %d..%d ms lies outside the recorded window %s..%s ms\n", d.start,
                 d.stop, m.text(Ctl::DATA_STRT).c_str(), m.text(Ctl::DATA_STOP).c_str());
    CliDisconnect(c);
    return kFailed;
  }
  if (DOWNLOAD_BUT(st) != 0) {
    CliDisconnect(c);
    return kFailed;
  }
  std::printf("downloaded: %d samples, %d columns\n", st.data.ChannelData.SampleCount,
              st.data.ChannelData.ChannelCount);
  if (!m.dimmed(Ctl::EXPORT_ZEROING))
    m.setIndex(Ctl::EXPORT_ZEROING, d.relative ? 1 : 0);
  else if (d.relative != (m.index(Ctl::EXPORT_ZEROING) == 1))
    // The export page's notice says why the choice is not offered.
    std::fprintf(stderr, "download: %s\n",
                 m.visible(Ctl::EXPORT_NOTICE2) ? m.text(Ctl::EXPORT_NOTICE2).c_str()
                                                : m.text(Ctl::EXPORT_NOTICE3).c_str());
  if (!m.dimmed(Ctl::EXPORT_FILTER)) {
    if (d.filter == 0)
      m.setIndex(Ctl::EXPORT_FILTER, 0);
    else
      m.selectValue(Ctl::EXPORT_FILTER, std::to_string(d.filter));
  }
  // A file dialog answers with a full path, and the DIAdem and ISO writers
  // need the folder in it; a name given here is taken in the current folder.
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(d.out, ec);
  c.op.saveAnswer = ec ? d.out : full.lexically_normal().string();
  // What the export button runs, with what it wrote.
  ExportResult written;
  CB_BtnExport(st, &written);
  CliDisconnect(c);
  if (written.status != 0) return kFailed;
  std::printf("exported: %s\n", written.file.c_str());
  if (!written.rawFile.empty()) std::printf("raw file: %s\n", written.rawFile.c_str());
  return 0;
}

int rawdump(CliContext& c) {
  DownloadArgs d;
  std::string error;
  std::vector<std::string> a = c.opt.args;
  if (!parseArgs(a, d, error)) {
    std::fprintf(stderr, "rawdump: %s\n", error.c_str());
    return kBadArguments;
  }
  if (CliConnect(c) != 0) return kFailed;
  setWindow(c.st.model, d.start, d.stop);
  c.op.saveAnswer = d.out;
  // The exit status says whether the dump was written completely.
  const int rc = RAWDOWNLOAD(c.st);
  CliDisconnect(c);
  if (rc != 0) return kFailed;
  std::printf("raw dump: %s\n", c.st.session.CurrentDataPath.c_str());
  return 0;
}

}  // namespace

void AddDownloadCommands(std::vector<CliCommand>& out) {
  out.push_back({"download",
                 "download --start MS --stop MS --out FILE [--filter 1000|600|180|60] [--relative] "
                 "[--test-object C] [--position D]",
                 download});
  out.push_back({"rawdump", "rawdump --start MS --stop MS --out FILE.CSV", rawdump});
}

}  // namespace lumvex::cli
