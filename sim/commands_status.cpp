// Status and recording cycle of the simulated unit: status query, arm,
// disarm, software trigger, erase and its progress query.
#include "sim/commands.h"

#include <cstdlib>
#include <string>

namespace lumvex::sim {
namespace {

int argInt(const Request& r, size_t i, bool& ok) {
  if (i >= r.args.size() || r.args[i].empty()) {
    ok = false;
    return 0;
  }
  char* end = nullptr;
  long v = std::strtol(r.args[i].c_str(), &end, 10);
  if (*end != '\0') ok = false;
  return static_cast<int>(v);
}

void status(Exchange& x) { x.reply({std::to_string(x.unit.status)}); }

void arm(Exchange& x) {
  bool ok = true;
  int stop = argInt(x.req, 0, ok);
  bool postOk = true;
  int post = argInt(x.req, 1, postOk);
  std::string first, second;
  ArmUnit(x.unit, ok ? stop : -1, postOk ? post : -1, x.now, first, second);
  x.reply({first, second});
}

void disarm(Exchange& x) {
  DisarmUnit(x.unit);
  x.reply();
}

void trigger(Exchange& x) {
  TriggerUnit(x.unit, x.now);
  x.reply();
}

// ERASE is answered only when the erase has finished (before an E reply).
void erase(Exchange& x) {
  if (x.unit.status == 1 || x.unit.status == 2) {
    // Recording: nothing is erased, the unit reports every sector as failed.
    x.unit.eraseReplyDue = true;
    x.unit.eraseReported = x.unit.eraseSectors;
    return;
  }
  StartErase(x.unit, x.now);
}

void eraseProgress(Exchange& x) {
  UnitState& u = x.unit;
  int total = u.eraseSectors;
  if (u.eraseReplyDue) {
    u.eraseReplyDue = false;
    x.replyAs("ERASE", {std::to_string(u.eraseReported)});
    x.reply({std::to_string(total), std::to_string(total)});
    return;
  }
  if (!u.erasing) {
    x.reply({"0", "0"});
    return;
  }
  using std::chrono::duration_cast;
  using std::chrono::milliseconds;
  long elapsed = duration_cast<milliseconds>(x.now - u.eraseStartedAt).count();
  long done = u.eraseMs > 0 ? elapsed * total / u.eraseMs : total;
  if (done >= total) done = total - 1;
  x.reply({std::to_string(done), std::to_string(total)});
}

}  // namespace

void RegisterStatusCommands(CommandTable& t) {
  t.add("S", status);
  t.add("ARM", arm);
  t.add("D", disarm);
  t.add("T", trigger);
  t.add("ERASE", erase);
  t.add("E", eraseProgress);
}

}  // namespace lumvex::sim
