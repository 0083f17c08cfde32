// Helpers shared by the tests: temporary folders, whole-file reads and the
// splitting of exported text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// The lines of s, each ended by a CR that is dropped. Text after the last CR
// is a line too, with `unterminatedMark` appended so that a check can tell it.
std::vector<std::string> splitCr(const std::string& s, std::string_view unterminatedMark = "");
// The comma-separated fields of line (a trailing empty field is not one).
std::vector<std::string> fields(const std::string& line);
// Today's local date as the exports write it: "MM-DD-YYYY".
std::string today();

}  // namespace lumvex::testing
