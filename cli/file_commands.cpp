// Subcommands that need no unit: read (a saved file read as the plot page's
// file button reads it, its data set printed as "Key: value" lines) and
// convert (read, then exported as the Export page exports; for raw files the
// ISO selectors and the side are set while the reprocessing waits, as the
// operator would set them). A batch convert runs each input in a process of
// its own, so that every output is what a convert of that input alone makes.
#include "cli/cli.h"
#include "ui/export_page.h"
#include "files/naming.h"
#include "platform/paths.h"
#include "ui/fileread.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <thread>
#include <tuple>
#include <vector>

extern char** environ;

namespace lumvex::cli {
namespace {

constexpr int kFailed = 1;
constexpr int kBadArguments = 2;

struct FileArgs {
  std::vector<std::string> inputs;
  bool codes = false;  // read --codes
  std::string out;     // convert --out
  std::string outDir;  // convert --out-dir
  std::string format;  // CSV, DAT or MME
  int jobs = 0;        // 0: the number of cores
  int filter = 0;      // 0 unfiltered, else a channel class
  bool relative = false;
  std::string testObject, position, side, cal;
  std::vector<std::string> passOn;  // the options a batch gives each input's convert
};

bool parseArgs(const std::vector<std::string>& a, bool convert, FileArgs& f, std::string& error) {
  for (size_t i = 0; i < a.size(); ++i) {
    const std::string& k = a[i];
    std::string v;
    auto value = [&]() {
      if (i + 1 >= a.size()) return false;
      v = a[++i];
      return true;
    };
    auto keep = [&]() { f.passOn.insert(f.passOn.end(), {k, v}); };
    if (k.empty() || k[0] != '-') {
      f.inputs.push_back(k);
    } else if (k == "--cal" && value()) {
      f.cal = v;
      keep();
    } else if (!convert && k == "--codes") {
      f.codes = true;
    } else if (convert && k == "--out" && value()) {
      f.out = v;
    } else if (convert && k == "--out-dir" && value()) {
      f.outDir = v;
    } else if (convert && k == "--format" && value() && (v == "CSV" || v == "DAT" || v == "MME")) {
      f.format = v;
    } else if (convert && k == "--jobs" && value() && ParseCliInt(v, f.jobs) && f.jobs > 0) {
    } else if (convert && k == "--filter" && value() && ParseCliInt(v, f.filter) &&
               (f.filter == 1000 || f.filter == 600 || f.filter == 180 || f.filter == 60)) {
      keep();
    } else if (convert && k == "--relative") {
      f.relative = true;
      f.passOn.push_back(k);
    } else if (convert && k == "--test-object" && value() && v.size() == 1) {
      f.testObject = v;
      keep();
    } else if (convert && k == "--position" && value() && v.size() == 1) {
      f.position = v;
      keep();
    } else if (convert && k == "--side" && value() && (v == "LE" || v == "RI")) {
      f.side = v;
      keep();
    } else {
      error = "bad argument: " + k;
      return false;
    }
  }
  if (f.inputs.empty()) {
    error = "no file given";
    return false;
  }
  if (!convert) {
    if (f.inputs.size() > 1) error = "one file at a time";
    return error.empty();
  }
  if (f.out.empty() == f.outDir.empty())
    error = "give either --out OUT (one file) or --out-dir DIR --format CSV|DAT|MME";
  else if (!f.out.empty() && f.inputs.size() > 1)
    error = "--out takes one file; use --out-dir for several";
  else if (!f.outDir.empty() && f.format.empty())
    error = "--out-dir needs --format CSV|DAT|MME";
  return error.empty();
}

std::string absolute(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  return ec ? path : full.lexically_normal().string();
}

// The selectors offer the value, as a raw file's operator would find it.
bool offered(const Model& m, Ctl c, const std::string& value) {
  if (value.empty()) return true;
  for (const Item& item : m[c].items)
    if (item.value == value) return true;
  return false;
}

// The file button with FILE chosen; a raw file's wait gets the selectors of
// the options and "Continue Reprocessing". 0 when the file was read.
int readFile(CliContext& c, const std::string& file, const FileArgs& f, const char* command) {
  Station& st = c.st;
  Model& m = st.model;
  c.op.loadAnswer = absolute(file);
  c.op.onEvents = [&] {
    if (!m.visible(Ctl::REPROCESS_BUTTON)) return;
    c.op.loadAnswer = std::nullopt;  // a calibration dialog gets no answer: --cal names the file
    for (auto [ctl, value] : {std::pair{Ctl::TESTOBJECT, &f.testObject},
                              std::pair{Ctl::POSITION, &f.position}, std::pair{Ctl::LX_DIRECTION, &f.side}}) {
      if (value->empty()) continue;
      m.selectValue(ctl, *value);
      m.commit(ctl);
    }
    m.commit(Ctl::REPROCESS_BUTTON);
  };
  const int messages = c.op.messageCount;
  const int rc = GetFileData(st, f.cal.empty() ? std::string() : absolute(f.cal));
  c.op.onEvents = nullptr;
  if (rc != 0 && c.op.messageCount == messages)
    std::fprintf(stderr, "%s: %s was not read (no such file, or not a .CSV, .DAT, .MME, .RDF or .RD2 file)\n",
                 command, file.c_str());
  return rc;
}

std::string shortest(double v) {
  char b[64];
  return std::string(b, std::to_chars(b, b + sizeof b, v).ptr);
}

std::string shortest(float v) {
  char b[64];
  return std::string(b, std::to_chars(b, b + sizeof b, v).ptr);
}

int read(CliContext& c) {
  FileArgs f;
  std::string error;
  if (!parseArgs(c.opt.args, false, f, error)) {
    std::fprintf(stderr, "read: %s\n", error.c_str());
    return kBadArguments;
  }
  if (readFile(c, f.inputs[0], f, "read") != 0) return kFailed;
  const Station& st = c.st;
  const MeasurementData& d = st.data;
  const std::string_view type = currentTypeName(st);
  std::printf("Type: %.*s\n", static_cast<int>(type.size()), type.data());
  std::printf("Serial: %s\n", st.session.SerialNumberText.c_str());
  std::printf("Side: %s\n", st.session.DirectionText.c_str());
  std::printf("ATD: %s\n", d.ident.AtdText.c_str());
  std::printf("Trigger: %d\n", st.session.TriggerSetting);
  std::printf("Date: %s\n", d.ident.TestDateUs.c_str());
  std::printf("Time: %s\n", d.ident.TestTimeText.c_str());
  std::printf("Start (ms): %s\n", shortest(d.StartTimeMs).c_str());
  std::printf("Interval (ms): %s\n", shortest(d.SampleIntervalMs).c_str());
  std::printf("Samples: %d\n", d.ChannelData.SampleCount);
  std::printf("Channels: %d\n", d.ChannelData.ChannelCount);
  std::printf("Filter: %c\n", d.codes.DataFilterCode);
  std::printf("Relative: %d\n", d.AlreadyZeroed);
  if (f.codes)
    for (int k = 0; k + 1 < d.ChannelData.ChannelCount && k < kCodeSlots; ++k) {
      const std::string_view code = codeText(d.codes.ChannelCodes[static_cast<size_t>(k)]);
      std::printf("%.*s\n", static_cast<int>(code.size()), code.data());
    }
  return 0;
}

// The Export page's choices and button, for the file name out.
int exportAs(CliContext& c, const std::string& out, const FileArgs& f) {
  Station& st = c.st;
  Model& m = st.model;
  if (!m.dimmed(Ctl::EXPORT_ZEROING))
    m.setIndex(Ctl::EXPORT_ZEROING, f.relative ? 1 : 0);
  else if (f.relative != (m.index(Ctl::EXPORT_ZEROING) == 1))
    // The export page's notice says why the choice is not offered.
    std::fprintf(stderr, "convert: %s\n",
                 m.visible(Ctl::EXPORT_NOTICE2) ? m.text(Ctl::EXPORT_NOTICE2).c_str()
                                                : m.text(Ctl::EXPORT_NOTICE3).c_str());
  if (!m.dimmed(Ctl::EXPORT_FILTER)) {
    if (f.filter == 0)
      m.setIndex(Ctl::EXPORT_FILTER, 0);
    else
      m.selectValue(Ctl::EXPORT_FILTER, std::to_string(f.filter));
  } else if (f.filter != 0) {
    std::fprintf(stderr, "convert: %s\n", m.text(Ctl::EXPORT_NOTICE1).c_str());
  }
  c.op.saveAnswer = absolute(out);
  // What the export button runs, with what it wrote.
  ExportResult written;
  CB_BtnExport(st, &written);
  if (written.status != 0) return kFailed;
  std::printf("exported: %s\n", written.file.c_str());
  return 0;
}

// Each input in a process of its own, at most `jobs` at a time.
int convertBatch(const FileArgs& f) {
  std::map<std::string, std::string> outputs;  // output -> input
  std::vector<std::string> outs;
  for (const std::string& in : f.inputs) {
    std::string stem = pathFileName(in);
    stem = stem.substr(0, stem.rfind('.'));
    const std::string out = pathJoin(f.outDir, stem + "." + f.format);
    auto [it, fresh] = outputs.emplace(out, in);
    if (!fresh) {
      std::fprintf(stderr, "convert: %s and %s would both become %s\n", it->second.c_str(), in.c_str(),
                   out.c_str());
      return kBadArguments;
    }
    outs.push_back(out);
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(f.outDir, ec)) {
    std::fprintf(stderr, "convert: no folder %s\n", f.outDir.c_str());
    return kBadArguments;
  }
  const unsigned cores = std::thread::hardware_concurrency();
  const size_t jobs = f.jobs > 0 ? static_cast<size_t>(f.jobs) : (cores > 0 ? cores : 1);
  std::vector<int> status(f.inputs.size(), kFailed);
  std::map<pid_t, size_t> running;
  size_t next = 0;
  while (next < f.inputs.size() || !running.empty()) {
    while (next < f.inputs.size() && running.size() < jobs) {
      std::vector<std::string> args = {"lumvex-cli", "convert", f.inputs[next], "--out", outs[next]};
      args.insert(args.end(), f.passOn.begin(), f.passOn.end());
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      pid_t pid = 0;
      if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) == 0)
        running.emplace(pid, next);
      ++next;
    }
    if (running.empty()) continue;
    int ws = 0;
    const pid_t done = ::waitpid(-1, &ws, 0);
    if (done < 0) break;
    auto it = running.find(done);
    if (it == running.end()) continue;
    status[it->second] = WIFEXITED(ws) ? WEXITSTATUS(ws) : kFailed;
    running.erase(it);
  }
  int failed = 0;
  for (size_t i = 0; i < f.inputs.size(); ++i)
    if (status[i] != 0) {
      std::fprintf(stderr, "convert: %s failed\n", f.inputs[i].c_str());
      ++failed;
    }
  return failed ? kFailed : 0;
}

