// Output files of the station and the C number formats they print. OutFile,
// the one writer of every file the station makes, is a buffered,
// replace-on-open file that remembers any failed write, so a full disk or a
// vanished folder ends an export as a failure. The format functions produce
// what "%d", "%4.2f", "%f", "%.Nf" and "%E" print for the same value in the C
// locale, byte for byte, but without printf: they never see the process
// locale (the GUI sets one) and are many times faster.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace lumvex {

class OutFile {
 public:
  // What close() does with a file that could not be written completely.
  enum class Incomplete { Keep, Remove };

  explicit OutFile(size_t bufferBytes = size_t{1} << 20);
  ~OutFile();  // closes without reporting; call close() to learn the result
  OutFile(const OutFile&) = delete;
  OutFile& operator=(const OutFile&) = delete;

  // Creates or replaces the file. False when it cannot be created. With
  // Incomplete::Remove a file that close() finds incomplete is removed, so
  // that no truncated file is left to pass for a whole one (a device or pipe
  // is never removed).
  bool open(const std::string& path, Incomplete onFailure = Incomplete::Keep);
  // Creates or replaces the file like open(), but an existing file is written
  // over where it lies and cut to the length written when it is closed. The
  // result is the same; a large file rewritten under the same name keeps its
  // blocks and cached pages instead of having them freed on open and
  // allocated again (and flushed at once on close, as the file system does
  // with a file truncated to nothing and written anew).
  bool openInPlace(const std::string& path);
  bool opened() const { return fd_ >= 0; }
  // Bytes as they are.
  void put(std::string_view bytes);
  void put(char c);
  // Text as a text-mode stream stores it here: every "\n" becomes "\r\n".
  void text(std::string_view s);
  // Room for n bytes (n at most the buffer size) at the end of the buffer;
  // write into it and hand the end of what was written to commit().
  char* reserve(size_t n);
  void commit(char* end) { len_ = static_cast<size_t>(end - buf_.get()); }
  // Writes the bytes at a file offset, past the buffer (what is buffered is
  // written first). A failure is kept like that of any other write.
  void putAt(const char* bytes, size_t n, long long offset);
  // Writes what is buffered and closes. False when any write or the close failed.
  bool close();
  bool failed() const { return failed_; }

 private:
  void flush();
  bool openWith(const std::string& path, int flags);
  int fd_ = -1;
  bool cutAtClose_ = false;
  bool removeIncomplete_ = false;  // a regular file opened with Incomplete::Remove
  std::string path_;
  long long pos_ = 0;  // file offset of the next buffered byte
  long long end_ = 0;  // end of what was written
  std::unique_ptr<char[]> buf_;
  size_t cap_;
  size_t len_ = 0;
  bool failed_ = false;
};

// Room one formatted number may need (a float printed in full with "%.2f").
constexpr size_t kMaxNumberText = 64;

// Writes the text printf("%4.2f", v) makes of v promoted to double: glibc's
// rounding of the exact binary value (ties to even), "-0.00" for negative
// values that round to zero, " nan" / " inf" padded to four. Returns the end.
char* formatFixed2(char* out, float v);
// printf("%d") of an unsigned 16-bit word.
char* formatWord(char* out, unsigned v);

// Longest text of formatFloatE: "-1.234567E+38".
constexpr size_t kFloatEChars = 16;

// "%E" of a float promoted to double. Writes at most kFloatEChars bytes at p
// and returns the end.
char* formatFloatE(char* p, float v);

// "%d".
std::string formatInt(long long v);
// "%.Nf" of a double, decimals 0 to 20 ("%f" is decimals 6).
std::string formatFixed(double v, int decimals);
// "%E" of a double.
std::string formatE(double v);

}  // namespace lumvex
