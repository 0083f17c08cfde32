// The INI text store: reads an INI file ("[section]", "tag = value", ";"
// comments) into memory, answers typed look-ups, takes new values and writes
// the file back through a temporary file so that a failed write never harms
// the old file. Section names and tags match without regard to letter case.
//
// Operations: Ini_New, Ini_Dispose, Ini_ReadFromFile, Ini_GetInt,
// Ini_GetStringIntoBuffer, Ini_PutInt, Ini_PutString, Ini_WriteToFile
// (and Ini_ReadFromText, Ini_FormatText: the same text without the file).
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumvex {

// Results: 0 (or 1 for a found look-up) on success, one of these on failure.
enum IniResult : int {
  kIniIoError = -1,          // any other I/O error
  kIniAccessDenied = -2,     // the file or its folder may not be written / read
  kIniOutOfMemory = -3,      //
  kIniDiskFull = -4,         // no space left (or quota exhausted)
  kIniFileNotFound = -5,     // the file to read does not exist
  kIniBadEncoding = -6,      // the file starts with a UTF-16 (or UTF-32) byte-order mark
  kIniInvalidInteger = -7,   // the value is not a decimal integer in the int range
  kIniInvalidArgument = -8,  // empty name, line break in a name or value, buffer size < 1
};

constexpr size_t kIniMaxLineBytes = 1024;     // longer lines are cut here when read
constexpr size_t kIniMaxValueLine = 80;       // longer values are written in pieces
constexpr char kIniTempFileName[] = "ini$$";  // written beside the destination first

struct IniItem {
  std::string tag;
  std::string value;  // without the surrounding quotes
  bool quoted = false;
  std::vector<std::string> comments;  // the comment lines before the item, ';' included
};

struct IniSection {
  std::string name;
  std::vector<IniItem> items;
  std::vector<std::string> comments;  // the comment lines before the section header
};

struct IniText {
  bool autoSort = true;  // sections and items kept in alphabetical order
  std::vector<IniSection> sections;
  std::vector<std::string> trailingComments;  // comments after the last item
};

using IniHandle = std::unique_ptr<IniText>;

// A new empty store; null when memory is exhausted.
IniHandle Ini_New(int autoSort);
// Releases the store and everything it holds (the handle becomes null).
void Ini_Dispose(IniHandle& ini);

// 0, kIniFileNotFound, kIniAccessDenied, kIniBadEncoding, kIniOutOfMemory or
// kIniIoError. On an error the store keeps what was read before it.
int Ini_ReadFromFile(IniText& ini, const std::string& path);
// The same for a file's bytes already in memory: 0, kIniBadEncoding or
// kIniOutOfMemory.
int Ini_ReadFromText(IniText& ini, std::string_view text);

// 1 and *value set when the item holds a decimal integer; 0 when the section or
// item is missing or the value is blank; kIniInvalidInteger otherwise ("1.5").
int Ini_GetInt(const IniText& ini, std::string_view section, std::string_view tag, int* value);
// 1 when found: the value (without quotes) is copied, cut to size - 1
// characters and terminated; 0 when missing (buffer set to ""); negative for
// a size below 1.
int Ini_GetStringIntoBuffer(const IniText& ini, std::string_view section, std::string_view tag, char* buffer,
                            int size);
template <size_t N>
int Ini_GetStringIntoBuffer(const IniText& ini, std::string_view section, std::string_view tag,
                            std::array<char, N>& buffer) {
  return Ini_GetStringIntoBuffer(ini, section, tag, buffer.data(), static_cast<int>(N));
}

// 0 or negative. Creates the section and item when absent, else replaces the
// value. Ini_PutString stores the text as a quoted value.
int Ini_PutInt(IniText& ini, std::string_view section, std::string_view tag, int value);
int Ini_PutString(IniText& ini, std::string_view section, std::string_view tag, std::string_view text);

// The file operations the writer makes, replaceable so that tests can make any
// of them fail. Each returns what the system call returns and sets errno.
struct IniFileOps {
  int (*writable)(const char* path);  // 0 when the file (if present) and its folder may be written
  int (*create)(const char* path);    // a new file for writing, its descriptor
  long (*write)(int fd, const void* data, size_t n);
  int (*close)(int fd);  // flushes to the disk, then closes
};
const IniFileOps& Ini_SystemFileOps();

// 0 on success; kIniAccessDenied, kIniOutOfMemory, kIniDiskFull or kIniIoError.
// The destination is replaced only after the whole text reached the disk.
int Ini_WriteToFile(const IniText& ini, const std::string& path, const IniFileOps& ops = Ini_SystemFileOps());

// The file text Ini_WriteToFile writes (lines ended by CR LF).
std::string Ini_FormatText(const IniText& ini);

}  // namespace lumvex
