// Fast text output for the exported files: a file written in large blocks that
// reports any failure to store every byte (missing folder, full disk), and
// number formatting byte-identical to the C formats the files are defined by.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace lumvex {

// Room one formatted number may need (a float printed in full with "%.2f").
constexpr size_t kMaxNumberText = 64;

// Writes the text printf("%4.2f", v) makes of v promoted to double: glibc's
// rounding of the exact binary value (ties to even), "-0.00" for negative
// values that round to zero, " nan" / " inf" padded to four. Returns the end.
char* formatFixed2(char* out, float v);
// printf("%d") of an unsigned 16-bit word.
char* formatWord(char* out, unsigned v);

// A file opened for writing (replacing any file of that name), buffered in
// large blocks. Every write failure is remembered; close() reports it.
class TextFileOut {
 public:
  explicit TextFileOut(const std::string& path, size_t bufferBytes = 4u << 20);
  ~TextFileOut();
  TextFileOut(const TextFileOut&) = delete;
  TextFileOut& operator=(const TextFileOut&) = delete;

  bool opened() const { return fd_ >= 0; }
  bool failed() const { return failed_; }
  // A pointer where at least n bytes may be written; pass the end to commit().
  char* reserve(size_t n);
  void commit(char* end) { used_ = static_cast<size_t>(end - buf_.get()); }
  void put(std::string_view s);
  void put(char c);
  // Flushes and closes: 0 when every byte reached the file, -1 otherwise (the
  // incomplete file is then removed so that no truncated export is left).
  int close();

 private:
  void flush();
  std::string path_;
  int fd_ = -1;
  bool failed_ = false;
  bool regular_ = false;  // a plain file, which may be removed when incomplete
  std::unique_ptr<char[]> buf_;
  size_t size_ = 0, used_ = 0;
};

}  // namespace lumvex
