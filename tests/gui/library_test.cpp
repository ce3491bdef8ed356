// The library side bar and the recent folders, through keys, clicks, drops and actions.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QScrollBar>
#include <QRegularExpression>
#include <QTextDocument>
#include <QTextLayout>
#include <QTest>
#include <QToolTip>
#include <QTemporaryDir>
#include <QUrl>

#include "aids/reading_aids.h"
#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/profile.h"
#include "res/command_ids.h"
#include "tests/gui/test_support.h"
#include "text/varnelo_view.h"

using namespace varnelo;
using namespace varnelo::testing;

namespace {

// A GBK book of 600 bytes, two pages by lines.
void WriteBook(const QString& path) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(("\xb5\xda\xd2\xbb\xd5\xc2\r\n" + QByteArray("line\r\n").repeated(99)).left(600));
}

QString Entries(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  return texts.join(',');
}

void Send(QWidget* to, QEvent::Type type, QPoint at = QPoint(3, 3)) {
  QMouseEvent event(type, at, to->mapToGlobal(at), Qt::LeftButton,
                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(to, &event);
}

// The lines of the tip on screen: each line of its text, laid out in its font at its width,
// takes one line when the tip is wide enough for it, more when it would wrap.
int TipLines() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* tip = qobject_cast<QLabel*>(widget);
    if (tip == nullptr || !tip->isVisible() || tip->objectName() != QLatin1String("qtooltip_label")) continue;
    QTextDocument shown;
    shown.setHtml(tip->text());
    const QStringList lines =
        shown.toPlainText().split(QRegularExpression(QStringLiteral("[\\n\\x{2028}\\x{2029}]")));
    int count = 0;
    for (const QString& line : lines) {
      QTextLayout layout(line, tip->font());
      layout.beginLayout();
      for (QTextLine part = layout.createLine(); part.isValid(); part = layout.createLine()) {
        part.setLineWidth(tip->contentsRect().width() - 2 * tip->margin());
        ++count;
      }
      layout.endLayout();
    }
    return count;
  }
  return 0;
}

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a.txt", "BOOK.TXT", "c.txt", "notes.md"}) WriteBook(books_.filePath(name));
    QDir(books_.path()).mkdir("sub.txt");
  }
  void Start() {
    app_ = std::make_unique<CVarneloApp>();
    ASSERT_TRUE(app_->InitInstance({"varnelo"}));
  }
  CVarneloView* View() const { return app_->MainFrame()->View(); }
  QListWidget* List() const { return View()->LibraryList(); }
  QAction* Action(int id) const { return app_->MainFrame()->ActionOf(id); }
  std::string LibraryEntryAfterExit() {
    app_->MainFrame()->close();
    const ConfigKey key = ConfigKey::LibraryEntry;
    return profile::GetString(SectionOf(key), NameOf(key), "", home_.ConfigPath());
  }
  void Press(QKeyCombination key) { varnelo::testing::PressKey(View()->Pane(), key); }
  void Click(int row) {
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      Send(List()->viewport(), type, List()->visualItemRect(List()->item(row)).center());
    }
  }

  TempHome home_;
  ScriptedMessageBoxes boxes_;
  ScopedMessageBoxes boxesGuard_{&boxes_};
  ScriptedDialogs dialogs_;
  ScopedDialogs dialogsGuard_{&dialogs_};
  QTemporaryDir books_;
  std::unique_ptr<CVarneloApp> app_;
};

