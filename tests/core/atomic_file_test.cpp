#include "platform/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "platform/write_error.h"
#include "tests/core/ini_file_fixture.h"

namespace fs = std::filesystem;
using namespace varnelo;

namespace {

class AtomicFileTest : public varnelo::testing::IniFileTest {
 protected:
  long Entries() const { return std::distance(fs::directory_iterator(folder_), {}); }
};

// A reader holding the old file keeps all of it: Config.ini is never rewritten in place.
TEST_F(AtomicFileTest, ReplacesTheFileNotItsBytes) {
  const std::string old = "[S]\nk=1\n", updated = "[S]\nk=2\n";
  struct Case {
    ::mode_t mode;
    const char* target;
    bool byProfile;
  } cases[] = {{0644, "Config.ini", false}, {0600, "link.ini", false}, {0600, "Config.ini", true}};
  fs::create_symlink("Config.ini", folder_ / "link.ini");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target + std::string(c.byProfile ? " by the profile" : ""));
    fs::remove(path_);
    Put(old);
    ASSERT_EQ(::chmod(path_.c_str(), c.mode), 0);
    struct stat before {}, after {};
    ASSERT_EQ(::stat(path_.c_str(), &before), 0);
    const int reader = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const std::string target = (folder_ / c.target).string();
    EXPECT_TRUE(c.byProfile ? profile::WriteString("S", "k", "2", target)
                            : WriteFileAtomically(target, updated));
    char seen[32];
    const ssize_t n = ::pread(reader, seen, sizeof seen, 0);
    EXPECT_EQ(std::string(seen, n > 0 ? static_cast<std::size_t>(n) : 0), old);
    ::close(reader);
    EXPECT_EQ(Contents(), updated);
    ASSERT_EQ(::stat(path_.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, c.mode);
    EXPECT_TRUE(fs::is_symlink(folder_ / "link.ini"));
    EXPECT_EQ(Entries(), 2);  // no temporary file left
  }
}

// A long write says how far it is, and stopped part way leaves the old file whole.
TEST_F(AtomicFileTest, AWriteStoppedPartWayLeavesTheOldFile) {
  Put("old");
  const std::string book(9u << 20, 'x');  // three pieces
  for (const int stopAt : {1, 0}) {  // asked the second time; never
    SCOPED_TRACE(stopAt);
    int asked = 0;
    std::int64_t lastDone = -1;
    std::error_code error;
    const bool written = WriteFileAtomically(path_, book, &error, [&](std::int64_t done, std::int64_t total) {
      EXPECT_EQ(total, static_cast<std::int64_t>(book.size()));
      EXPECT_GT(done, lastDone);
      lastDone = done;
      return stopAt == 0 || asked++ < stopAt;
    });
    EXPECT_EQ(written, stopAt == 0);
    if (stopAt != 0) {
      EXPECT_EQ(error, std::errc::operation_canceled);
      EXPECT_EQ(Contents(), "old");
    } else {
      EXPECT_TRUE(Contents() == book);
    }
    EXPECT_EQ(Entries(), 1);  // no temporary file left
  }
}

TEST_F(AtomicFileTest, NewFilesAndFailures) {
  const ::mode_t mask = ::umask(022);
  ::umask(mask);
  fs::create_symlink("book.txt", folder_ / "new-book.txt");  // its file does not exist yet
  EXPECT_TRUE(WriteFileAtomically(path_, "fresh"));
  EXPECT_TRUE(WriteFileAtomically((folder_ / "new-book.txt").string(), "book"));
  EXPECT_EQ(fs::status(path_).permissions(), static_cast<fs::perms>(0666 & ~mask));
  EXPECT_TRUE(fs::is_symlink(folder_ / "new-book.txt"));
  EXPECT_EQ(fs::file_size(folder_ / "book.txt"), 4u);

  // A folder fails at the rename, after the temporary file exists; a link loop must end.
  fs::create_directory(folder_ / "shelf");
  fs::create_symlink("loop", folder_ / "loop");
  for (const char* name : {"shelf", "missing/Config.ini", "loop"}) {
    std::error_code error;
    EXPECT_FALSE(WriteFileAtomically((folder_ / name).string(), "x", &error)) << name;
    EXPECT_TRUE(error) << name;
  }
  EXPECT_EQ(Entries(), 5);
  EXPECT_TRUE(fs::is_directory(folder_ / "shelf"));

  if (::geteuid() == 0) GTEST_SKIP() << "root ignores permissions";
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(WriteFileAtomically(path_, "lost"));
  EXPECT_EQ(Contents(), "fresh");
}

int readyPipe = -1;

// Holds a writer at the file-size limit, in the middle of its write, until it is killed.
void ParkAtTheLimit(int) {
  (void)::write(readyPipe, "!", 1);
  for (;;) ::pause();
}

// kill -9 in the middle of a write leaves its temporary file; the next write removes it,
// but not a temporary file whose process still runs.
TEST_F(AtomicFileTest, AWriterKilledMidwayLeavesNoTemporaryFileAfterTheNextSave) {
  Put("old");
  const std::string live = path_ + ".~" + std::to_string(::getppid()) + "-0";
  std::ofstream(live) << "a write in progress";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    readyPipe = ready[1];
    ::signal(SIGXFSZ, ParkAtTheLimit);
    const rlimit limit{1 << 16, 1 << 16};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    WriteFileAtomically(path_, std::string(1 << 20, 'x'));
    ::_exit(1);
  }
  char mark = 0;
  EXPECT_EQ(::read(ready[0], &mark, 1), 1);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  ASSERT_EQ(Entries(), 3) << "the killed writer's temporary file";

  EXPECT_TRUE(WriteFileAtomically(path_, "new"));
  EXPECT_EQ(Contents(), "new");
  EXPECT_EQ(Entries(), 2);
  EXPECT_TRUE(fs::exists(live));
}

}  // namespace

namespace {

// Why a write failed is told in the reader's language, whatever the session's is.
TEST(WriteErrorReason, CommonCausesInOurWordsOthersWithTheSystemsText) {
  const struct {
    int code;
    const char* reason;
  } cases[] = {
      {EACCES, "没有写入这个文件或文件夹的权限"}, {EPERM, "没有写入这个文件或文件夹的权限"},
      {ENOSPC, "磁盘已满（或磁盘配额已用完）"},   {EDQUOT, "磁盘已满（或磁盘配额已用完）"},
      {EROFS, "文件所在的磁盘是只读的"},          {ENOENT, "文件或它所在的文件夹不存在"},
  };
  for (const auto& c : cases) EXPECT_EQ(WriteErrorReason(c.code), c.reason) << c.code;
  EXPECT_EQ(WriteErrorReason(EIO), "写入时出错：" + std::generic_category().message(EIO));
  // The atomic writer's error is the errno the reason is looked up by.
  std::error_code error;
  ASSERT_FALSE(WriteFileAtomically("/no-such-folder-of-varnelo/book.txt", "x", &error));
  EXPECT_EQ(WriteErrorReason(error.value()), "文件或它所在的文件夹不存在");
}

}  // namespace
