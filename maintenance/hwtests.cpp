#include "maintenance/hwtests.h"

#include "link/link.h"
#include "link/query.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace lumvex {
namespace {

constexpr char kCommError[] = "COMM ERROR";

// One exchange whose parse failure shows its text; false when it failed.
bool ask(Station& st, std::string_view command, std::string_view name, std::string_view failure,
         Exchange& x) {
  x = Ask(st, command, name);
  if (x.reply == Reply::Bad) st.ui->message(kCommError, failure);
  return x.ok();
}

std::string withArgs(std::string_view name, int a) {
  return CommandFrame(std::string(name) + "#" + std::to_string(a) + "#");
}

// A command that needs a longer read time-out than the resting one.
template <typename Fn>
auto withTimeout(Station& st, int ms, Fn fn) {
  SetLinkTimeout(st, ms);
  auto r = fn();
  SetLinkTimeout(st, kRestingTimeoutMs);
  return r;
}

// An integer at `pos` as atoi reads it, then the one separator after it; 0
// when none starts there (the separator is still passed). Never reads past
// the end.
int nextReading(std::string_view text, size_t& pos) {
  auto digit = [&](size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
  size_t i = pos;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  const size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const size_t digits = i;
  while (digit(i)) ++i;
  int v = 0;
  if (i > digits) {
    v = FieldInt(text.substr(start, i - start));
    pos = i;
  }
  if (pos < text.size()) ++pos;
  return v;
}

}  // namespace

uint32_t FieldWord32(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint64_t v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + static_cast<uint64_t>(text[i] - '0');
    if (v > 0xFFFFFFFFu) return 0xFFFFFFFFu;
  }
  uint32_t w = static_cast<uint32_t>(v);
  return negative ? 0u - w : w;
}

int GetIO(Station& st) {
  Exchange x;
  if (!ask(st, "GETIO#155\r\n", "GETIO", "Error getting io info from the Lumvex", x)) return -1;
  return static_cast<int>(static_cast<uint16_t>(FieldInt(x.first)));
}

int SetOutputs(Station& st, int bits) {
  Exchange x;
  return ask(st, withArgs("SETOUTPUTS", bits), "SETOUTPUTS", "Error setting Lumvex outputs", x) ? 0 : -1;
}

int ClearOutputs(Station& st, int bits) {
  Exchange x;
  return ask(st, withArgs("CLEAROUTPUTS", bits), "CLEAROUTPUTS", "Error setting Lumvex outputs", x) ? 0 : -1;
}

int ManualArmCtrl(Station& st, int enable) {
  Exchange x;
  return ask(st, withArgs("MANARMENABLE", enable), "MANARMENABLE", "Error setting Lumvex Manual Arm control",
             x)
             ? 0
             : -1;
}

int LedAD(Station& st, int led, int drive, int count, int* readings) {
  count = std::clamp(count, 0, kMaxLedReadings);
  Exchange x;
  std::string cmd = "LEDAD#" + std::to_string(led) + "#" + std::to_string(drive) + "#";
  if (!ask(st, CommandFrame(cmd), "LEDAD", "Error in Led A/D routine", x)) return -1;
  ParseLedReadings(x.first, count, readings);
  return 0;
}

void ParseLedReadings(std::string_view field, int count, int* readings) {
  size_t pos = 0;
  for (int k = 0; k < count; ++k) readings[k] = nextReading(field, pos);
}

int CheckTemperatures(Station& st, std::string& text) {
  Exchange x;
  bool ok = ask(st, "TEMPERATURES#196\r\n", "TEMPERATURES", "in check temperature", x);
  text = ok ? x.first : std::string();
  return ok ? 0 : -1;
}

int RamTest(Station& st) {
  Exchange x = withTimeout(st, kRamTestTimeoutMs, [&] {
    Exchange r;
    ask(st, "RAMTEST#67\r\n", "RAMTEST", "Error getting ram test result from the Lumvex", r);
    return r;
  });
  return x.ok() ? static_cast<int>(FieldWord32(x.first)) : -1;
}

int FlashTest(Station& st, bool* failed) {
  Exchange x = withTimeout(st, kFlashTestTimeoutMs, [&] {
    Exchange r;
    ask(st, "FLASHTEST#209\r\n", "FLASHTEST", "Error getting flash test result from the Lumvex", r);
    return r;
  });
  const bool bad = !x.ok() || FieldInt(x.first) != 0;
  if (failed) *failed = bad;
  if (!x.ok()) return -1;
  return bad ? static_cast<int>(FieldWord32(x.second)) : 0;
}

int SDCardTest(Station& st) {
  Exchange x = withTimeout(st, kSdCardTestTimeoutMs, [&] {
    Exchange r;
    ask(st, "SDCARDTEST#20\r\n", "SDCARDTEST", "Error getting SD Card test result from the Lumvex", r);
    return r;
  });
  return x.ok() ? FieldInt(x.first) : -1;
}

int ArmTrigger(Station& st) {
  Exchange x;
  return ask(st, "ARMTRIGGER#23\r\n", "ARMTRIGGER", "in ArmTrigger", x) ? 0 : -1;
}

int CheckTrigger(Station& st) {
  Exchange x;
  if (!ask(st, "TRIGGERCHECK#149\r\n", "TRIGGERCHECK", "in check trigger", x)) return 0;
  return FieldInt(x.first);
}

std::string_view SdCardResultText(int code) {
  switch (code) {
    case -1:
      return "Bad check response from Lumvex";
    case kSdCardOk:
      return "SD Card is OK";
    case kSdStatusCheckFailed:
      return "Failed Status Check ";
    case kSdBlockEraseFailed:
      return "Block Erase Failed";
    case kSdBlockWriteFailed:
      return "Block Write Failed";
    case kSdBlockReadFailed:
      return "Block Read Failed";
    default:
      return {};
  }
}

namespace {

// "%X" of the result's 32 bits: a failed exchange, -1, shows as FFFFFFFF.
std::string failedAt(const char* what, int address) {
  char text[64];
  std::snprintf(text, sizeof text, "%s Failed at address %X", what, static_cast<unsigned>(address));
  return text;
}

int show(Station& st, const TestBox& box) {
  if (!box.text.empty()) st.ui->message(box.title, box.text);
  return box.good ? 0 : -1;
}

}  // namespace

TestBox RamCheckResult(Station& st) {
  const int r = RamTest(st);
  if (r == 0) return {"Ram Check", "Ram is OK", true, 0};
  return {"Ram Check", failedAt("Ram", r), false, r};
}

TestBox FlashCheckResult(Station& st) {
  bool failed = false;
  const int r = FlashTest(st, &failed);
  if (!failed) return {"Flash Check", "Flash is OK", true, 0};
  return {"Flash Check", failedAt("Flash", r), false, r};
}

TestBox SdCardCheckResult(Station& st) {
  const int code = SDCardTest(st);
  return {"SD Card Check", std::string(SdCardResultText(code)), code == kSdCardOk, code};
}

int RamCheck(Station& st) { return show(st, RamCheckResult(st)); }
int FlashCheck(Station& st) { return show(st, FlashCheckResult(st)); }
int SdCardCheck(Station& st) { return show(st, SdCardCheckResult(st)); }

}  // namespace lumvex
