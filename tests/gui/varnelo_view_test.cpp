// The reading view with real widgets, offscreen: opening a real novel, paging by buttons,
// keys and typed numbers, chapter rules and the self-closing fallback notice, the status
// texts and the form's layout.
#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <fstream>

#include "res/command_ids.h"
#include "aids/reading_aids.h"
#include "store/config_schema.h"
#include "platform/profile.h"
#include "platform/rich_pane.h"
#include "platform/window_timers.h"
#include "tests/gui/test_support.h"
#include "text/varnelo_view.h"

using namespace varnelo;
using namespace varnelo::testing;

namespace {

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.programFolder = home.Folder();
    view = std::make_unique<CVarneloView>(settings);
    AttachReadingAids(*view);
    view->resize(1000, 700);
    view->show();
    view->OnInitialUpdate();
    QApplication::setActiveWindow(view.get());
  }

  void Open(const std::string& path) {
    dialogs.files.push_back(QString::fromStdString(path));
    view->OnCommand(cmd::kOpenFile);
  }

  void Key(QWidget* target, int key, const QString& text = QString(),
           Qt::KeyboardModifiers held = Qt::NoModifier) {
    target->setFocus();
    QKeyEvent press(QEvent::KeyPress, key, held, text);
    QApplication::sendEvent(target, &press);
  }

  void Type(const QString& digits) {
    for (QChar c : digits) Key(view->PageNumberBox(), c.unicode(), QString(c));
  }

  std::string WriteBook(const std::string& name, const std::string& bytes) {
    const std::string path = home.Folder() + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  TempHome home;
  ScriptedMessageBoxes messages;
  ScopedMessageBoxes messagesGuard{&messages};
  ScriptedDialogs dialogs;
  ScopedDialogs dialogsGuard{&dialogs};
  SharedSettings settings;
  std::unique_ptr<CVarneloView> view;
};

}  // namespace

TEST_F(ViewTest, OpensACorpusNovelOnItsFirstPage) {
  Open(CorpusBook("三国演义.txt"));
  ASSERT_TRUE(messages.shown.empty());
  EXPECT_EQ(dialogs.titles.back(), QString::fromUtf8("打开小说或TXT文本"));
  EXPECT_EQ(dialogs.filters.back(), QString::fromUtf8("文本文件(*.txt);;ANSI文本(*.txt)"));
  EXPECT_EQ(view->CurrentPage(), 1);
  EXPECT_EQ(view->PageCount(), 34);
  EXPECT_EQ(view->PageCountBox()->text(), "34");
  EXPECT_EQ(view->PageNumberBox()->text(), "1");
  EXPECT_EQ(view->PageCountLabel()->text(), QString::fromUtf8("总页数"));
  EXPECT_TRUE(view->Pane()->PaneText().contains(QString::fromUtf8("三国演义")));
  EXPECT_EQ(view->LibraryList()->count(), 1);
  EXPECT_EQ(view->LibraryList()->item(0)->text(), QString::fromUtf8("三国演义.txt"));
  EXPECT_EQ(view->WordCountStatus(), QString::fromUtf8("字数：59.6509 万"));
  EXPECT_EQ(view->ReadingStatus(), QString::fromUtf8("[0.00%] 正在阅读：三国演义.txt"));
  EXPECT_EQ(settings.book.title, "三国演义");
  EXPECT_EQ(settings.book.fileName, "三国演义.txt");
  EXPECT_EQ(settings.book.page, 1);
}

