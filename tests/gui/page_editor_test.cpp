// Editing a page of a real novel through the keys and actions a reader uses: saving into
// the book, the save question, leaving edit mode, saving under a new name, find.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextCursor>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/codepage.h"
#include "platform/profile.h"
#include "res/command_ids.h"
#include "store/config_schema.h"
#include "tests/gui/test_support.h"
#include "text/page_editor.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

namespace fs = std::filesystem;

std::string Read(const std::string& path) {
  std::stringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return bytes.str();
}

class PageEditorTest : public ::testing::Test, protected testing::ScriptedSession {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app_.InitInstance({"varnelo"}));
    view_ = app_.MainFrame()->View();
    book_ = home_.Folder() + "sanguo.txt";
    fs::copy_file(testing::CorpusBook("三国演义.txt"), book_);
    fs::permissions(book_, fs::perms::owner_read | fs::perms::owner_write);
    original_ = Read(book_);
    dialogs_.files.push_back(QString::fromStdString(book_));
    Press(Qt::ControlModifier | Qt::Key_O);
    ASSERT_EQ(view_->CurrentPath(), book_);
  }

  void Press(QKeyCombination key, const QString& text = QString(), QWidget* to = nullptr) {
    testing::PressKey(to ? to : view_->Pane(), key, text);
  }
  void Type(const QString& text) {
    for (QChar c : text) Press(QKeyCombination(Qt::Key(c.toUpper().unicode())), QString(c));
  }
  QAction* Action(int id) { return app_.MainFrame()->ActionOf(id); }

  // Edit mode from its action and the caret a few lines down the screen, past six plain
  // characters; returns the book as it should be once `typed` is typed there and saved.
  std::string StartEditing(const std::string& typed) {
    if (!view_->EditMode()) Action(108)->trigger();
    EXPECT_TRUE(Action(108)->isChecked());
    RichPane* pane = view_->Pane();
    const QString text = pane->PaneText();
    int at = pane->LineIndex(pane->FirstVisibleLine() + 4) + 3;
    while (at < text.size() && (at < 6 || text.mid(at - 6, 6).contains(QRegularExpression("\\s"))))
      ++at;
    QTextCursor caret = pane->textCursor();
    caret.setPosition(at);
    pane->setTextCursor(caret);
    const std::string before = EncodeBookText(text.mid(at - 6, 6).toStdU16String());
    const std::size_t page = static_cast<std::size_t>(view_->PageStart(view_->CurrentPage()));
    const std::size_t cut = original_.find(before, page) + before.size();
    return original_.substr(0, cut) + typed + original_.substr(cut);
  }

  CVarneloApp app_;
  CVarneloView* view_ = nullptr;
  std::string book_;
  std::string original_;
};

TEST_F(PageEditorTest, CtrlSWritesOnlyTheTypedBytesAndComesBack) {
  for (Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down,
                      Qt::Key_Down, Qt::Key_Down})
    Press(QKeyCombination(key));
  const std::string expected = StartEditing("xyz");
  Type("xyz");
  Press(Qt::ControlModifier | Qt::Key_S);
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_TRUE(Read(book_) == expected);  // books are too long to print
  EXPECT_EQ(view_->CurrentPage(), 3);
  EXPECT_EQ(view_->Pane()->FirstVisibleLine(), 5);
  EXPECT_TRUE(Action(108)->isChecked());
  EXPECT_FALSE(view_->Pane()->IsModified());
  EXPECT_TRUE(view_->Pane()->PaneText().contains("xyz"));
}

TEST_F(PageEditorTest, LeavingEditModeWithNoBringsThePageBack) {
  for (int i = 0; i < 3; ++i) Press(QKeyCombination(Qt::Key_Down));
  const QString shown = view_->Pane()->PaneText();
  StartEditing("abc");
  Type("abc");
  boxes_.answers.push_back(MessageResult::No);
  Action(108)->trigger();
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, QStringLiteral("是否保存文本？"));
  EXPECT_EQ(view_->Pane()->PaneText(), shown);
  EXPECT_EQ(view_->Pane()->FirstVisibleLine(), 3);
  EXPECT_TRUE(!Action(108)->isChecked() && view_->Pane()->isReadOnly());
  EXPECT_TRUE(Read(book_) == original_);
}

