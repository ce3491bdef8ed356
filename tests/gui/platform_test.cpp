// The platform stand-ins the windows rely on: timers by identifier, command routing and
// closing a notice by its title.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/command_router.h"
#include "platform/services.h"
#include "platform/start_environment.h"
#include "platform/top_level.h"
#include "platform/window_timers.h"

using namespace varnelo;

namespace {

// Runs the event loop until `done` or a generous bound; timers here tick in milliseconds.
template <typename Done>
bool SpinUntil(Done done) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (!done() && elapsed.elapsed() < 3000) QApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

class Recorder : public CommandTarget {
 public:
  Recorder(std::vector<int> handled, std::vector<std::string>& log, std::string name)
      : handled_(std::move(handled)), log_(log), name_(std::move(name)) {}
  bool HandlesCommand(int id) const override {
    return std::find(handled_.begin(), handled_.end(), id) != handled_.end();
  }
  void OnCommand(int id) override { log_.push_back(name_ + ":" + std::to_string(id)); }
  void UpdateCommand(int id, CommandState& state) const override {
    if (id == 7) state.enabled = false;
    if (id == 8) {
      state.checkable = true;
      state.checked = true;
    }
  }

 private:
  std::vector<int> handled_;
  std::vector<std::string>& log_;
  std::string name_;
};

}  // namespace

TEST(WindowTimers, SettingAnIdAgainReplacesItsPeriod) {
  QObject owner;
  std::vector<int> ticks;
  WindowTimers timers(&owner, [&](int id) { ticks.push_back(id); });
  timers.SetTimer(101, 5000);
  timers.SetTimer(101, 1);  // replaced, not a second timer
  EXPECT_EQ(timers.Interval(101), 1);
  ASSERT_TRUE(SpinUntil([&] { return ticks.size() >= 2; }));
  EXPECT_EQ(ticks[0], 101);
  timers.KillTimer(101);
  EXPECT_FALSE(timers.IsActive(101));
  EXPECT_EQ(timers.Interval(101), -1);
  timers.KillTimer(42);  // killing an unknown id is harmless
}

TEST(WindowTimers, AHandlerMayKillItsOwnTimer) {
  QObject owner;
  int ticks = 0;
  WindowTimers* self = nullptr;
  WindowTimers timers(&owner, [&](int id) {
    ++ticks;
    self->KillTimer(id);
  });
  self = &timers;
  timers.SetTimer(11, 1);
  timers.SetTimer(12, 1);
  ASSERT_TRUE(SpinUntil([&] { return !timers.IsActive(11) && !timers.IsActive(12); }));
  QApplication::processEvents();
  EXPECT_EQ(ticks, 2);
}

TEST(CommandRouter, FirstHandlerInTheChainWinsAndUnhandledIsGreyed) {
  std::vector<std::string> log;
  Recorder view({1, 7, 8}, log, "view");
  Recorder doc({}, log, "doc");
  Recorder frame({1, 2}, log, "frame");
  Recorder app({2, 3}, log, "app");
  CommandRouter router;
  router.SetChain({&view, &doc, &frame, &app});
  EXPECT_TRUE(router.Execute(1));
  EXPECT_TRUE(router.Execute(2));
  EXPECT_TRUE(router.Execute(3));
  EXPECT_FALSE(router.Execute(4));  // nobody: greyed, nothing runs
  EXPECT_FALSE(router.Execute(7));  // handled but disabled by its update handler
  EXPECT_EQ(log, (std::vector<std::string>{"view:1", "frame:2", "app:3"}));
  EXPECT_FALSE(router.StateOf(4).enabled);
  EXPECT_TRUE(router.StateOf(8).checked);
  EXPECT_TRUE(router.StateOf(3).enabled);
}

TEST(TopLevel, ClosesOnlyAVisibleWindowWithThatTitle) {
  QWidget other;
  other.setWindowTitle(QStringLiteral("提示 "));
  other.show();
  EXPECT_FALSE(CloseTopLevelWindowTitled(QStringLiteral("提示")));
  QWidget notice;
  notice.setWindowTitle(QStringLiteral("提示"));
  notice.show();
  EXPECT_TRUE(CloseTopLevelWindowTitled(QStringLiteral("提示")));
  QApplication::processEvents();
  EXPECT_FALSE(notice.isVisible());
  EXPECT_TRUE(other.isVisible());
}

