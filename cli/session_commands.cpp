// Session subcommands: connect, report the unit's status, disconnect.
#include "cli/cli.h"
#include "ui/screens.h"
#include "ui/setup_page.h"
#include "link/link.h"
#include "link/status.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace lumvex::cli {
namespace {

constexpr int kMaxComPort = 256;

// "COM3" / "com 3" / "3" -> 3; 0 when it is none of these.
int comPortNumber(std::string s) {
  if (s.size() >= 3 && (s[0] == 'C' || s[0] == 'c') && (s[1] == 'O' || s[1] == 'o') &&
      (s[2] == 'M' || s[2] == 'm'))
    s.erase(0, 3);
  while (!s.empty() && s.front() == ' ') s.erase(0, 1);
  if (s.empty() || s.size() > 3) return 0;
  for (char ch : s)
    if (ch < '0' || ch > '9') return 0;
  int n = std::atoi(s.c_str());
  return n >= 1 && n <= kMaxComPort ? n : 0;
}

int status(CliContext& c) {
  if (CliConnect(c) != 0) return 1;
  int s = c.st.session.unitStatus;
  CliDisconnect(c);
  // The first status on TCP is taken as the unit sends it; one outside the
  // table names no state and is no answer to report as a success.
  if (s < StatusReady || s > StatusDataHeld) {
    std::fprintf(stderr, "lumvex-cli: the unit reported status %d, which names no state\n", s);
    return 1;
  }
  std::string_view text = StatusText(s);
  std::printf("%d %.*s\n", s, static_cast<int>(text.size()), text.data());
  return 0;
}

}  // namespace

int CliConnect(CliContext& c) {
  Station& st = c.st;
  PhaseTimer timer(st.timings, "connect, identify");
  Model& m = st.model;
  if (c.opt.timeoutMs > 0) st.session.restingTimeoutMs = c.opt.timeoutMs;
  if (!c.opt.serial.empty()) {
    int n = comPortNumber(c.opt.serial);
    if (n == 0) {
      std::fprintf(stderr, "lumvex-cli: --serial wants COMn, not \"%s\"\n", c.opt.serial.c_str());
      return -1;
    }
    LabelComPorts(st);
    m.setIndex(Ctl::CONNECTION, 1);
    // Ports past the selector's twelve entries are still reachable from here.
    m.edit(Ctl::COMPORT).index = n - 1;
  } else {
    m.setText(Ctl::IPADDRESS, c.opt.host);
    // The port-1066 form is a third selector state, not a listed entry.
    m.edit(Ctl::CONNECTION).index = c.opt.port1066 ? 2 : 0;
  }
  m.commit(Ctl::CONNECT);
  return st.session.unitStatus >= 0 ? 0 : -1;
}

void CliDisconnect(CliContext& c) {
  PhaseTimer timer(c.st.timings, "disconnect");
  if (LinkOpen(c.st)) Disconnect(c.st);
}

void AddSessionCommands(std::vector<CliCommand>& out) {
  out.push_back(
      {"status", "status            connect, print the status number and text, disconnect", status});
}

bool ParseCliInt(std::string_view s, int& out) {
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return !s.empty() && ec == std::errc() && p == s.data() + s.size();
}

}  // namespace lumvex::cli