TEST_F(PageEditorTest, EveryWayOffThePageAsksFirst) {
  const std::string expected = StartEditing("q");
  Type("q");
  boxes_.answers.push_back(MessageResult::Yes);
  view_->NextButton()->click();
  EXPECT_EQ(boxes_.shown.back().text, QStringLiteral("是否保存文本？"));
  EXPECT_TRUE(Read(book_) == expected);
  EXPECT_EQ(view_->CurrentPage(), 2);
  // A typed page number and a paging command ask too; No leaves the book as it is.
  for (int way = 0; way < 2; ++way) {
    StartEditing("w");
    Type("w");
    boxes_.shown.clear();
    boxes_.answers.push_back(MessageResult::No);
    if (way == 0) Press(QKeyCombination(Qt::Key_5), "5", view_->PageNumberBox());
    if (way == 1) Action(32818)->trigger();  // 按“第...回”分页
    ASSERT_EQ(boxes_.shown.size(), 1u) << way;
    EXPECT_EQ(boxes_.shown[0].text, QStringLiteral("是否保存文本？"));
    EXPECT_FALSE(view_->Pane()->PaneText().contains("w"));
  }
  EXPECT_TRUE(Read(book_) == expected);
}

// What the library, the bookmarks and the exit call before they replace the book.
TEST_F(PageEditorTest, SavingBeforeTheBookIsReplacedWritesInPlace) {
  const std::string once = StartEditing("1");
  Type("1");
  boxes_.answers.push_back(MessageResult::Yes);
  EXPECT_TRUE(view_->OfferToSaveEdits());
  EXPECT_TRUE(Read(book_) == once);
  EXPECT_FALSE(view_->EditMode());
  EXPECT_TRUE(view_->OfferToSaveEdits());
  EXPECT_EQ(boxes_.shown.size(), 1u) << "nothing left to ask about";
  // Should the book stay after all, editing it again starts from the saved file.
  original_ = once;
  const std::string twice = StartEditing("2");
  Type("2");
  Press(Qt::ControlModifier | Qt::Key_S);
  EXPECT_TRUE(Read(book_) == twice);
  EXPECT_EQ(boxes_.shown.size(), 1u);
}

TEST_F(PageEditorTest, ABookChangedSinceLoadingIsNotOverwritten) {
  StartEditing("k");
  Type("k");
  std::ofstream(book_, std::ios::app) << "\r\nmore";
  const std::string changed = Read(book_);
  Press(Qt::ControlModifier | Qt::Key_S);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_TRUE(boxes_.shown[0].text.contains(QStringLiteral("被改动")));
  EXPECT_TRUE(Read(book_) == changed);
  EXPECT_TRUE(view_->Pane()->PaneText().contains("k"));
  EXPECT_TRUE(view_->Pane()->IsModified());

  // Closing the window: "是否保存文本？" Yes cannot write either, so the window stays open
  // with the edits rather than losing them; No lets it close.
  boxes_.shown.clear();
  boxes_.answers = {MessageResult::Yes};
  app_.MainFrame()->close();
  EXPECT_TRUE(app_.MainFrame()->isVisible());
  EXPECT_TRUE(view_->Pane()->PaneText().contains("k"));
  boxes_.answers = {MessageResult::No};
  app_.MainFrame()->close();
  EXPECT_FALSE(app_.MainFrame()->isVisible());
  EXPECT_TRUE(Read(book_) == changed);
}

// The exit asks in edit mode even when nothing was typed, in a box the frame owns.
TEST_F(PageEditorTest, QuittingInEditModeAsksWithNothingTyped) {
  Action(cmd::kEditMode)->trigger();
  boxes_.answers.push_back(MessageResult::Yes);
  Action(cmd::kExit)->trigger();
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, QStringLiteral("是否保存文本？"));
  EXPECT_EQ(boxes_.shown[0].owner, app_.MainFrame());
  EXPECT_FALSE(app_.MainFrame()->isVisible());
  EXPECT_TRUE(Read(book_) == original_);
}

