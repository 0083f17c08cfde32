// Soak: whole test cycles of one long-lived station against a simulated unit
// (a fresh unit each cycle, as after a power cycle), a fault injected into one
// cycle in five. After every cycle the station must be in the state the fault
// calls for, every export that reported success must be complete, and the
// process's open descriptors must be back where they started; resident memory
// is compared between cycle 10 and the last cycle. Not run by ctest.
//
//   soak [--cycles N] [--seed S] [--report FILE] [--verbose]
#include "link/link.h"
#include "sim/unit.h"
#include "support/scripted_operator.h"
#include "support/unit_fixture.h"
#include "ui/callbacks.h"
#include "ui/diagnostics_page.h"
#include "ui/export_page.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace lumvex;
namespace fs = std::filesystem;

namespace {

constexpr int kRestingMs = 400;                      // link time-out at rest: generous for a loaded machine
constexpr int kStallMs = 3 * kRestingMs;             // a reply held this long is past the time-out
constexpr int kPostTriggerMs = 50;                   // recording after the trigger (ms)
constexpr int kWindowStart = -20, kWindowStop = 30;  // positions download (ms): 501 records
constexpr int kRawStart = -5, kRawStop = 5;          // raw download (ms): 101 records
constexpr int kStatusWaitMs = 5000;                  // longest wait for the unit to store its recording

const char* const kLost =
    "Connection to the Lumvex has been lost.\n Try Reconnnecting\nCheck Lumvex power or reboot the Lumvex";

enum class Fault { None, LostLink, Stall, BadChecksum, BadRecordSum, LongLine, Refusal };
constexpr int kFaultKinds = 7;
const char* faultName(Fault f) {
  static const char* names[] = {"none",           "lost link",      "stall",  "bad checksum",
                                "bad record sum", "over-long line", "refusal"};
  return names[static_cast<int>(f)];
}

// Where a fault strikes: the phase of the cycle and the command it hits.
enum class Phase { Connect, Arm, Armed, Trigger, Stored, Download, Raw };

struct Plan {
  Fault fault = Fault::None;
  Phase phase = Phase::Connect;
  std::string command;  // the command the simulator's rule hits ("" for a unit property)
  long value = -1;      // bytes before a drop, the record with a bad sum, ...
  int answer = 1;       // the time-out box: 1 Continue, 2 Disconnect
  std::string where() const {
    static const char* phases[] = {"connect", "arm", "armed", "trigger", "stored", "download", "raw"};
    std::string s = phases[static_cast<int>(phase)];
    if (!command.empty()) s += " " + command;
    if (value >= 0) s += ":" + std::to_string(value);
    if (fault == Fault::Stall) s += answer == 1 ? " continue" : " disconnect";
    return s;
  }
};

// Delays are kept short (the erase and stay-connected waits), so that a cycle
// is paced by the unit, not by the operator's pauses.
// A question box is answered after answerDelayMs: a person takes a second or
// more, long enough for a reply held past its time-out to have come in.
struct SoakOperator : ScriptedOperator {
  int answerDelayMs = 0;
  int twoButton(std::string_view title, std::string_view text, std::string_view first,
                std::string_view second) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(answerDelayMs));
    return ScriptedOperator::twoButton(title, text, first, second);
  }
  void delay(int ms) override {
    delayedMs += ms;
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 5)));
    if (onEvents) onEvents();
  }
};

long procStatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(key);
  while (std::getline(in, line))
    if (line.compare(0, n, key) == 0) return std::atol(line.c_str() + n + 1);
  return -1;
}

int openDescriptors() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') ++n;
    closedir(d);
  }
  return n - 1;  // the directory stream itself
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> splitCr(const std::string& text) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\r', at);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(at, end - at));
    at = end + 1;
    if (at < text.size() && text[at] == '\n') ++at;
  }
  return out;
}

// What the data set in memory is: its shape and a hash of its values.
struct DataPrint {
  int samples = 0, channels = 0;
  uint64_t hash = 0;
  bool operator==(const DataPrint&) const = default;
};

