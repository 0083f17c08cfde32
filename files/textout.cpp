#include "files/textout.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace lumvex {
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

TextFileOut::TextFileOut(const std::string& path, size_t bufferBytes)
    : path_(path), buf_(new char[bufferBytes]), size_(bufferBytes) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  failed_ = fd_ < 0;
  struct stat info {};
  regular_ = fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
}

TextFileOut::~TextFileOut() {
  if (fd_ >= 0) close();
}

void TextFileOut::flush() {
  const char* p = buf_.get();
  size_t left = used_;
  while (left > 0 && !failed_) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  used_ = 0;
}

char* TextFileOut::reserve(size_t n) {
  if (used_ + n > size_) flush();
  if (n > size_) {  // a single piece larger than the buffer: grow once
    buf_.reset(new char[n]);
    size_ = n;
  }
  return buf_.get() + used_;
}

void TextFileOut::put(std::string_view s) {
  char* p = reserve(s.size());
  std::memcpy(p, s.data(), s.size());
  commit(p + s.size());
}

void TextFileOut::put(char c) {
  char* p = reserve(1);
  *p = c;
  commit(p + 1);
}

int TextFileOut::close() {
  if (fd_ < 0) return -1;
  flush();
  if (::close(fd_) != 0) failed_ = true;
  fd_ = -1;
  if (failed_ && regular_) ::unlink(path_.c_str());  // never a device or pipe
  return failed_ ? -1 : 0;
}

}  // namespace lumvex
