// A book named on the command line does not wait for the last book: the start returns to
// the last book's settings and lists without reading its file.
#include <QListWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "app/varnelo_app.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "store/config_store.h"
#include "store/read_record_format.h"
#include "tests/gui/test_support.h"

namespace varnelo {
namespace {

// Counts every open of one file from the moment it is made.
class OpenWatch {
 public:
  explicit OpenWatch(const std::string& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ >= 0) inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_ACCESS);
  }
  ~OpenWatch() {
    if (fd_ >= 0) close(fd_);
  }
  bool Watching() const { return fd_ >= 0; }
  int Opens() const {
    alignas(inotify_event) char buffer[4096];
    int events = 0;
    for (ssize_t n; (n = read(fd_, buffer, sizeof buffer)) > 0;) {
      for (char* p = buffer; p < buffer + n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(p);
        ++events;
        p += sizeof(inotify_event) + event->len;
      }
    }
    return events;
  }

 private:
  int fd_;
};

class NamedBookStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    home_ = folder_.path().toStdString() + "/";
    setenv(kProgramFolderOverride, home_.c_str(), 1);
    ini_ = SettingsPathIn(home_);
    clock_.now = 1700000000;
  }
  void TearDown() override {
    app_.reset();
    unsetenv(kProgramFolderOverride);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = home_ + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  bool Start(const std::string& book) {
    app_ = std::make_unique<CVarneloApp>();
    return app_->InitInstance({"varnelo", book});
  }

  testing::FakeClock clock_;
  ScopedClock clockGuard_{&clock_};
  testing::ScriptedMessageBoxes boxes_;
  ScopedMessageBoxes boxesGuard_{&boxes_};
  QTemporaryDir folder_;
  std::string home_;
  std::string ini_;
  std::unique_ptr<CVarneloApp> app_;
};

TEST_F(NamedBookStartTest, LastBookIsNeverReadButItsRecordAndFolderAreKept) {
  std::string lines;
  for (int i = 0; i < 400; ++i) lines += "\xd2\xbb\xd0\xd0 line " + std::to_string(i) + "\r\n";
  const std::string last = Write("last.txt", lines);
  const std::string book = Write("book.txt", "\xb5\xda\xd2\xbb\xd5\xc2\r\nabc\r\n");
  Write("third.txt", "abc\r\n");
  ASSERT_TRUE(profile::WriteString("BookMark", "0", "last.txt,P3,09:00,05/March >" + last, ini_));
  ASSERT_TRUE(profile::WriteString("Interface", "shukuflag", "2", ini_));
  {
    CConfigStore store;
    store.SetSettingsPath(ini_);
    ASSERT_TRUE(store.SaveReadRecord(1, 1, "last.txt", "60", "2010/5/3 14:05", "2010/5/3 15:05"));
  }
  const OpenWatch watch(last);
  ASSERT_TRUE(watch.Watching());

  ASSERT_TRUE(Start(book));
  for (const testing::ShownMessage& box : boxes_.shown) ADD_FAILURE() << box.text.toStdString();
  CVarneloView* view = app_->MainFrame()->View();
  EXPECT_EQ(view->CurrentPath(), book);
  EXPECT_EQ(watch.Opens(), 0) << "the last book's file was read";
  ASSERT_EQ(view->LibraryList()->count(), 1);
  EXPECT_EQ(view->LibraryList()->item(0)->text(), QStringLiteral("book.txt"));

  // Its reading period ended as the named book replaced it, as after a read.
  CConfigStore store;
  store.SetSettingsPath(ini_);
  store.LoadReadRecords();
  ASSERT_EQ(store.ReadRecordCount(), 1);
  EXPECT_EQ(store.ReadRecord(0).total, "60");
  EXPECT_EQ(store.ReadRecord(0).last, RecordTime(clock_.now));
}

// A named book the reader refuses leaves the last book on screen after all, at its page.
TEST_F(NamedBookStartTest, RefusedNamedBookFallsBackToTheLastBook) {
  std::string lines;
  for (int i = 0; i < 400; ++i) lines += "\xd2\xbb\xd0\xd0 line " + std::to_string(i) + "\r\n";
  const std::string last = Write("last.txt", lines);
  const std::string empty = Write("empty.txt", "");
  ASSERT_TRUE(profile::WriteString("BookMark", "0", "last.txt,P3,09:00,05/March >" + last, ini_));
  ASSERT_TRUE(Start(empty));
  EXPECT_EQ(boxes_.shown.size(), 1u);
  CVarneloView* view = app_->MainFrame()->View();
  EXPECT_EQ(view->CurrentPath(), last);
  EXPECT_EQ(view->CurrentPage(), 3);
}

}  // namespace
}  // namespace varnelo
