// Download from the simulated unit over loopback TCP for every family that
// computes positions itself, assembled and exported to CSV and checked
// against the simulator's own recording line by line; the download's refusals
// and faults (bad record sum, stalled stream, lost link) end cleanly; the raw
// dump file.
#include "ui/callbacks.h"
#include "support/scripted_operator.h"
#include "ui/export_page.h"
#include "processing/filter.h"
#include "files/rawdump.h"
#include "link/download.h"
#include "ui/diagnostics_page.h"
#include "ui/setup_page.h"
#include "link/link.h"
#include "processing/assembly.h"
#include "sim/recording.h"
#include "sim/wsid_model.h"
#include "support/download_station.h"
#include "support/testing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

using namespace lumvex;
using lumvex::testing::DriveStation;
using Session = lumvex::testing::DownloadStation;
using lumvex::testing::splitCr;
using lumvex::testing::today;

namespace {

std::vector<double> numbers(const std::string& line) {
  std::vector<double> v;
  std::stringstream in(line);
  std::string f;
  while (std::getline(in, f, ',')) v.push_back(std::atof(f.c_str()));
  return v;
}

// A raw WorldSID 50th unit of the first generation (serial 150) and the
// station's own working folder, where its calibration files go.
struct RawWorldSid : Session {
  lumvex::testing::TempDir work;
  RawWorldSid()
      : Session({{"type", "WorldSID"}, {"serial", "150"}, {"firmware", "V7.3"}, {"caldate", "12-Mar-2024"}}) {
    st.workDir = work.path();
  }
  bool writeCalibration() {
    return sim::wsidWriteCalibrationFiles(st.workDir, "150", "12-Mar-2024", 5, 0) == 0;
  }
  // Connects and downloads -20 to 40 ms with the calibration in place: 601
  // rows of 91 columns and the raw words in memory, on the Export page.
  void downloadFirstWindow() {
    ASSERT_TRUE(writeCalibration());
    st.model.commit(Ctl::CONNECT);
    ASSERT_EQ(st.session.unitStatus, 3);
    window(-20, 40);
    st.model.commit(Ctl::DOWNLOAD_BUT);
    ASSERT_EQ(st.model.activePage(), pageIndex(Panel::Export)) << ::testing::PrintToString(op.messages());
    ASSERT_EQ(st.data.ChannelData.SampleCount, 601);
    ASSERT_EQ(st.data.ChannelData.ChannelCount, 91);
    ASSERT_EQ(st.data.RawPresent, 1);
  }
  std::vector<float> values() const {
    const ChannelTable& t = st.data.ChannelData;
    return {t.values.data.get(), t.values.data.get() + t.SampleCount * t.ChannelCount};
  }
  // The data set of downloadFirstWindow, shape and values, is still in memory.
  void expectFirstWindowKept(const std::vector<float>& before) const {
    const ChannelTable& t = st.data.ChannelData;
    EXPECT_EQ(t.SampleCount, 601);
    EXPECT_EQ(t.ChannelCount, 91);
    EXPECT_EQ(values(), before);
  }
};

// EXPORT writes the data set in memory to `name`.CSV in dir: the four header
// lines and `rows` samples, and no raw file beside it.
void expectExportWithoutRawFile(Session& s, const lumvex::testing::TempDir& dir, const std::string& name,
                                size_t rows) {
  SCOPED_TRACE("export to " + name);
  s.op.fileAnswers.push_back(dir.file(name + ".csv"));
  s.st.model.commit(Ctl::EXPORT_BUT);
  EXPECT_TRUE(s.op.showed("Export Status", "Export Successful"));
  EXPECT_EQ(splitCr(lumvex::testing::readFile(dir.file(name + ".CSV"))).size(), 4u + rows);
  EXPECT_FALSE(std::filesystem::exists(dir.file(name + ".RDF")));
}

struct Family {
  const char* typeText;
  int type;
  int columns;  // after assembly, time included
};

// The four header lines of an absolute, unfiltered export of a unit with
// serial 42, trigger 0 and no test comment, and the shape of every channel
// code: test object and position, the family, "DS" and the axes in column
// order for the LEDs, then the type's sensor codes.
void checkHeader(const Family& f, const Station& st, const std::vector<std::string>& lines) {
  const bool ledSide = f.type == 0 || f.type == 3 || f.type == 5 || f.type == 7;
  const std::string side = ledSide ? "Left Side" : "CENTER in X Dir";
  const char object = st.model.itemValue(Ctl::TESTOBJECT).at(0);
  const char position = st.model.itemValue(Ctl::POSITION).at(0);
  const std::string name = f.type == 5 || f.type == 7 ? std::string(f.typeText) + " w/IRT w/Length Change"
                                                      : std::string(f.typeText);
  EXPECT_EQ(lines[0], "Lumvex Type: " + name +
                          ",,,,,,Data is Absolute,,,,,,ISO Filter code=0 - no filter,,,,ISO CSV Format");
  EXPECT_EQ(lines[1], "Lumvex Facing Toward Dummy " + side +
                          ",,,,,,Serial Number:42,,,,,,ISO Test Object code=" + object + ",,,,Trigger:0");
  EXPECT_EQ(lines[2], "ATD: ,,,,,,Test Date:" + today() + ",,,,,,ISO Position code=" + position);
  std::vector<std::string> names;
  {
    std::stringstream in(lines[3]);
    std::string n;
    while (std::getline(in, n, ',')) names.push_back(n);
  }
  ASSERT_EQ(names.size(), static_cast<size_t>(f.type == 5 || f.type == 7 ? 91 : f.columns));
  EXPECT_EQ(names[0], "Time(ms)");
  static const char* kFamily[] = {"PE", "HF", "H3", "S2", "BA", "WS", "H3", "WF"};
  const sim::RecordingShape shape = sim::recordingShape(f.type);
  for (int led = 0; led < shape.ledCount; ++led)
    for (int a = 0; a < shape.axes; ++a) {
      const std::string& code = names[1 + led * shape.axes + a];
      ASSERT_EQ(code.size(), 16u) << code;
      EXPECT_EQ(code[0], object) << code;
      EXPECT_EQ(code[1], position) << code;
      EXPECT_EQ(code.substr(10, 4), std::string(kFamily[f.type]) + "DS") << code;
      EXPECT_EQ(code[14], "XYZ"[a]) << code;
      EXPECT_EQ(code[15], '0') << code;
    }
  std::vector<std::string> sensors;
  if (f.type <= 2)
    sensors = {"SENSLE9999PO00", "SENSRI9999PO00"};
  else if (f.type == 3 || f.type == 4)
    sensors = {"SENSTO9999PO00", "SENSBO9999PO00", "SENSMI9999PO00"};
  else if (f.type == 6)
    sensors = {"SENSLE9999PO00", "SENSRI9999PO00", "SENSMI9999PO00"};
  else
    sensors = {"SENSTORE99PO00", "SENSBORE99PO00", "SENSMIRE99PO00",
               "SENSTOBL99PO00", "SENSBOBL99PO00", "SENSMIBL99PO00"};
  const int first = 1 + shape.ledCount * shape.axes;
  for (size_t k = 0; k < sensors.size(); ++k)
    EXPECT_EQ(names[first + k], std::string(1, object) + position + sensors[k]);
}

}  // namespace

