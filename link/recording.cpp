#include "link/recording.h"

#include "core/session_ops.h"
#include "link/info.h"
#include "link/link.h"
#include "link/positions.h"
#include "link/query.h"
#include "link/status.h"
#include "maintenance/battery.h"

#include <algorithm>
#include <array>

namespace lumvex {
namespace {

constexpr int kEraseTimeoutMs = 10000;
constexpr int kErasePollMs = 1000;
constexpr size_t kEraseLineMax = 126;  // bytes

bool readyOrHolding(int status) { return status == StatusReady || status == StatusDataHeld; }

int writeLine(Station& st, std::string_view cmd) { return WriteRaw(st, cmd.data(), cmd.size()); }

// Polls until the unit answers ERASE; -1 when the link fails first.
int pollErase(Station& st, bool& finished) {
  std::string line, a, b;
  for (;;) {
    st.ui->delay(kErasePollMs);
    if (writeLine(st, "E#104\r\n") != 0 || ReadLine(st, line, kEraseLineMax) != 0) return -1;
    if (Contains(line, "ERASE")) {
      finished = true;
      int result = -1;
      if (Parser("ERASE", line, a, b) != 0)
        st.ui->message("COMM ERROR", " in erase status");
      else
        result = FieldInt(a);
      ReadLine(st, line, kEraseLineMax);  // the answer to the last progress query
      return result;
    }
    if (Parser("E", line, a, b) == 0) {
      int done = FieldInt(a), total = FieldInt(b);
      if (done < total) st.ui->progressUpdate(static_cast<int>(static_cast<double>(done) / total * 100.0));
    }
  }
}

// A command the unit only acknowledges: a bad reply is reported as a
// "COMM ERROR" saying `what`; a failed link returns sendRcv's result.
int acknowledged(Station& st, std::string_view command, std::string_view name, std::string_view what) {
  Exchange x = Ask(st, command, name);
  if (x.reply == Reply::LinkFailed) return x.link;
  if (x.reply == Reply::Bad) {
    st.ui->message("COMM ERROR", what);
    return -1;
  }
  return 0;
}

}  // namespace

int CountLedErrors(const double* p, int ledCount, int axes) {
  int n = 0;
  for (int i = 0; i < ledCount; ++i) {
    const double* led = p + i * axes;
    bool same = led[0] == led[1] && (axes < 3 || led[1] == led[2]);
    if (same) ++n;
  }
  return n;
}

std::string LedErrorQuestion(int count) {
  return " " + std::to_string(count) +
         " LEDs are reporting error codes \r\nClick YES to continue to ARM\r\nClick NO to STOP and use Show "
         "Current "
         "XYZ's to see which LEDs are reporting errors";
}

int Arm(Station& st) {
  Model& m = st.model;
  const bool linear = m.number(Ctl::CIRC_LIN_BUT) != 0;
  const int post = m.intValue(Ctl::TPOST);
  const int stop = linear ? m.intValue(Ctl::TSTOP) : 0;  // ms; circular mode sends 0
  Exchange x = Ask(st, CommandFrame("ARM#" + std::to_string(stop) + "#" + std::to_string(post) + "#"), "ARM");
  if (x.reply == Reply::LinkFailed) return -1;
  if (x.reply == Reply::Bad) {
    st.ui->message("COMM ERROR", "Bad Response to Arm command, Arm Aborted");
    Disarm(st);  // never leave the unit armed without the station knowing
    return -1;
  }
  if (Contains(x.first, "ERASED")) {
    st.ui->message("ERROR", "Lumvex Flash Memory not Erased, ARM Aborted");
    return -1;
  }
  if (Contains(x.first, "BAD")) {
    st.ui->message("ERROR", "Linear Buffer stop time must be greater than 0, Arm Aborted");
    return -1;
  }
  if (Contains(x.second, "BAD")) {
    st.ui->message(
        "ERROR",
        st.session.DummyType == DummyWorldSID50th
            ? "Data to collect after Trigger must be greater than 0 and less than 25000, Arm Aborted"
            : "Data to collect after Trigger must be greater than 0 and less than 30000, Arm Aborted");
    return -1;
  }
  m.setText(Ctl::STATUSBOX, "Collecting Pre-Trigger Data");
  m.setTextColour(Ctl::STATUSBOX, colour::DarkRed);
  return 0;
}

int Disarm(Station& st) { return acknowledged(st, "D#103\r\n", "D", "in disarm"); }

int Trigger(Station& st) { return acknowledged(st, "T#119\r\n", "T", "in trigger"); }

int Erase(Station& st) {
  if (writeLine(st, "ERASE#147\r\n") != 0) {
    st.ui->message("Comm Error", "in Erase, memory not erased");
    return -1;
  }
  st.model.setText(Ctl::STATUSBOX, "ERASING FLASH MEMORY");
  st.model.setTextColour(Ctl::STATUSBOX, colour::DarkRed);
  return 0;
}

int EraseStatus(Station& st) {
  st.ui->progressOpen("ERASE Status", "Percent Complete", false);
  SetLinkTimeout(st, kEraseTimeoutMs);
  bool finished = false;
  int result = pollErase(st, finished);
  st.ui->progressClose();
  SetLinkTimeout(st, kRestingTimeoutMs);
  if (finished) {
    st.model.setText(Ctl::STATUSBOX, "Connected - Idle");
    st.model.setTextColour(Ctl::STATUSBOX, colour::DarkGreen);
    DumpInfo(st);
  }
  return result;
}

int NORFLASH(Station& st) {
  return acknowledged(st, "NORFLASH#128\r\n", "NORFLASH", "in forcing NOR Flash use");
}

void ARM_BUT(Station& st) {
  Model& m = st.model;
  SessionState& s = st.session;
  if (Contains(m.label(Ctl::ARM_BUT), "DISARM")) {
    m.setLabel(Ctl::ARM_BUT, "ARM");
    Disarm(st);
    return;
  }
  if (s.triggerInvalid) {
    st.ui->message("Can Not Arm", "Fix Trigger Setting");
    return;
  }
  if (!readyOrHolding(CheckStatus(st))) return;

  std::array<double, kMaxPointValues> points{};
  int count = 0;
  getPoints(st, count, points.data());  // a failed query leaves zeros: every LED counts as in error
  const int leds = std::clamp(st.data.layout.LedCount, 0, 18);
  const int axes = std::clamp(st.data.layout.AxesPerLed, 2, 3);
  int errors = CountLedErrors(points.data(), leds, axes);
  if (errors > 0 && !st.ui->confirm("LED errors detected!", LedErrorQuestion(errors))) return;

  if (s.IsLX2 && st.ini.FuelGaugeInstalled && DoBattery(st) < 50 &&
      !st.ui->confirm(
          "BATTERY errors detected!",
          "Battery is less than 50 percent charged or reporting errors \r\nClick YES to continue to "
          "ARM\r\nClick NO to STOP and fix the battery"))
    return;

  m.setVisible(Ctl::TRIGGER_BUT, true);
  m.setDimmed(Ctl::TRIGGER_BUT, false);
  m.setLabel(Ctl::ARM_BUT, "DISARM");
  s.SoftwareTriggerOffset = 0;
  if (Arm(st) != 0) {
    m.setVisible(Ctl::TRIGGER_BUT, false);
    m.setLabel(Ctl::ARM_BUT, "ARM");
  }
}

void TRIGGER_BUT(Station& st) {
  Trigger(st);
  st.session.SoftwareTriggerOffset = 4;
}

void CIRC_LIN_BUT(Station& st) {
  if (!readyOrHolding(CheckStatus(st))) return;
  bool linear = st.model.number(Ctl::CIRC_LIN_BUT) != 0;
  st.model.setVisible(Ctl::TSTOP, linear);
  st.model.setVisible(Ctl::LIN_BUF_LABEL, linear);
}

void ERASE_BUT(Station& st) {
  constexpr char kAsk[] = "Are you sure you want to Erase memory";
  if (!st.ui->confirm("Erase Request", kAsk)) return;
  if (st.ui->twoButton("Erase Request second check", kAsk, "No", "Yes") != 2) return;
  if (!readyOrHolding(CheckStatus(st))) return;
  int r = Erase(st);
  if (r == 0) r = EraseStatus(st);
  if (r != 0) st.ui->message("ERASE FAILED", "At least one Sector didn't erase");
  int s = CheckStatus(st);
  // A reply error must not turn an open session into "disconnected"; a lost
  // link has already been closed (and the status set to -1) by the link.
  if (s >= 0) st.session.unitStatus = s;
  if (s == -2) st.session.unitStatus = StatusDisconnected;
  CtrlScreens(st);
}

void DISABLE_SD(Station& st) {
  NORFLASH(st);
  DumpInfo(st);
  st.ui->message("FLASH USE", "SD CARD Read disabled until Lumvex is Rebooted");
}

}  // namespace lumvex
