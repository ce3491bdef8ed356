// Finding one's way in a long book through the keys a reader presses: the chapter list
// (F4), find in the whole book (Ctrl+Shift+F) and every book coming back at its place.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>

#include "aids/book_find.h"
#include "aids/chapter_list.h"
#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/codepage.h"
#include "res/command_ids.h"
#include "platform/long_work.h"
#include "tests/gui/test_support.h"
#include "text/varnelo_view.h"
#include "text/view_offsets.h"

namespace varnelo {
namespace {

namespace fs = std::filesystem;

class FindingWayTest : public ::testing::Test, protected testing::ScriptedSession {
 protected:
  void Start() {
    app_ = std::make_unique<CVarneloApp>();
    ASSERT_TRUE(app_->InitInstance({"varnelo"}));
    view_ = app_->MainFrame()->View();
  }
  void TearDown() override {
    if (app_) app_->MainFrame()->close();
  }
  void Restart() {
    app_->MainFrame()->close();
    app_.reset();
    Start();
  }
  void OpenBook(const std::string& path) {
    dialogs_.files.push_back(QString::fromStdString(path));
    Press(Qt::ControlModifier | Qt::Key_O);
    ASSERT_EQ(view_->CurrentPath(), path);
  }
  void Press(QKeyCombination key, QWidget* to = nullptr) { testing::PressKey(to ? to : view_->Pane(), key); }
  // Runs `script` on the modal dialog the key opens.
  void WithDialog(QKeyCombination key, const std::function<void(QDialog&)>& script) {
    EXPECT_TRUE(testing::WithModalDialog([&] { Press(key); }, script));
  }

  std::unique_ptr<CVarneloApp> app_;
  CVarneloView* view_ = nullptr;
};

TEST_F(FindingWayTest, ChapterListJumpsInChapterAndLinePaging) {
  Start();
  OpenBook(testing::CorpusBook("三国演义.txt"));
  app_->MainFrame()->ActionOf(32818)->trigger();  // 按“第...回”分页
  const QString fifty = QStringLiteral("第五十回");
  for (int mode : {kChapterPaging, kLinePaging}) {
    if (mode == kLinePaging) view_->OnCommand(32798);
    WithDialog(Qt::Key_F4, [&](QDialog& d) {
      auto* list = d.findChild<QListView*>();
      EXPECT_EQ(list->model()->rowCount(), 120);
      auto* filter = d.findChild<QLineEdit*>();
      testing::PressKey(filter, Qt::Key_F);  // focus
      filter->setText(fifty);
      ASSERT_GE(list->model()->rowCount(), 1);
      EXPECT_TRUE(list->currentIndex().data().toString().contains(fifty));
      Press(Qt::Key_Return, filter);
    });
    if (mode == kChapterPaging) {
      EXPECT_EQ(view_->CurrentPage(), 50);
      EXPECT_TRUE(view_->ReadingStatus().contains(fifty)) << view_->ReadingStatus().toStdString();
    } else {
      // The line page holding the heading, with the heading's line on top.
      const QString top = view_->Pane()->PaneText().mid(view_->Pane()->LineIndex(view_->Pane()->FirstVisibleLine()), 40);
      EXPECT_TRUE(top.contains(fifty)) << top.toStdString();
      EXPECT_EQ(view_->PagingMode(), kLinePaging);
    }
  }
  // The list of the line pages marks the chapter being read.
  WithDialog(Qt::Key_F4, [&](QDialog& d) {
    EXPECT_EQ(d.findChild<QListView*>()->currentIndex().row(), 49);
  });
}

TEST_F(FindingWayTest, ChapterListOfFoundHeadingsShowsLevelsNumbersCountsAndShownCharacters) {
  Start();
  // A UTF-8 book: a 楔子, then two 卷 of six 章: fifteen chapters, numbers of two digits.
  std::string book = "山居小记\n\n";
  const std::string body = "　　山风吹过竹林，沙沙作响，远处传来几声犬吠。他推开柴门，院子里积了一层薄雪。\n";
  auto chapter = [&](const std::string& heading) {
    book += heading + "\n";
    for (int i = 0; i < 12; ++i) book += body;
  };
  chapter("楔子 开端");
  const char* numbers[] = {"一", "二", "三", "四", "五", "六", "七", "八", "九", "十", "十一", "十二"};
  for (int volume = 0; volume < 2; ++volume) {
    chapter(std::string("第") + numbers[volume] + "卷 风雪");
    for (int c = 0; c < 6; ++c) chapter(std::string("第") + numbers[volume * 6 + c] + "章 归来");
  }
  const std::string path = home_.Folder() + "levels.txt";
  std::ofstream(path, std::ios::binary) << book;
  OpenBook(path);
  app_->MainFrame()->ActionOf(cmd::kRuleAuto)->trigger();
  ASSERT_EQ(view_->PagingMode(), kChapterPaging);
  ASSERT_EQ(view_->PageCount(), 15);
  const QString figure(QChar(0x2007));
  WithDialog(Qt::Key_F4, [&](QDialog& d) {
    auto* list = d.findChild<QListView*>();
    auto row = [&](int r) { return list->model()->index(r, 0).data().toString(); };
    EXPECT_EQ(row(0), figure + QStringLiteral("1　楔子 开端"));
    EXPECT_EQ(row(1), figure + QStringLiteral("2　第一卷 风雪"));
    EXPECT_EQ(row(2), figure + QStringLiteral("3　　　第一章 归来"));
    EXPECT_EQ(row(14), QStringLiteral("15　　　第十二章 归来"));
    auto* filter = d.findChild<QLineEdit*>();
    auto* hint = static_cast<ChapterListDialog&>(d).Hint();
    EXPECT_EQ(hint->text(), QStringLiteral("共 15 章。回车或双击跳到该章，Esc 关闭。"));
    filter->setText(QStringLiteral("卷"));
    EXPECT_EQ(hint->text(), QStringLiteral("找到 2 / 共 15 章"));
    filter->setText(QStringLiteral("没有这一章"));
    EXPECT_EQ(hint->text(), QStringLiteral("找到 0 / 共 15 章"));
  });
  // Shown in traditional characters, as the page is.
  app_->MainFrame()->ActionOf(cmd::kConvertTraditional)->trigger();
  WithDialog(Qt::Key_F4, [&](QDialog& d) {
    auto* list = d.findChild<QListView*>();
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), figure + QStringLiteral("1　楔子 開端"));
    EXPECT_EQ(list->model()->index(1, 0).data().toString(), figure + QStringLiteral("2　第一卷 風雪"));
  });
}

