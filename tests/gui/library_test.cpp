// The library side bar and the recent folders, driven through keys, clicks, drops and the
// menu's actions of a whole running reader.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "aids/reading_aids.h"
#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "tests/gui/test_support.h"
#include "text/varnelo_view.h"

using namespace varnelo;
using namespace varnelo::testing;

namespace {

// A small book in GBK: "第一章" and enough lines for two pages by lines, `size` bytes.
std::string BookBytes(std::size_t size) {
  std::string bytes = "\xb5\xda\xd2\xbb\xd5\xc2\r\n";
  while (bytes.size() < size) bytes += "line\r\n";
  bytes.resize(size, 'x');
  return bytes;
}

void WriteFile(const QString& path, std::size_t size = 600) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray::fromStdString(BookBytes(size)));
}

std::vector<std::string> Entries(const QListWidget* list) {
  std::vector<std::string> texts;
  for (int i = 0; i < list->count(); ++i) texts.push_back(list->item(i)->text().toStdString());
  return texts;
}

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home_.isValid() && books_.isValid());
    if (const char* old = std::getenv(kProgramFolderOverride)) oldHome_ = old;
    setenv(kProgramFolderOverride, home_.path().toStdString().c_str(), 1);
    ini_ = SettingsPathIn(home_.path().toStdString() + "/");
    for (const char* name : {"a.txt", "BOOK.TXT", "c.txt", "notes.md"}) WriteFile(books_.filePath(name));
    QDir(books_.path()).mkdir(QStringLiteral("sub.txt"));
  }
  void TearDown() override {
    app_.reset();
    if (oldHome_) {
      setenv(kProgramFolderOverride, oldHome_->c_str(), 1);
    } else {
      unsetenv(kProgramFolderOverride);
    }
  }

  void Start() {
    app_ = std::make_unique<CVarneloApp>();
    ASSERT_TRUE(app_->InitInstance({"varnelo"}));
    Frame()->resize(1000, 700);
    QApplication::processEvents();
  }
  CMainFrame* Frame() const { return app_->MainFrame(); }
  CVarneloView* View() const { return Frame()->View(); }
  QListWidget* List() const { return View()->LibraryList(); }
  std::string Book(const char* name) const { return books_.filePath(name).toStdString(); }

  void Press(QWidget* target, QKeyCombination key) {
    QApplication::setActiveWindow(target->window());
    target->setFocus();
    QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers());
    QApplication::sendEvent(target, &press);
  }
  void Click(int row) {
    const QPoint at = List()->visualItemRect(List()->item(row)).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent event(type, at, List()->viewport()->mapToGlobal(at), Qt::LeftButton,
                        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                        Qt::NoModifier);
      QApplication::sendEvent(List()->viewport(), &event);
    }
  }
  void MoveMouseOver(QWidget* widget) {
    QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
  }
  void ListBooksWithCtrlN() {
    dialogs_.folders.push_back(books_.path());
    Press(View()->Pane(), Qt::ControlModifier | Qt::Key_N);
  }
  std::string Stored(std::string_view section, const std::string& key) {
    return profile::GetString(section, key, "<missing>", ini_);
  }

  FakeClock clock_;
  ScopedClock clockGuard_{&clock_};
  ScriptedMessageBoxes boxes_;
  ScopedMessageBoxes boxesGuard_{&boxes_};
  ScriptedDialogs dialogs_;
  ScopedDialogs dialogsGuard_{&dialogs_};
  QTemporaryDir home_;
  QTemporaryDir books_;
  std::optional<std::string> oldHome_;
  std::string ini_;
  std::unique_ptr<CVarneloApp> app_;
};

TEST_F(LibraryTest, FolderListedOpenedHiddenAndFoundUnderRecentFolders) {
  Start();
  EXPECT_TRUE(Frame()->StoreMenuOf(StoreMenu::RecentFolders)->actions().isEmpty())
      << "the placeholder goes, no folder yet";
  ListBooksWithCtrlN();
  EXPECT_EQ(dialogs_.folderTitles, std::vector<QString>{QStringLiteral("书库")});
  EXPECT_EQ(Entries(List()), (std::vector<std::string>{"a.txt", "BOOK.TXT", "c.txt"}));
  Click(1);
  EXPECT_EQ(View()->CurrentPath(), Book("BOOK.TXT"));
  EXPECT_EQ(View()->CurrentPage(), 1);

  // F1 hides and shows the side bar; its action is checked while the bar shows.
  QAction* sideBar = Frame()->ActionOf(32800);
  EXPECT_TRUE(sideBar->isChecked());
  Press(View()->Pane(), QKeyCombination(Qt::Key_F1));
  EXPECT_EQ(View()->Pane()->geometry().x(), 5);
  EXPECT_FALSE(List()->isVisible());
  EXPECT_FALSE(sideBar->isChecked());
  Press(View()->Pane(), QKeyCombination(Qt::Key_F1));
  EXPECT_EQ(View()->Pane()->geometry().x(), 170);
  EXPECT_EQ(List()->geometry(), QRect(5, 0, 160, View()->height() - 30));
  EXPECT_TRUE(sideBar->isChecked());
  Press(View()->Pane(), QKeyCombination(Qt::Key_F1));

  Frame()->close();
  EXPECT_EQ(Stored(SectionOf(ConfigKey::LibraryEntry), std::string(NameOf(ConfigKey::LibraryEntry))), "2");
  EXPECT_EQ(Stored(config_names::kFileDir, "1"), books_.path().toStdString());
  EXPECT_TRUE(boxes_.shown.empty());
  app_.reset();

  // Next start: the folder is under 最近文件夹 and lists again, showing the hidden bar.
  Start();
  EXPECT_TRUE(View()->SideBarHidden());
  QAction* recent = Frame()->ActionOf(57617);
  ASSERT_NE(recent, nullptr);
  EXPECT_EQ(recent->text(), QStringLiteral("1 ") + books_.path());
  List()->clear();
  recent->trigger();
  EXPECT_EQ(Entries(List()), (std::vector<std::string>{"a.txt", "BOOK.TXT", "c.txt"}));
  EXPECT_FALSE(View()->SideBarHidden());

  // Clearing empties the stored list; this run keeps its item.
  Frame()->ActionOf(57631)->trigger();
  EXPECT_EQ(Frame()->ActionOf(57617), recent);
  Frame()->close();
  app_.reset();
  Start();
  EXPECT_EQ(Frame()->ActionOf(57617), nullptr);
}

