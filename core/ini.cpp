#include "core/ini.h"

#include "platform/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <new>

namespace lumvex {
namespace {

constexpr std::string_view kContinuation = " Line";
constexpr size_t kCounterDigits = 4;
constexpr size_t kWriteChunk = 16 * 1024;  // bytes handed to one write

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Case-insensitive three-way comparison of ASCII names.
int compareNames(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    char x = lower(a[i]), y = lower(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool sameName(std::string_view a, std::string_view b) { return compareNames(a, b) == 0; }

int fromErrno(int e) {
  switch (e) {
    case EACCES:
    case EPERM:
    case EROFS:
      return kIniAccessDenied;
    case ENOMEM:
      return kIniOutOfMemory;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kIniDiskFull;
    default:
      return kIniIoError;
  }
}

// Finds by halving when the store is sorted, else by walking the list.
template <typename Vec, typename Key>
auto findNamed(Vec& v, std::string_view name, bool sorted, Key key) -> decltype(v.data()) {
  if (sorted) {
    auto it = std::lower_bound(v.begin(), v.end(), name, [&](const auto& e, std::string_view n) {
      return compareNames(key(e), n) < 0;
    });
    return (it != v.end() && sameName(key(*it), name)) ? &*it : nullptr;
  }
  for (auto& e : v)
    if (sameName(key(e), name)) return &e;
  return nullptr;
}

const std::string& sectionName(const IniSection& s) { return s.name; }
const std::string& itemTag(const IniItem& i) { return i.tag; }

const IniItem* findItem(const IniText& ini, std::string_view section, std::string_view tag) {
  const IniSection* s = findNamed(ini.sections, section, ini.autoSort, sectionName);
  return s ? findNamed(s->items, tag, ini.autoSort, itemTag) : nullptr;
}

void setValue(IniItem& item, std::string_view raw) {
  item.quoted = raw.size() >= 2 && raw.front() == '"' && raw.back() == '"';
  item.value = item.quoted ? raw.substr(1, raw.size() - 2) : raw;
}

std::string rawValue(const IniItem& item) { return item.quoted ? "\"" + item.value + "\"" : item.value; }

// Counter n of a piece tag "base Line%04d", 0 when the tag is no piece.
int pieceCounter(std::string_view tag, std::string_view& base) {
  if (tag.size() <= kContinuation.size() + kCounterDigits) return 0;
  std::string_view digits = tag.substr(tag.size() - kCounterDigits);
  std::string_view word =
      tag.substr(tag.size() - kCounterDigits - kContinuation.size(), kContinuation.size());
  if (!sameName(word, kContinuation)) return 0;
  int n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  base = tag.substr(0, tag.size() - kCounterDigits - kContinuation.size());
  // A tag never ends in a blank, so "tag  Line0001" is no piece of "tag " (a
  // joined item under that name could be neither looked up nor written back).
  if (isBlank(base.back())) return 0;
  return n;
}

std::string pieceTag(std::string_view base, int n) {
  char counter[16];
  std::snprintf(counter, sizeof counter, "%04d", n);
  return std::string(base) + std::string(kContinuation) + counter;
}

// Joins "tag Line0001", "tag Line0002", ... into one item "tag" in counter
// order. The joining stops at the first missing counter; a plain item of the
// base tag keeps its value and its pieces stay ordinary items.
void joinPieces(IniSection& sec) {
  for (size_t i = 0; i < sec.items.size(); ++i) {
    std::string_view baseView;
    if (pieceCounter(sec.items[i].tag, baseView) != 1) continue;
    std::string base(baseView);
    if (findNamed(sec.items, base, false, itemTag)) continue;
    std::vector<size_t> pieces{i};
    for (int n = 2;; ++n) {
      std::string t = pieceTag(base, n);
      auto it = std::find_if(sec.items.begin(), sec.items.end(),
                             [&](const IniItem& e) { return sameName(e.tag, t); });
      if (it == sec.items.end()) break;
      pieces.push_back(static_cast<size_t>(it - sec.items.begin()));
    }
    // Each piece of a quoted value carries its own quotes, so that blanks at
    // the cuts survive; a file whose quotes enclose the whole joined value is
    // read as well.
    bool allQuoted = std::all_of(pieces.begin(), pieces.end(), [&](size_t p) { return sec.items[p].quoted; });
    std::string joined;
    for (size_t p : pieces) joined += allQuoted ? sec.items[p].value : rawValue(sec.items[p]);
    IniItem& first = sec.items[i];
    first.tag = base;
    if (allQuoted) {
      first.value = std::move(joined);
      first.quoted = true;
    } else {
      setValue(first, joined);
    }
    std::sort(pieces.begin() + 1, pieces.end(), std::greater<>());
    size_t erasedBefore = 0;
    for (size_t k = 1; k < pieces.size(); ++k) {
      sec.items.erase(sec.items.begin() + static_cast<std::ptrdiff_t>(pieces[k]));
      if (pieces[k] < i) ++erasedBefore;
    }
    i -= erasedBefore;  // the joined item moved up by the pieces erased before it
  }
}

// A tag written twice in a section names one item: the first, which is the
// one every look-up finds. Later lines of the same tag are dropped (their
// comments move to the item kept), so that a rewrite cannot turn them into
// pieces or items that read back differently.
void dropRepeatedTags(IniSection& sec) {
  std::vector<IniItem> kept;
  kept.reserve(sec.items.size());
  std::vector<std::string> seen;  // lower-case tags, sorted
  for (auto& item : sec.items) {
    std::string key = item.tag;
    for (char& c : key) c = lower(c);
    auto at = std::lower_bound(seen.begin(), seen.end(), key);
    if (at != seen.end() && *at == key) {
      auto first =
          std::find_if(kept.begin(), kept.end(), [&](const IniItem& k) { return sameName(k.tag, item.tag); });
      for (auto& c : item.comments) first->comments.push_back(std::move(c));
      continue;
    }
    seen.insert(at, std::move(key));
    kept.push_back(std::move(item));
  }
  sec.items = std::move(kept);
}

void sortStore(IniText& ini) {
  auto bySection = [](const IniSection& a, const IniSection& b) { return compareNames(a.name, b.name) < 0; };
  auto byTag = [](const IniItem& a, const IniItem& b) { return compareNames(a.tag, b.tag) < 0; };
  std::stable_sort(ini.sections.begin(), ini.sections.end(), bySection);
  for (auto& s : ini.sections) std::stable_sort(s.items.begin(), s.items.end(), byTag);
}

// Reads the whole file; 0 or a negative result.
int slurp(const std::string& path, std::string& out) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return errno == ENOENT ? kIniFileNotFound : fromErrno(errno);
  char buf[8192];
  int rc = 0;
  for (;;) {
    size_t n = std::fread(buf, 1, sizeof buf, f);
    out.append(buf, n);
    if (n < sizeof buf) {
      if (std::ferror(f)) rc = fromErrno(errno);
      break;
    }
  }
  std::fclose(f);
  return rc;
}

void parseLine(IniText& ini, std::string_view line, IniSection*& current, std::vector<std::string>& pending) {
  while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
  if (line.empty()) return;
  if (line.front() == ';') {
    pending.emplace_back(line);
    return;
  }
  if (line.front() == '[') {
    std::string_view t = trim(line);
    if (t.size() < 2 || t.back() != ']') return;  // text after the bracket: an ordinary line
    std::string_view name = trim(t.substr(1, t.size() - 2));
    // A section written twice is one section: its items are gathered.
    current = findNamed(ini.sections, name, false, sectionName);
    if (!current) {
      ini.sections.push_back({std::string(name), {}, {}});
      current = &ini.sections.back();
    }
    for (auto& c : pending) current->comments.push_back(std::move(c));
    pending.clear();
    return;
  }
  size_t eq = line.find('=');
  if (!current || eq == std::string_view::npos) return;
  std::string_view tag = trim(line.substr(0, eq));
  if (tag.empty()) return;
  IniItem item;
  item.tag = tag;
  setValue(item, trim(line.substr(eq + 1)));
  item.comments = std::move(pending);
  pending.clear();
  current->items.push_back(std::move(item));
}

int parseText(IniText& ini, std::string_view text) {
  if (text.size() >= 2 &&
      ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF')))
    return kIniBadEncoding;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  IniSection* current = nullptr;
  std::vector<std::string> pending;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // An over-long line is cut, never taken up again as a line of its own.
    if (line.size() > kIniMaxLineBytes) line = line.substr(0, kIniMaxLineBytes);
    // `current` stays valid: the list only grows when a new section becomes current.
    parseLine(ini, line, current, pending);
  }
  for (auto& c : pending) ini.trailingComments.push_back(std::move(c));
  for (auto& s : ini.sections) {
    dropRepeatedTags(s);
    joinPieces(s);
  }
  if (ini.autoSort) sortStore(ini);
  return 0;
}

bool validName(std::string_view name) {
  return !name.empty() && trim(name) == name && name.find_first_of("\r\n") == std::string_view::npos;
}

int put(IniText& ini, std::string_view section, std::string_view tag, std::string_view value, bool quoted) {
  if (!validName(section) || !validName(tag) || tag.find('=') != std::string_view::npos ||
      section.front() == ';' || tag.front() == ';' || tag.front() == '[' ||
      value.find_first_of("\r\n") != std::string_view::npos)
    return kIniInvalidArgument;
  try {
    IniSection* s = findNamed(ini.sections, section, ini.autoSort, sectionName);
    if (!s) {
      auto at = ini.sections.end();
      if (ini.autoSort)
        at = std::upper_bound(
            ini.sections.begin(), ini.sections.end(), section,
            [](std::string_view n, const IniSection& e) { return compareNames(n, e.name) < 0; });
      s = &*ini.sections.insert(at, IniSection{std::string(section), {}, {}});
    }
    IniItem* it = findNamed(s->items, tag, ini.autoSort, itemTag);
    if (!it) {
      auto at = s->items.end();
      if (ini.autoSort)
        at =
            std::upper_bound(s->items.begin(), s->items.end(), tag,
                             [](std::string_view n, const IniItem& e) { return compareNames(n, e.tag) < 0; });
      it = &*s->items.insert(at, IniItem{std::string(tag), {}, false, {}});
    }
    it->value.assign(value);
    it->quoted = quoted;
  } catch (const std::bad_alloc&) {
    return kIniOutOfMemory;
  }
  return 0;
}

void addLine(std::string& out, std::string_view line) {
  out += line;
  out += "\r\n";
}

void formatItem(std::string& out, const IniItem& item) {
  for (const auto& c : item.comments) addLine(out, c);
  const std::string& v = item.value;
  if (v.size() <= kIniMaxValueLine) {
    addLine(out, item.tag + " = " + rawValue(item));
    return;
  }
  // Blanks at a cut would be lost to the reader's trimming, so such a value is
  // written with every piece quoted; its text reads back the same.
  bool quote = item.quoted;
  for (size_t at = kIniMaxValueLine; at < v.size() && !quote; at += kIniMaxValueLine)
    quote = isBlank(v[at - 1]) || isBlank(v[at]);
  int n = 1;
  for (size_t at = 0; at < v.size(); at += kIniMaxValueLine, ++n) {
    std::string piece = v.substr(at, kIniMaxValueLine);
    addLine(out, pieceTag(item.tag, n) + " = " + (quote ? "\"" + piece + "\"" : piece));
  }
}

int systemWritable(const char* path) {
  struct stat st {};
  if (::stat(path, &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return -1;
    }
    if (::access(path, W_OK) != 0) return -1;
  }
  std::string folder = pathFolder(path);
  return ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK);
}

int systemCreate(const char* path) {
  return ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
}

long systemWrite(int fd, const void* data, size_t n) {
  long r;
  do r = ::write(fd, data, n);
  while (r < 0 && errno == EINTR);
  return r;
}

int systemClose(int fd) {
  int rc = ::fsync(fd);
  int e = errno;
  if (::close(fd) != 0) return -1;
  errno = e;
  return rc;
}

// Writes all of text to fd; 0 or -1 with errno set.
int writeAll(const IniFileOps& ops, int fd, std::string_view text) {
  while (!text.empty()) {
    size_t n = std::min(text.size(), kWriteChunk);
    long w = ops.write(fd, text.data(), n);
    if (w <= 0) {
      if (w == 0) errno = ENOSPC;  // no progress: the disk takes nothing more
      return -1;
    }
    text.remove_prefix(static_cast<size_t>(w));
  }
  return 0;
}

}  // namespace

IniHandle Ini_New(int autoSort) {
  IniHandle ini(new (std::nothrow) IniText);
  if (ini) ini->autoSort = autoSort != 0;
  return ini;
}

void Ini_Dispose(IniHandle& ini) { ini.reset(); }

int Ini_ReadFromFile(IniText& ini, const std::string& path) {
  try {
    std::string text;
    int rc = slurp(path, text);
    if (rc < 0) return rc;
    return parseText(ini, text);
  } catch (const std::bad_alloc&) {
    return kIniOutOfMemory;
  }
}

int Ini_ReadFromText(IniText& ini, std::string_view text) {
  try {
    return parseText(ini, text);
  } catch (const std::bad_alloc&) {
    return kIniOutOfMemory;
  }
}

int Ini_GetInt(const IniText& ini, std::string_view section, std::string_view tag, int* value) {
  const IniItem* item = findItem(ini, section, tag);
  if (!item) return 0;
  std::string_view v = trim(item->value);
  if (v.empty()) return 0;
  // from_chars takes a '-' but no '+'
  if (v.front() == '+') {
    v.remove_prefix(1);
    if (v.empty() || v.front() < '0' || v.front() > '9') return kIniInvalidInteger;
  }
  int n = 0;
  auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n, 10);
  if (ec != std::errc() || end != v.data() + v.size()) return kIniInvalidInteger;
  if (value) *value = n;
  return 1;
}

