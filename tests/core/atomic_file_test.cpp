#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "tests/core/ini_file_fixture.h"

namespace fs = std::filesystem;
using namespace varnelo;

namespace {

class AtomicFileTest : public varnelo::testing::IniFileTest {
 protected:
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
};

std::string ReadFrom(int fd) {
  char buffer[64];
  const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
  return n < 0 ? "(error)" : std::string(buffer, static_cast<std::size_t>(n));
}

// A reader holding the old file keeps seeing all of it: the write is a new inode renamed
// over the old, never the old one rewritten in place.
TEST_F(AtomicFileTest, ReplacesTheFileNotItsBytes) {
  const std::string old = "[Style]\nTxtSize=270\n";
  struct Case {
    const char* name;
    ::mode_t mode;
    const char* writePath;  // relative to the folder; Config.ini holds the bytes
    std::function<bool(const std::string&)> write;
    std::string expected;
  } cases[] = {
      {"plain", 0644, "Config.ini",
       [](const std::string& p) { return WriteFileAtomically(p, "new"); }, "new"},
      {"private", 0600, "Config.ini",
       [](const std::string& p) { return WriteFileAtomically(p, ""); }, ""},
      {"through a link", 0640, "link.ini",
       [](const std::string& p) { return WriteFileAtomically(p, "linked"); }, "linked"},
      {"profile write", 0600, "Config.ini",
       [](const std::string& p) { return profile::WriteString("Style", "TxtSize", "300", p); },
       "[Style]\nTxtSize=300\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    Put(old);
    ASSERT_EQ(::chmod(path_.c_str(), c.mode), 0);
    fs::create_symlink("Config.ini", folder_ / "link.ini");
    struct stat before {};
    ASSERT_EQ(::stat(path_.c_str(), &before), 0);
    const int reader = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);

    EXPECT_TRUE(c.write((folder_ / c.writePath).string()));

    EXPECT_EQ(ReadFrom(reader), old);
    ::close(reader);
    EXPECT_EQ(Contents(), c.expected);
    struct stat after {};
    ASSERT_EQ(::stat(path_.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, c.mode);
    EXPECT_TRUE(fs::is_symlink(folder_ / "link.ini"));
    EXPECT_EQ(Names(), (std::set<std::string>{"Config.ini", "link.ini"}));  // no temporary left
  }
}

TEST_F(AtomicFileTest, NewFilesAndFailures) {
  const ::mode_t mask = ::umask(022);
  ::umask(mask);

  // A new file, and a link whose file does not exist yet: the link must survive.
  fs::create_symlink("book.txt", folder_ / "dangling.txt");
  EXPECT_TRUE(WriteFileAtomically(path_, "fresh"));
  EXPECT_TRUE(WriteFileAtomically((folder_ / "dangling.txt").string(), "made"));
  EXPECT_EQ(Contents(), "fresh");
  EXPECT_EQ(fs::status(path_).permissions(), static_cast<fs::perms>(0666 & ~mask));
  EXPECT_TRUE(fs::is_symlink(folder_ / "dangling.txt"));
  EXPECT_EQ(fs::file_size(folder_ / "book.txt"), 4u);

  // Each fails after or before making its temporary file; none may leave one behind.
  fs::create_directory(folder_ / "shelf");
  fs::create_symlink("loop", folder_ / "loop");
  const std::set<std::string> before = Names();
  for (const char* name : {"shelf", "missing/Config.ini", "loop", ""}) {
    std::error_code error;
    const std::string target = *name ? (folder_ / name).string() : std::string();
    EXPECT_FALSE(WriteFileAtomically(target, "x", &error)) << name;
    EXPECT_TRUE(error) << name;
  }
  EXPECT_EQ(Names(), before);
  EXPECT_TRUE(fs::is_directory(folder_ / "shelf"));

  if (::geteuid() == 0) GTEST_SKIP() << "root ignores permissions";
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(WriteFileAtomically(path_, "lost"));
  EXPECT_EQ(Contents(), "fresh");
}

}  // namespace