TEST_F(LibraryTest, FolderListedOpenedHiddenFoundUnderRecentFoldersAndDroppedOn) {
  Start();
  dialogs_.folders.push_back(books_.path());
  Press(Qt::ControlModifier | Qt::Key_N);
  EXPECT_EQ(dialogs_.folderTitles, std::vector<QString>{"书库"});
  EXPECT_EQ(Entries(List()), "a.txt,BOOK.TXT,c.txt");
  Click(1);
  EXPECT_EQ(View()->CurrentPath(), books_.filePath("BOOK.TXT").toStdString());
  Send(List()->viewport(), QEvent::MouseMove);
  EXPECT_EQ(List()->toolTip(), "小说：BOOK.TXT\n位置：" + books_.path() + "\n大小：600 B");
  // F1 hides and shows the side bar; its action is checked while the bar shows.
  for (bool shown : {false, true, false}) {
    Press(QKeyCombination(Qt::Key_F1));
    EXPECT_EQ(View()->Pane()->geometry().x(), shown ? 170 : 5);
    EXPECT_EQ(List()->geometry(), shown ? QRect(5, 0, 160, View()->height() - 30) : QRect());
    EXPECT_EQ(Action(32800)->isChecked(), shown);
  }
  EXPECT_EQ(LibraryEntryAfterExit(), "2");

  // Next start: the folder is under 最近文件夹 and lists again, showing the hidden bar.
  Start();
  ASSERT_NE(Action(57617), nullptr);
  EXPECT_EQ(Action(57617)->text(), "1 " + books_.path());
  List()->clear();
  Action(57617)->trigger();
  EXPECT_EQ(Entries(List()), "a.txt,BOOK.TXT,c.txt");
  EXPECT_FALSE(View()->SideBarHidden());
  Click(0);

  // Books from elsewhere dropped on the page open in turn; the last stays listed, and
  // choosing it opens that book, not a namesake in the listed folder.
  QTemporaryDir elsewhere;
  QMimeData mime;
  for (const char* name : {"x.txt", "y.txt", "z.txt"}) {
    WriteBook(elsewhere.filePath(name));
    mime.setUrls(mime.urls() << QUrl::fromLocalFile(elsewhere.filePath(name)));
  }
  QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(View()->Pane()->viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(View()->Pane()->viewport(), &drop);
  QApplication::processEvents();
  EXPECT_EQ(Entries(List()), "z.txt");
  View()->NextPage();
  View()->Settings().config.returnToPlace = 0;  // a reload shows where it starts
  Click(0);
  EXPECT_EQ(View()->CurrentPath(), elsewhere.filePath("z.txt").toStdString());
  EXPECT_EQ(View()->CurrentPage(), 1);
  EXPECT_EQ(LibraryEntryAfterExit(), "0") << "the book on screen is not from the listed folder";
  EXPECT_TRUE(boxes_.shown.empty());
}

// The list's scroll bar shows only when the entries overflow. Its tip shows after a pause
// of the pointer, in an inactive window too, never wider than 300 pixels.
TEST_F(LibraryTest, ScrollBarOnlyWhenNeededAndTheTipInAnInactiveWindow) {
  const QString deep = books_.filePath(QString(30, QChar(0x4E66)));  // 书书书...
  ASSERT_TRUE(QDir().mkpath(deep));
  for (int i = 0; i < 40; ++i) WriteBook(QStringLiteral("%1/%2.txt").arg(deep).arg(i, 2, 10, QChar(u'0')));
  Start();
  for (const QString& folder : {books_.path(), deep}) {
    dialogs_.folders.push_back(folder);
    Press(Qt::ControlModifier | Qt::Key_N);
    QApplication::processEvents();
    EXPECT_EQ(List()->verticalScrollBar()->isVisible(), folder == deep) << List()->count();
  }
  Click(0);

  QWidget other;
  other.show();
  QApplication::setActiveWindow(&other);
  ASSERT_FALSE(app_->MainFrame()->isActiveWindow());
  QToolTip::hideText();
  Send(List()->viewport(), QEvent::MouseMove, List()->visualItemRect(List()->item(0)).center());
  EXPECT_FALSE(QToolTip::isVisible()) << "not before the pause";
  ASSERT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 3000));
  EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("00.txt")));
  EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("大小：600 B")));
  for (const QWidget* tip : QApplication::topLevelWidgets()) {
    if (tip->isVisible() && tip->inherits("QLabel")) {
      EXPECT_LE(tip->width(), 300);
    }
  }
  QToolTip::hideText();
}

// The hint shows whole on one line; a book's tip shows its three lines, each on a line of
// its own when it fits.
TEST_F(LibraryTest, TheTipBreaksOnlyWhereItMust) {
  Start();
  app_->MainFrame()->show();
  for (bool book : {false, true}) {
    if (book) {
      dialogs_.folders.push_back(books_.path());
      Press(Qt::ControlModifier | Qt::Key_N);
      Click(0);
    }
    QToolTip::hideText();
    Send(View(), QEvent::MouseMove, QPoint(View()->width() - 3, 3));
    Send(List()->viewport(), QEvent::MouseMove, book ? List()->visualItemRect(List()->item(0)).center() : QPoint(3, 3));
    ASSERT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 3000));
    EXPECT_TRUE(QToolTip::text().contains(book ? QStringLiteral("大小：600 B") : QStringLiteral("单击文件名可查看详细信息！")));
    EXPECT_EQ(TipLines(), book ? 3 : 1) << QToolTip::text().toStdString();
  }
  QToolTip::hideText();
}