TEST_F(ViewTest, PagesWithButtonsAndKeys) {
  Open(CorpusBook("三国演义.txt"));
  view->PreviousButton()->click();  // page 1 in line paging: nothing
  EXPECT_EQ(view->CurrentPage(), 1);
  view->NextButton()->click();
  EXPECT_EQ(view->CurrentPage(), 2);
  EXPECT_EQ(view->PageNumberBox()->text(), "2");
  EXPECT_EQ(view->Pane()->FirstVisibleLine(), 0);
  EXPECT_FALSE(view->Pane()->IsModified());

  // The paging keys are judged alone, whatever modifier is held.
  for (Qt::KeyboardModifiers held : {Qt::NoModifier, Qt::ShiftModifier, Qt::AltModifier}) {
    Key(view->Pane(), Qt::Key_Right, QString(), held);
    EXPECT_EQ(view->CurrentPage(), 3) << held;
    Key(view->Pane(), Qt::Key_Left, QString(), held);
    EXPECT_EQ(view->CurrentPage(), 2) << held;
  }
  Key(view->Pane(), Qt::Key_Down);
  EXPECT_EQ(view->Pane()->FirstVisibleLine(), 1);
  Key(view->Pane(), Qt::Key_Up);
  EXPECT_EQ(view->Pane()->FirstVisibleLine(), 0);
  // The foot and the top of the page, with or without Ctrl; the page stays.
  QScrollBar* bar = view->Pane()->verticalScrollBar();
  for (Qt::KeyboardModifiers held : {Qt::NoModifier, Qt::ControlModifier}) {
    Key(view->Pane(), Qt::Key_End, QString(), held);
    EXPECT_EQ(bar->value(), bar->maximum()) << held;
    EXPECT_GT(bar->value(), 0);
    Key(view->Pane(), Qt::Key_Home, QString(), held);
    EXPECT_EQ(bar->value(), 0) << held;
    EXPECT_EQ(view->CurrentPage(), 2);
  }

  // Space shows the next screenful with one line of overlap; the position moves on.
  const QString before = view->ReadingStatus();
  Key(view->Pane(), Qt::Key_Space, " ", Qt::ShiftModifier);
  EXPECT_NE(view->ReadingStatus(), before);
  const int first = view->Pane()->FirstVisibleLine();
  EXPECT_GT(first, 0);
  EXPECT_EQ(view->LastScreenTop(), 0);
  EXPECT_EQ(view->CurrentPage(), 2);

  // The last page does not wrap.
  while (view->CurrentPage() != view->PageCount()) view->NextButton()->click();
  view->NextButton()->click();
  EXPECT_EQ(view->CurrentPage(), view->PageCount());
}

TEST_F(ViewTest, SpaceTurnsAPageThatFitsThePane) {
  std::string bytes;
  for (int i = 0; i < 55; ++i) bytes += "line\r\n";  // page 2 holds five short lines
  Open(WriteBook("short.txt", bytes));
  view->NextButton()->click();
  ASSERT_EQ(view->CurrentPage(), 2);
  // Make page 1 long enough to scroll, then check a page that fits turns at once.
  view->PreviousButton()->click();
  view->Pane()->resize(view->Pane()->width(), 200);
  Key(view->Pane(), Qt::Key_Space, " ");
  EXPECT_EQ(view->CurrentPage(), 1);
  // A press that finds the pane where the previous press left it turns the page.
  while (view->CurrentPage() == 1) Key(view->Pane(), Qt::Key_Space, " ");
  EXPECT_EQ(view->CurrentPage(), 2);
  Key(view->Pane(), Qt::Key_Space, " ");  // fits: the last page stays
  EXPECT_EQ(view->CurrentPage(), 2);
}

TEST_F(ViewTest, TypedPageNumbers) {
  Open(CorpusBook("三国演义.txt"));
  view->PageNumberBox()->selectAll();
  Type("12");  // visits page 1, then page 12
  EXPECT_EQ(view->CurrentPage(), 12);
  EXPECT_EQ(view->PageNumberBox()->text(), "12");
  EXPECT_TRUE(messages.shown.empty());

  const QString outOfRange = QString::fromUtf8("警告！页码不在有效范围内！\n请重新输入页码！");
  struct Case {
    QString typed;
    QString message;
    int page;  // digits are taken one by one: "35" visits 3 first
  } refused[] = {
      {"0", outOfRange, 12},
      {"x", QString::fromUtf8("请键入一个整数。"), 12},
      {"35", outOfRange, 3},
  };
  for (const Case& c : refused) {
    messages.shown.clear();
    view->PageNumberBox()->selectAll();
    Type(c.typed);
    ASSERT_FALSE(messages.shown.empty()) << c.typed.toStdString();
    EXPECT_EQ(messages.shown.front().text, c.message);
    EXPECT_EQ(view->CurrentPage(), c.page);
    // The box shows the current page again.
    EXPECT_EQ(view->PageNumberBox()->text(), QString::number(c.page));
  }
}