TEST(DownloadSession, EveryPositionFamilyDownloadsAssemblesAndExportsCsv) {
  const Family families[] = {{"Polar", 0, 15},   {"5th Female", 1, 27},  {"50th Male", 2, 27},
                             {"SIDIIs", 3, 22},  {"Ballistic", 4, 13},   {"WorldSID", 5, 61},
                             {"50th 3D", 6, 22}, {"WorldSID 5th", 7, 61}};
  for (const Family& f : families) {
    SCOPED_TRACE(f.typeText);
    Session s({{"type", f.typeText}, {"serial", "42"}, {"firmware", "V7.3"}, {"side", "LEFT"}});
    Model& m = s.st.model;
    m.commit(Ctl::CONNECT);
    ASSERT_EQ(s.st.session.unitStatus, 3);
    ASSERT_EQ(s.st.session.DummyType, f.type);
    s.window(-20, 60);
    m.commit(Ctl::DOWNLOAD_BUT);
    const sim::RecordingShape shape = sim::recordingShape(f.type);
    const long records = 80L * shape.samplesPerMs + 1;
    ASSERT_EQ(s.st.data.ChannelData.SampleCount, records);
    ASSERT_EQ(s.st.data.ChannelData.ChannelCount, f.type == 5 || f.type == 7 ? 91 : f.columns);
    EXPECT_EQ(m.activePage(), pageIndex(Panel::Export));
    EXPECT_EQ(m.text(Ctl::EXPORT_STATUS), "Downloaded Lumvex Data in Memory");
    EXPECT_EQ(m.text(Ctl::STATUSBOX), "Connected - Idle");

    // Export unfiltered, absolute, and compare with the recording.
    lumvex::testing::TempDir dir;
    const std::string path = dir.file("run.csv");
    s.op.fileAnswers.push_back(path);
    m.setIndex(Ctl::EXPORT_ZEROING, 0);
    m.setIndex(Ctl::EXPORT_FILTER, 0);
    m.commit(Ctl::EXPORT_BUT);
    ASSERT_TRUE(s.op.showed("Export Status", "Export Successful"))
        << ::testing::PrintToString(s.op.messages());
    const std::vector<std::string> lines =
        splitCr(lumvex::testing::readFile(path.substr(0, path.size() - 3) + "CSV"));
    ASSERT_EQ(lines.size(), static_cast<size_t>(4 + records));
    checkHeader(f, s.st, lines);
    const double dt = 1.0 / shape.samplesPerMs;
    for (long r = 0; r < records; ++r) {
      const std::vector<double> v = numbers(lines[4 + r]);
      ASSERT_GE(v.size(), static_cast<size_t>(f.columns));
      const double t = -20 + r * dt;
      EXPECT_NEAR(v[0], t, 0.006) << r;
      double pos[3];
      for (int led = 0; led < shape.ledCount; ++led) {
        const int code = sim::ledPosition(f.type, led, t, pos);
        for (int a = 0; a < shape.axes; ++a) {
          double want = code ? code : pos[a];
          if (!code && f.type != 0 && (f.type == 3 || f.type >= 5) && f.type != 6 && a == 1) want = -want;
          if (f.type == 0 && !code) continue;  // rotated: checked below
          EXPECT_NEAR(v[1 + led * shape.axes + a], want, 0.07)
              << "row " << r << " led " << led << " axis " << a;
        }
      }
      if (f.type == 0) {
        // Polar pairs are rotated by -41 degrees on the left side.
        const int code = sim::ledPosition(0, 0, t, pos);
        if (!code) {
          const double a = std::atan2(pos[1], pos[0]) - 41.0 * 3.14159265358979323846 / 180.0;
          const double rr = std::hypot(pos[0], pos[1]);
          EXPECT_NEAR(v[1], rr * std::cos(a), 0.07);
          EXPECT_NEAR(v[2], rr * std::sin(a), 0.07);
        }
      }
    }
  }
}

