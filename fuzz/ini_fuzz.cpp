// Fuzz target: the INI store reading arbitrary bytes. Every item read must be
// found again by its section and tag, look-ups must stay inside their buffers,
// and what the store writes must read back to the same text.
#include "core/ini.h"
#include "fuzz/fuzz_check.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using namespace lumvex;

// Lines are cut at the reader's limit, so a text whose lines grow near it when
// written (" = " and quotes added) need not read back the same.
bool namesWellBelowLineLimit(const IniText& ini) {
  constexpr size_t kRoom = kIniMaxLineBytes - kIniMaxValueLine - 32;
  for (const auto& s : ini.sections) {
    if (s.name.size() > kRoom) return false;
    for (const auto& it : s.items)
      if (it.tag.size() > kRoom ||
          (it.value.size() <= kIniMaxValueLine && it.tag.size() + it.value.size() > kRoom))
        return false;
  }
  return true;
}

// "tag Line0003" left over beside a long "tag" (a gap in the counters, or a
// plain item of the base tag) cannot be told from a piece once "tag" is
// written in pieces again: such tags are reserved for the pieces.
bool hasPieceLikeTag(const IniText& ini) {
  for (const auto& s : ini.sections)
    for (const auto& it : s.items) {
      const std::string& t = it.tag;
      if (t.size() < 9) continue;
      std::string_view tail(t.data() + t.size() - 9, 9);
      bool digits = true;
      for (char c : tail.substr(5)) digits = digits && c >= '0' && c <= '9';
      std::string word(tail.substr(0, 5));
      for (char& c : word) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
      if (digits && word == " line") return true;
    }
  return false;
}

void checkLookups(const IniText& ini) {
  for (const auto& s : ini.sections)
    for (const auto& it : s.items) {
      int value = 0;
      int r = Ini_GetInt(ini, s.name, it.tag, &value);
      FUZZ_CHECK(r == 0 || r == 1 || r == kIniInvalidInteger);
      char small[11];
      std::memset(small, 'x', sizeof small);
      FUZZ_CHECK(Ini_GetStringIntoBuffer(ini, s.name, it.tag, small, sizeof small) == 1);
      FUZZ_CHECK(std::memchr(small, '\0', sizeof small) != nullptr);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), data ? size : 0);
  IniHandle ini = Ini_New(1);
  FUZZ_CHECK(ini != nullptr);
  int rc = Ini_ReadFromText(*ini, text);
  FUZZ_CHECK(rc == 0 || rc == kIniBadEncoding);
  if (rc != 0) return 0;
  checkLookups(*ini);

  // The store takes a new value under a name it already holds and under a new one.
  if (!ini->sections.empty() && !ini->sections.front().items.empty()) {
    const IniSection& s = ini->sections.front();
    std::string section = s.name, tag = s.items.front().tag;
    if (Ini_PutInt(*ini, section, tag, -2147483647 - 1) == 0) {
      int v = 0;
      FUZZ_CHECK(Ini_GetInt(*ini, section, tag, &v) == 1 && v == -2147483647 - 1);
    }
  }
  FUZZ_CHECK(Ini_PutString(*ini, "Fuzz", "Added", text.substr(0, text.find_first_of("\r\n"))) == 0);

  if (!namesWellBelowLineLimit(*ini) || hasPieceLikeTag(*ini)) return 0;
  std::string once = Ini_FormatText(*ini);
  IniHandle again = Ini_New(1);
  FUZZ_CHECK(Ini_ReadFromText(*again, once) == 0);
  FUZZ_CHECK(Ini_FormatText(*again) == once);
  return 0;
}