DataPrint printOf(const Station& st) {
  const ChannelTable& t = st.data.ChannelData;
  DataPrint p{t.SampleCount, t.ChannelCount, 1469598103934665603ull};
  const size_t n =
      static_cast<size_t>(std::max(0, t.SampleCount)) * static_cast<size_t>(std::max(0, t.ChannelCount));
  const auto* bytes = reinterpret_cast<const unsigned char*>(t.values.data.get());
  for (size_t i = 0; i < n * sizeof(float); ++i) p.hash = (p.hash ^ bytes[i]) * 1099511628211ull;
  return p;
}

class Soak {
 public:
  explicit Soak(const std::string& dir) : dir_(dir) {
    lumvex::testing::LayOutStation(st_);
    BindCallbacks(st_);
    st_.session.restingTimeoutMs = kRestingMs;
    op_.answerDelayMs = kStallMs;
    st_.workDir = dir;
    st_.model.setItems(Ctl::CONNECTION, {{"Ethernet", "0"}, {"Serial", "1"}}, 0);
  }

  // One whole cycle; the failures found, empty when the station behaved.
  std::vector<std::string> run(const Plan& plan, int cycle);

 private:
  void fail(const std::string& what) { failures_.push_back(what); }
  void check(bool ok, const std::string& what) {
    if (!ok) fail(what);
  }
  void tick() { st_.model.commit(Ctl::TIMER, {EventKind::TimerTick}); }
  bool tickUntil(int status, int limitMs);
  void addRule(sim::FaultKind kind, const std::string& command, long value = -1);
  bool connected() const { return st_.session.unitStatus >= 0; }
  void expectDisconnected(const std::string& when);
  void expectIdle(const std::string& when);
  void expectOnly(const std::vector<std::string>& allowed, const std::string& when);
  void downloadPositions(const Plan& plan);
  void downloadRaw(const Plan& plan);
  void exportAll();
  void readBack(int cycle);
  std::string file(const std::string& name) const { return dir_ + "/" + name; }

  std::string dir_;
  SoakOperator op_;
  Station st_{op_};
  std::unique_ptr<sim::Simulator> sim_;
  std::vector<std::string> failures_;
  std::vector<std::string> exported_;  // files written this cycle, to read one back
  DataPrint exportedPrint_;
};