// The page-0 download button waits for saved LED settings and a unit that
// holds its recording; the Diagnostics raw download stops the I/O check first.
TEST(DownloadSession, ButtonsDownloadOnlyFromAnIdleUnitWithSavedLedSettings) {
  Session s({{"type", "SIDIIs"}, {"serial", "42"}, {"firmware", "V7.3"}});
  Model& m = s.st.model;
  m.commit(Ctl::CONNECT);
  ASSERT_EQ(s.st.session.unitStatus, 3);
  s.window(-10, 10);
  m.setVisible(Ctl::SAVE_LED_INFO, true);
  m.commit(Ctl::DOWNLOAD_BUT);
  EXPECT_TRUE(s.op.showed("NOTE:", "Save or Cancel the LED settings"));
  EXPECT_EQ(s.countReceived("DUMPBINA"), 0);
  m.setVisible(Ctl::SAVE_LED_INFO, false);

  s.sim.withUnit([](sim::UnitState& u) { u.status = 1; });  // collecting pre-trigger data
  m.commit(Ctl::DOWNLOAD_BUT);
  m.commit(Ctl::RAWDOWNLOAD);
  EXPECT_EQ(s.countReceived("DUMPBINA"), 0);
  EXPECT_EQ(s.countReceived("RAWDUMP"), 0);
  EXPECT_NE(m.activePage(), pageIndex(Panel::Export));

  s.sim.withUnit([](sim::UnitState& u) { u.status = 3; });
  s.st.session.ioCheckRunning = 1;
  m.setLabel(Ctl::CHECKIOBUT, "Stop I/O Check");
  lumvex::testing::TempDir dir;
  s.op.fileAnswers.push_back(dir.file("dump.CSV"));
  m.commit(Ctl::RAWDOWNLOAD);
  EXPECT_EQ(s.st.session.ioCheckRunning, 0);
  EXPECT_EQ(m.label(Ctl::CHECKIOBUT), "Check I/O");
  EXPECT_EQ(s.countReceived("RAWDUMP"), 1);
  EXPECT_EQ(splitCr(lumvex::testing::readFile(dir.file("dump.CSV"))).size(), 1u + 201u);
}

// From a ready unit the status timer runs; while records come in, the events
// the download lets run must not fire a status poll into the stream.
TEST(DownloadSession, StatusTimerIsHeldOffWhileRecordsArrive) {
  Session s({{"type", "SIDIIs"}, {"serial", "42"}, {"firmware", "V7.3"}});
  Model& m = s.st.model;
  s.sim.withUnit([](sim::UnitState& u) { u.status = 0; });
  m.commit(Ctl::CONNECT);
  ASSERT_EQ(s.st.session.unitStatus, 0);
  ASSERT_TRUE(m.timerRunning());
  m.setText(Ctl::DATA_STRT, "-100");
  m.setText(Ctl::DATA_STOP, "200");
  s.window(-100, 200);
  int ticks = 0;
  s.op.onEvents = [&] {  // as the front end would: a due timer fires
    if (m.timerRunning()) {
      ++ticks;
      m.commit(Ctl::TIMER, {EventKind::TimerTick});
    }
  };
  const int polls = s.countReceived("S");
  ASSERT_EQ(Download(s.st, DownloadProcessed), 0) << ::testing::PrintToString(s.op.messages());
  s.op.onEvents = nullptr;
  EXPECT_EQ(ticks, 0);
  EXPECT_EQ(s.countReceived("S"), polls);
  EXPECT_TRUE(m.timerRunning());
  const auto* w = reinterpret_cast<const int16_t*>(s.st.data.RawWords.begin());
  int16_t want[21];
  sim::positionRecord(3, 200.0, want);
  for (int k = 0; k < 21; ++k) EXPECT_EQ(w[3000 * 21 + k], want[k]) << k;
}

