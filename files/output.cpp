#include "files/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace lumvex {

OutFile::OutFile(size_t bufferBytes) : buf_(new char[bufferBytes]), cap_(bufferBytes) {}

OutFile::~OutFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool OutFile::openWith(const std::string& path, int flags) {
  if (fd_ >= 0) ::close(fd_);
  len_ = 0;
  pos_ = end_ = 0;
  removeIncomplete_ = false;
  path_ = path;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666);
  failed_ = fd_ < 0;
  return !failed_;
}

bool OutFile::open(const std::string& path, Incomplete onFailure) {
  cutAtClose_ = false;
  if (!openWith(path, O_TRUNC)) return false;
  struct stat sb;
  removeIncomplete_ = onFailure == Incomplete::Remove && ::fstat(fd_, &sb) == 0 && S_ISREG(sb.st_mode);
  return true;
}

bool OutFile::openInPlace(const std::string& path) {
  if (!openWith(path, 0)) return false;
  // Only a regular file has a length to cut; anything else (a device) is
  // written as open() would write it.
  struct stat sb;
  cutAtClose_ = ::fstat(fd_, &sb) == 0 && S_ISREG(sb.st_mode);
  return true;
}

void OutFile::flush() {
  const char* p = buf_.get();
  size_t left = len_;
  len_ = 0;
  while (left > 0 && !failed_ && fd_ >= 0) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;  // the rest of this file is dropped; close() reports it
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
    pos_ += n;
  }
  end_ = std::max(end_, pos_);
}

void OutFile::putAt(const char* bytes, size_t n, long long offset) {
  flush();
  while (n > 0 && !failed_ && fd_ >= 0) {
    ssize_t w = ::pwrite(fd_, bytes, n, static_cast<off_t>(offset));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      failed_ = true;
      break;
    }
    bytes += w;
    n -= static_cast<size_t>(w);
    offset += w;
    end_ = std::max(end_, offset);
  }
}

char* OutFile::reserve(size_t n) {
  if (cap_ - len_ < n) flush();
  if (cap_ < n) {
    buf_.reset(new char[n]);
    cap_ = n;
  }
  return buf_.get() + len_;
}

void OutFile::put(std::string_view bytes) {
  while (!bytes.empty()) {
    size_t n = std::min(bytes.size(), cap_);
    char* p = reserve(n);
    std::memcpy(p, bytes.data(), n);
    commit(p + n);
    bytes.remove_prefix(n);
  }
}

void OutFile::put(char c) {
  char* p = reserve(1);
  *p = c;
  commit(p + 1);
}

void OutFile::text(std::string_view s) {
  for (size_t lf; (lf = s.find('\n')) != std::string_view::npos; s.remove_prefix(lf + 1)) {
    put(s.substr(0, lf));
    put("\r\n");
  }
  put(s);
}

bool OutFile::close() {
  flush();
  // Cut even after a failed write, so that nothing of the old file lies past
  // the new bytes, as with a file truncated on open.
  if (fd_ >= 0 && cutAtClose_ && ::ftruncate(fd_, static_cast<off_t>(end_)) != 0) failed_ = true;
  if (fd_ >= 0 && ::close(fd_) != 0) failed_ = true;
  const bool ok = fd_ >= 0 && !failed_;
  if (!ok && removeIncomplete_) ::unlink(path_.c_str());
  fd_ = -1;
  removeIncomplete_ = false;
  failed_ = false;
  return ok;
}