int convert(CliContext& c) {
  FileArgs f;
  std::string error;
  if (!parseArgs(c.opt.args, true, f, error)) {
    std::fprintf(stderr, "convert: %s\n", error.c_str());
    return kBadArguments;
  }
  const Model& m = c.st.model;
  for (auto [ctl, value, what] : {std::tuple{Ctl::TESTOBJECT, &f.testObject, "test object"},
                                  std::tuple{Ctl::POSITION, &f.position, "position"}}) {
    if (!offered(m, ctl, *value)) {
      std::fprintf(stderr, "convert: the %s selector offers no %s\n", what, value->c_str());
      return kBadArguments;
    }
  }
  if (!f.outDir.empty()) {
    std::fflush(stdout);
    return convertBatch(f);
  }
  if (readFile(c, f.inputs[0], f, "convert") != 0) return kFailed;
  return exportAs(c, f.out, f);
}

}  // namespace

int CliReadFile(CliContext& c, const std::string& file, const char* command) {
  return readFile(c, file, FileArgs{}, command);
}

void AddFileCommands(std::vector<CliCommand>& out) {
  out.push_back({"read", "read FILE [--codes] [--cal CALFILE]", read, false});
  out.push_back({"convert",
                 "convert FILE --out OUT | FILE... --out-dir DIR --format CSV|DAT|MME [--jobs N]  "
                 "[--filter 1000|600|180|60] [--relative] [--test-object C] [--position D] [--side LE|RI] "
                 "[--cal CALFILE]",
                 convert, false});
}

}  // namespace lumvex::cli
