#include "core/workdir.h"

#include "core/config.h"
#include "platform/paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace lumvex {
namespace {

bool isFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(path, ec);
}

std::string userFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data == '/') return pathJoin(data, "lumvex");
  const char* home = std::getenv("HOME");
  if (!home || !*home) return {};
  return pathJoin(pathJoin(home, ".local/share"), "lumvex");
}

// Copies every regular file of `templates` that `folder` lacks.
bool fillFrom(const std::string& templates, const std::string& folder, std::string& error) {
  if (!isFolder(templates)) return true;  // nothing to copy: start-up says what is missing
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(templates, ec)) {
    if (!e.is_regular_file(ec)) continue;
    const fs::path to = fs::path(folder) / e.path().filename();
    if (fs::exists(to, ec)) continue;
    if (!fs::copy_file(e.path(), to, ec)) {
      error = "cannot copy " + e.path().string() + " into " + folder + ": " + ec.message();
      return false;
    }
  }
  if (ec) error = "cannot read the templates in " + templates + ": " + ec.message();
  return !ec;
}

}  // namespace

std::string PrepareWorkDir(const std::string& option, const std::string& templates, std::string& error) {
  error.clear();
  if (!option.empty()) {
    if (isFolder(option)) return option;
    error = "the working folder " + option + " does not exist";
    return {};
  }
  std::error_code ec;
  if (fs::is_regular_file(kConfigFileName, ec)) return ".";
  const std::string folder = userFolder();
  if (folder.empty()) {
    error = "no working folder: neither XDG_DATA_HOME nor HOME is set";
    return {};
  }
  fs::create_directories(folder, ec);
  if (!isFolder(folder)) {
    error = "cannot make the working folder " + folder + (ec ? ": " + ec.message() : "");
    return {};
  }
  if (!fillFrom(templates, folder, error)) return {};
  return folder;
}

std::string TemplatesFolder() {
  if (const char* env = std::getenv("LUMVEX_TEMPLATES"); env && *env) return env;
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const fs::path installed = exe.parent_path().parent_path() / "share" / "lumvex";
    if (fs::is_directory(installed, ec)) return installed.string();
  }
#ifdef LUMVEX_SOURCE_TEMPLATES
  if (fs::is_directory(LUMVEX_SOURCE_TEMPLATES, ec)) return LUMVEX_SOURCE_TEMPLATES;
#endif
  return {};
}

}  // namespace lumvex