// When the rule in force finds no heading, 目录 offers the six rules with what each finds:
// one that finds none is greyed, so a click on it neither closes the offer nor pages anew.
TEST_F(FindingWayTest, TheRuleOfferGreysTheRulesThatFindNothing) {
  Start();
  OpenBook(testing::CorpusBook("三国演义.txt"));
  app_->MainFrame()->ActionOf(cmd::kRule1)->trigger();  // 第...章: none in this book
  const int ruleBefore = view_->ChapterRule();
  int greyed = 0;
  std::atomic<int> works{0};  // the scan for the rule in force, then the counts of all
  SetLongWorkHook([&works](WorkControl&) { ++works; });
  WithDialog(Qt::Key_F4, [&](QDialog& d) {
    SetLongWorkHook(nullptr);
    EXPECT_EQ(works, 2) << "the rules are counted off the window's thread";
    ASSERT_EQ(d.objectName(), QStringLiteral("chapterRules"));
    for (int rule = 1; rule <= 6; ++rule) {
      auto* button = d.findChild<QPushButton*>(QStringLiteral("rule%1").arg(rule));
      ASSERT_NE(button, nullptr) << rule;
      if (rule == 3) {
        EXPECT_TRUE(button->text().endsWith(QStringLiteral("：120 个"))) << button->text().toStdString();
        EXPECT_TRUE(button->isEnabled());
        continue;
      }
      if (!button->text().endsWith(QStringLiteral("：0 个"))) continue;
      ++greyed;
      EXPECT_FALSE(button->isEnabled()) << rule;
      QTest::mouseClick(button, Qt::LeftButton);
      ASSERT_TRUE(d.isVisible()) << "rule " << rule << " closed the offer";
    }
    QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("rule3")), Qt::LeftButton);
  });
  EXPECT_GE(greyed, 1);
  EXPECT_NE(ruleBefore, 3);
  EXPECT_EQ(view_->ChapterRule(), 3);
  EXPECT_EQ(view_->PagingMode(), kChapterPaging);
  EXPECT_EQ(view_->PageCount(), 120);
}

