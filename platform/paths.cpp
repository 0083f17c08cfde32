#include "platform/paths.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace lumvex {

std::string pathFolder(std::string_view path) {
  size_t s = path.rfind(kPathSeparator);
  if (s == std::string_view::npos) return {};
  if (s == 0) return std::string(1, kPathSeparator);
  return std::string(path.substr(0, s));
}

std::string pathFileName(std::string_view path) {
  size_t s = path.rfind(kPathSeparator);
  return std::string(s == std::string_view::npos ? path : path.substr(s + 1));
}

std::string pathJoin(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string out(folder);
  if (out.back() != kPathSeparator) out.push_back(kPathSeparator);
  out.append(name);
  return out;
}

size_t pathLastDot(std::string_view path) {
  size_t s = path.rfind(kPathSeparator);
  size_t d = path.rfind('.');
  if (d == std::string_view::npos) return d;
  if (s != std::string_view::npos && d < s) return std::string_view::npos;
  return d;
}

size_t pathLastSeparator(std::string_view path) { return path.rfind(kPathSeparator); }

void pathUpperExtension(std::string& path, size_t dot) {
  for (size_t i = dot + 1; i < path.size() && i <= dot + 3; ++i)
    path[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(path[i])));
}

void pathReplaceExtension(std::string& path, size_t dot, std::string_view ext) {
  size_t old = std::min<size_t>(3, path.size() - dot - 1);
  path.replace(dot + 1, old, ext);
}

int makeFolder(const std::string& path, bool existingOk) {
  if (::mkdir(path.c_str(), 0777) == 0) return 0;
  struct stat sb;
  if (existingOk && errno == EEXIST && ::stat(path.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode)) return 0;
  return -1;
}

}  // namespace lumvex