TEST_F(ViewTest, ChapterRulesAndLabels) {
  Open(CorpusBook("三国演义.txt"));
  view->OnCommand(cmd::kRule3);
  EXPECT_EQ(view->PagingMode(), kChapterPaging);
  EXPECT_EQ(view->ChapterRule(), 3);
  EXPECT_EQ(view->PageCount(), 120);
  EXPECT_EQ(view->PageCountBox()->text(), "120");
  EXPECT_EQ(view->PageCountLabel()->text(), QString::fromUtf8("总章数"));
  EXPECT_EQ(view->PageNumberLabel()->text(), QString::fromUtf8("当前章数"));
  EXPECT_EQ(view->CurrentPage(), 0);          // the front matter first
  EXPECT_EQ(view->ReadingStatus(), QString());  // and no status for it
  view->NextButton()->click();
  EXPECT_TRUE(view->ReadingStatus().startsWith(QString::fromUtf8("[0.02%] 正在阅读：第一回")))
      << view->ReadingStatus().toStdString();
  view->PreviousButton()->click();
  EXPECT_EQ(view->CurrentPage(), 0);
  view->PreviousButton()->click();  // page 0 is the first
  EXPECT_EQ(view->CurrentPage(), 0);

  CommandState state;
  view->UpdateCommand(cmd::kRule3, state);
  EXPECT_TRUE(state.checked);
  state = {};
  view->UpdateCommand(cmd::kChapterPaging, state);
  EXPECT_TRUE(state.checked);

  view->OnCommand(cmd::kTogglePaging);
  EXPECT_EQ(view->PagingMode(), kLinePaging);
  EXPECT_EQ(view->PageCountLabel()->text(), QString::fromUtf8("总页数"));
  view->OnCommand(cmd::kChapterPaging);  // the rule is kept
  EXPECT_EQ(view->PageCount(), 120);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ViewTest, FallbackNoticeClosesItselfThroughTimer100) {
  Open(CorpusBook("三国演义.txt"));
  view->OnCommand(cmd::kRule1);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, QString::fromUtf8("普通文本或章数小于10！按章节分页失败！正在返回！"));
  EXPECT_EQ(messages.shown[0].caption, QString::fromUtf8("提示"));
  EXPECT_EQ(view->PagingMode(), kLinePaging);
  EXPECT_EQ(view->ChapterRule(), 1);
  EXPECT_EQ(view->CurrentPage(), 1);
  EXPECT_EQ(view->Timers().Interval(CVarneloView::kNoticeTimer), 1500);

  QWidget notice;
  notice.setWindowTitle(QString::fromUtf8("提示"));
  notice.show();
  view->OnTimer(CVarneloView::kNoticeTimer);
  QApplication::processEvents();
  EXPECT_FALSE(notice.isVisible());
  EXPECT_FALSE(view->Timers().IsActive(CVarneloView::kNoticeTimer));
}

TEST_F(ViewTest, RealNoticeBoxClosesAfterItsTimer) {
  Open(CorpusBook("三国演义.txt"));
  ScopedMessageBoxes realBoxes(&QtMessageBoxService());
  // Should the notice never close, fail instead of hanging.
  QTimer guard;
  guard.setSingleShot(true);
  bool timedOut = false;
  QObject::connect(&guard, &QTimer::timeout, [&] {
    timedOut = true;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w)) box->close();
  });
  guard.start(6000);
  view->OnCommand(cmd::kRule1);  // returns once the notice has closed itself
  EXPECT_FALSE(timedOut);
  EXPECT_FALSE(view->Timers().IsActive(CVarneloView::kNoticeTimer));
}

TEST_F(ViewTest, RefusedBooksKeepThePreviousOne) {
  const std::string book = CorpusBook("三国演义.txt");
  Open(book);
  view->NextButton()->click();
  const QString status = view->ReadingStatus();
  struct Case {
    std::string path;
    QString message;
  } cases[] = {
      {home.Folder() + "missing.txt", QString::fromUtf8("文件不存在或编码方式不是ANSI ！")},
      {WriteBook("empty.txt", ""), QString::fromUtf8("警告！空文档！")},
      {[&] {
         std::filesystem::create_directories(home.Folder() + "folder.txt");
         return home.Folder() + "folder.txt";
       }(),
       QString::fromUtf8("文件不存在或编码方式不是ANSI ！")},
  };
  for (const Case& c : cases) {
    messages.shown.clear();
    Open(c.path);  // through the open-file command, as the user does
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, c.message);
    // The book on screen stays the current one everywhere: path, mirror, status bar.
    EXPECT_EQ(view->CurrentPath(), book) << c.path;
    EXPECT_EQ(settings.book.path, book) << c.path;
    EXPECT_EQ(settings.book.page, 2) << c.path;
    EXPECT_EQ(view->ReadingStatus(), status) << c.path;
    EXPECT_EQ(view->PageCount(), 34);
    EXPECT_EQ(view->CurrentPage(), 2);
    view->NextButton()->click();  // still pages the previous book
    EXPECT_EQ(view->CurrentPage(), 3);
    EXPECT_EQ(settings.book.page, 3) << "every page shown refreshes the mirror";
    view->PreviousButton()->click();
  }
  // The refused names keep their entries; choosing the book's own entry reloads it.
  EXPECT_EQ(view->LibraryList()->count(), 4);
}

