#include "platform/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace lumvex {

namespace {
const MemoryFiles* memoryFiles = nullptr;
}  // namespace

void UseMemoryFiles(const MemoryFiles* files) { memoryFiles = files; }

InputFile::~InputFile() { close(); }

void InputFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  memory_ = nullptr;
  size_ = 0;
  memoryPos_ = 0;
}

bool InputFile::open(const std::string& path) {
  close();
  if (memoryFiles) {
    const auto it = memoryFiles->find(path);
    if (it == memoryFiles->end()) return false;
    memory_ = it->second.data() ? it->second.data() : "";
    size_ = static_cast<long long>(it->second.size());
    return true;
  }
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (fd_ >= 0 && ::fstat(fd_, &info) == 0) size_ = static_cast<long long>(info.st_size);
  return fd_ >= 0;
}

long long InputFile::read(char* dst, size_t n) {
  if (memory_) {
    const size_t left = static_cast<size_t>(size_) - memoryPos_;
    n = std::min(n, left);
    if (n > 0) std::memcpy(dst, memory_ + memoryPos_, n);
    memoryPos_ += n;
    return static_cast<long long>(n);
  }
  if (fd_ < 0) return -1;
  ssize_t got;
  do {
    got = ::read(fd_, dst, n);
  } while (got < 0 && errno == EINTR);
  return got;
}

bool InputFile::readAt(char* dst, size_t n, long long at) {
  if (memory_) {
    if (at < 0 || at > size_ || n > static_cast<size_t>(size_ - at)) return false;
    if (n > 0) std::memcpy(dst, memory_ + at, n);
    return true;
  }
  while (n > 0) {
    const ssize_t got = ::pread(fd_, dst, n, static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    dst += got;
    n -= static_cast<size_t>(got);
    at += got;
  }
  return true;
}

}  // namespace lumvex
