#include "files/textin.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

namespace lumvex {
namespace {

// A number (or line) may make the buffer grow up to this; a longer one is cut
// there. No file of the station comes anywhere near it.
constexpr size_t kMaxBuffer = size_t{64} << 20;  // bytes

inline bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
inline char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c; }
inline bool isXDigit(char c) {
  const char l = lower(c);
  return isDigit(c) || (l >= 'a' && l <= 'f');
}

// The bytes that end a line's run of plain characters: CR, LF and any byte
// with its top bit set (one look-up a byte instead of three tests).
constexpr std::array<bool, 256> kEndsRun = [] {
  std::array<bool, 256> t{};
  t['\r'] = t['\n'] = true;
  for (size_t c = 0x80; c < t.size(); ++c) t[c] = true;
  return t;
}();

constexpr float kPow10[11] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
constexpr uint64_t kExactMantissa = uint64_t{1} << 24;  // every integer up to it is a float

// strtof in the C locale, on a terminated copy: the rare numbers the quick
// conversion leaves (a result beyond the float range, or one that rounds
// below its smallest subnormal) get exactly the value the C library gives.
float strtofC(const char* b, const char* e) {
  std::string s(b, e);
  locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  const float v = c ? strtof_l(s.c_str(), nullptr, c) : std::strtof(s.c_str(), nullptr);
  if (c) freelocale(c);
  return v;
}

// The value of the characters [b, e) that scanf took after the sign: strtof
// reads their longest prefix that makes a number. False when none does.
bool convert(const char* b, const char* e, bool hex, float& out) {
  const char* first = hex ? b + 2 : b;
  float v = 0;
  auto [ptr, ec] = std::from_chars(first, e, v, hex ? std::chars_format::hex : std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    v = strtofC(b, e);
  } else if (ec != std::errc() || ptr == first) {
    if (!hex) return false;
    v = 0;  // "0x" without a digit: strtof reads the "0"
  }
  out = v;
  return true;
}

// The numbers the station writes ("-12.34", "1.234568E+01"): an optional
// '-', digits, an optional fraction and exponent, ended by a character that
// cannot continue a number. Exact when the digits make an integer a float
// holds and the power of ten is within 10^-10 to 10^10. False (nothing
// taken) for anything else.
[[gnu::always_inline]] inline bool quickFloat(const char*& p, const char* end, float& out) {
  const char* q = p;
  const bool negative = q < end && *q == '-';
  if (negative) ++q;
  const char* first = q;
  uint64_t mantissa = 0;
  while (q < end && static_cast<unsigned>(*q - '0') < 10 && q - first < 18)
    mantissa = mantissa * 10 + static_cast<uint64_t>(*q++ - '0');
  const ptrdiff_t whole = q - first;
  int fraction = 0;
  if (whole == 0 || q == end) return false;
  if (*q == '.') {
    const char* dot = ++q;
    while (q < end && static_cast<unsigned>(*q - '0') < 10 && q - first < 19)
      mantissa = mantissa * 10 + static_cast<uint64_t>(*q++ - '0');
    fraction = static_cast<int>(q - dot);
    if (q == end) return false;
  }
  int e10 = -fraction;
  if (*q == 'E' || *q == 'e') {
    // Only a complete exponent of one to three digits; "1e" and "1e+" are
    // left to the full scan.
    const char* e = q + 1;
    if (e == end) return false;
    const bool minus = *e == '-';
    if (*e == '-' || *e == '+') ++e;
    int exponent = 0;
    const char* digits = e;
    while (e < end && static_cast<unsigned>(*e - '0') < 10 && e - digits < 4)
      exponent = exponent * 10 + (*e++ - '0');
    if (e == digits || e - digits > 3 || e == end) return false;
    e10 += minus ? -exponent : exponent;
    q = e;
  }
  const char next = *q;
  if (isDigit(next) || next == '.' || next == 'e' || next == 'E' || next == 'x' || next == 'X')
    return false;  // more of a number than the quick form
  if (mantissa > kExactMantissa || e10 < -10 || e10 > 10) return false;
  // Both factors are exact floats, so one rounding gives the correctly
  // rounded value, which is what strtof returns.
  const float m = static_cast<float>(mantissa);
  const float v = e10 < 0 ? m / kPow10[-e10] : m * kPow10[e10];
  out = negative ? -v : v;
  p = q;
  return true;
}

[[gnu::always_inline]] inline ScanResult scanFloat(const char*& p, const char* end, bool final, float& out) {
  const ScanResult short_ = final ? ScanResult::Fail : ScanResult::More;
  const char* q = p;
  while (q < end && isSpace(*q)) ++q;
  if (q == end) return short_;
  if (quickFloat(q, end, out)) {
    p = q;
    return ScanResult::Ok;
  }
  bool negative = false;
  if (*q == '-' || *q == '+') {
    negative = *q == '-';
    if (++q == end) return short_;
  }
  const char c = lower(*q);
  if (c == 'n' || c == 'i') {
    // "nan", "inf" and "infinity": once begun they must be complete.
    const char* word = c == 'n' ? "nan" : "infinity";
    const int letters = c == 'n' ? 3 : 8;
    for (int k = 0; k < letters; ++k, ++q) {
      if (q == end) {
        if (k == 3 && final) break;  // "inf" at the very end
        return short_;
      }
      if (lower(*q) != word[k]) {
        if (k == 3) break;  // "inf" followed by something else
        return ScanResult::Fail;
      }
    }
    const float v =
        c == 'n' ? std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::infinity();
    out = negative ? -v : v;
    p = q;
    return ScanResult::Ok;
  }

  const char* start = q;  // after the sign
  bool hex = false, gotDigit = false, gotDot = false, gotE = false;
  char expChar = 'e';
  if (*q == '0') {
    ++q;
    if (q == end) {
      if (!final) return ScanResult::More;
      gotDigit = true;
    } else if (lower(*q) == 'x') {
      hex = true;
      expChar = 'p';
      ++q;
    } else {
      gotDigit = true;
    }
  }
  // The decimal digits are gathered as they go by, for the exact quick
  // conversion below.
  uint64_t mantissa = 0;
  int significant = 0, fraction = 0, exponent = 0;
  bool negativeExponent = false;
  for (; q < end; ++q) {
    const char ch = *q;
    if (isDigit(ch)) {
      gotDigit = true;
      if (gotE) {
        if (exponent < 100000) exponent = exponent * 10 + (ch - '0');
      } else if (!hex) {
        if (mantissa != 0 || ch != '0') ++significant;
        if (significant <= 19) mantissa = mantissa * 10 + static_cast<uint64_t>(ch - '0');
        if (gotDot) ++fraction;
      }
    } else if (!gotE && hex && isXDigit(ch)) {
      gotDigit = true;
    } else if (gotE && lower(q[-1]) == expChar && (ch == '-' || ch == '+')) {
      negativeExponent = ch == '-';
    } else if (gotDigit && !gotE && lower(ch) == expChar) {
      gotE = gotDot = true;
    } else if (!gotDot && ch == '.') {
      gotDot = true;
    } else {
      break;
    }
  }
  if (q == end && !final) return ScanResult::More;
  const size_t taken = static_cast<size_t>(q - start);
  if (taken == 0 || (hex && taken == 2)) return ScanResult::Fail;

  float v;
  const int e10 = (negativeExponent ? -exponent : exponent) - fraction;
  if (!hex && gotDigit && significant <= 19 && mantissa <= kExactMantissa && e10 >= -10 && e10 <= 10) {
    // Both factors are exact floats, so one rounding gives the correctly
    // rounded value, which is what strtof returns.
    const float m = static_cast<float>(mantissa);
    v = e10 < 0 ? m / kPow10[-e10] : m * kPow10[e10];
  } else if (!convert(start, q, hex, v)) {
    return ScanResult::Fail;
  }
  out = negative ? -v : v;
  p = q;
  return ScanResult::Ok;
}

ScanResult scanLong(const char*& p, const char* end, bool final, long long& out) {
  const ScanResult short_ = final ? ScanResult::Fail : ScanResult::More;
  const char* q = p;
  while (q < end && isSpace(*q)) ++q;
  if (q == end) return short_;
  bool negative = false;
  if (*q == '-' || *q == '+') {
    negative = *q == '-';
    if (++q == end) return short_;
  }
  if (!isDigit(*q)) return ScanResult::Fail;
  constexpr uint64_t kCap = uint64_t{1} << 63;  // beyond every long
  uint64_t magnitude = 0;
  for (; q < end && isDigit(*q); ++q)
    magnitude = magnitude > kCap / 10
                    ? kCap + 1
                    : std::min<uint64_t>(kCap + 1, magnitude * 10 + static_cast<uint64_t>(*q - '0'));
  if (q == end && !final) return ScanResult::More;
  // strtol saturates at the range of long.
  if (negative)
    out = magnitude >= kCap ? std::numeric_limits<long long>::min() : -static_cast<long long>(magnitude);
  else
    out = magnitude >= kCap ? std::numeric_limits<long long>::max() : static_cast<long long>(magnitude);
  p = q;
  return ScanResult::Ok;
}

[[gnu::always_inline]] inline ScanResult scanWord(const char*& p, const char* end, bool final,
                                                  uint16_t& out) {
  // The words the station writes: up to nine digits and a separator.
  const char* q = p;
  while (q < end && isSpace(*q)) ++q;
  const char* first = q;
  uint32_t quick = 0;
  while (q < end && static_cast<unsigned>(*q - '0') < 10 && q - first < 9)
    quick = quick * 10 + static_cast<uint32_t>(*q++ - '0');
  if (q > first && q < end && !isDigit(*q)) {
    out = static_cast<uint16_t>(quick);
    p = q;
    return ScanResult::Ok;
  }
  long long v = 0;
  const ScanResult r = scanLong(p, end, final, v);
  if (r == ScanResult::Ok) out = static_cast<uint16_t>(static_cast<uint64_t>(v));  // the low 16 bits
  return r;
}

}  // namespace

