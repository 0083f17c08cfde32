// One command and its parsed reply, the pattern every command operation of the
// station follows (frame, sendRcv, Parser, then the fields), and the C-style
// readings of reply fields as numbers that the unit's texts call for.
#pragma once

#include "core/station.h"
#include "link/link.h"

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

// The leading decimal integer of a text as C's atoi reads it (white space,
// sign, digits; 0 when there is none). Saturates instead of overflowing.
int FieldInt(std::string_view text);
// A decimal floating-point number at `pos` as strtod reads it (leading white
// space, sign, fraction, exponent). On success advances pos past it.
bool FieldDouble(std::string_view text, size_t& pos, double& out);
// Reads n numbers from a list in which every number is followed by exactly one
// separator character. A value that cannot be read is 0; the reading never
// goes past the end of the text.
void ReadNumberList(std::string_view text, double* out, int n);

inline bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace lumvex
