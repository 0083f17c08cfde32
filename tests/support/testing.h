// Helpers shared by the tests: temporary folders and whole-file reads.
#pragma once

#include <string>
#include <string_view>

namespace lumvex::testing {

// A fresh empty folder under the system temp folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const;

 private:
  std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, std::string_view bytes);
// Path of a file in the source tree (e.g. "config/Lumvex_8_0.ini").
std::string sourcePath(std::string_view rel);

}  // namespace lumvex::testing