int Ini_GetStringIntoBuffer(const IniText& ini, std::string_view section, std::string_view tag, char* buffer,
                            int size) {
  if (!buffer || size < 1) return kIniInvalidArgument;
  const IniItem* item = findItem(ini, section, tag);
  if (!item) {
    buffer[0] = '\0';
    return 0;
  }
  size_t n = std::min(item->value.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, item->value.data(), n);
  buffer[n] = '\0';
  return 1;
}

int Ini_PutInt(IniText& ini, std::string_view section, std::string_view tag, int value) {
  char digits[16];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
  (void)ec;
  return put(ini, section, tag, std::string_view(digits, static_cast<size_t>(end - digits)), false);
}

int Ini_PutString(IniText& ini, std::string_view section, std::string_view tag, std::string_view text) {
  return put(ini, section, tag, text, true);
}

std::string Ini_FormatText(const IniText& ini) {
  std::string out;
  for (const auto& s : ini.sections) {
    for (const auto& c : s.comments) addLine(out, c);
    addLine(out, "[" + s.name + "]");
    for (const auto& item : s.items) formatItem(out, item);
    addLine(out, "");
  }
  for (const auto& c : ini.trailingComments) addLine(out, c);
  return out;
}

const IniFileOps& Ini_SystemFileOps() {
  static const IniFileOps ops{systemWritable, systemCreate, systemWrite, systemClose};
  return ops;
}

int Ini_WriteToFile(const IniText& ini, const std::string& path, const IniFileOps& ops) {
  if (path.empty()) return kIniInvalidArgument;
  if (ops.writable(path.c_str()) != 0) return fromErrno(errno);
  std::string text, temp;
  try {
    text = Ini_FormatText(ini);
    temp = pathJoin(pathFolder(path), kIniTempFileName);
  } catch (const std::bad_alloc&) {
    return kIniOutOfMemory;
  }
  int fd = ops.create(temp.c_str());
  if (fd < 0) return fromErrno(errno);
  if (writeAll(ops, fd, text) != 0) {
    int e = errno;
    ops.close(fd);
    ::unlink(temp.c_str());
    return fromErrno(e);
  }
  if (ops.close(fd) != 0) {
    int e = errno;
    ::unlink(temp.c_str());
    return fromErrno(e);
  }
  // rename replaces the old file in one step: there is no moment without it.
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    int e = errno;
    ::unlink(temp.c_str());
    return fromErrno(e);
  }
  return 0;
}

}  // namespace lumvex
