// One command and its parsed reply, the pattern every command operation of the
// station follows (frame, sendRcv, Parser, then the fields); the fields are
// read with the text helpers of platform/text.h.
#pragma once

#include "core/station.h"
#include "link/link.h"
#include "platform/text.h"

#include <string>
#include <string_view>

namespace lumvex {

enum class Reply {
  Ok,          // sent, answered and well formed
  LinkFailed,  // sendRcv failed; the operator has already been told
  Bad,         // answered, but the reply failed Parser
};

struct Exchange {
  Reply reply = Reply::LinkFailed;
  int link = 0;        // sendRcv's result (0, -1, -2)
  std::string line;    // the reply line as received
  std::string first;   // data field 1
  std::string second;  // data field 2
  bool ok() const { return reply == Reply::Ok; }
};

// Sends a complete command line and parses the reply with `name`.
Exchange Ask(Station& st, std::string_view command, std::string_view name,
             size_t secondCapacity = kReplyFieldCapacity);

}  // namespace lumvex