TEST(DownloadSession, WindowChecksRunBeforeAnythingIsSent) {
  Session s({{"type", "WorldSID"}, {"serial", "42"}, {"firmware", "LX2 V8"}});
  Model& m = s.st.model;
  m.commit(Ctl::CONNECT);
  ASSERT_EQ(s.st.session.unitStatus, 3);
  const size_t sent = s.sim.received().size();
  struct {
    int start, stop;
    const char* text;
  } cases[] = {{10, 10, "Start Time >= Stop Time"},
               {-101, 10, "Download Start Time < Data in Lumvex Start Time"},
               {0, 201, "Download Stop Time > Data in Lumvex Stop Time"}};
  for (const auto& c : cases) {
    s.op.clear();
    s.window(c.start, c.stop);
    EXPECT_EQ(Download(s.st, DownloadProcessed), -1);
    EXPECT_TRUE(s.op.showed("Download Error", c.text)) << c.text;
  }
  EXPECT_EQ(s.sim.received().size(), sent);
  // LX2 WorldSID: 25000 ms is accepted by the station, 25001 refused.
  s.set("window.start", "-30000");
  s.set("window.stop", "30000");
  m.setText(Ctl::DATA_STRT, "-30000");
  m.setText(Ctl::DATA_STOP, "30000");
  s.op.clear();
  s.window(0, 25001);
  EXPECT_EQ(Download(s.st, DownloadProcessed), -1);
  EXPECT_TRUE(s.op.showed("Download Error", "Maximum data download is 25,000 ms for WorldSID"));
  EXPECT_EQ(s.sim.received().size(), sent);
  // Exactly 25000 ms goes out (the unit, holding less, refuses the stop time).
  s.set("window.stop", "20000");
  s.op.clear();
  s.window(0, 25000);
  EXPECT_EQ(Download(s.st, DownloadProcessed), -1);
  EXPECT_TRUE(s.op.showed("ERROR", "bad stop time - download aborted"))
      << ::testing::PrintToString(s.op.messages());
  EXPECT_EQ(s.lastReceived("DUMPBINA").rfind("DUMPBINA#0#25000#", 0), 0u);
}

TEST(DownloadSession, BadRecordSumFailsAtTheEndWithTheLinkStillUsable) {
  Session s({{"type", "SIDIIs"}, {"serial", "42"}, {"firmware", "V7.3"}, {"download.badsum", "5"}});
  s.st.model.commit(Ctl::CONNECT);
  ASSERT_EQ(s.st.session.unitStatus, 3);
  s.window(-10, 10);
  EXPECT_EQ(Download(s.st, DownloadProcessed), -1);
  EXPECT_TRUE(s.op.showed("COMM ERROR", "in data download - download aborted"));
  // Every record was read: the progress reached the last record.
  ASSERT_FALSE(s.op.progress.empty());
  EXPECT_EQ(s.op.progress.back(), 200 * 100 / 201);
  EXPECT_EQ(s.op.openProgressBoxes, 0);
  // Back in line mode: the next command works.
  std::string cmd = CommandFrame("S#");
  EXPECT_EQ(sendRcv(s.st, cmd), 0);
  std::string a, b;
  EXPECT_EQ(Parser("S", cmd, a, b), 0);
}

TEST(DownloadSession, StalledOrCutStreamEndsAtOnceAndLostLinkDisconnects) {
  Session s({{"type", "SIDIIs"}, {"serial", "42"}, {"firmware", "V7.3"}});
  s.st.model.commit(Ctl::CONNECT);
  ASSERT_EQ(s.st.session.unitStatus, 3);
  SetLinkTimeout(s.st, 200);
  s.window(-100, 200);  // 3001 records of 21 words: about 130 kB
  sim::FaultRule drop;
  drop.kind = sim::FaultKind::DropAfterBytes;
  drop.command = "DUMPBINA";
  drop.value = 5000;
  s.sim.addFault(drop);
  EXPECT_EQ(Download(s.st, DownloadProcessed), -1);
  EXPECT_TRUE(
      s.op.showed("Communication Error",
                  "Connection to the Lumvex has been lost.\n Try Reconnnecting\nCheck Lumvex power or "
                  "reboot the Lumvex"));
  EXPECT_EQ(s.st.session.unitStatus, -1);
  EXPECT_FALSE(LinkOpen(s.st));
  EXPECT_EQ(s.st.model.text(Ctl::STATUSBOX), "Disconnected");
  EXPECT_EQ(s.op.openProgressBoxes, 0);
}

