#include "platform/paths.h"

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

std::string pathStem(std::string_view path) {
  std::string name = pathFileName(path);
  size_t d = name.rfind('.');
  return d == std::string::npos ? name : name.substr(0, d);
}

}  // namespace lumvex