ScanResult ScanFloat(const char*& p, const char* end, bool final, float& out) {
  return scanFloat(p, end, final, out);
}

ScanResult ScanWord(const char*& p, const char* end, bool final, uint16_t& out) {
  return scanWord(p, end, final, out);
}

ScanResult ScanLong(const char*& p, const char* end, bool final, long long& out) {
  return scanLong(p, end, final, out);
}

void TextFileIn::Bytes::resize(size_t n) {
  std::unique_ptr<char[]> p(new char[n]);
  if (n_ > 0) std::memcpy(p.get(), p_.get(), std::min(n, n_));
  p_ = std::move(p);
  n_ = n;
}

TextFileIn::TextFileIn(size_t bufferBytes) : wanted_(std::max<size_t>(bufferBytes, 64)) {}

TextFileIn::~TextFileIn() = default;

bool TextFileIn::open(const std::string& path) {
  const bool ok = file_.open(path);
  eof_ = !ok;
  // The whole of a small file fits, with room to see its end.
  const size_t room =
      static_cast<size_t>(std::min<long long>(file_.size(), static_cast<long long>(wanted_))) + 64;
  if (buf_.size() < std::min(room, wanted_)) buf_.resize(std::min(room, wanted_));
  pos_ = end_ = 0;
  return ok;
}

