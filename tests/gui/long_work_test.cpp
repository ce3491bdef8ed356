// Long actions run while the window goes on: a timer ticks during them, Esc cancels them,
// and a cancelled one leaves the reader as it was. A hook holds the work until it is
// cancelled (or lets it go after some ticks), so nothing depends on the machine's speed.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "aids/book_find.h"
#include "aids/conversion_part.h"
#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/long_work.h"
#include "res/command_ids.h"
#include "platform/profile.h"
#include "store/book_encodings.h"
#include "store/chapter_rules.h"
#include "store/config_schema.h"
#include "store/store_menus.h"
#include "tests/gui/test_support.h"
#include "text/book_engine.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

// What the user sees of the reader, to compare before and after.
struct Seen {
  std::string path;
  int mode = 0;
  int pages = 0;
  int page = 0;
  QString pane;
  int line = 0;
  QString selected;
  bool operator==(const Seen&) const = default;
};

class LongWorkTest : public ::testing::Test, protected testing::ReaderSession {
 protected:
  void SetUp() override {
    std::string book;
    for (int k = 1; k <= 30; ++k) {
      book += "\xb5\xda" + std::to_string(k) + "\xd5\xc2\r\n";  // 第k章
      for (int i = 0; i < 80; ++i) book += "\xd2\xbb\xd0\xd0 line Word " + std::to_string(i) + "\r\n";
    }
    path_ = home_.Folder() + "book.txt";
    std::ofstream(path_, std::ios::binary) << book;
    ASSERT_TRUE(StartReader());
    OpenByKeys(path_);
    ASSERT_EQ(view_->CurrentPath(), path_);
    ASSERT_EQ(view_->PagingMode(), kLinePaging);
  }
  void TearDown() override {
    SetLongWorkHook(nullptr);
    app_.MainFrame()->close();
  }
  Seen Now() const {
    return {view_->CurrentPath(), view_->PagingMode(), view_->PageCount(), view_->CurrentPage(),
            view_->Pane()->PaneText(), view_->Pane()->FirstVisibleLine(),
            view_->Pane()->textCursor().selectedText()};
  }
  // Holds every long work until the window's timer has ticked twice; `action` starts it.
  void AfterTwoTicks(const std::function<void()>& action) {
    std::atomic<int> ticks{0};
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    SetLongWorkHook([&ticks](WorkControl&) {
      while (ticks < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    tick.start(5);
    action();
    tick.stop();
    SetLongWorkHook(nullptr);
  }
  // Holds every long work after the first `passing` until Esc, pressed on the page after
  // the window's timer ticked a few times; `action` starts the work. Returns the ticks seen
  // while the work was held.
  int CancelledByEsc(const std::function<void()>& action, int passing = 0) {
    std::atomic<bool> entered{false};
    std::atomic<int> passed{0};
    SetLongWorkHook([&entered, &passed, passing](WorkControl& control) {
      if (passed < passing) {
        ++passed;
        return;
      }
      entered = true;
      // A bound only so that a fault hangs no run; the test fails on it below.
      const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!control.Cancelled() && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      if (entered && ++ticks == 3) testing::PressKey(app_.MainFrame(), Qt::Key_Escape);
    });
    tick.start(5);
    action();
    tick.stop();
    SetLongWorkHook(nullptr);
    EXPECT_TRUE(entered) << "the work never ran on a thread of its own";
    return ticks;
  }

  std::string path_;
};

TEST_F(LongWorkTest, CancelledActionsLeaveTheReaderAsItWas) {
  testing::PressKey(view_->Pane(), Qt::Key_Right);  // somewhere past the start, a word selected
  Action(cmd::kBookFind)->trigger();
  auto* dialog = view_->findChild<BookFindDialog*>();
  ASSERT_NE(dialog, nullptr);
  dialog->WordsBox()->setText(QStringLiteral("word"));
  dialog->FindNextButton()->click();
  ASSERT_EQ(view_->Pane()->textCursor().selectedText(), QStringLiteral("Word"));
  dialog->FindAllButton()->click();
  const int listed = dialog->Matches()->count();
  ASSERT_GT(listed, 100);
  dialog->WordsBox()->setText(QStringLiteral("line"));

  const struct {
    const char* name;
    std::function<void()> action;
  } rows[] = {
      {"find next", [&] { dialog->FindNextButton()->click(); }},
      {"find all", [&] { dialog->FindAllButton()->click(); }},
      {"chapter paging", [&] { Action(cmd::kChapterPaging)->trigger(); }},
      {"simplified characters", [&] { Action(cmd::kConvertSimplified)->trigger(); }},
      {"chapter list in line paging", [&] { testing::PressKey(view_->Pane(), Qt::Key_F4); }},
      {"bookmark named by its chapter", [&] { Action(cmd::kAddBookmark)->trigger(); }},
      {"rules applied to the file", [&] { Action(cmd::kApplyCleanToFile)->trigger(); }},
  };
  const std::string file = testing::FileBytes(path_);
  for (const auto& row : rows) {
    const Seen before = Now();
    EXPECT_GE(CancelledByEsc(row.action), 3) << row.name << ": no tick while it ran";
    EXPECT_TRUE(Now() == before) << row.name << ": the reader changed";
    EXPECT_EQ(dialog->Matches()->count(), listed) << row.name;
    EXPECT_EQ(app_.MainFrame()->Conversion()->Mode(), ConvertMode::None) << row.name;
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << row.name << ": a list or box came up";
    EXPECT_TRUE(boxes_.shown.empty()) << row.name;
    EXPECT_FALSE(LongWorkRunning()) << row.name;
    EXPECT_EQ(testing::FileBytes(path_), file) << row.name;
    EXPECT_EQ(view_->Store().BookmarkCount(), 0) << row.name;
  }
  // Not cancelled, the same work takes effect once it ends.
  const int linePages = view_->PageCount();
  AfterTwoTicks([&] { Action(cmd::kChapterPaging)->trigger(); });
  EXPECT_EQ(view_->PagingMode(), kChapterPaging);
  EXPECT_EQ(view_->PageCount(), 30);
  // Back to line pages likewise: cancelled, the chapters stay; let go, the lines come.
  const Seen inChapters = Now();
  EXPECT_GE(CancelledByEsc([&] { Action(cmd::kLinePaging)->trigger(); }), 3);
  EXPECT_TRUE(Now() == inChapters);
  AfterTwoTicks([&] { Action(cmd::kLinePaging)->trigger(); });
  EXPECT_EQ(view_->PagingMode(), kLinePaging);
  EXPECT_EQ(view_->PageCount(), linePages);
}

// Keys typed while work runs are typed again once it ends, into what has the focus then.
TEST_F(LongWorkTest, KeysTypedWhileWorkRunsAreTypedOnceItEnds) {
  Action(cmd::kBookFind)->trigger();
  auto* dialog = view_->findChild<BookFindDialog*>();
  ASSERT_NE(dialog, nullptr);
  dialog->WordsBox()->setText(QStringLiteral("li"));
  std::atomic<int> ticks{0};
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    if (++ticks != 2) return;
    testing::PressKey(dialog->WordsBox(), QKeyCombination(Qt::Key_N), QStringLiteral("n"));
    testing::PressKey(dialog->WordsBox(), QKeyCombination(Qt::Key_E), QStringLiteral("e"));
  });
  SetLongWorkHook([&ticks](WorkControl&) {
    while (ticks < 4) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  tick.start(5);
  dialog->FindAllButton()->click();
  tick.stop();
  SetLongWorkHook(nullptr);
  EXPECT_EQ(dialog->WordsBox()->text(), QStringLiteral("li")) << "typed while the work read the words";
  QApplication::processEvents();
  EXPECT_EQ(dialog->WordsBox()->text(), QStringLiteral("line"));
}

}  // namespace
}  // namespace varnelo

namespace varnelo {
namespace {

// A book to be paged by chapters has its chapter pass made with the read, off the window's
// thread: opening a large one never leaves the window unpainted for that pass.
TEST(LongWorkOpen, ABookPagedByChaptersIsScannedWithTheRead) {
  testing::ReaderSession reader;
  // A rule of the user's, so that the thread its pass runs on can be watched.
  const std::string config = reader.home_.ConfigPath();
  profile::WriteString(config_names::kChapterRules, config_names::kRuleNum, "1", config);
  profile::WriteString(config_names::kChapterRules, "1", UserRuleValue({1, "章", "^第.+章$"}), config);
  ASSERT_TRUE(reader.StartReader());
  std::vector<bool> onWindowThread;
  reader.view_->SetUserRuleScan([&](std::string_view text, int) {
    onWindowThread.push_back(QThread::currentThread() == qApp->thread());
    std::vector<FoundHeading> headings;  // every line that begins with 第
    for (std::size_t at = 0; at < text.size();) {
      if (text.substr(at, 2) == "\xb5\xda") headings.push_back({static_cast<std::int64_t>(at), 0, 4, 0});
      const std::size_t end = text.find('\n', at);
      at = end == std::string_view::npos ? text.size() : end + 1;
    }
    return std::optional(headings);
  });
  std::string book;
  for (int k = 1; k <= 5; ++k) book += "\xb5\xda" + std::to_string(k) + "\xd5\xc2\r\nline\r\n";  // 第k章
  for (const char* name : {"a.txt", "b.txt"}) std::ofstream(reader.home_.Folder() + name, std::ios::binary) << book;
  reader.OpenByKeys(reader.home_.Folder() + "a.txt");
  reader.view_->SwitchPaging(kChapterPaging, kFirstUserRule + 1);  // the reader's choice from now on
  ASSERT_EQ(reader.view_->PagingMode(), kChapterPaging);
  onWindowThread.clear();
  reader.OpenByKeys(reader.home_.Folder() + "b.txt");
  ASSERT_EQ(reader.view_->CurrentPath(), reader.home_.Folder() + "b.txt");
  EXPECT_EQ(onWindowThread, std::vector<bool>{false});
  EXPECT_EQ(reader.view_->PageCount(), 5);
  reader.app_.MainFrame()->close();
}

// A focus change while a book is read (the window's first activation at the start is one)
// opens nothing else: the side bar's list takes the focus without opening its first book.
TEST(LongWorkFocus, FocusMovingWhileABookIsReadOpensNothingElse) {
  testing::ReaderSession reader;
  ASSERT_TRUE(reader.StartReader());
  const std::string novel = reader.home_.Folder() + "novel.txt";
  std::filesystem::copy_file(testing::CorpusBook("三国演义.txt"), novel);
  std::atomic<int> ticks{0};
  std::string whileHeld = "?";
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    if (++ticks == 1) reader.view_->LibraryList()->setFocus(Qt::ActiveWindowFocusReason);
    if (ticks == 3) whileHeld = reader.view_->CurrentPath();
  });
  SetLongWorkHook([&ticks](WorkControl&) {
    while (ticks < 4) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  tick.start(5);
  reader.OpenByKeys(novel);
  tick.stop();
  SetLongWorkHook(nullptr);
  EXPECT_EQ(whileHeld, "") << "a second open ran inside the first";
  EXPECT_EQ(reader.view_->CurrentPath(), novel);
  reader.app_.MainFrame()->close();
}

// Opening a book is long work too: held until Esc, the reader keeps the book it shows, at
// its place, under its title, with its status bar, lists and kept places, and says nothing.
TEST_F(LongWorkTest, OpeningABookCanBeCancelledAndOtherwiseOpens) {
  testing::PressKey(view_->Pane(), Qt::Key_Right);
  CMainFrame* frame = app_.MainFrame();
  const auto around = [&] {
    frame->OnTimer(CMainFrame::kClockTimer);  // the status bar as the clock's tick shows it
    QStringList seen{frame->windowTitle(), frame->WordCountPane()->text(), frame->ReadingPane()->text()};
    for (const QAction* item : frame->StoreMenuOf(StoreMenu::RecentBooks)->actions()) seen << item->text();
    return seen;
  };
  const Seen before = Now();
  const QStringList window = around();
  const std::string config = testing::FileBytes(home_.ConfigPath());
  // A copy: should the open go through after all, nothing below may write into the corpus.
  const std::string novel = home_.Folder() + "水浒传.txt";
  std::filesystem::copy_file(testing::CorpusBook("水浒传.txt"), novel);
  EXPECT_GE(CancelledByEsc([&] { OpenByKeys(novel); }), 3) << "no tick while the book was read";
  EXPECT_TRUE(Now() == before);
  EXPECT_EQ(around(), window);
  EXPECT_EQ(testing::FileBytes(home_.ConfigPath()), config);
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  CancelledByEsc([&] { Action(cmd::kEncodingBig5)->trigger(); });
  EXPECT_EQ(EncodingChoiceOf(path_, home_.ConfigPath()), std::nullopt) << "the book is still read as GBK";

  // A save cancelled while it reads the file back to check it, or while it writes: the file
  // is as it was, with no temporary beside it, and the edit stays in edit mode.
  ASSERT_EQ(view_->CurrentPath(), path_);
  Action(cmd::kEditMode)->trigger();
  testing::PressKey(view_->Pane(), Qt::Key_X, QStringLiteral("x"));
  const std::string text = view_->Text();
  const std::string file = testing::FileBytes(path_);
  const auto folder = [&] {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(home_.Folder())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> files = folder();
  const auto ctrlS = [&] { testing::PressKey(view_->Pane(), Qt::ControlModifier | Qt::Key_S); };
  for (int passing : {0, 1}) {
    EXPECT_GE(CancelledByEsc(ctrlS, passing), 3) << "no tick while the book was saved";
    EXPECT_TRUE(testing::FileBytes(path_) == file) << "the book was written; works let through: " << passing;
    EXPECT_EQ(folder(), files) << "no temporary file is left";
    EXPECT_TRUE(view_->EditMode() && view_->Pane()->IsModified());
    EXPECT_TRUE(boxes_.shown.empty()) << boxes_.shown.back().text.toStdString();
  }

  // A save read back is cancelled: the file has the edit, the page shows it, and edit mode
  // waits for the book to be read again.
  CancelledByEsc(ctrlS, 2);
  EXPECT_EQ(testing::FileBytes(path_).size(), text.size() + 1);
  EXPECT_FALSE(view_->EditMode());
  EXPECT_FALSE(view_->Pane()->IsModified());
  EXPECT_TRUE(boxes_.shown.empty());
  Action(cmd::kEditMode)->trigger();
  EXPECT_TRUE(view_->EditMode());
  EXPECT_EQ(view_->Text().size(), text.size() + 1) << "edit mode began on the book as it was";

  // Let go after some ticks, the open goes through.
  Action(cmd::kEditMode)->trigger();
  AfterTwoTicks([&] { OpenByKeys(novel); });
  EXPECT_EQ(view_->CurrentPath(), novel);
  frame->OnTimer(CMainFrame::kClockTimer);
  EXPECT_TRUE(frame->ReadingPane()->text().contains(QStringLiteral("水浒传"))) << frame->ReadingPane()->text().toStdString();
  EXPECT_TRUE(boxes_.shown.empty());
}

}  // namespace
}  // namespace varnelo