TEST_F(FindingWayTest, FindInTheWholeBookGoesPageToPageAndListsAll) {
  Start();
  OpenBook(testing::CorpusBook("水浒传.txt"));
  Press(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_F);
  auto* dialog = view_->findChild<BookFindDialog*>();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(dialog->isVisible());
  const QString name = QStringLiteral("林冲");
  dialog->WordsBox()->setText(name);
  int lastPage = 0;
  int pagesSeen = 0;
  for (int i = 0; i < 40; ++i) {
    testing::PressKey(dialog->WordsBox(), Qt::Key_Return);  // the default button
    ASSERT_TRUE(boxes_.shown.empty()) << boxes_.shown.front().text.toStdString();
    EXPECT_EQ(view_->Pane()->textCursor().selectedText(), name);
    EXPECT_GE(view_->CurrentPage(), lastPage);
    if (view_->CurrentPage() != lastPage) ++pagesSeen;
    lastPage = view_->CurrentPage();
  }
  EXPECT_GT(pagesSeen, 3);
  EXPECT_GT(lastPage, 1) << "林冲 is not on the first page";

  dialog->FindAllButton()->click();
  const int listed = dialog->Matches()->count();
  EXPECT_GT(listed, 40);
  EXPECT_TRUE(dialog->Matches()->item(0)->text().contains(name));
  EXPECT_TRUE(dialog->Summary()->text().contains(QString::number(listed)));
  dialog->Matches()->setCurrentRow(listed - 1);
  emit dialog->Matches()->itemClicked(dialog->Matches()->item(listed - 1));
  EXPECT_EQ(view_->Pane()->textCursor().selectedText(), name);
  const int last = view_->CurrentPage();
  // At the end of the book it says so once and goes on from the start.
  testing::PressKey(dialog->WordsBox(), Qt::Key_Return);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_TRUE(boxes_.shown[0].text.contains(QStringLiteral("书尾")));
  EXPECT_LT(view_->CurrentPage(), last);
  testing::PressKey(dialog->WordsBox(), Qt::Key_Escape);
  EXPECT_FALSE(dialog && dialog->isVisible());
}

TEST_F(FindingWayTest, EveryBookComesBackAtItsPlaceAndTheOptionTurnsThatOff) {
  const std::string a = home_.Folder() + "a.txt";
  const std::string b = home_.Folder() + "b.txt";
  fs::copy_file(testing::CorpusBook("三国演义.txt"), a);
  fs::copy_file(testing::CorpusBook("水浒传.txt"), b);
  Start();
  OpenBook(a);
  for (int i = 0; i < 4; ++i) view_->NextButton()->click();
  view_->Pane()->LineScroll(7);
  const int page = view_->CurrentPage();
  const std::int64_t top = TopOfPaneOffset(*view_);
  OpenBook(b);
  view_->NextButton()->click();
  OpenBook(a);
  EXPECT_EQ(view_->CurrentPage(), page);
  EXPECT_EQ(TopOfPaneOffset(*view_), top);

  // After a restart too, and 最近阅读 lists both, newest first.
  OpenBook(b);
  Restart();
  QAction* newest = app_->MainFrame()->ActionOf(32860);
  ASSERT_NE(newest, nullptr);
  EXPECT_TRUE(newest->text().contains("b.txt"));
  app_->MainFrame()->ActionOf(32861)->trigger();
  EXPECT_EQ(view_->CurrentPath(), a);
  EXPECT_EQ(TopOfPaneOffset(*view_), top);

  // Off in the settings dialog: a book opens at its first page, and stays so next time.
  WithDialog(Qt::Key_F2, [&](QDialog& d) {
    d.findChild<QCheckBox*>("checkReturnToPlace")->setChecked(false);
    d.findChild<QPushButton*>("button1")->click();
  });
  OpenBook(b);
  Restart();
  OpenBook(a);
  EXPECT_EQ(view_->CurrentPage(), 1);
}

}  // namespace
}  // namespace varnelo
