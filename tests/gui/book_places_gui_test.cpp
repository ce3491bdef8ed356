// Each book paged its own way and every place kept by its text: books opened in turn keep
// their rules, a switch of paging keeps the text at the top, a bookmark finds its text under
// any paging and after an edit, and the user's own chapter rules, all through menus and keys.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QThread>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <functional>

#include "aids/chapter_list.h"
#include "aids/chapter_rules_part.h"
#include "platform/codepage.h"
#include "res/command_ids.h"
#include "store/bookmark_format.h"
#include "store/config_schema.h"
#include "tests/gui/test_support.h"
#include "text/view_offsets.h"

namespace varnelo {
namespace {

// A book of "第N章" headings that no "第...回" rule finds, every line its own words.
std::string ChapterBook(int chapters) {
  std::u16string text = u"序\r\n山居小记的前言。\r\n";
  const auto number = [](int n) {
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
  };
  for (int c = 1; c <= chapters; ++c) {
    text += u"第" + number(c) + u"章 山中第" + number(c) + u"日\r\n";
    for (int l = 1; l <= 40; ++l)
      text += u"　　这是第" + number(c) + u"日的第" + number(l) + u"行，山里的日子一天天过去，溪水照旧流着。\r\n";
  }
  return EncodeBookText(text);
}

class BookPlacesGuiTest : public ::testing::Test, protected testing::ReaderSession {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartReader());
    zhang_ = home_.Folder() + "shanju.txt";
    std::ofstream(zhang_, std::ios::binary) << ChapterBook(60);
  }
  void TearDown() override { app_.MainFrame()->close(); }
  void Press(QKeyCombination key) { testing::PressKey(view_->Pane(), key); }
  void PageTo(int page) { ASSERT_TRUE(testing::TurnPagesTo(*view_, page)) << "to page " << page; }
  // The first words of the first line on screen.
  QString TopWords() const {
    const RichPane* pane = view_->Pane();
    return pane->PaneText().mid(pane->LineIndex(pane->FirstVisibleLine()), 12);
  }
  // Whether the first line on screen holds the book's byte at `offset`.
  bool AtTop(std::int64_t offset) const {
    const RichPane* pane = view_->Pane();
    const int first = pane->FirstVisibleLine();
    const std::int64_t start = OffsetOfPanePosition(*view_, pane->LineIndex(first));
    const int next = first + 1 < pane->LineCount() ? pane->LineIndex(first + 1) : -1;
    const std::int64_t end = next > 0 ? OffsetOfPanePosition(*view_, next) : view_->Pages().PageEnd(view_->CurrentPage(), static_cast<std::int64_t>(view_->Text().size()));
    return start <= offset && offset < end;
  }
  // Runs `script` on the modal dialog `id` opens.
  void WithDialog(int id, const std::function<void(QDialog&)>& script) {
    EXPECT_TRUE(testing::WithModalDialog([&] { Action(id)->trigger(); }, script));
  }

  std::string zhang_;
  const std::string hui_ = testing::CorpusBook("三国演义.txt");
};

TEST_F(BookPlacesGuiTest, BooksOpenedInTurnKeepTheirOwnRules) {
  OpenByKeys(hui_);
  Action(cmd::kRule3)->trigger();
  ASSERT_EQ(view_->PageCount(), 120);
  OpenByKeys(zhang_);
  // A book read for the first time takes the reader's last choice: rule 3 finds no 回 here.
  Action(cmd::kRule1)->trigger();
  ASSERT_EQ(view_->PageCount(), 60);
  boxes_.shown.clear();
  for (int round = 0; round < 2; ++round) {
    OpenByKeys(hui_);
    EXPECT_EQ(view_->ChapterRule(), 3);
    EXPECT_EQ(view_->PageCount(), 120);
    QApplication::processEvents();
    EXPECT_TRUE(Action(cmd::kRule3)->isChecked());
    OpenByKeys(zhang_);
    EXPECT_EQ(view_->ChapterRule(), 1);
    EXPECT_EQ(view_->PageCount(), 60);
  }
  Action(cmd::kLinePaging)->trigger();
  OpenByKeys(hui_);
  EXPECT_EQ(view_->PagingMode(), kChapterPaging);  // its own mode, not the last choice
  OpenByKeys(zhang_);
  EXPECT_EQ(view_->PagingMode(), kLinePaging);
  EXPECT_TRUE(boxes_.shown.empty());  // no fallback notice on the way
  // The exit keeps the last choice for books never read.
  const ConfigValues values = app_.MainFrame()->ExitValues();
  EXPECT_EQ(values.pagingMode, kLinePaging);
  EXPECT_EQ(values.chapterRule, 1);
}

