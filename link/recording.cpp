#include "link/recording.h"

#include "link/info.h"
#include "link/link.h"
#include "link/positions.h"
#include "link/query.h"
#include "link/status.h"

#include <algorithm>
#include <array>

namespace lumvex {
namespace {

constexpr int kEraseTimeoutMs = 10000;
constexpr int kErasePollMs = 1000;
constexpr size_t kEraseLineMax = 126;  // bytes

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

}  // namespace lumvex
