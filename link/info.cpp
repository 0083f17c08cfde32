#include "link/info.h"

#include "link/link.h"
#include "link/query.h"
#include "platform/text.h"

#include <algorithm>
#include <ctime>

namespace lumvex {
namespace {

constexpr char kComm[] = "COMM ERROR";
constexpr int kConfigBytes = 256;
constexpr int kConfigTimeoutMs = 5000;
constexpr int kCommentTimeoutMs = 5000;
constexpr size_t kCalDateChars = 35;

// A link failure normally leaves a step without effect; once the link has been
// closed (lost, or "Disconnect" chosen) nothing further can be read, and going
// on would report an identification that never happened.
bool linkClosed(const Station& st) { return !st.session.linkHandle; }

// Shows a command's own "COMM ERROR" box; -1 for the caller to return.
int comm(Station& st, std::string_view text) {
  st.ui->message(kComm, text);
  return -1;
}

std::string untilCr(std::string_view s) { return std::string(s.substr(0, s.find('\r'))); }

void setTimeout(Station& st, int ms) { SetLinkTimeout(st, ms); }

}  // namespace

uint32_t ConfigFlags(const SessionState& s) {
  const auto& c = s.unitConfig;
  return static_cast<uint32_t>(c[56]) | static_cast<uint32_t>(c[57]) << 8 |
         static_cast<uint32_t>(c[58]) << 16 | static_cast<uint32_t>(c[59]) << 24;
}

bool DifferentialTriggerOffered(const SessionState& s, int serialValue) {
  if (serialValue < 100) return true;
  return s.IsLX2 && s.configValid && (ConfigFlags(s) & 0x20u) != 0;
}

int HighestTriggerCode(const SessionState& s, int serialValue) {
  return (serialValue < 100 || s.IsLX2) ? 3 : 1;
}

void ShowTriggerSetting(Station& st, int code, int serialValue) {
  SessionState& s = st.session;
  Model& m = st.model;
  bool valid = code >= 0 && code <= HighestTriggerCode(s, serialValue);
  std::vector<Item> items;
  if (!valid) {
    s.triggerInvalid = 1;
    st.ui->message("Invalid trigger Setting in Lumvex",
                   "Invalid Lumvex trigger setting - Reset the Lumvex Trigger");
    items.push_back({"TRIGGER NOT SET !!!!!!!!!!!!!!!!!!", "-1"});
  }
  items.push_back({"Rising Edge", "0"});
  items.push_back({"Falling Edge", "1"});
  if (DifferentialTriggerOffered(s, serialValue)) {
    items.push_back({"Differential - Rising Edge", "2"});
    items.push_back({"Differential - Falling Edge", "3"});
  }
  m.setItems(Ctl::TRIGGER_SET, std::move(items), 0);
  if (valid) {
    m.setTextColour(Ctl::TRIGGER_SET, colour::Black);
    // An accepted code that is not offered (LX2 without the differential
    // inputs reporting 2 or 3) leaves the first entry showing.
    m.selectValue(Ctl::TRIGGER_SET, std::to_string(code));
    s.TriggerSetting = code;
    s.triggerInvalid = 0;
  } else {
    m.setTextColour(Ctl::TRIGGER_SET, colour::Red);
    m.selectValue(Ctl::TRIGGER_SET, "-1");
  }
}

std::string CommentFromUnit(std::string_view field) {
  std::string t(field);
  for (char& c : t) {
    if (c == '\x03') c = '#';
    if (c == ',') c = '_';
  }
  return t;
}

std::string CommentToUnit(std::string_view text) {
  std::string t(text);
  t += '\r';
  std::replace(t.begin(), t.end(), '#', '\x03');
  return t;
}

int GetLXinfo(Station& st) {
  Model& m = st.model;
  SessionState& s = st.session;

  Exchange x = Ask(st, "WHO_ARE_YOU#164\r\n", "WHO_ARE_YOU");
  if (x.reply == Reply::Bad) return comm(st, "Communication error getting Lumvex type");
  if (x.ok()) m.setText(Ctl::LXtype, x.first);
  if (!x.ok() && linkClosed(st)) return -1;

  x = Ask(st, "SERIAL_NUMBER#11\r\n", "SERIAL_NUMBER");
  if (x.reply == Reply::Bad) return comm(st, "Communication error getting Lumvex serial number");
  if (x.ok()) {
    m.setText(Ctl::SERNUM, x.first);
    s.SerialNumberText = x.first;
  }
  if (!x.ok() && linkClosed(st)) return -1;
  // Without a fresh reply the serial number last read stands.
  int serial = FieldInt(s.SerialNumberText);

  if (GetCalDate(st, -1) < 0) return -1;
  if (linkClosed(st)) return -1;

  x = Ask(st, "FIRMWARE#128\r\n", "FIRMWARE");
  if (x.reply == Reply::Bad) return comm(st, "Communication error getting Lumvex firmware version");
  if (x.ok()) {
    m.setText(Ctl::FIRMWARE, x.first);
    s.IsLX2 = Contains(x.first, "LX2") ? 1 : 0;
  }
  if (!x.ok() && linkClosed(st)) return -1;
  if (s.IsLX2) GetConfig(st);  // the trigger offers cope with a missing block

  x = Ask(st, "GETTRIGGER#23\r\n", "GETTRIGGER");
  if (x.reply == Reply::Bad) comm(st, "Communication error getting Lumvex trigger setting");
  if (x.ok()) ShowTriggerSetting(st, FieldInt(x.first), serial);
  if (!x.ok() && linkClosed(st)) return -1;

  x = Ask(st, "GETTESTCOMMENT#86\r\n", "GETTESTCOMMENT");
  if (x.reply == Reply::Bad) return comm(st, "Communication error getting Lumvex TEST COMMENT");
  if (x.ok()) m.setText(Ctl::TESTINFO, CommentFromUnit(x.first));
  if (!x.ok() && linkClosed(st)) return -1;

  DumpInfo(st);
  if (linkClosed(st)) return -1;

  x = Ask(st, "TRIGGERCHECK#149\r\n", "TRIGGERCHECK");
  if (x.reply != Reply::LinkFailed) s.triggerCheckSupported = x.ok() ? 1 : 0;
  if (!x.ok() && linkClosed(st)) return -1;
  return 0;
}

int GetCalDate(Station& st, int side) {
  std::string cmd =
      side < 0 ? std::string("CAL_DATE#112\r\n") : CommandFrame("CAL_DATE#" + std::to_string(side) + "#");
  Exchange x = Ask(st, cmd, "CAL_DATE");
  if (x.reply == Reply::Bad) return comm(st, "Communication error getting Lumvex calibration date");
  if (x.ok()) {
    std::string date = untilCr(x.first);
    if (date.size() > kCalDateChars) date.resize(kCalDateChars);
    st.model.setText(Ctl::CALDATE, date);
    st.session.calDate = date;
  }
  return 0;
}

int GetConfig(Station& st) {
  SessionState& s = st.session;
  setTimeout(st, kConfigTimeoutMs);
  static constexpr char kCmd[] = "SENDCONFIG#3\r\n";
  int w = WriteRaw(st, kCmd, sizeof kCmd - 1);
  std::array<uint8_t, kConfigBytes> block{};
  size_t got = 0;
  if (w == 0) {
    SetLineMode(st, false);
    ReadRaw(st, block.data(), block.size(), got);
    SetLineMode(st, true);
  }
  setTimeout(st, kRestingTimeoutMs);
  if (w == 0 && got == block.size()) {
    s.unitConfig = block;
    s.configValid = 1;
    return 0;
  }
  st.ui->message("Read Error", "Could not read configuration structure");
  s.unitConfig.fill(0);
  s.configValid = 0;
  return -1;
}

int DumpInfo(Station& st) {
  Model& m = st.model;
  Exchange x = Ask(st, "DUMPINFO#133\r\n", "DUMPINFO");
  if (x.reply == Reply::Bad) return comm(st, "in dump info");
  if (!x.ok()) return 0;
  int start = FieldInt(x.first), stop = FieldInt(x.second);
  m.setText(Ctl::DATA_STRT, x.first);
  m.setText(Ctl::DATA_STOP, x.second);
  m.setNumber(Ctl::DATA_STRT, start);
  m.setNumber(Ctl::DATA_STOP, stop);
  double lo = -30000, hi = 30000;  // ms: no data held
  if (start < stop) lo = start, hi = stop;
  m.setRange(Ctl::DL_START_TIME, lo, hi);
  m.setRange(Ctl::DL_STOP_TIME, lo, hi);
  return 0;
}

int TriggerSet(Station& st) {
  int code = FieldInt(st.model.itemValue(Ctl::TRIGGER_SET));
  Exchange x = Ask(st, CommandFrame("TRIGGERSET#" + std::to_string(code) + "#"), "TRIGGERSET");
  if (x.reply == Reply::LinkFailed) return x.link;
  if (x.reply == Reply::Bad || Contains(x.first, "BAD")) return comm(st, "Error setting Lumvex Trigger");
  return 0;
}

void SetTestComment(Station& st) {
  setTimeout(st, kCommentTimeoutMs);
  std::string buf = "SETTESTCOMMENT#98\r\n";
  int r = sendRcv(st, buf);
  if (r == 0) {
    if (Contains(buf, "COMMENT")) {
      std::string line = CommentToUnit(st.model.text(Ctl::TESTINFO));
      sendRcv(st, line);  // the unit's acknowledgement says nothing more
    } else {
      comm(st, "ATD not set in Lumvex");
    }
  }
  setTimeout(st, kRestingTimeoutMs);
}

int Direction(Station& st) {
  Exchange x = Ask(st, "DIRECTION#196\r\n", "DIRECTION");
  if (x.reply == Reply::Bad) return comm(st, "Communication error getting Lumvex Direction");
  if (!x.ok()) return 0;
  bool left = Contains(x.first, "LEFT");
  st.model.selectValue(Ctl::LX_DIRECTION, left ? "LE" : "RI");
  st.session.DirectionText = left ? "Left Side" : "Right Side";
  return 0;
}

int SetTime(Station& st) {
  long long now = static_cast<long long>(std::time(nullptr));  // s since 1970-01-01 UTC
  Exchange x = Ask(st, CommandFrame("SETTIME#" + std::to_string(now) + "#"), "SETTIME");
  if (x.reply == Reply::Bad || (x.ok() && Contains(x.first, "BAD")))
    return comm(st, "Error setting Lumvex Time");
  return 0;
}

}  // namespace lumvex
