// Where Config.ini lives and what the command line asks for.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "platform/program_folder.h"
#include "tests/core/scratch_folder.h"

namespace varnelo {
namespace {

namespace fs = std::filesystem;

TEST(SettingsPlace, OverrideThenWritableProgramFolderThenUserConfig) {
  struct Case {
    SettingsPlace place;
    const char* folder;
    const char* why;
  } cases[] = {
      {{"/srv/v", "/opt/v/", true, "/x", "/home/u"}, "/srv/v/", "VARNELO_HOME first"},
      {{"/srv/v/", "/opt/v/", false, "", "/home/u"}, "/srv/v/", "already ends with /"},
      {{"", "/home/u/varnelo/build/", true, "/x", "/home/u"}, "/home/u/varnelo/build/",
       "a build or a portable copy"},
      {{"", "/usr/bin/", false, "/home/u/cfg", "/home/u"}, "/home/u/cfg/varnelo/",
       "installed: XDG_CONFIG_HOME"},
      {{"", "/usr/bin/", false, "", "/home/u"}, "/home/u/.config/varnelo/", "default ~/.config"},
      {{"", "/usr/bin/", true, "", "/root"}, "/root/.config/varnelo/",
       "root may write /usr/bin, but settings never go there"},
      {{"", "/usr/local/bin/", true, "", "/root"}, "/root/.config/varnelo/", "nor /usr/local"},
      {{"", "/usr/bin/", false, "cfg", "/home/u/"}, "/home/u/.config/varnelo/",
       "a relative XDG_CONFIG_HOME is ignored"},
  };
  for (const Case& c : cases) EXPECT_EQ(SettingsFolderOf(c.place), c.folder) << c.why;
}

TEST(SettingsPlace, ProcessFolderIsWritableAndUserFoldersAreMadePrivate) {
  // The test binary's own folder, the build, is writable: that is where it keeps settings.
  EXPECT_TRUE(FolderWritable(ExecutableFolder()));
  EXPECT_FALSE(FolderWritable("/no/such/folder/"));

  const fs::path root = testing::ScratchFolder() / "settings";
  const std::string deep = (root / "a" / "b" / "varnelo").string() + "/";
  ASSERT_TRUE(CreateFolders(deep));
  struct stat info {};
  ASSERT_EQ(::stat(deep.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_TRUE(CreateFolders(deep)) << "an existing folder is fine";
  testing::ScratchFile("settings/file", "x");
  EXPECT_FALSE(CreateFolders((root / "file" / "sub").string()));
  EXPECT_FALSE(CreateFolders((root / "file").string()));
}

TEST(CommandLine, OneBookAndTheTwoQuestions) {
  using A = CommandLine::Action;
  struct Case {
    std::vector<std::string> arguments;
    A action;
    const char* book;
  } cases[] = {
      {{"varnelo"}, A::Run, ""},
      {{"varnelo", "书.txt"}, A::Run, "书.txt"},
      {{"varnelo", ""}, A::Run, ""},  // an empty %f
      {{"varnelo", "-"}, A::Run, "-"},
      {{"varnelo", "--", "--help"}, A::Run, "--help"},
      {{"varnelo", "--help"}, A::Help, ""},
      {{"varnelo", "-h", "--version"}, A::Help, ""},
      {{"varnelo", "-platform", "offscreen", "-v"}, A::Version, ""},
      // Qt's own options, read before Qt takes them out: passed over with their values.
      {{"varnelo", "-platform", "offscreen", "--bogus"}, A::Error, ""},
      {{"varnelo", "-style", "Fusion", "--platform", "xcb", "a.txt"}, A::Run, "a.txt"},
      {{"varnelo", "-style=Fusion", "-reverse", "a.txt"}, A::Run, "a.txt"},
      {{"varnelo", "a.txt", "-display", ":0"}, A::Run, "a.txt"},
      {{"varnelo", "-platform"}, A::Run, ""},
      {{"varnelo", "-stylish"}, A::Error, ""},
      {{"varnelo", "a.txt", "--version"}, A::Version, "a.txt"},
      {{"varnelo", "--verbose"}, A::Error, ""},
      {{"varnelo", "a.txt", "b.txt"}, A::Error, "a.txt"},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.arguments);
    const std::string shown = c.arguments.size() > 1 ? c.arguments.back() : "(none)";
    EXPECT_EQ(line.action, c.action) << shown;
    EXPECT_EQ(line.book, c.book) << shown;
    if (c.action == A::Run || c.action == A::Error) {
      EXPECT_EQ(line.error.empty(), c.action == A::Run) << shown;
    }
  }
  EXPECT_NE(ParseCommandLine({"varnelo", "--verbose"}).error.find("--verbose"), std::string::npos);
  EXPECT_EQ(VersionText(), std::string("Varnelo 小说阅读器 ") + VARNELO_VERSION + "\n");
  EXPECT_EQ(AbsolutePath("/a/b.txt"), "/a/b.txt");
  EXPECT_EQ(AbsolutePath("b.txt"), (fs::current_path() / "b.txt").string());
}

}  // namespace
}  // namespace varnelo