bool TextFileIn::fill() {
  if (eof_) return false;
  if (pos_ > 0) {
    std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  if (end_ == buf_.size()) {
    if (buf_.size() >= kMaxBuffer) {
      eof_ = true;  // what is held is read as if the file ended here
      return false;
    }
    buf_.resize(std::min(kMaxBuffer, buf_.size() * 2));
  }
  const long long n = file_.read(buf_.data() + end_, buf_.size() - end_);
  if (n <= 0) {
    eof_ = true;
    return false;
  }
  end_ += static_cast<size_t>(n);
  return true;
}

int TextFileIn::get() {
  if (pos_ == end_ && !fill()) return -1;
  return static_cast<unsigned char>(buf_[pos_++]);
}

int TextFileIn::peek() {
  if (pos_ == end_ && !fill()) return -1;
  return static_cast<unsigned char>(buf_[pos_]);
}

int TextFileIn::readLine(std::string& line, size_t size, bool textMode) {
  line.clear();
  const size_t keep = size > 0 ? size - 1 : 0;  // characters stored
  for (;;) {
    if (pos_ == end_ && !fill()) return -1;
    const char* b = buf_.data() + pos_;
    const char* e = buf_.data() + end_;
    const char* q = b;
    while (q < e && !kEndsRun[static_cast<unsigned char>(*q)]) ++q;
    if (line.size() < keep) line.append(b, std::min(static_cast<size_t>(q - b), keep - line.size()));
    pos_ += static_cast<size_t>(q - b);
    if (q == e) continue;  // the line goes on in the next block
    int c = static_cast<unsigned char>(*q);
    ++pos_;
    if ((c & 0x80) != 0) return -1;
    if (textMode && c == '\r' && peek() == '\n') c = get();
    if (line.size() < keep) line.push_back(static_cast<char>(c));
    return 0;
  }
}

template <typename T, typename Scan>
size_t TextFileIn::readNumbers(T* out, size_t n, size_t stride, bool comma, Scan scan) {
  size_t k = 0;
  while (k < n) {
    // As many numbers as the block holds whole, without touching the members.
    const char* data = buf_.data();
    const char* p = data + pos_;
    const char* const e = data + end_;
    const bool final = eof_;
    ScanResult r = ScanResult::Ok;
    bool refilled = false;
    while (k < n) {
      T v{};
      r = scan(p, e, final, v);
      if (r != ScanResult::Ok) break;
      out[k * stride] = v;
      ++k;
      // The literal ',' of the format: taken when it is the very next byte.
      if (comma && p < e) {
        if (*p == ',') ++p;
      } else if (comma && !final) {
        pos_ = static_cast<size_t>(p - data);
        if (fill() && buf_[pos_] == ',') ++pos_;
        refilled = true;
        break;
      }
    }
    if (refilled) continue;
    pos_ = static_cast<size_t>(p - data);
    if (r == ScanResult::Fail) break;
    if (r == ScanResult::More) fill();  // at the end of the file the next scan is final
  }
  return k;
}

namespace {

// Numbers of a piece of text that ends at a blank (or at the end of the
// file), so that no number runs past it. failed: the reading stopped at
// something that is not a number, before the end of the piece.
template <typename T, typename Scan>
size_t readPiece(const char*& p, const char* end, T* out, size_t max, bool comma, Scan scan, bool& failed) {
  size_t k = 0;
  failed = false;
  while (k < max) {
    T v{};
    if (scan(p, end, true, v) != ScanResult::Ok) {
      const char* q = p;
      while (q < end && isSpace(*q)) ++q;
      failed = q < end;
      break;
    }
    out[k++] = v;
    if (comma && p < end && *p == ',') ++p;
  }
  return k;
}

const char* lastBlank(const char* b, const char* e) {
  while (e > b && !isSpace(e[-1])) --e;
  return e > b ? e - 1 : nullptr;
}

}  // namespace

template <typename T, typename Scan>
size_t TextFileIn::readNumbersInHalves(T* out, size_t n, bool comma, Scan scan) {
  constexpr size_t kBlock = size_t{8} << 20;  // bytes read and cut in two at a time
  constexpr size_t kLeast = size_t{1} << 16;  // bytes below which one thread reads
  if (buf_.size() < kBlock) buf_.resize(kBlock);
  std::vector<T> second;
  size_t k = 0;
  while (k < n) {
    while (end_ - pos_ < buf_.size() && fill()) {
    }
    const char* data = buf_.data();
    const char* b = data + pos_;
    const char* e = data + end_;
    // Whole numbers only: up to the last blank, or all at the end of the file.
    const char* stop = eof_ ? e : lastBlank(b, e);
    const char* mid =
        stop && stop - b >= static_cast<ptrdiff_t>(kLeast) ? lastBlank(b, b + (stop - b) / 2) : nullptr;
    if (!mid) return k + readNumbers(out + k, n - k, 1, comma, scan);
    const size_t left = n - k;
    // A number takes at least a character and its separator.
    const size_t room = std::min(left, static_cast<size_t>(stop - mid) / 2 + 2);
    if (second.size() < room) second.resize(room);
    const char* p2 = mid;
    bool failed2 = false;
    size_t count2 = 0;
    std::thread other;
    try {
      other = std::thread([&] { count2 = readPiece(p2, stop, second.data(), room, comma, scan, failed2); });
    } catch (const std::system_error&) {
      return k + readNumbers(out + k, n - k, 1, comma, scan);
    }
    const char* p1 = b;
    bool failed1 = false;
    const size_t count1 = readPiece(p1, mid, out + k, left, comma, scan, failed1);
    other.join();
    if (failed1 || count1 == left) {
      pos_ = static_cast<size_t>(p1 - data);
      return k + count1;
    }
    if (count1 + count2 > left) {
      // The count is reached within the second half: read it one by one.
      pos_ = static_cast<size_t>(mid - data);
      k += count1;
      return k + readNumbers(out + k, n - k, 1, comma, scan);
    }
    std::copy_n(second.data(), count2, out + k + count1);
    k += count1 + count2;
    pos_ = static_cast<size_t>(p2 - data);
    if (failed2 || p2 == e) return k;
  }
  return k;
}

namespace {
// Enough numbers, and enough file, to be worth a second thread.
constexpr size_t kHalvesFrom = size_t{2} << 20;
constexpr long long kHalvesFromBytes = 4LL << 20;
bool twoCores() { return std::thread::hardware_concurrency() >= 2; }
}  // namespace

size_t TextFileIn::readFloats(float* out, size_t n, size_t stride, bool comma) {
  auto scan = [](const char*& p, const char* e, bool f, float& v) { return scanFloat(p, e, f, v); };
  if (stride == 1 && n >= kHalvesFrom && file_.size() >= kHalvesFromBytes && twoCores())
    return readNumbersInHalves(out, n, comma, scan);
  return readNumbers(out, n, stride, comma, scan);
}

size_t TextFileIn::readWords(uint16_t* out, size_t n) {
  auto scan = [](const char*& p, const char* e, bool f, uint16_t& v) { return scanWord(p, e, f, v); };
  if (n >= kHalvesFrom && file_.size() >= kHalvesFromBytes && twoCores())
    return readNumbersInHalves(out, n, true, scan);
  return readNumbers(out, n, 1, true, scan);
}

}  // namespace lumvex
