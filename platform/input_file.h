// Opening a file for reading, from the disk or from memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace lumvex {

// Files given from memory instead of the disk: while a table is installed,
// every InputFile opens its path from the table alone (a path the table does
// not hold cannot be opened). For tools that feed the readers without a disk,
// such as the fuzz targets; the station never installs one. nullptr: the disk.
using MemoryFiles = std::unordered_map<std::string, std::string_view>;
void UseMemoryFiles(const MemoryFiles* files);

// A file opened for reading: one on the disk, or one of the memory files.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool open(const std::string& path);
  bool opened() const { return fd_ >= 0 || memory_ != nullptr; }
  long long size() const { return size_; }  // bytes, when it was opened
  // Up to n bytes from where the last read ended: the count, 0 at the end, -1 on an error.
  long long read(char* dst, size_t n);
  // Exactly n bytes from offset `at`; false when the file ends first.
  bool readAt(char* dst, size_t n, long long at);

 private:
  void close();
  int fd_ = -1;
  const char* memory_ = nullptr;  // a memory file's bytes
  long long size_ = 0;
  size_t memoryPos_ = 0;
};

}  // namespace lumvex