// The link goes at the download command itself, before any record: the page
// shows the disconnected unit, as it does for a stream cut short.
TEST(DownloadSession, LinkLostAtTheDownloadCommandShowsTheDisconnectedScreen) {
  for (Ctl button : {Ctl::DOWNLOAD_BUT, Ctl::RAWDOWNLOAD}) {
    const std::string command = button == Ctl::DOWNLOAD_BUT ? "DUMPBINA" : "RAWDUMP";
    SCOPED_TRACE(command);
    Session s({{"type", "SIDIIs"}, {"serial", "42"}, {"firmware", "V7.3"}});
    Model& m = s.st.model;
    m.commit(Ctl::CONNECT);
    ASSERT_EQ(s.st.session.unitStatus, 3);
    s.window(-10, 10);
    sim::FaultRule drop;
    drop.kind = sim::FaultKind::DropAtCommand;
    drop.command = command;
    s.sim.addFault(drop);
    lumvex::testing::TempDir dir;
    s.op.fileAnswers.push_back(dir.file("dump.CSV"));
    m.commit(button);
    EXPECT_EQ(s.countReceived(command), 1);
    EXPECT_EQ(s.st.session.unitStatus, -1);
    EXPECT_EQ(m.text(Ctl::STATUSBOX), "Disconnected");
    EXPECT_EQ(m.label(Ctl::CONNECT), "CONNECT");
    EXPECT_TRUE(m.dimmed(Ctl::DOWNLOAD_BUT));
    EXPECT_FALSE(std::filesystem::exists(dir.file("dump.CSV")));
  }
}

// A slow line delivers the records over far longer than one time-out; the
// download goes on as long as bytes keep coming.
TEST(DownloadSession, SlowLinkDownloadsEveryRecordWhileBytesKeepComing) {
  Session s({{"type", "SIDIIs"}, {"serial", "42"}, {"firmware", "V7.3"}, {"download.pace", "20"}});
  s.st.model.commit(Ctl::CONNECT);
  ASSERT_EQ(s.st.session.unitStatus, 3);
  SetLinkTimeout(s.st, 150);
  s.window(-100, 200);  // 3001 records of 21 words in 4 kB pieces 20 ms apart: about 0.6 s
  ASSERT_EQ(Download(s.st, DownloadProcessed), 0) << ::testing::PrintToString(s.op.messages());
  ASSERT_EQ(s.st.data.ChannelData.SampleCount, 3001);
  int16_t want[21];
  const auto* w = reinterpret_cast<const int16_t*>(s.st.data.RawWords.begin());
  for (long r : {0L, 1234L, 3000L}) {
    sim::positionRecord(3, -100 + r / 10.0, want);
    for (int k = 0; k < 21; ++k) ASSERT_EQ(w[r * 21 + k], want[k]) << "record " << r << " word " << k;
  }
  EXPECT_EQ(s.op.progress.back(), 3000 * 100 / 3001);
}

// The unit stops sending in the middle of a record but keeps the link open:
// the download ends after one time-out, not one per missing record, and the
// link is usable again.
TEST(DownloadSession, StreamThatStopsMidRecordEndsAfterOneTimeOut) {
  sim::CommandTable t = sim::DefaultCommands();
  t.add("DUMPBINA", [](sim::Exchange& x) {
    x.reply({"21", "200"});
    std::string bytes;
    for (int r = 0; r < 50; ++r) {
      bytes.append(42, '\x01');
      bytes.push_back(42);
    }
    bytes.append(17, '\x01');  // part of record 50
    x.sendRaw(bytes);
  });
  DriveStation d({{"type", "SIDIIs"}, {"serial", "42"}, {"firmware", "V7.3"}}, 3, t);
  BindCallbacks(d.st);
  d.st.model.setItems(Ctl::CONNECTION, {{"Ethernet", "0"}, {"Serial", "1"}}, 0);
  d.st.model.setText(Ctl::IPADDRESS, "127.0.0.1:" + std::to_string(d.port));
  d.st.model.commit(Ctl::CONNECT);
  ASSERT_EQ(d.st.session.unitStatus, 3);
  d.st.model.setText(Ctl::DATA_STRT, "-1000");
  d.st.model.setText(Ctl::DATA_STOP, "1000");
  d.st.model.setRange(Ctl::DL_START_TIME, -1e6, 1e6);
  d.st.model.setNumber(Ctl::DL_START_TIME, -10);
  d.st.model.setNumber(Ctl::DL_STOP_TIME, 10);
  SetLinkTimeout(d.st, 100);
  const auto begin = std::chrono::steady_clock::now();
  EXPECT_EQ(Download(d.st, DownloadProcessed), -1);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin).count();
  EXPECT_LT(ms, 2000) << "waited per missing record";  // 150 missing records would take 15 s
  EXPECT_TRUE(d.op.showed("COMM ERROR", "in data download - download aborted"));
  EXPECT_EQ(d.op.progress.back(), 49 * 100 / 200);
  EXPECT_EQ(d.op.openProgressBoxes, 0);
  EXPECT_EQ(d.st.model.text(Ctl::STATUSBOX), "Connected - Idle");
  std::string cmd = CommandFrame("S#");
  EXPECT_EQ(sendRcv(d.st, cmd), 0);
  std::string a, b;
  EXPECT_EQ(Parser("S", cmd, a, b), 0);
}