TEST_F(BookPlacesGuiTest, SwitchingThePagingKeepsTheTextAtTheTop) {
  OpenByKeys(hui_);
  Action(cmd::kRule3)->trigger();
  PageTo(37);
  const QString heading = TopWords();
  ASSERT_TRUE(heading.startsWith(QString::fromUtf8("第三十七回"))) << heading.toStdString();
  const std::int64_t top = TopOfPaneOffset(*view_);
  Action(cmd::kLinePaging)->trigger();
  EXPECT_EQ(view_->PagingMode(), kLinePaging);
  EXPECT_TRUE(AtTop(top));  // the heading's line, "正文 " and its indent before it
  EXPECT_NE(view_->Pane()->FirstVisibleLine(), 0);
  // Further down the chapter, back by the tool bar's toggle and to another rule.
  for (int i = 0; i < 6; ++i) Press(QKeyCombination(Qt::Key_Down));
  const std::int64_t lower = TopOfPaneOffset(*view_);
  const QString words = TopWords();
  Action(cmd::kTogglePaging)->trigger();
  EXPECT_EQ(view_->CurrentPage(), 37);
  EXPECT_TRUE(AtTop(lower));
  EXPECT_EQ(TopWords(), words);
  Action(cmd::kRuleAuto)->trigger();
  EXPECT_TRUE(AtTop(lower));
  // A wheel step that leaves only the bottom of a line in view: the line below is the top.
  RichPane* pane = view_->Pane();
  const int line = pane->FirstVisibleLine() + 3;
  const qreal height = pane->LineTop(line + 1) - pane->LineTop(line);
  pane->verticalScrollBar()->setValue(static_cast<int>(pane->LineTop(line) + height * 3 / 4));
  ASSERT_EQ(pane->FirstVisibleLine(), line);
  const std::int64_t seen = OffsetOfPanePosition(*view_, pane->LineIndex(line + 1));
  Action(cmd::kLinePaging)->trigger();
  EXPECT_TRUE(AtTop(seen));
}

TEST_F(BookPlacesGuiTest, ABookmarkOpensAtItsTextUnderAnyPaging) {
  OpenByKeys(hui_);
  Action(cmd::kRule3)->trigger();
  PageTo(37);
  for (int i = 0; i < 3; ++i) Press(QKeyCombination(Qt::Key_Down));
  const std::int64_t top = TopOfPaneOffset(*view_);
  const QString words = TopWords();
  Press(QKeyCombination(Qt::Key_F5));
  const std::string mark = profile::GetString(config_names::kBookMark, "1", "", home_.ConfigPath());
  EXPECT_EQ(mark.substr(0, mark.find(",L") + 4), "三国演义,P37,1,L3,");  // the described value
  // The menu item's prompt names the chapter and the words there.
  const QString prompt = Action(cmd::kOpenBookmarkFirst)->statusTip();
  EXPECT_TRUE(prompt.startsWith(QString::fromUtf8("第三十七回"))) << prompt.toStdString();
  EXPECT_TRUE(prompt.contains(words.simplified().left(4))) << prompt.toStdString();

  Action(cmd::kLinePaging)->trigger();
  PageTo(2);
  Action(cmd::kOpenBookmarkFirst)->trigger();
  EXPECT_TRUE(AtTop(top));
  EXPECT_EQ(TopWords(), words);
  // Under another rule too, and from another book.
  Action(cmd::kRuleAuto)->trigger();
  OpenByKeys(zhang_);
  Action(cmd::kOpenBookmarkFirst)->trigger();
  EXPECT_EQ(view_->CurrentPath(), hui_);
  EXPECT_TRUE(AtTop(top));
}

TEST_F(BookPlacesGuiTest, BookmarksAndPlacesMoveWithAnEditBeforeThem) {
  OpenByKeys(zhang_);
  Action(cmd::kRule1)->trigger();
  PageTo(5);
  for (int i = 0; i < 2; ++i) Press(QKeyCombination(Qt::Key_Down));
  const QString words = TopWords();
  const std::int64_t top = TopOfPaneOffset(*view_);
  Press(QKeyCombination(Qt::Key_F5));
  PageTo(2);
  Action(cmd::kEditMode)->trigger();
  RichPane* pane = view_->Pane();
  QTextCursor caret = pane->textCursor();
  caret.setPosition(pane->LineIndex(3) + 2);
  pane->setTextCursor(caret);
  for (QChar c : QString("abcd")) testing::PressKey(pane, QKeyCombination(Qt::Key(c.toUpper().unicode())), QString(c));
  Press(Qt::ControlModifier | Qt::Key_S);
  ASSERT_NE(testing::FileBytes(zhang_).find("abcd"), std::string::npos);
  Action(cmd::kEditMode)->trigger();
  Action(cmd::kOpenBookmarkFirst)->trigger();
  EXPECT_EQ(TopOfPaneOffset(*view_), top + 4);
  EXPECT_EQ(TopWords(), words);
}