// The start-up return loads the last book first; the side bar then lists it, and with
// shukuflag its folder, the entry selected without loading it again.
TEST_F(LibraryTest, TheReturnedBooksFolderComesBackWithItsEntrySelected) {
  for (const char* entry : {"0", "2"}) {
    SetKey(ConfigKey::LibraryEntry, entry, ini_);
    SharedSettings settings;
    settings.programFolder = home_.path().toStdString() + "/";
    CVarneloView view(settings);
    AttachReadingAids(view);
    ASSERT_TRUE(view.LoadText(Book("BOOK.TXT")));
    view.NextPage();
    view.OnInitialUpdate();
    const std::vector<std::string> listed = Entries(view.LibraryList());
    if (std::string(entry) == "0") {
      EXPECT_EQ(listed, std::vector<std::string>{"BOOK.TXT"});
    } else {
      EXPECT_EQ(listed, (std::vector<std::string>{"a.txt", "BOOK.TXT", "c.txt"}));
      EXPECT_EQ(view.LibraryList()->currentRow(), 1);
    }
    EXPECT_EQ(view.CurrentPage(), 2) << "not loaded again";
  }
}

TEST_F(LibraryTest, DroppedFilesOpenInTurnAndTheLastOneStaysChoosable) {
  QTemporaryDir elsewhere;
  QList<QUrl> urls;
  for (const char* name : {"x.txt", "y.txt", "z.txt"}) {
    WriteFile(elsewhere.filePath(name));
    urls.push_back(QUrl::fromLocalFile(elsewhere.filePath(name)));
  }
  Start();
  ListBooksWithCtrlN();
  Click(0);

  QMimeData mime;
  mime.setUrls(urls);
  QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(View()->Pane()->viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(View()->Pane()->viewport(), &drop);
  QApplication::processEvents();
  EXPECT_EQ(Entries(List()), std::vector<std::string>{"z.txt"});
  EXPECT_EQ(View()->CurrentPath(), elsewhere.filePath("z.txt").toStdString());
  EXPECT_TRUE(View()->Pane()->PaneText().startsWith(QStringLiteral("第一章")));

  View()->NextPage();
  Click(0);
  EXPECT_EQ(View()->CurrentPath(), elsewhere.filePath("z.txt").toStdString());
  EXPECT_EQ(View()->CurrentPage(), 1) << "the dropped book itself, loaded again";
  EXPECT_TRUE(boxes_.shown.empty());
  Frame()->close();
  EXPECT_EQ(Stored(SectionOf(ConfigKey::LibraryEntry), std::string(NameOf(ConfigKey::LibraryEntry))), "0")
      << "the book on screen is not from the listed folder";
}

TEST_F(LibraryTest, TipDescribesTheChosenBookAndSaysWhenItIsGone) {
  WriteFile(books_.filePath("a.txt"), 1023);
  Start();
  ListBooksWithCtrlN();
  Click(0);
  MoveMouseOver(List()->viewport());
  const QString tip = QStringLiteral("小说：a.txt\n位置：%1\n大小：").arg(books_.path());
  EXPECT_EQ(List()->toolTip(), tip + QStringLiteral("1023 B"));

  QFile::remove(books_.filePath("a.txt"));
  MoveMouseOver(View());
  EXPECT_EQ(List()->toolTip(), QStringLiteral("单击文件名可查看详细信息！"));
  MoveMouseOver(List()->viewport());
  EXPECT_EQ(List()->toolTip(), tip + QStringLiteral("文件已不存在"));
}

TEST_F(LibraryTest, OpenedFilesPastAHundredStayListedAndChoosable) {
  Start();
  for (int i = 0; i < 101; ++i) {
    const QString path = books_.filePath(QStringLiteral("n%1.txt").arg(i));
    WriteFile(path);
    dialogs_.files.push_back(path);
    Press(View()->Pane(), Qt::ControlModifier | Qt::Key_O);
  }
  ASSERT_EQ(List()->count(), 101);
  EXPECT_EQ(List()->item(100)->text(), QStringLiteral("n100.txt"));
  Click(0);
  Click(100);
  EXPECT_EQ(View()->CurrentPath(), Book("n100.txt"));
}

}  // namespace
