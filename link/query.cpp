#include "link/query.h"

namespace lumvex {

Exchange Ask(Station& st, std::string_view command, std::string_view name, size_t secondCapacity) {
  Exchange x;
  x.line.assign(command);
  x.link = sendRcv(st, x.line);
  if (x.link != 0) {
    x.reply = Reply::LinkFailed;
    x.line.clear();
    return x;
  }
  x.reply = Parser(name, x.line, x.first, x.second, kReplyFieldCapacity, secondCapacity) == 0 ? Reply::Ok
                                                                                              : Reply::Bad;
  return x;
}

}  // namespace lumvex
