// Reading the station's files back: a buffered input file that hands out
// lines the way readfile_until_cr does and numbers the way the C library's
// scanf("%f,"), scanf("%f") and scanf("%d,") read them (same characters
// taken, same float bit for bit), whatever locale the front end has set,
// and many times faster.
#pragma once

#include "platform/input_file.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lumvex {

// The outcome of scanning one number in a piece of text. More: the number
// (or the white space before it) runs to the end of the piece, and more
// input could change what it is.
enum class ScanResult { Ok, Fail, More };

// One "%f" at p: white space, then the longest run of characters scanf takes
// for a float (sign, digits, one '.', an exponent, "0x" hexadecimal with a
// 'p' exponent, "nan", "inf", "infinity"), converted as strtof converts it in
// the C locale. `final` says that `end` is the end of the input. On Ok, p
// moves past the characters taken (scanf takes them even where only a prefix
// makes the number, as in "1e+"); on Fail or More it stays.
ScanResult ScanFloat(const char*& p, const char* end, bool final, float& out);
// One "%d" at p, stored as a 16-bit word the way an int read by scanf and
// assigned to an unsigned short is: the low 16 bits (a value beyond the range
// of long saturates first, as strtol does).
ScanResult ScanWord(const char*& p, const char* end, bool final, uint16_t& out);
// One "%d" at p as strtol reads it (saturated at the range of long).
ScanResult ScanLong(const char*& p, const char* end, bool final, long long& out);

// A file opened for reading, read in large blocks.
class TextFileIn {
 public:
  explicit TextFileIn(size_t bufferBytes = size_t{1} << 20);
  ~TextFileIn();
  TextFileIn(const TextFileIn&) = delete;
  TextFileIn& operator=(const TextFileIn&) = delete;

  bool open(const std::string& path);
  bool opened() const { return file_.opened(); }

  // readfile_until_cr: one line of at most size - 1 characters (the rest of a
  // longer line is consumed), keeping the CR or LF that ends it. With
  // textMode a CR LF pair is one line end and reads as LF, as a text stream
  // gives it. 0, or -1 at the end of the file or on a byte with its top bit
  // set (the line read so far is kept; the next call goes on after it).
  int readLine(std::string& line, size_t size, bool textMode);

  // Up to n numbers read with "%f," (comma) or "%f" into out[0], out[stride],
  // ...; stops at the first number that cannot be read. The count read.
  size_t readFloats(float* out, size_t n, size_t stride, bool comma);
  // The next byte (-1 at the end), as fgetc gives it.
  int getChar() { return get(); }

  // Up to n numbers read with "%d," into 16-bit words; stops likewise.
  size_t readWords(uint16_t* out, size_t n);
  // One "%f" number; false when none can be read.
  bool readFloat(float& out) { return readFloats(&out, 1, 1, false) == 1; }

 private:
  // Keeps the unread bytes and reads more behind them; the buffer grows when
  // they fill it (a number or line longer than the buffer). False when no
  // byte could be added.
  bool fill();
  int get();   // next byte, -1 at the end
  int peek();  // next byte without taking it, -1 at the end
  template <typename T, typename Scan>
  size_t readNumbers(T* out, size_t n, size_t stride, bool comma, Scan scan);
  // readNumbers for long runs (stride 1): each large block is cut in two at a
  // blank, and the halves are read on two threads.
  template <typename T, typename Scan>
  size_t readNumbersInHalves(T* out, size_t n, bool comma, Scan scan);

  // A byte buffer that is not cleared when made or grown.
  class Bytes {
   public:
    char* data() { return p_.get(); }
    size_t size() const { return n_; }
    char& operator[](size_t i) { return p_[i]; }
    void resize(size_t n);  // keeps the first min(n, size()) bytes

   private:
    std::unique_ptr<char[]> p_;
    size_t n_ = 0;
  };

  size_t wanted_;  // the buffer size asked for; a smaller file gets a smaller one
  InputFile file_;
  bool eof_ = false;
  Bytes buf_;
  size_t pos_ = 0, end_ = 0;
};

}  // namespace lumvex
