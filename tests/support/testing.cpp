#include "testing.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace lumvex::testing {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "lumvex-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::file(std::string_view name) const { return path_ + "/" + std::string(name); }

std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, std::string_view bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) throw std::runtime_error("cannot write " + path);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string sourcePath(std::string_view rel) {
  return std::string(LUMVEX_SOURCE_DIR) + "/" + std::string(rel);
}

std::vector<std::string> splitCr(const std::string& s, std::string_view unterminatedMark) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : s) {
    if (c == '\r') {
      out.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  if (!cur.empty()) out.push_back(cur + std::string(unterminatedMark));
  return out;
}

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> v;
  std::stringstream in(line);
  std::string f;
  while (std::getline(in, f, ',')) v.push_back(f);
  return v;
}

std::string today() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, "%m-%d-%Y", &tm);
  return buf;
}

}  // namespace lumvex::testing