TEST(HeadingExpressions, ProblemsAreToldInChinese) {
  struct Case {
    const char* expression;
    const char* says;  // empty: usable
  } cases[] = {
      {"", "请填写"},
      {"^第[0-9]+章(", "缺少右括号"},
      {"^第[0-9+章", "缺少右方括号"},
      {"*章", "没有可以重复的内容"},
      {".*", "连空行也能匹配"},
      {"^(第.+章)?", "连空行也能匹配"},
      {"^第[0-9]+章", ""},
  };
  for (const Case& c : cases) {
    const QString problem = HeadingExpressionProblem(QString::fromUtf8(c.expression));
    if (*c.says == '\0') {
      EXPECT_TRUE(problem.isEmpty()) << c.expression << ": " << problem.toStdString();
    } else {
      EXPECT_TRUE(problem.contains(QString::fromUtf8(c.says))) << c.expression << ": " << problem.toStdString();
    }
  }
}

TEST(HeadingExpressions, LinesMatchAfterTheirIndentAndTitlesStayWhole) {
  const std::string longTitle = EncodeBookText(u"第2章 " + std::u16string(80, u'长'));
  const std::string text = EncodeBookText(u"前言\r\n　　第1章 开始\r\n正文第1章不是标题\r\n  第3章\t \n") +
                           longTitle + "\r\n" + EncodeBookText(u"第4章");
  const QRegularExpression expression(QStringLiteral("^第[0-9]+章"));
  const std::vector<FoundHeading> found = FindHeadingsByExpression(text, expression);
  ASSERT_EQ(found.size(), 4u);
  const auto title = [&](std::size_t k) {
    return QString::fromStdU16String(DecodeBookBytes(std::string_view(text).substr(
        static_cast<std::size_t>(found[k].start), found[k].titleLength)));
  };
  EXPECT_EQ(title(0), QString::fromUtf8("第1章 开始"));  // after the full-width indent
  EXPECT_EQ(title(1), QString::fromUtf8("第3章"));        // blanks at the end left out
  EXPECT_EQ(found[2].titleLength, 100);                   // cut at 100 bytes, between characters
  EXPECT_FALSE(title(2).back().isSurrogate());
  EXPECT_EQ(title(3), QString::fromUtf8("第4章"));        // the last line, without a break
  EXPECT_EQ(FindHeadingsByExpression(text, expression, 2).size(), 2u);
}