TEST(DownloadSession, RefusedWindowAndOversizedReplyStoreNothing) {
  Session s({{"type", "SIDIIs"}, {"serial", "42"}, {"firmware", "V7.3"}});
  s.st.model.commit(Ctl::CONNECT);
  ASSERT_EQ(s.st.session.unitStatus, 3);
  // The unit refuses a start before its window (the station's own check passes).
  s.st.model.setText(Ctl::DATA_STRT, "-500");
  s.window(-300, 10);
  EXPECT_EQ(Download(s.st, DownloadProcessed), -1);
  EXPECT_TRUE(s.op.showed("ERROR", "bad start time - download aborted"));
  // A reply announcing more than the buffer holds is refused before any record.
  sim::CommandTable t = sim::DefaultCommands();
  t.add("DUMPBINA", [](sim::Exchange& x) { x.reply({"232", "250002"}); });
  DriveStation big({{"type", "SIDIIs"}, {"serial", "42"}, {"firmware", "V7.3"}}, 3, t);
  BindCallbacks(big.st);
  big.st.model.setItems(Ctl::CONNECTION, {{"Ethernet", "0"}, {"Serial", "1"}}, 0);
  big.st.model.setText(Ctl::IPADDRESS, "127.0.0.1:" + std::to_string(big.port));
  big.st.model.commit(Ctl::CONNECT);
  ASSERT_EQ(big.st.session.unitStatus, 3);
  big.st.data.ChannelData.SampleCount = 7;
  big.st.model.setText(Ctl::DATA_STRT, "-1000");
  big.st.model.setText(Ctl::DATA_STOP, "1000");
  big.st.model.setRange(Ctl::DL_START_TIME, -1e6, 1e6);
  big.st.model.setNumber(Ctl::DL_START_TIME, -10);
  big.st.model.setNumber(Ctl::DL_STOP_TIME, 10);
  EXPECT_EQ(Download(big.st, DownloadProcessed), -1);
  EXPECT_TRUE(big.op.showed("COMM ERROR", "in download"));
  EXPECT_EQ(big.st.data.ChannelData.SampleCount, 7);
  EXPECT_EQ(big.op.openProgressBoxes, 0);
  EXPECT_TRUE(big.op.progress.empty());
}

// Raw records of the other generation's size would be converted out of step:
// a first-generation download (120 words) announcing 232 words is refused.
TEST(DownloadSession, RawRecordsOfTheWrongGenerationAreRefused) {
  sim::CommandTable t = sim::DefaultCommands();
  t.add("RAWDUMP", [](sim::Exchange& x) { x.reply({"232", "3"}); });
  DriveStation d({{"type", "WorldSID"}, {"serial", "150"}, {"firmware", "V7.3"}}, 3, t);
  d.st.model.setText(Ctl::DATA_STRT, "-1000");
  d.st.model.setText(Ctl::DATA_STOP, "1000");
  d.st.model.setRange(Ctl::DL_START_TIME, -1e6, 1e6);
  d.st.model.setNumber(Ctl::DL_START_TIME, -10);
  d.st.model.setNumber(Ctl::DL_STOP_TIME, 10);
  ASSERT_TRUE(d.connect());
  d.st.session.DummyType = DummyWorldSID50th;
  d.st.session.IsLX2 = 0;
  d.st.data.ChannelData.SampleCount = 7;
  EXPECT_EQ(Download(d.st, DownloadRaw), -1);
  EXPECT_TRUE(d.op.showed("COMM ERROR", "in download"));
  EXPECT_EQ(d.st.data.ChannelData.SampleCount, 7);
  EXPECT_TRUE(d.op.progress.empty());
}

TEST(DownloadSession, RawDumpFileHasTheTypeLineAndDoubledSignedWords) {
  Session s({{"type", "SIDIIs"}, {"serial", "42"}, {"firmware", "V7.3"}});
  s.st.model.commit(Ctl::CONNECT);
  ASSERT_EQ(s.st.session.unitStatus, 3);
  lumvex::testing::TempDir dir;
  s.op.fileAnswers.push_back(dir.file("dump.CSV"));
  s.window(-10, 0);
  ASSERT_EQ(RAWDOWNLOAD(s.st), 0);
  const std::vector<std::string> lines = splitCr(lumvex::testing::readFile(dir.file("dump.CSV")));
  ASSERT_EQ(lines.size(), 1u + 101u);
  EXPECT_EQ(lines[0], "Lumvex Type:SIDIIs");
  EXPECT_EQ(lines[1].rfind("-10.0,", 0), 0u);
  const auto* w = reinterpret_cast<const int16_t*>(s.st.data.RawWords.begin());
  const std::vector<double> first = numbers(lines[1]);
  ASSERT_EQ(first.size(), 1u + 120u);
  EXPECT_EQ(first[1], 2.0 * w[0]);
  EXPECT_EQ(first[120], 2.0 * w[119]);
  float t = -10;  // the time advances by 0.1 in single precision
  for (int r = 0; r < 100; ++r) t += 0.1f;
  char head[16];
  std::snprintf(head, sizeof head, "%4.1f,", static_cast<double>(t));
  EXPECT_EQ(lines[101].rfind(head, 0), 0u) << lines[101].substr(0, 8);
}