TEST_F(ViewTest, ShowPageAboveTheCountShowsPageOne) {
  Open(CorpusBook("三国演义.txt"));
  view->SetCurrentPage(500);
  view->ShowPage(500);
  EXPECT_EQ(view->CurrentPage(), 1);
  EXPECT_EQ(view->PageNumberBox()->text(), "1");
}

TEST_F(ViewTest, APageLongerThanThePaneLimitShowsItsStart) {
  std::string oneLine;
  for (int i = 0; i < 200000; ++i) oneLine += "\xB0\xA1";  // 啊, no line break at all
  Open(WriteBook("long.txt", oneLine));
  ASSERT_EQ(view->PageCount(), 1);
  const QString shown = view->Pane()->PaneText();
  EXPECT_EQ(shown.size(), CVarneloView::kPaneTextLimit);
  EXPECT_EQ(shown.count(QString::fromUtf8("啊")), CVarneloView::kPaneTextLimit);
}

TEST_F(ViewTest, NoBookShowsEmptyStatus) {
  EXPECT_EQ(view->ReadingStatus(), QString());
  EXPECT_EQ(view->WordCountStatus(), QString::fromUtf8("字数：0.0000 万"));
  view->NextButton()->click();
  view->PreviousButton()->click();
  EXPECT_EQ(view->CurrentPage(), 0);
}

TEST_F(ViewTest, OpenedFilesListReopensAnEntry) {
  Open(CorpusBook("三国演义.txt"));
  Open(CorpusBook("水浒传.txt"));
  ASSERT_EQ(view->LibraryList()->count(), 2);
  EXPECT_EQ(view->CurrentPath(), CorpusBook("水浒传.txt"));
  view->LibraryList()->setCurrentRow(0);  // as the arrow keys move it
  EXPECT_EQ(view->CurrentPath(), CorpusBook("三国演义.txt"));
  EXPECT_EQ(view->PageCount(), 34);

  // Clicks: one on the other entry opens it once; one on the chosen entry reloads it.
  QListWidget* list = view->LibraryList();
  auto click = [list](int row) {
    const QPoint at = list->visualItemRect(list->item(row)).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent event(type, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                        Qt::NoModifier);
      QApplication::sendEvent(list->viewport(), &event);
    }
  };
  click(1);
  EXPECT_EQ(view->CurrentPath(), CorpusBook("水浒传.txt"));
  view->NextButton()->click();
  view->NextButton()->click();
  ASSERT_EQ(view->CurrentPage(), 3);
  view->Settings().config.returnToPlace = 0;  // a reload shows where it starts
  click(1);
  EXPECT_EQ(view->CurrentPage(), 1) << "the chosen entry was loaded again";
}

TEST_F(ViewTest, ScreenfulWithZeroSizeAndSpacingStillMovesOn) {
  SetKey(ConfigKey::FontSize, "0", home.ConfigPath());
  SetKey(ConfigKey::LineSpacing, "0", home.ConfigPath());
  view->OnInitialUpdate();
  Open(CorpusBook("三国演义.txt"));
  Key(view->Pane(), Qt::Key_Space, " ");
  EXPECT_GT(view->Pane()->FirstVisibleLine(), 0);
  EXPECT_EQ(view->CurrentPage(), 1);
}

TEST_F(ViewTest, FormLayoutFollowsTheClientSize) {
  const FormLayout shown = LayOutForm(1000, 700, false, 18);
  EXPECT_EQ(shown.list, (FormLayout::Box{5, 0, 160, 670}));
  EXPECT_EQ(shown.pane, (FormLayout::Box{170, 0, 830, 670}));
  EXPECT_EQ(shown.frame, (FormLayout::Box{0, 665, 1000, 35}));
  EXPECT_EQ(shown.countLabel, (FormLayout::Box{510, 678, 50, 20}));
  EXPECT_EQ(shown.countBox, (FormLayout::Box{570, 675, 50, 20}));
  EXPECT_EQ(shown.numberLabel, (FormLayout::Box{650, 678, 60, 20}));
  EXPECT_EQ(shown.numberBox, (FormLayout::Box{720, 675, 50, 20}));
  EXPECT_EQ(shown.previous, (FormLayout::Box{800, 675, 50, 20}));
  EXPECT_EQ(shown.screen, (FormLayout::Box{860, 675, 40, 20}));
  EXPECT_EQ(shown.next, (FormLayout::Box{910, 675, 50, 20}));
  EXPECT_EQ(shown.quote, (FormLayout::Box{35, 678, 475, 18}));
  const FormLayout hidden = LayOutForm(1000, 700, true, 18);
  EXPECT_EQ(hidden.list, (FormLayout::Box{0, 0, 0, 0}));
  EXPECT_EQ(hidden.pane, (FormLayout::Box{5, 0, 995, 670}));

  // The real widgets follow on every resize.
  view->resize(900, 640);
  QApplication::processEvents();
  EXPECT_EQ(view->Pane()->geometry(), QRect(170, 0, 730, 610));
  EXPECT_EQ(view->LibraryList()->geometry(), QRect(5, 0, 160, 610));
  EXPECT_EQ(view->NextButton()->geometry(), QRect(810, 615, 50, 20));
  EXPECT_EQ(view->PageNumberBox()->geometry(), QRect(620, 615, 50, 20));
}