// An exit that could not save keeps the window open, and the reading time goes on counting.
TEST_F(PageEditorTest, AnExitThatCouldNotSaveGoesOnCountingTheReadingTime) {
  Action(cmd::kReadingTime)->trigger();
  clock_.now += 100;
  StartEditing("k");
  Type("k");
  std::ofstream(book_, std::ios::app) << "\r\nmore";
  boxes_.answers = {MessageResult::Yes};
  app_.MainFrame()->close();
  ASSERT_TRUE(app_.MainFrame()->isVisible());
  clock_.now += 50;
  boxes_.answers = {MessageResult::No};
  app_.MainFrame()->close();
  ASSERT_FALSE(app_.MainFrame()->isVisible());
  const std::string record =
      profile::GetString(config_names::kTimePad, "1", "", home_.ConfigPath());
  EXPECT_EQ(record.substr(0, record.find(',', record.find(',') + 1)), "sanguo.txt,150");
}

TEST_F(PageEditorTest, SaveAsWritesTheSameBytesUnderTheChosenName) {
  const std::string expected = StartEditing("s");
  Type("s");
  fs::create_directory(home_.Folder() + "a.txt.d");
  const std::string target = home_.Folder() + "a.txt.d/copy.txt";
  dialogs_.saveFiles.push_back(QString::fromStdString(home_.Folder() + "a.txt.d/copy.TXT"));
  Action(57604)->trigger();
  EXPECT_EQ(dialogs_.saveTitles.back(), QStringLiteral("另存为..."));
  EXPECT_EQ(dialogs_.saveFilters.back(), QStringLiteral("文本文件(*.txt)"));
  EXPECT_TRUE(Read(target) == expected);
  EXPECT_TRUE(Read(book_) == original_);
  EXPECT_EQ(view_->CurrentPath(), target);
  EXPECT_EQ(boxes_.shown.back().text, QString::fromStdString("文件已另保存为: " + target));
  ASSERT_EQ(view_->LibraryList()->count(), 1);
  EXPECT_EQ(view_->LibraryList()->item(0)->text(), QStringLiteral("copy.txt"));
}

TEST_F(PageEditorTest, FindTwiceOnThePageWithCtrlF) {
  const QString text = view_->Pane()->PaneText();
  const QString word = QStringLiteral("刘备");
  const int first = static_cast<int>(text.indexOf(word));
  const int second = static_cast<int>(text.indexOf(word, first + 1));
  ASSERT_GE(second, 0);
  Press(Qt::ControlModifier | Qt::Key_F);
  Press(Qt::ControlModifier | Qt::Key_F);
  ASSERT_EQ(dialogs_.findDialogs.size(), 2u) << "each command opens another dialog";
  FindRequest request;
  for (auto [what, dialog, selected] : {std::tuple{word, 0, first}, {word, 0, second},
                                        {QStringLiteral("没有这句话"), 1, second}, {word, 1, first}}) {
    request.text = what;
    dialogs_.findDialogs[static_cast<std::size_t>(dialog)](request);
    EXPECT_EQ(view_->Pane()->textCursor().selectionStart(), selected) << what.toStdString();
  }
  EXPECT_EQ(view_->Pane()->textCursor().selectedText(), word);
}

TEST(FindInPageText, CaseWholeWordsAndDirection) {
  const QString text = QStringLiteral("Cat cat concat 猫猫 cat_x");
  struct Case {
    const char* what;
    int from;
    FindOptions options;
    int found;
  } cases[] = {
      {"cat", 1, {}, 4}, {"Cat", 1, {true, true}, -1}, {"cat", 0, {false}, 18},
      {"cat", 12, {false}, 4}, {"", 0, {}, -1},
      {"cat", 5, {true, false, true}, -1},  // "concat" and "cat_x" are not the word
      {"猫", 0, {true, false, true}, 15},   // each Han character is a word of its own
  };
  for (const Case& c : cases)
    EXPECT_EQ(FindInPageText(text, QString::fromUtf8(c.what), c.from, c.options), c.found)
        << c.what << " from " << c.from;
}

}  // namespace
}  // namespace varnelo
