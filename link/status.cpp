#include "link/status.h"

#include "link/link.h"

#include <charconv>

namespace lumvex {

int CheckStatus(Station& st) {
  std::string buffer = CommandFrame("S#");
  int r = sendRcv(st, buffer);
  if (r != 0) return r;
  std::string first, second;
  if (Parser("S", buffer, first, second) != 0) {
    st.ui->message("COMM ERROR", "in check status");
    return -1;
  }
  int status = -1;
  auto [p, ec] = std::from_chars(first.data(), first.data() + first.size(), status);
  // A field that is no number is as unusable as one out of range.
  if (ec != std::errc() || p != first.data() + first.size()) return -1;
  return status >= StatusReady && status <= StatusDataHeld ? status : -1;
}

std::string_view StatusText(int status) {
  switch (status) {
    case StatusDisconnected:
      return "Disconnected";
    case StatusReady:
    case StatusDataHeld:
      return "Connected - Idle";
    case StatusPreTrigger:
      return "Collecting Pre-Trigger Data";
    case StatusPostTrigger:
      return "Collecting Post-Trigger Data and storing to flash";
    default:
      return "";
  }
}

uint32_t StatusColour(int status) {
  switch (status) {
    case StatusReady:
    case StatusDataHeld:
      return colour::DarkGreen;
    case StatusPreTrigger:
    case StatusPostTrigger:
      return colour::DarkRed;
    default:
      return colour::Black;
  }
}

}  // namespace lumvex