TEST(ViewStartUp, TakesPagingAndAppearanceFromConfig) {
  struct Case {
    const char* sortFlag;
    const char* ruleFlag;
    int mode;  // of a freshly opened corpus novel
    int rule;
    int pages;
  } cases[] = {
      {"1", "3", kChapterPaging, 3, 120},
      {"1", "9", kChapterPaging, kAutoChapterRule, 120},  // a damaged rule: the automatic one
      {"1", "", kChapterPaging, kAutoChapterRule, 120},   // none stored: the automatic one
      {"0", "3", kLinePaging, 3, 34},
  };
  for (const Case& c : cases) {
    TempHome home;
    ScriptedMessageBoxes messages;
    ScopedMessageBoxes messagesGuard(&messages);
    ScriptedDialogs dialogs;
    ScopedDialogs dialogsGuard(&dialogs);
    SetKey(ConfigKey::PagingMode, c.sortFlag, home.ConfigPath());
    if (*c.ruleFlag != '\0') SetKey(ConfigKey::ChapterRule, c.ruleFlag, home.ConfigPath());
    SetKey(ConfigKey::FontSize, "320", home.ConfigPath());
    SetKey(ConfigKey::Background, "255", home.ConfigPath());  // pure red
    SetKey(ConfigKey::SideBarHidden, "1", home.ConfigPath());
    SharedSettings settings;
    settings.programFolder = home.Folder();
    CVarneloView view(settings);
    AttachReadingAids(view);
    view.resize(800, 600);
    view.OnInitialUpdate();
    EXPECT_EQ(view.ChapterRule(), c.rule) << c.ruleFlag;
    EXPECT_TRUE(view.SideBarHidden());
    EXPECT_EQ(view.Pane()->geometry().x(), 5);
    EXPECT_EQ(view.Pane()->DefaultCharFormat().fontSize, 320);
    EXPECT_EQ(view.Pane()->BackgroundColour(), QColor(255, 0, 0));
    EXPECT_EQ(settings.appearance.fontSize, 320);  // the mirror the exit save writes
    dialogs.files.push_back(QString::fromStdString(CorpusBook("三国演义.txt")));
    view.OnCommand(cmd::kOpenFile);
    EXPECT_EQ(view.PagingMode(), c.mode) << c.sortFlag << c.ruleFlag;
    EXPECT_EQ(view.PageCount(), c.pages) << c.sortFlag << c.ruleFlag;
  }
}

TEST(PaneText, EveryLineBreakIsOneAndBytesSurvive) {
  struct Case {
    std::string bytes;
    QString shown;
  } cases[] = {
      {"a\r\nb", "a\nb"},
      {"a\r\r\nb", "a\n\nb"},  // what LF LF LF becomes
      {"a\rb\nc", "a\nb\nc"},
      {"\xB5\xDA\xD2\xBB\xD5\xC2", QString::fromUtf8("第一章")},
      {"x\x80", QString("x") + QChar(0xDC80)},  // a stray byte is kept, not replaced
  };
  for (const Case& c : cases) EXPECT_EQ(PaneTextOf(c.bytes), c.shown) << c.bytes;
}

TEST(ExchangeInteger, AcceptsWhatTheBoxCanHoldAsAnInteger) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  } cases[] = {{"12", true, 12}, {" 7 ", true, 7}, {"-3", true, -3}, {"+4", true, 4},
               {"", false, 0},   {"1a", false, 0}, {"a", false, 0},  {"-", false, 0},
               {"99999999999", false, 0}};
  for (const Case& c : cases) {
    int value = 0;
    EXPECT_EQ(ParseExchangeInteger(QString::fromUtf8(c.text), value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}