TEST_F(BookPlacesGuiTest, TheUsersOwnRulesAreWrittenTestedAndChosen) {
  OpenByKeys(zhang_);
  const auto type = [](QLineEdit* field, const QString& text) {
    for (QChar c : text) testing::PressKey(field, QKeyCombination(Qt::Key(c.toUpper().unicode())), QString(c));
  };
  WithDialog(cmd::kChapterRules, [&](QDialog& dialog) {
    auto* list = dialog.findChild<QListWidget*>("ruleList");
    auto* name = dialog.findChild<QLineEdit*>("ruleName");
    auto* expression = dialog.findChild<QLineEdit*>("ruleExpression");
    auto* result = dialog.findChild<QLabel*>("ruleTest");
    auto* titles = dialog.findChild<QListWidget*>("ruleTitles");
    ASSERT_EQ(list->count(), 7);  // the built-in rules, not editable
    list->setCurrentRow(1);
    EXPECT_TRUE(expression->isReadOnly());
    EXPECT_TRUE(result->text().contains(QString::fromUtf8("找到 60 个标题"))) << result->text().toStdString();
    dialog.findChild<QPushButton*>("ruleAdd")->click();  // empty fields for a new rule
    type(expression, QString::fromUtf8("^第[0-9]+章("));
    // Tested as it is typed, after a short pause.
    for (int i = 0; i < 100 && !result->text().contains(QString::fromUtf8("有误")); ++i) {
      QApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(10);
    }
    EXPECT_TRUE(result->text().contains(QString::fromUtf8("缺少右括号"))) << result->text().toStdString();
    type(name, QString::fromUtf8("山中章"));
    dialog.findChild<QPushButton*>("ruleAdd")->click();
    ASSERT_EQ(boxes_.shown.size(), 1u);  // refused, with the reason
    EXPECT_TRUE(boxes_.shown[0].text.contains(QString::fromUtf8("缺少右括号")));
    EXPECT_EQ(list->count(), 7);
    testing::PressKey(expression, QKeyCombination(Qt::Key_Backspace));
    static_cast<ChapterRulesDialog&>(dialog).TestNow();
    EXPECT_TRUE(result->text().contains(QString::fromUtf8("找到 60 个标题"))) << result->text().toStdString();
    EXPECT_EQ(titles->item(0)->text(), QString::fromUtf8("第1章 山中第1日"));
    dialog.findChild<QPushButton*>("ruleAdd")->click();
    ASSERT_EQ(list->count(), 8);
    // A second rule, edited, then moved before the first.
    dialog.findChild<QPushButton*>("ruleAdd")->click();
    name->setText(QString::fromUtf8("十章一回"));
    expression->setText(QString::fromUtf8("^第[0-9]*0章"));
    dialog.findChild<QPushButton*>("ruleAdd")->click();
    expression->setText(QString::fromUtf8("^第[0-9]*5章"));
    dialog.findChild<QPushButton*>("ruleSave")->click();
    dialog.findChild<QPushButton*>("ruleUp")->click();
    EXPECT_EQ(list->item(7)->text(), QString::fromUtf8("十章一回"));
    dialog.accept();
  });
  EXPECT_EQ(profile::GetString(config_names::kChapterRules, "RuleNum", "", home_.ConfigPath()), "2");
  QMenu* menu = app_.MainFrame()->StoreMenuOf(StoreMenu::ChapterRules);
  QStringList texts;
  for (QAction* action : menu->actions())
    if (!action->isSeparator()) texts << action->text();
  ASSERT_EQ(texts.size(), 9);
  EXPECT_EQ(texts[6], QString::fromUtf8("自动识别(&0)"));
  EXPECT_EQ(texts.mid(7), (QStringList{QString::fromUtf8("十章一回"), QString::fromUtf8("山中章")}));

  Action(cmd::kUserRuleFirst + 1)->trigger();
  EXPECT_EQ(view_->PagingMode(), kChapterPaging);
  EXPECT_EQ(view_->PageCount(), 60);
  EXPECT_TRUE(Action(cmd::kUserRuleFirst + 1)->isChecked());
  Action(cmd::kUserRuleFirst)->trigger();
  EXPECT_EQ(view_->PageCount(), 6);  // chapters 5, 15, ... 55

  // In line pages 目录 lists the rule's headings, and follows an edit of the rule.
  Action(cmd::kLinePaging)->trigger();
  const auto listed = [&] {
    int rows = -1;
    WithDialog(cmd::kChapterList, [&](QDialog& dialog) {
      rows = static_cast<ChapterListDialog&>(dialog).List()->model()->rowCount();
      dialog.reject();
    });
    return rows;
  };
  EXPECT_EQ(listed(), 6);
  WithDialog(cmd::kChapterRules, [&](QDialog& dialog) {
    dialog.findChild<QListWidget*>("ruleList")->setCurrentRow(7);
    dialog.findChild<QLineEdit*>("ruleExpression")->setText(QString::fromUtf8("^第[0-9]*[05]章"));
    dialog.findChild<QPushButton*>("ruleSave")->click();
    dialog.accept();
  });
  EXPECT_EQ(listed(), 12);
  Action(cmd::kUserRuleFirst)->trigger();
  ASSERT_EQ(view_->PageCount(), 12);

  // Deleting the rule in use pages the book by the automatic rule, at the same text.
  const std::int64_t top = TopOfPaneOffset(*view_);
  WithDialog(cmd::kChapterRules, [&](QDialog& dialog) {
    dialog.findChild<QListWidget*>("ruleList")->setCurrentRow(7);
    dialog.findChild<QPushButton*>("ruleDelete")->click();
    dialog.accept();
  });
  EXPECT_EQ(view_->ChapterRule(), kAutoChapterRule);
  EXPECT_EQ(view_->PageCount(), view_->ScanChapters(kAutoChapterRule).pageCount);
  EXPECT_EQ(TopOfPaneOffset(*view_), top);
  EXPECT_EQ(profile::GetString(config_names::kChapterRules, "RuleNum", "", home_.ConfigPath()), "1");
}

}  // namespace
}  // namespace varnelo