// The real dialogs open where the user last chose something in either of them.
TEST(Dialogs, OpenWhereTheUserLastChose) {
  QTemporaryDir root;
  QDir(root.path()).mkpath("甲");
  QDir(root.path()).mkpath("丙");
  QFile(root.filePath("甲/书.txt")).open(QIODevice::WriteOnly);
  // Shows a dialog, answers it with `choice` and returns the folder it opened in.
  auto run = [](const std::function<QString()>& show, const QString& choice) {
    QString openedIn;
    QTimer::singleShot(0, [&openedIn, choice] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      openedIn = dialog->directory().absolutePath();
      dialog->selectFile(choice);
      static_cast<QDialog*>(dialog)->accept();  // as the OK button does
    });
    EXPECT_EQ(show(), choice);
    return openedIn.toStdString();
  };
  auto openFile = [] { return QtDialogService().OpenFileName(nullptr, "打开", "(*.txt)"); };
  auto browse = [] { return QtDialogService().FolderName(nullptr, "书库"); };
  run(openFile, root.filePath("甲/书.txt"));
  // The folder browser opens beside the last folder (with it selected), the open dialog in it.
  EXPECT_EQ(run(browse, root.filePath("丙")), root.path().toStdString());
  EXPECT_EQ(run(openFile, root.filePath("甲/书.txt")), root.filePath("丙").toStdString());
}

// A filter shows as the reader gives it, once, and lists the files of every pattern it
// names, whatever separates the patterns and whatever the letter case of the names.
TEST(Dialogs, FiltersShowAsGivenAndListEveryPattern) {
  QTemporaryDir root;
  for (const char* name : {"a.jpg", "b.BMP", "c.jpeg", "d.png", "e.txt", "f.gif"})
    QFile(root.filePath(name)).open(QIODevice::WriteOnly);
  const struct {
    QString filter;
    QStringList shown;
    QStringList listed;
  } rows[] = {
      {"常见格式图片(*.jpg,*.bmp,*.jpeg,*.png)", {"常见格式图片(*.jpg,*.bmp,*.jpeg,*.png)"},
       {"a.jpg", "b.BMP", "c.jpeg", "d.png"}},
      {"文本文件(*.txt);;ANSI文本(*.txt)", {"文本文件(*.txt)", "ANSI文本(*.txt)"}, {"e.txt"}},
      {"*.gif", {"*.gif"}, {"f.gif"}},
  };
  for (const auto& row : rows) {
    QStringList shown;
    QStringList listed;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      dialog->setDirectory(root.path());
      auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      for (int i = 0; types != nullptr && i < types->count(); ++i) shown << types->itemText(i);
      auto* tree = dialog->findChild<QTreeView*>();
      const auto count = [tree] { return tree->model()->rowCount(tree->rootIndex()); };
      // The folder's rows come from a thread.
      SpinUntil([&] { return count() >= row.listed.size(); });
      for (int i = 0; i < count(); ++i)
        listed << tree->model()->index(i, 0, tree->rootIndex()).data().toString();
      dialog->reject();
    });
    QtDialogService().OpenFileName(nullptr, QStringLiteral("打开"), row.filter);
    listed.sort();
    EXPECT_EQ(shown, row.shown) << row.filter.toStdString();
    EXPECT_EQ(listed, row.listed) << row.filter.toStdString();
  }
}

// What the reader sets for Qt's start must not reach the programs it starts: a browser
// opened from a link would otherwise draw without shared memory, or in Chinese.
TEST(StartEnvironment, GivesTheSessionItsOwnValuesBack) {
  setenv("VARNELO_TEST_SET", "session", 1);
  unsetenv("VARNELO_TEST_UNSET");
  {
    StartEnvironment environment;
    environment.Set("VARNELO_TEST_SET", "reader");
    environment.Set("VARNELO_TEST_SET", "reader again");  // the session's value is kept, not this
    environment.Set("VARNELO_TEST_UNSET", "reader");
    EXPECT_STREQ(std::getenv("VARNELO_TEST_SET"), "reader again");
    environment.Restore();
    EXPECT_STREQ(std::getenv("VARNELO_TEST_SET"), "session");
    EXPECT_EQ(std::getenv("VARNELO_TEST_UNSET"), nullptr);
    environment.Set("VARNELO_TEST_UNSET", "late");
  }  // and whatever is left at the end
  EXPECT_EQ(std::getenv("VARNELO_TEST_UNSET"), nullptr);
  unsetenv("VARNELO_TEST_SET");
}
