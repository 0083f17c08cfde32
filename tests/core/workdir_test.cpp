// The working folder: --workdir taken as it is, a current folder holding the
// configuration kept, else the user's own folder made and filled from the
// templates without overwriting what is already there.
#include "core/workdir.h"

#include "support/testing.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using lumvex::testing::readFile;
using lumvex::testing::TempDir;
using lumvex::testing::writeFile;

// Runs the test in `cwd` with HOME at `home` and no XDG_DATA_HOME, restoring
// all three afterwards.
struct Place {
  Place(const std::string& cwd, const std::string& home) : oldCwd(std::filesystem::current_path()) {
    if (const char* h = std::getenv("HOME")) oldHome = h;
    if (const char* x = std::getenv("XDG_DATA_HOME")) oldXdg = x;
    std::filesystem::current_path(cwd);
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
  }
  ~Place() {
    std::filesystem::current_path(oldCwd);
    setenv("HOME", oldHome.c_str(), 1);
    if (!oldXdg.empty()) setenv("XDG_DATA_HOME", oldXdg.c_str(), 1);
  }
  std::filesystem::path oldCwd;
  std::string oldHome, oldXdg;
};

TEST(WorkDir, UserFolderIsMadeFromTheTemplatesAndKeepsWhatItHolds) {
  TempDir templates, home, cwd;
  writeFile(templates.file("Lumvex_8_0.ini"), "template ini");
  writeFile(templates.file("reinit.txt"), "template list");
  Place p(cwd.path(), home.path());
  std::string error;
  const std::string folder = lumvex::PrepareWorkDir("", templates.path(), error);
  EXPECT_EQ(folder, home.file(".local/share/lumvex")) << error;
  EXPECT_EQ(readFile(folder + "/Lumvex_8_0.ini"), "template ini");

  writeFile(folder + "/Lumvex_8_0.ini", "the operator's own");
  std::filesystem::remove(folder + "/reinit.txt");
  EXPECT_EQ(lumvex::PrepareWorkDir("", templates.path(), error), folder);
  EXPECT_EQ(readFile(folder + "/Lumvex_8_0.ini"), "the operator's own");
  EXPECT_EQ(readFile(folder + "/reinit.txt"), "template list");  // a missing template comes back

  setenv("XDG_DATA_HOME", cwd.path().c_str(), 1);
  EXPECT_EQ(lumvex::PrepareWorkDir("", templates.path(), error), cwd.file("lumvex"));
}

TEST(WorkDir, CurrentFolderWithTheConfigurationAndTheOptionAreTakenAsTheyAre) {
  TempDir templates, home, cwd;
  writeFile(templates.file("Lumvex_8_0.ini"), "template ini");
  writeFile(cwd.file("Lumvex_8_0.ini"), "here");
  Place p(cwd.path(), home.path());
  std::string error;
  EXPECT_EQ(lumvex::PrepareWorkDir("", templates.path(), error), ".");
  EXPECT_FALSE(std::filesystem::exists(home.file(".local")));

  TempDir empty;
  EXPECT_EQ(lumvex::PrepareWorkDir(empty.path(), templates.path(), error), empty.path());
  EXPECT_FALSE(std::filesystem::exists(empty.file("Lumvex_8_0.ini"))) << "--workdir is used as it is";
  EXPECT_EQ(lumvex::PrepareWorkDir(empty.file("none"), templates.path(), error), "");
  EXPECT_EQ(error, "the working folder " + empty.file("none") + " does not exist");
}

}  // namespace