namespace {

constexpr char kTwoDigits[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Above this the float is an integer and far beyond any measured value; the
// general formatter handles it.
constexpr double kFastLimit = 1e15;

}  // namespace

char* formatFixed2(char* out, float v) {
  const double x = v;
  if (!std::isfinite(x)) {
    int n = std::snprintf(out, kMaxNumberText, "%4.2f", x);
    return out + (n > 0 ? n : 0);
  }
  const double ax = std::fabs(x);
  if (ax >= kFastLimit) return std::to_chars(out, out + kMaxNumberText, x, std::chars_format::fixed, 2).ptr;
  // A float has 24 significant bits, so ax * 100 is exact in double and
  // rounding it to an integer (ties to even) rounds the exact value as glibc does.
  const uint64_t n = static_cast<uint64_t>(std::nearbyint(ax * 100.0));
  if (std::signbit(x)) *out++ = '-';
  out = std::to_chars(out, out + kMaxNumberText, n / 100).ptr;
  *out++ = '.';
  std::memcpy(out, kTwoDigits + 2 * (n % 100), 2);
  return out + 2;
}

char* formatWord(char* out, unsigned v) { return std::to_chars(out, out + kMaxNumberText, v).ptr; }

namespace {

__extension__ typedef unsigned __int128 u128;

constexpr uint64_t kPow5[28] = {1ull,
                                5ull,
                                25ull,
                                125ull,
                                625ull,
                                3125ull,
                                15625ull,
                                78125ull,
                                390625ull,
                                1953125ull,
                                9765625ull,
                                48828125ull,
                                244140625ull,
                                1220703125ull,
                                6103515625ull,
                                30517578125ull,
                                152587890625ull,
                                762939453125ull,
                                3814697265625ull,
                                19073486328125ull,
                                95367431640625ull,
                                476837158203125ull,
                                2384185791015625ull,
                                11920928955078125ull,
                                59604644775390625ull,
                                298023223876953125ull,
                                1490116119384765625ull,
                                7450580596923828125ull};

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

char* putPair(char* p, unsigned v) {
  std::memcpy(p, kDigitPairs + 2 * v, 2);
  return p + 2;
}

// The C library's "%E" of a double, from to_chars with the letters raised
// ("inf" -> "INF", "e" -> "E"); used for the values the fast path leaves out.
char* slowE(char* p, double v) {
  char* end = std::to_chars(p, p + 400, v, std::chars_format::scientific, 6).ptr;
  for (char* q = p; q < end; ++q)
    if (*q >= 'a' && *q <= 'z') *q = static_cast<char>(*q - 'a' + 'A');
  return end;
}

// The seven significant digits of m * 2^e * 10^p, as an integer part and the
// remainder below it (in `bits` bits), computed exactly.
struct Scaled {
  uint64_t digits;
  u128 rest;
  int bits;
};

Scaled scale(uint32_t m, int e, int p) {
  u128 t = static_cast<u128>(m) * kPow5[p];
  int s = e + p;
  if (s >= 0) return {static_cast<uint64_t>(t << s), 0, 0};
  int b = -s;  // at most 65 for the magnitudes of the fast path
  return {static_cast<uint64_t>(t >> b), t & ((static_cast<u128>(1) << b) - 1), b};
}

}  // namespace

// The float's exact value m * 2^e is scaled by 10^p into [10^6, 10^7) with
// 128-bit integers and rounded half to even, as glibc rounds an exact decimal
// tie. Magnitudes from 1e-21 to 1e7 take this path; every other value (and
// infinities, NaNs, subnormals) goes through to_chars.
char* formatFloatE(char* p, float v) {
  uint32_t bits = std::bit_cast<uint32_t>(v);
  int expBits = static_cast<int>((bits >> 23) & 0xff);
  uint32_t frac = bits & 0x7fffff;
  if (expBits == 0 && frac == 0) {
    if (bits >> 31) *p++ = '-';
    std::memcpy(p, "0.000000E+00", 12);
    return p + 12;
  }
  if (expBits == 0 || expBits == 0xff) return slowE(p, v);
  int e2 = expBits - 127;      // floor(log2 |v|)
  int k = (e2 * 78913) >> 18;  // floor(e2 * log10(2)); the decimal exponent is k or k + 1
  int pw = 6 - k;
  if (pw < 0 || pw > 27) return slowE(p, v);
  uint32_t m = frac | 0x800000;
  int e = expBits - 150;
  Scaled sc = scale(m, e, pw);
  if (sc.digits >= 10'000'000) {
    if (pw == 0) return slowE(p, v);
    ++k;
    sc = scale(m, e, --pw);
  }
  uint64_t n = sc.digits;
  if (sc.bits > 0) {
    u128 half = static_cast<u128>(1) << (sc.bits - 1);
    if (sc.rest > half || (sc.rest == half && (n & 1))) ++n;
  }
  if (n == 10'000'000) {
    n = 1'000'000;
    ++k;
  }
  if (bits >> 31) *p++ = '-';
  unsigned lead = static_cast<unsigned>(n / 1'000'000);
  unsigned rest = static_cast<unsigned>(n % 1'000'000);
  *p++ = static_cast<char>('0' + lead);
  *p++ = '.';
  p = putPair(p, rest / 10000);
  p = putPair(p, rest / 100 % 100);
  p = putPair(p, rest % 100);
  *p++ = 'E';
  *p++ = k < 0 ? '-' : '+';
  return putPair(p, static_cast<unsigned>(k < 0 ? -k : k));
}

std::string formatInt(long long v) {
  char b[24];
  return std::string(b, std::to_chars(b, b + sizeof b, v).ptr);
}

std::string formatFixed(double v, int decimals) {
  char b[400];  // the widest double in "%f": 309 digits, sign, point and the decimals
  // to_chars spells "inf" and "nan" (with their sign) as "%f" does
  return std::string(b, std::to_chars(b, b + sizeof b, v, std::chars_format::fixed, decimals).ptr);
}

std::string formatE(double v) {
  char b[400];
  return std::string(b, slowE(b, v));
}

}  // namespace lumvex