TEST(RawDump, WordsAreWrittenDoubledAsSignedValues) {
  ScriptedOperator op;
  auto st = std::make_unique<Station>(op);
  auto* w = reinterpret_cast<uint16_t*>(st->data.RawWords.begin());
  w[0] = 0x8000;
  w[1] = 0x0001;
  w[2] = 0x7FFF;
  st->model.setText(Ctl::LXtype, "Polar");
  st->model.setNumber(Ctl::DL_START_TIME, -10);
  lumvex::testing::TempDir dir;
  op.fileAnswers.push_back(dir.file("d.CSV"));
  ASSERT_EQ(DumpFileSave(*st, 1, 3), 0);
  EXPECT_EQ(lumvex::testing::readFile(dir.file("d.CSV")), "Lumvex Type:Polar\r-10.0,-65536,2,65534,\r");
  // Many records, the time crossing zero: each time field is what "%4.1f,"
  // makes of the single-precision sum.
  st->model.setNumber(Ctl::DL_START_TIME, -150);
  op.fileAnswers.push_back(dir.file("long.CSV"));
  ASSERT_EQ(DumpFileSave(*st, 3000, 1), 0);
  const std::vector<std::string> lines = splitCr(lumvex::testing::readFile(dir.file("long.CSV")));
  ASSERT_EQ(lines.size(), 3001u);
  float t = -150;
  for (int r = 0; r < 3000; ++r, t += 0.1f) {
    char want[32];
    std::snprintf(want, sizeof want, "%4.1f,", static_cast<double>(t));
    ASSERT_EQ(lines[1 + r].substr(0, std::strlen(want)), want) << r;
  }
  op.fileAnswers.push_back(std::nullopt);
  EXPECT_EQ(DumpFileSave(*st, 1, 3), -1);
  op.fileAnswers.push_back(dir.file("no/such/folder/d.CSV"));
  EXPECT_EQ(DumpFileSave(*st, 1, 3), -1);
}

// Raw WorldSID units (serial above 100) download detector words, which the
// station converts with the calibration file the simulator wrote; positions
// come back as the model placed them and the raw file is written beside the
// first export.
TEST(DownloadSession, RawWorldSidConvertsWithTheUnitsCalibrationAndWritesTheRawFile) {
  struct {
    const char* type;
    const char* firmware;
    int dummyType;
    const char* rawExt;
  } units[] = {{"WorldSID", "V7.3", 5, "RDF"},
               {"WorldSID 5th", "V7.3", 7, "RDF"},
               {"WorldSID 5th", "LX2 V8.0", 7, "RD2"}};
  for (const auto& u : units) {
    SCOPED_TRACE(std::string(u.type) + " " + u.firmware);
    Session s({{"type", u.type},
               {"serial", "150"},
               {"firmware", u.firmware},
               {"caldate", "12-Mar-2024"},
               {"side", "LEFT"}});
    const int lx2 = std::string(u.firmware).find("LX2") != std::string::npos;
    lumvex::testing::TempDir work;
    s.st.workDir = work.path();
    ASSERT_EQ(sim::wsidWriteCalibrationFiles(s.st.workDir, "150", "12-Mar-2024", u.dummyType, lx2), 0);
    Model& m = s.st.model;
    m.commit(Ctl::CONNECT);
    ASSERT_EQ(s.st.session.unitStatus, 3);
    s.window(-20, 40);
    m.commit(Ctl::DOWNLOAD_BUT);
    ASSERT_EQ(m.activePage(), pageIndex(Panel::Export)) << ::testing::PrintToString(s.op.messages());
    const ChannelTable& t = s.st.data.ChannelData;
    ASSERT_EQ(t.SampleCount, 601);
    ASSERT_EQ(t.ChannelCount, 91);
    EXPECT_EQ(s.st.data.RawPresent, 1);
    // Rest position of the first LED before the trigger, left side: Y negated.
    const sim::WsidModel model = sim::wsidModel(u.dummyType, lx2);
    double xyz[3];
    sim::wsidLedPosition(model, 1, 0, -15.0, xyz);
    const int row = 50;  // -15 ms
    ASSERT_NE(t.at(row, 1), t.at(row, 2)) << "LED 1 at rest must convert";
    EXPECT_NEAR(t.at(row, 1), xyz[0], 0.05);
    EXPECT_NEAR(t.at(row, 2), -xyz[1], 0.05);
    EXPECT_NEAR(t.at(row, 3), xyz[2], 0.05);
    lumvex::testing::TempDir dir;
    s.op.fileAnswers.push_back(dir.file("raw1.csv"));
    m.commit(Ctl::EXPORT_BUT);
    EXPECT_TRUE(s.op.showed("Export Status", "Export Successful"));
    EXPECT_NO_THROW(lumvex::testing::readFile(dir.file(std::string("raw1.") + u.rawExt)));
    EXPECT_EQ(s.st.data.RawSaved, 1);
  }
}