// After a drop, choosing the listed entry in folder mode counts as any choice does.
TEST_F(LibraryTest, ChoosingTheDroppedEntryInFolderModeSetsTheSelectedEntry) {
  Start();
  dialogs_.folders.push_back(books_.path());
  Press(Qt::ControlModifier | Qt::Key_N);
  Click(1);
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(books_.filePath("c.txt"))});
  QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(View()->Pane()->viewport(), &enter);
  QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(View()->Pane()->viewport(), &drop);
  QApplication::processEvents();
  ASSERT_EQ(Entries(List()), "c.txt");
  Click(0);
  EXPECT_EQ(LibraryEntryAfterExit(), "1");
}

// The start-up return loads the last book first; the side bar then lists it, and with
// shukuflag its folder, the entry selected without loading it again.
TEST_F(LibraryTest, TheReturnedBooksFolderComesBackWithItsEntrySelected) {
  for (const char* entry : {"0", "2"}) {
    SetKey(ConfigKey::LibraryEntry, entry, home_.ConfigPath());
    SharedSettings settings;
    settings.programFolder = home_.Folder();
    CVarneloView view(settings);
    AttachReadingAids(view);
    ASSERT_TRUE(view.LoadText(books_.filePath("BOOK.TXT").toStdString()));
    view.NextPage();
    view.OnInitialUpdate();
    const bool listed = *entry == '2';
    EXPECT_EQ(Entries(view.LibraryList()), listed ? "a.txt,BOOK.TXT,c.txt" : "BOOK.TXT");
    EXPECT_EQ(view.LibraryList()->currentRow(), listed ? 1 : -1);
    EXPECT_EQ(view.CurrentPage(), 2) << "not loaded again";
  }
}

// After "另存为..." the list's only entry stands for the book under its new name: its tip
// names that file, folder and size, and choosing it reads that file again.
TEST_F(LibraryTest, TheEntryLeftBySaveAsOpensTheNewFile) {
  Start();
  dialogs_.files.push_back(books_.filePath("a.txt"));
  Action(57601)->trigger();
  const QString folder = books_.filePath("sub.txt");
  dialogs_.saveFiles.push_back(folder + "/copy");
  Action(57604)->trigger();
  ASSERT_EQ(Entries(List()), "copy.txt");
  Send(List()->viewport(), QEvent::MouseMove, List()->visualItemRect(List()->item(0)).center());
  EXPECT_EQ(List()->toolTip().toStdString(),
            QStringLiteral("小说：copy.txt\n位置：%1\n大小：600 B").arg(folder).toStdString());

  QFile copy(folder + "/copy.txt");
  ASSERT_TRUE(copy.open(QIODevice::WriteOnly | QIODevice::Truncate));
  copy.write("\xb5\xda\xb6\xfe\xd5\xc2 again");
  copy.close();
  Click(0);
  EXPECT_EQ(View()->Text(), "\xb5\xda\xb6\xfe\xd5\xc2 again");
  EXPECT_EQ(View()->CurrentPath(), (folder + "/copy.txt").toStdString());
}

// A bookmark leaves the list holding its book alone, so the exit keeps no entry of the
// folder listed before, even when the book lives in that folder.
TEST_F(LibraryTest, ABookmarkLeavesItsBookAloneInTheList) {
  Start();
  dialogs_.folders.push_back(books_.path());
  Press(Qt::ControlModifier | Qt::Key_N);
  Click(2);
  Press(QKeyCombination(Qt::Key_F5));
  Click(1);
  ASSERT_EQ(View()->CurrentPath(), books_.filePath("BOOK.TXT").toStdString());
  Action(cmd::kOpenBookmarkFirst)->trigger();
  EXPECT_EQ(View()->CurrentPath(), books_.filePath("c.txt").toStdString());
  EXPECT_EQ(Entries(List()), "c.txt");
  // A bookmark whose book is gone empties the list all the same.
  QFile::remove(books_.filePath("c.txt"));
  Action(cmd::kOpenBookmarkFirst)->trigger();
  EXPECT_EQ(Entries(List()), "");
  EXPECT_EQ(LibraryEntryAfterExit(), "0");
}

}  // namespace