bool Soak::tickUntil(int status, int limitMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    tick();
    if (st_.session.unitStatus == status) return true;
    if (!connected() || std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void Soak::addRule(sim::FaultKind kind, const std::string& command, long value) {
  sim::FaultRule r;
  r.kind = kind;
  r.command = command;
  r.value = value;
  sim_->addFault(r);
}

void Soak::expectDisconnected(const std::string& when) {
  const Model& m = st_.model;
  check(st_.session.unitStatus == StatusDisconnected,
        when + ": unit status " + std::to_string(st_.session.unitStatus));
  check(!LinkOpen(st_), when + ": link still open");
  check(m.text(Ctl::STATUSBOX) == "Disconnected", when + ": status box \"" + m.text(Ctl::STATUSBOX) + "\"");
  check(m.label(Ctl::CONNECT) == "CONNECT", when + ": connect button \"" + m.label(Ctl::CONNECT) + "\"");
  check(!m.timerRunning(), when + ": status timer still running");
  for (Ctl c : {Ctl::ARM_BUT, Ctl::DOWNLOAD_BUT, Ctl::TRIGGER_BUT})
    check(m.dimmed(c), when + ": " + std::string(controlName(c)) + " not dimmed");
}

void Soak::expectIdle(const std::string& when) {
  check(connected() && LinkOpen(st_), when + ": not connected");
  check(st_.model.text(Ctl::STATUSBOX) == "Connected - Idle",
        when + ": status box \"" + st_.model.text(Ctl::STATUSBOX) + "\"");
}

// Every box shown this cycle is one of `allowed` ("TITLE: text"), or an
// export's success; a question box is never expected here.
void Soak::expectOnly(const std::vector<std::string>& allowed, const std::string& when) {
  for (const Shown& s : op_.transcript) {
    if (s.kind == Shown::ProgressOpen || s.kind == Shown::ProgressClose || s.kind == Shown::File) continue;
    const std::string box = s.title + ": " + s.text;
    if (box == "Export Status: Export Successful") continue;
    if (std::find(allowed.begin(), allowed.end(), box) == allowed.end())
      fail(when + ": unexpected box \"" + box + "\"");
  }
}

std::vector<std::string> Soak::run(const Plan& plan, int cycle) {
  failures_.clear();
  exported_.clear();
  op_.clear();
  op_.confirmAnswers.clear();
  op_.twoButtonAnswers.clear();
  op_.fileAnswers.clear();
  for (const char* f : {"run.CSV", "run.DAT", "run.R32", "raw.CSV"}) fs::remove(file(f));
  fs::remove_all(file("run"));

  sim_ = std::make_unique<sim::Simulator>();
  sim_->withUnit([](sim::UnitState& u) {
    u.props["type"] = "SIDIIs";
    u.props["serial"] = "42";
    u.props["firmware"] = "V7.3";
    u.props["side"] = "LEFT";
    u.status = 0;
    u.storeMs = 20;
    u.eraseMs = 30;
  });
  const int port = sim_->listenTcp("127.0.0.1", 0);
  if (port <= 0 || !sim_->start()) return {"the simulator did not start"};
  Model& m = st_.model;
  m.setText(Ctl::IPADDRESS, "127.0.0.1:" + std::to_string(port));
  const DataPrint before = printOf(st_);
  const Fault f = plan.fault;
  std::vector<std::string> allowed;  // boxes this cycle's fault may show
  bool lost = false;                 // the fault ends the session

  auto at = [&](Phase p) { return f != Fault::None && plan.phase == p; };
  auto inject = [&](Phase p) {
    if (!at(p)) return;
    switch (f) {
      case Fault::LostLink:
        if (plan.value >= 0)
          addRule(sim::FaultKind::DropAfterBytes, plan.command, plan.value);
        else
          addRule(sim::FaultKind::DropAtCommand, plan.command);
        allowed = {"Communication Error: " + std::string(kLost),
                   "Error: Could not get info from Lumvex -- Disconnecting",
                   "Error: Could not open the COM port"};
        lost = true;
        break;
      case Fault::Stall:
        addRule(sim::FaultKind::Stall, plan.command, kStallMs);
        op_.twoButtonAnswers.push_back(plan.answer);
        allowed = {
            "Communication Error: Communication Error with Lumvex\rPress continue to try again, or press "
            "Disconnect"};
        lost = plan.answer == 2;
        break;
      case Fault::BadChecksum:
        addRule(sim::FaultKind::CorruptChecksum, plan.command);
        break;
      case Fault::LongLine:
        addRule(sim::FaultKind::LongLine, plan.command);
        break;
      case Fault::BadRecordSum:
        sim_->withUnit([&](sim::UnitState& u) { u.props["download.badsum"] = std::to_string(plan.value); });
        allowed = {"COMM ERROR: in data download - download aborted"};
        break;
      case Fault::Refusal:
        if (p == Phase::Arm) {
          sim_->withUnit([](sim::UnitState& u) { u.props["arm.refuse"] = "post"; });
          allowed = {
              "ERROR: Data to collect after Trigger must be greater than 0 and less than 30000, Arm "
              "Aborted"};
        } else {
          allowed = {"ERROR: bad start time - download aborted"};
        }
        break;
      case Fault::None:
        break;
    }
    if (f == Fault::BadChecksum || f == Fault::LongLine) {
      if (plan.command == "S") allowed = {"COMM ERROR: in check status"};
      if (plan.command == "ARM") allowed = {"COMM ERROR: Bad Response to Arm command, Arm Aborted"};
    }
  };

  // Connect and identify.
  inject(Phase::Connect);
  m.commit(Ctl::CONNECT);
  bool go = true;
  if (at(Phase::Connect) && lost) {
    expectDisconnected("connect");
    go = false;
  } else {
    expectIdle("connect");
    check(m.text(Ctl::LXtype) == "SIDIIs" && m.text(Ctl::SERNUM) == "42", "connect: unit not identified");
    go = failures_.empty();
  }

  // Arm: the unit waits for its trigger.
  if (go) {
    m.setNumber(Ctl::CIRC_LIN_BUT, 0);
    m.setNumber(Ctl::TPOST, kPostTriggerMs);
    inject(Phase::Arm);
    m.commit(Ctl::ARM_BUT);
    if (at(Phase::Arm)) {
      if (lost) {
        expectDisconnected("arm");
      } else {
        // A refused or garbled arm leaves the unit and the station idle.
        check(m.label(Ctl::ARM_BUT) == "ARM", "arm: button \"" + m.label(Ctl::ARM_BUT) + "\"");
        check(sim_->status() == 0, "arm: unit left in status " + std::to_string(sim_->status()));
        tick();
        expectIdle("arm");
        check(op_.messages().size() == 1, "arm: the refusal was not reported once");
      }
      go = false;
    } else {
      check(m.label(Ctl::ARM_BUT) == "DISARM" && sim_->status() == 1, "arm: unit not armed");
      go = failures_.empty();
    }
  }

  // Armed: the poll sees it and the cable prompt opens; staying connected.
  if (go) {
    inject(Phase::Armed);
    tickUntil(1, 1000);
    if (st_.session.cableDisconnectPanel) m.commit(Ctl::STAY_CONN_BUTT);
    if (at(Phase::Armed) && !lost) tickUntil(1, 1000);  // the poll after a bad reply finds it
    if (lost) {
      expectDisconnected("armed");
      go = false;
    } else {
      check(st_.session.unitStatus == 1, "armed: status " + std::to_string(st_.session.unitStatus));
      go = failures_.empty();
    }
  }

  // Trigger and wait for the stored recording.
  if (go) {
    inject(Phase::Trigger);
    m.commit(Ctl::TRIGGER_BUT);
    if (at(Phase::Trigger)) {
      expectDisconnected("trigger");
      go = false;
    }
  }
  if (go) {
    inject(Phase::Stored);
    const bool stored = tickUntil(3, kStatusWaitMs);
    if (lost) {
      expectDisconnected("stored");
      go = false;
    } else {
      check(stored, "stored: status " + std::to_string(st_.session.unitStatus));
      if (stored) expectIdle("stored");
      go = failures_.empty();
    }
  }

  bool downloaded = false;
  if (go) {
    inject(Phase::Download);
    downloadPositions(plan);
    downloaded = !at(Phase::Download) && failures_.empty();
  }
  go = go && failures_.empty() && connected();
  if (go) {
    inject(Phase::Raw);
    downloadRaw(plan);
  }
  // Nothing short of a whole download touches the data set in memory.
  if (!downloaded) check(printOf(st_) == before, "the data set in memory changed");

  // The data in memory, whatever happened, is exported in all three formats
  // (none is due before the first download).
  if (st_.data.ChannelData.SampleCount > 0 && !m.dimmed(Ctl::EXPORT_BUT)) exportAll();

  // Disconnect, then read one of the files back.
  if (connected()) {
    m.commit(Ctl::CONNECT);
    expectDisconnected("disconnect");
  } else if (f == Fault::None) {
    fail("cycle ended disconnected");
  }
  if (!exported_.empty()) readBack(cycle);

  check(op_.openProgressBoxes == 0, "a progress box was left open");
  expectOnly(allowed, "cycle");
  // A status poll that failed once and was retried costs the cycle nothing.
  const bool whole = f == Fault::None || (f == Fault::Stall && plan.answer == 1) ||
                     ((f == Fault::BadChecksum || f == Fault::LongLine) && plan.command == "S");
  if (whole) {
    check(downloaded, "no download in a cycle that should have completed");
    check(exported_.size() == 3, "only " + std::to_string(exported_.size()) + " of three exports made");
  }
  sim_->stop();
  sim_.reset();
  return failures_;
}

void Soak::downloadPositions(const Plan& plan) {
  Model& m = st_.model;
  const DataPrint before = printOf(st_);
  m.setRange(Ctl::DL_START_TIME, -1e6, 1e6);
  m.setRange(Ctl::DL_STOP_TIME, -1e6, 1e6);
  m.setNumber(Ctl::DL_START_TIME, kWindowStart);
  m.setNumber(Ctl::DL_STOP_TIME, kWindowStop);
  const bool faulted = plan.fault != Fault::None && plan.phase == Phase::Download;
  if (faulted && plan.fault == Fault::Refusal) {
    // The station's own check passes; the unit, holding less, refuses the start.
    m.setText(Ctl::DATA_STRT, "-5000");
    m.setNumber(Ctl::DL_START_TIME, -2000);
  }
  m.commit(Ctl::DOWNLOAD_BUT);
  sim_->withUnit([](sim::UnitState& u) { u.props.erase("download.badsum"); });
  if (!faulted) {
    const ChannelTable& t = st_.data.ChannelData;
    const int rows = (kWindowStop - kWindowStart) * 10 + 1;
    check(m.activePage() == pageIndex(Panel::Export), "download: not on the Export page");
    check(t.SampleCount == rows && t.ChannelCount == 22,
          "download: " + std::to_string(t.SampleCount) + " x " + std::to_string(t.ChannelCount));
    if (t.SampleCount == rows && t.ChannelCount > 0)
      check(std::fabs(t.at(0, 0) - kWindowStart) < 0.01 && std::fabs(t.at(rows - 1, 0) - kWindowStop) < 0.01,
            "download: times do not span the window");
    check(m.text(Ctl::EXPORT_STATUS) == "Downloaded Lumvex Data in Memory", "download: no data in memory");
    expectIdle("download");
    return;
  }
  check(printOf(st_) == before, "download: the data set in memory changed");
  check(m.activePage() != pageIndex(Panel::Export), "download: a failed download went to the Export page");
  if (plan.fault == Fault::LostLink) {
    expectDisconnected("download");
  } else {
    expectIdle("download");
    // The link is in step again: the next exchange is answered.
    tick();
    check(connected() && st_.session.unitStatus == 3, "download: the next poll failed");
  }
}

void Soak::downloadRaw(const Plan& plan) {
  Model& m = st_.model;
  const bool faulted = plan.fault == Fault::LostLink && plan.phase == Phase::Raw;
  m.setNumber(Ctl::DL_START_TIME, kRawStart);
  m.setNumber(Ctl::DL_STOP_TIME, kRawStop);
  const DataPrint before = printOf(st_);
  op_.fileAnswers.push_back(file("raw.CSV"));
  const int r = RAWDOWNLOAD(st_);
  op_.fileAnswers.clear();
  check(printOf(st_) == before, "raw: the data set in memory changed");
  if (faulted) {
    check(r != 0, "raw: a cut download reported success");
    check(!fs::exists(file("raw.CSV")), "raw: a file was written from a cut download");
    expectDisconnected("raw");
    return;
  }
  check(r == 0, "raw: failed");
  const std::vector<std::string> lines = splitCr(readAll(file("raw.CSV")));
  const size_t want = 1 + (kRawStop - kRawStart) * 10 + 1;
  check(lines.size() == want && !lines.empty() && lines[0] == "Lumvex Type:SIDIIs",
        "raw: file of " + std::to_string(lines.size()) + " lines");
}

// Each export that reports success must have written the whole data set.
void Soak::exportAll() {
  Model& m = st_.model;
  const ChannelTable& t = st_.data.ChannelData;
  exportedPrint_ = printOf(st_);
  const char* names[] = {"run.CSV", "run.DAT", "run.MME"};
  for (int format = 0; format < 3; ++format) {
    const std::string path = file(names[format]);
    const size_t shown = op_.transcript.size();
    m.setIndex(Ctl::EXPORT_FORMAT, format);
    m.setIndex(Ctl::EXPORT_ZEROING, 0);
    m.setIndex(Ctl::EXPORT_FILTER, 0);
    op_.fileAnswers.push_back(path);
    m.commit(Ctl::EXPORT_BUT);
    op_.fileAnswers.clear();
    bool success = false;
    for (size_t i = shown; i < op_.transcript.size(); ++i)
      success |= op_.transcript[i].title == "Export Status" && op_.transcript[i].text == "Export Successful";
    const std::string what = std::string("export ") + names[format];
    if (!success) {
      fail(what + ": failed");
      continue;
    }
    const size_t rows = static_cast<size_t>(t.SampleCount);
    if (format == 0) {
      const std::vector<std::string> lines = splitCr(readAll(path));
      bool whole = lines.size() == 4 + rows;
      for (size_t i = 4; whole && i < lines.size(); ++i)
        whole = static_cast<int>(std::count(lines[i].begin(), lines[i].end(), ',')) >= t.ChannelCount - 1;
      check(whole,
            what + ": reported success for an incomplete file (" + std::to_string(lines.size()) + " lines)");
    } else if (format == 1) {
      std::error_code ec;
      const auto size = fs::file_size(file("run.R32"), ec);
      check(!ec && size == rows * static_cast<size_t>(t.ChannelCount) * sizeof(float),
            what + ": reported success for an incomplete data file (" + std::to_string(ec ? 0 : size) +
                " bytes)");
    } else {
      int channelFiles = 0;
      for (const auto& e : fs::recursive_directory_iterator(file("run")))
        if (e.is_regular_file() && e.path().extension() != ".MME" && e.path().extension() != ".CHN")
          ++channelFiles;
      check(channelFiles >= t.ChannelCount - 1,
            what + ": reported success with " + std::to_string(channelFiles) + " channel files");
    }
    exported_.push_back(format == 2 ? file("run/run.MME") : path);
  }
}

// The file button reads one of this cycle's exports (in turn) back: the data
// set it makes has the shape that was exported.
void Soak::readBack(int cycle) {
  const std::string& path = exported_[static_cast<size_t>(cycle) % exported_.size()];
  op_.fileAnswers.push_back(path);
  st_.model.setText(Ctl::PLOT_SOURCE, "");
  st_.model.commit(Ctl::FILESELECT);
  op_.fileAnswers.clear();
  check(st_.model.text(Ctl::PLOT_SOURCE) == path, "read back " + path + ": not read");
  const DataPrint now = printOf(st_);
  check(now.samples == exportedPrint_.samples && now.channels >= exportedPrint_.channels - 1,
        "read back " + path + ": " + std::to_string(now.samples) + " x " + std::to_string(now.channels));
  if (path.ends_with(".DAT")) check(now == exportedPrint_, "read back " + path + ": values differ");
  check(!connected(), "read back: still connected");
}

// One cycle in five carries a fault, of a kind and at a phase drawn at random.
Plan drawPlan(std::mt19937& rng, int every) {
  Plan p;
  if (std::uniform_int_distribution<int>(0, every - 1)(rng) != 0) return p;
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  p.fault = static_cast<Fault>(1 + pick(kFaultKinds - 1));
  switch (p.fault) {
    case Fault::LostLink: {
      struct Where {
        Phase phase;
        const char* command;
      } const places[] = {{Phase::Connect, "S"},        {Phase::Connect, "WHO_ARE_YOU"},
                          {Phase::Connect, "FIRMWARE"}, {Phase::Arm, "ARM"},
                          {Phase::Armed, "S"},          {Phase::Trigger, "T"},
                          {Phase::Stored, "S"},         {Phase::Download, "DUMPBINA"},
                          {Phase::Raw, "RAWDUMP"}};
      const Where& w = places[pick(9)];
      p.phase = w.phase;
      p.command = w.command;
      if (p.phase == Phase::Download)
        p.value = pick(2) ? pick(21000) : -1;  // bytes of ~21 kB, or at the command
      if (p.phase == Phase::Raw) p.value = pick(2) ? pick(24000) : -1;
      break;
    }
    case Fault::Stall:
      p.phase = pick(2) ? Phase::Armed : Phase::Stored;
      p.command = "S";
      p.answer = 1 + pick(2);
      break;
    case Fault::BadChecksum:
    case Fault::LongLine: {
      const int w = pick(3);
      p.phase = w == 0 ? Phase::Armed : w == 1 ? Phase::Stored : Phase::Arm;
      p.command = w == 2 ? "ARM" : "S";
      break;
    }
    case Fault::BadRecordSum:
      p.phase = Phase::Download;
      p.value = pick((kWindowStop - kWindowStart) * 10 + 1);
      break;
    case Fault::Refusal:
      p.phase = pick(2) ? Phase::Arm : Phase::Download;
      break;
    case Fault::None:
      break;
  }
  return p;
}

struct Figures {
  long rssKb = 0, peakKb = 0;
  int fds = 0;
};

Figures measure() { return {procStatusKb("VmRSS:"), procStatusKb("VmHWM:"), openDescriptors()}; }

}  // namespace

int main(int argc, char** argv) {
  long cycles = 1000;
  unsigned seed = 1;
  std::string report;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--cycles" && i + 1 < argc) {
      cycles = std::atol(argv[++i]);
    } else if (a == "--seed" && i + 1 < argc) {
      seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    } else if (a == "--report" && i + 1 < argc) {
      report = argv[++i];
    } else if (a == "--verbose") {
      verbose = true;
    } else {
      std::fprintf(stderr, "usage: soak [--cycles N] [--seed S] [--report FILE] [--verbose]\n");
      return 2;
    }
  }
  if (cycles < 1) cycles = 1;

  char tmpl[] = "/tmp/lumvex-soak-XXXXXX";
  if (!mkdtemp(tmpl)) {
    std::perror("mkdtemp");
    return 2;
  }
  const std::string dir = tmpl;
  std::mt19937 rng(seed);
  long failures = 0;
  std::array<long, kFaultKinds> byKind{}, failedByKind{};
  std::vector<std::string> log;
  Figures atStart{}, at10{}, atEnd{};
  // Memory may settle over the first cycles (allocator pools, first-use
  // buffers); from cycle 10 on it must stay within this margin.
  constexpr long kGrowthKb = 8 * 1024;
  const auto began = std::chrono::steady_clock::now();
  {
    Soak soak(dir);
    atStart = measure();
    for (long c = 1; c <= cycles; ++c) {
      const Plan plan = drawPlan(rng, 5);
      std::vector<std::string> found = soak.run(plan, static_cast<int>(c));
      const Figures now = measure();
      if (now.fds != atStart.fds)
        found.push_back("open descriptors " + std::to_string(now.fds) + ", at the start " +
                        std::to_string(atStart.fds));
      if (c == 10) at10 = now;
      if (c > 10 && now.rssKb > at10.rssKb + kGrowthKb)
        found.push_back("resident memory " + std::to_string(now.rssKb) + " kB, at cycle 10 " +
                        std::to_string(at10.rssKb) + " kB");
      ++byKind[static_cast<size_t>(plan.fault)];
      if (!found.empty()) {
        ++failures;
        ++failedByKind[static_cast<size_t>(plan.fault)];
        for (const std::string& f : found) {
          const std::string line = "cycle " + std::to_string(c) + " (" + faultName(plan.fault) +
                                   (plan.fault == Fault::None ? "" : " at " + plan.where()) + "): " + f;
          std::fprintf(stderr, "%s\n", line.c_str());
          log.push_back(line);
        }
      } else if (verbose) {
        std::fprintf(stderr, "cycle %ld %s%s ok\n", c, faultName(plan.fault),
                     plan.fault == Fault::None ? "" : (" at " + plan.where()).c_str());
      }
      if (c % 100 == 0)
        std::fprintf(stderr, "%ld cycles, %ld failed, RSS %ld kB, %d descriptors\n", c, failures, now.rssKb,
                     now.fds);
      atEnd = now;
    }
  }
  if (cycles < 10) at10 = atEnd;
  fs::remove_all(dir);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

  std::ostringstream out;
  char line[160];
  std::snprintf(line, sizeof line, "Soak: %ld cycles, seed %u, %.0f s\n", cycles, seed, seconds);
  out << line;
  out << "fault             cycles  failed\n";
  for (int k = 0; k < kFaultKinds; ++k) {
    std::snprintf(line, sizeof line, "%-16s %7ld %7ld\n", faultName(static_cast<Fault>(k)), byKind[k],
                  failedByKind[k]);
    out << line;
  }
  std::snprintf(line, sizeof line, "failures: %ld\n", failures);
  out << line;
  std::snprintf(line, sizeof line, "%-12s %12s %12s %12s\n", "", "RSS (kB)", "peak RSS (kB)", "descriptors");
  out << line;
  std::snprintf(line, sizeof line, "%-12s %12ld %12ld %12d\n", "start", atStart.rssKb, atStart.peakKb,
                atStart.fds);
  out << line;
  std::snprintf(line, sizeof line, "%-12s %12ld %12ld %12d\n", "cycle 10", at10.rssKb, at10.peakKb, at10.fds);
  out << line;
  std::snprintf(line, sizeof line, "cycle %-6ld %12ld %12ld %12d\n", cycles, atEnd.rssKb, atEnd.peakKb,
                atEnd.fds);
  out << line;
  std::fputs(out.str().c_str(), stdout);
  if (!report.empty()) {
    std::ofstream r(report);
    r << out.str();
    for (const std::string& l : log) r << l << "\n";
  }
  return failures == 0 ? 0 : 1;
}