// A download that fails leaves the data set in memory whole: its shape, its
// values and what the export writes. Raw words it began to overwrite no
// longer make a raw file.
TEST(DownloadSession, FailedDownloadKeepsTheDataSetInMemory) {
  RawWorldSid s;
  ASSERT_NO_FATAL_FAILURE(s.downloadFirstWindow());
  const std::vector<float> before = s.values();

  s.set("download.badsum", "7");
  s.window(-100, 200);
  s.op.clear();
  s.st.model.commit(Ctl::DOWNLOAD_BUT);
  EXPECT_TRUE(s.op.showed("COMM ERROR", "in data download - download aborted"));
  s.expectFirstWindowKept(before);
  EXPECT_EQ(s.st.data.RawPresent, 0);

  lumvex::testing::TempDir dir;
  expectExportWithoutRawFile(s, dir, "kept", 601);
}

// The records arrive but cannot be converted (the calibration file has gone):
// the data set in memory keeps its shape and values, and no raw file is made
// of words that belong to another test.
TEST(DownloadSession, FailedConversionKeepsTheDataSetInMemory) {
  RawWorldSid s;
  ASSERT_NO_FATAL_FAILURE(s.downloadFirstWindow());
  const std::vector<float> before = s.values();
  for (const auto& e : std::filesystem::directory_iterator(s.work.path())) std::filesystem::remove(e.path());
  s.window(-10, 10);
  s.op.clear();
  EXPECT_EQ(GetLumvexData(s.st), -1);
  bool shown = false;
  for (const auto& b : s.op.transcript) shown |= b.title == "Calibration File Error";
  EXPECT_TRUE(shown);
  s.expectFirstWindowKept(before);
  lumvex::testing::TempDir dir;
  expectExportWithoutRawFile(s, dir, "kept", 601);
}

// A raw dump to a file reuses the raw buffer: the data set in memory then
// makes no raw file of words that are no longer its own.
TEST(DownloadSession, RawDumpToAFileLeavesTheDataSetInMemoryWithoutARawFile) {
  RawWorldSid s;
  ASSERT_NO_FATAL_FAILURE(s.downloadFirstWindow());
  Model& m = s.st.model;
  ASSERT_EQ(s.st.data.RawSaved, 0);
  lumvex::testing::TempDir dir;
  s.op.fileAnswers.push_back(dir.file("dump.CSV"));
  s.window(-5, 5);
  m.commit(Ctl::RAWDOWNLOAD);
  ASSERT_EQ(splitCr(lumvex::testing::readFile(dir.file("dump.CSV"))).size(), 1u + 101u);
  EXPECT_EQ(s.st.data.RawPresent, 0);
  expectExportWithoutRawFile(s, dir, "after", 601);
}

// Positions: a refused download changes nothing either.
TEST(DownloadSession, RefusedDownloadKeepsThePositionTable) {
  Session s({{"type", "SIDIIs"}, {"serial", "42"}, {"firmware", "V7.3"}});
  Model& m = s.st.model;
  m.commit(Ctl::CONNECT);
  s.window(-10, 10);
  m.commit(Ctl::DOWNLOAD_BUT);
  ASSERT_EQ(s.st.data.ChannelData.SampleCount, 201);
  ASSERT_EQ(s.st.data.ChannelData.ChannelCount, 22);
  s.set("download.badsum", "0");
  s.window(-100, 200);
  EXPECT_EQ(GetLumvexData(s.st), -1);
  EXPECT_EQ(s.st.data.ChannelData.SampleCount, 201);
  EXPECT_EQ(s.st.data.ChannelData.ChannelCount, 22);
  EXPECT_EQ(s.st.data.RawPresent, 0);
  EXPECT_EQ(s.st.data.RawSaved, 1);
}

TEST(DownloadSession, RawWorldSidWithoutItsCalibrationFileFailsCleanly) {
  RawWorldSid s;
  Model& m = s.st.model;
  m.commit(Ctl::CONNECT);
  ASSERT_EQ(s.st.session.unitStatus, 3);
  s.window(-20, 40);
  m.commit(Ctl::DOWNLOAD_BUT);
  EXPECT_NE(m.activePage(), pageIndex(Panel::Export));
  bool shown = false;
  for (const auto& b : s.op.transcript) shown |= b.title == "Calibration File Error";
  EXPECT_TRUE(shown);
}

TEST(DownloadSession, RawRecordsOfTheWrongSizeAreRefusedBeforeAnyIsStored) {
  // A unit sending 120-word records asked for LX2 records, and one sending 232
  // words asked for the 120-word kind.
  struct {
    const char* firmware;
    DownloadMode mode;
  } cases[] = {{"V7.3", DownloadRawLX2}, {"LX2 V8.0", DownloadRaw}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.firmware);
    Session s({{"type", "WorldSID"}, {"serial", "150"}, {"firmware", c.firmware}});
    s.st.model.commit(Ctl::CONNECT);
    ASSERT_EQ(s.st.session.unitStatus, 3);
    s.window(-20, 20);
    s.st.data.ChannelData.SampleCount = 7;
    EXPECT_EQ(Download(s.st, c.mode), -1);
    EXPECT_TRUE(s.op.showed("COMM ERROR", "in download"));
    EXPECT_EQ(s.st.data.ChannelData.SampleCount, 7);
    EXPECT_EQ(s.op.openProgressBoxes, 0);
  }
}
