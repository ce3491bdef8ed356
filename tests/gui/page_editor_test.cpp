// Editing a page of a real novel through the keys and actions a reader uses: saving into
// the book, the save question, leaving edit mode, saving under a new name, find.
#include "text/page_editor.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextCursor>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/codepage.h"
#include "platform/find_dialog.h"
#include "tests/gui/test_support.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

using testing::CorpusBook;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Empty when the two books are the same, else where they part (books are too long to print).
std::string Difference(const std::string& written, const std::string& expected) {
  std::size_t i = 0;
  while (i < written.size() && i < expected.size() && written[i] == expected[i]) ++i;
  if (i == written.size() && i == expected.size()) return "";
  return "sizes " + std::to_string(written.size()) + " and " + std::to_string(expected.size()) +
         ", first difference at byte " + std::to_string(i);
}

class PageEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app_.InitInstance({"varnelo"}));
    view_ = app_.MainFrame()->View();
    book_ = home_.Folder() + "sanguo.txt";
    std::filesystem::copy_file(CorpusBook("三国演义.txt"), book_);
    std::filesystem::permissions(
        book_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    original_ = Read(book_);
    dialogs_.files.push_back(QString::fromStdString(book_));
    Press(Qt::ControlModifier | Qt::Key_O);
    ASSERT_EQ(view_->CurrentPath(), book_);
  }

  void Press(QKeyCombination key, const QString& text = QString()) {
    QApplication::setActiveWindow(view_->window());
    view_->Pane()->setFocus();
    QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers(), text);
    QApplication::sendEvent(view_->Pane(), &press);
  }
  void Type(const QString& text) {
    for (QChar c : text) Press(QKeyCombination(Qt::Key(c.toUpper().unicode())), QString(c));
  }
  QAction* Action(int id) { return app_.MainFrame()->ActionOf(id); }
  // Edit mode from its action, the caret put a few lines down the screen.
  // Past a few plain characters, so the test can find the place in the file.
  int StartEditing() {
    if (!view_->EditMode()) Action(108)->trigger();
    EXPECT_TRUE(Action(108)->isChecked());
    RichPane* pane = view_->Pane();
    QTextCursor caret = pane->textCursor();  // a click a few lines down the screen
    const QString text = pane->PaneText();
    const auto plain = [&](int at) {
      for (int i = at - 6; i < at; ++i)
        if (i < 0 || text[i].isSpace()) return false;
      return true;
    };
    int at = pane->LineIndex(pane->FirstVisibleLine() + 4) + 3;
    while (at < text.size() && !plain(at)) ++at;
    EXPECT_TRUE(plain(at));
    caret.setPosition(at);
    pane->setTextCursor(caret);
    return at;
  }
  // The book as it should be with `typed` inserted at pane position `at` of the page: after
  // the same characters as precede it on the page, found in the file from the page on.
  std::string WithTyped(const QString& shown, int at, const std::string& typed) {
    const std::string before = EncodeBookText(shown.mid(at - 6, 6).toStdU16String());
    const std::size_t found =
        original_.find(before, static_cast<std::size_t>(view_->PageStart(view_->CurrentPage())));
    EXPECT_NE(found, std::string::npos);
    return original_.substr(0, found + before.size()) + typed +
           original_.substr(found + before.size());
  }

  testing::TempHome home_;
  testing::FakeClock clock_;
  ScopedClock clockGuard_{&clock_};
  testing::ScriptedMessageBoxes boxes_;
  ScopedMessageBoxes boxesGuard_{&boxes_};
  testing::ScriptedDialogs dialogs_;
  ScopedDialogs dialogsGuard_{&dialogs_};
  CVarneloApp app_;
  CVarneloView* view_ = nullptr;
  std::string book_;
  std::string original_;
};

TEST_F(PageEditorTest, CtrlSWritesOnlyTheTypedBytesAndComesBack) {
  Press(QKeyCombination(Qt::Key_Right));
  Press(QKeyCombination(Qt::Key_Right));
  for (int i = 0; i < 5; ++i) Press(QKeyCombination(Qt::Key_Down));
  const QString shown = view_->Pane()->PaneText();
  const std::string expected = WithTyped(shown, StartEditing(), "xyz");
  Type("xyz");
  Press(Qt::ControlModifier | Qt::Key_S);
  EXPECT_TRUE(boxes_.shown.empty()) << boxes_.shown[0].text.toStdString();
  EXPECT_EQ(Difference(Read(book_), expected), "");
  EXPECT_EQ(view_->CurrentPage(), 3);
  EXPECT_EQ(view_->Pane()->FirstVisibleLine(), 5);
  EXPECT_TRUE(Action(108)->isChecked());
  EXPECT_FALSE(view_->Pane()->IsModified());
  EXPECT_TRUE(view_->Pane()->PaneText().contains("xyz"));
}

TEST_F(PageEditorTest, LeavingEditModeWithNoBringsThePageBack) {
  for (int i = 0; i < 3; ++i) Press(QKeyCombination(Qt::Key_Down));
  const QString shown = view_->Pane()->PaneText();
  StartEditing();
  Type("abc");
  boxes_.answers.push_back(MessageResult::No);
  Action(108)->trigger();
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, QStringLiteral("是否保存文本？"));
  EXPECT_EQ(boxes_.shown[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(view_->Pane()->PaneText(), shown);
  EXPECT_EQ(view_->Pane()->FirstVisibleLine(), 3);
  EXPECT_FALSE(Action(108)->isChecked());
  EXPECT_TRUE(view_->Pane()->isReadOnly());
  EXPECT_EQ(Difference(Read(book_), original_), "");
}

TEST_F(PageEditorTest, EveryWayOffThePageAsksFirst) {
  const std::string expected = WithTyped(view_->Pane()->PaneText(), StartEditing(), "q");
  Type("q");
  boxes_.answers.push_back(MessageResult::Yes);
  view_->NextButton()->click();
  EXPECT_EQ(boxes_.shown.back().text, QStringLiteral("是否保存文本？"));
  EXPECT_EQ(Difference(Read(book_), expected), "");
  EXPECT_EQ(view_->CurrentPage(), 2);
  // Typing a page number and a paging command ask too; No leaves the book as it is.
  for (const auto& leave : {std::function<void()>([&] {
                              view_->PageNumberBox()->setFocus();
                              QKeyEvent key(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, "5");
                              QApplication::sendEvent(view_->PageNumberBox(), &key);
                            }),
                            std::function<void()>([&] { Action(32818)->trigger(); })}) {
    StartEditing();
    Type("w");
    boxes_.shown.clear();
    boxes_.answers.push_back(MessageResult::No);
    leave();
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].text, QStringLiteral("是否保存文本？"));
    EXPECT_FALSE(view_->Pane()->PaneText().contains("w"));
  }
  EXPECT_EQ(Difference(Read(book_), expected), "");
}

// What the library, bookmarks and the exit call before they replace the book.
TEST_F(PageEditorTest, SavingBeforeTheBookIsReplacedWritesInPlace) {
  const QString shown = view_->Pane()->PaneText();
  const int first = StartEditing();
  const std::string once = WithTyped(shown, first, "1");
  Type("1");
  boxes_.answers.push_back(MessageResult::Yes);
  EXPECT_TRUE(view_->OfferToSaveEdits());
  EXPECT_EQ(Difference(Read(book_), once), "");
  EXPECT_FALSE(view_->EditMode());
  EXPECT_TRUE(view_->OfferToSaveEdits());
  EXPECT_EQ(boxes_.shown.size(), 1u) << "nothing left to ask about";
  // Should the book stay after all, editing it again starts from the saved file.
  original_ = once;
  const int second = StartEditing();
  const std::string twice = WithTyped(view_->Pane()->PaneText(), second, "2");
  Type("2");
  Press(Qt::ControlModifier | Qt::Key_S);
  EXPECT_EQ(Difference(Read(book_), twice), "");
  EXPECT_EQ(boxes_.shown.size(), 1u);
}

TEST_F(PageEditorTest, ABookChangedSinceLoadingIsNotOverwritten) {
  StartEditing();
  Type("k");
  std::ofstream(book_, std::ios::app) << "\r\nmore";
  const std::string changed = Read(book_);
  Press(Qt::ControlModifier | Qt::Key_S);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_TRUE(boxes_.shown[0].text.contains(QStringLiteral("被改动")));
  EXPECT_EQ(Difference(Read(book_), changed), "");
  EXPECT_TRUE(view_->Pane()->PaneText().contains("k"));
  EXPECT_TRUE(view_->Pane()->IsModified());
}

TEST_F(PageEditorTest, ABookWeMayNotWriteGetsAClearMessage) {
  std::filesystem::permissions(book_, std::filesystem::perms::owner_read);
  if (::access(book_.c_str(), W_OK) == 0) GTEST_SKIP() << "every file is writable here";
  StartEditing();
  Type("k");
  Press(Qt::ControlModifier | Qt::Key_S);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_TRUE(boxes_.shown[0].text.contains(QStringLiteral("无法写入")));
  EXPECT_EQ(Difference(Read(book_), original_), "");
  EXPECT_TRUE(Action(108)->isChecked());
  EXPECT_TRUE(view_->Pane()->IsModified());
}

TEST_F(PageEditorTest, SaveAsWritesTheSameBytesUnderTheChosenName) {
  const std::string expected = WithTyped(view_->Pane()->PaneText(), StartEditing(), "s");
  Type("s");
  std::filesystem::create_directory(home_.Folder() + "a.txt.d");
  const std::string target = home_.Folder() + "a.txt.d/copy.txt";
  dialogs_.saveFiles.push_back(QString::fromStdString(home_.Folder() + "a.txt.d/copy.TXT"));
  Action(57604)->trigger();
  EXPECT_EQ(dialogs_.saveTitles.back(), QStringLiteral("另存为..."));
  EXPECT_EQ(dialogs_.saveFilters.back(), QStringLiteral("文本文件(*.txt)"));
  EXPECT_EQ(Difference(Read(target), expected), "");
  EXPECT_EQ(Difference(Read(book_), original_), "");
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
  request.text = word;
  for (int expected : {first, second}) {
    dialogs_.findDialogs[0](request);
    EXPECT_EQ(view_->Pane()->textCursor().selectionStart(), expected);
    EXPECT_EQ(view_->Pane()->textCursor().selectedText(), word);
  }
  request.text = QStringLiteral("没有这句话");
  dialogs_.findDialogs[1](request);
  EXPECT_EQ(view_->Pane()->textCursor().selectionStart(), second) << "nothing found, nothing shown";
  request.text = word;
  dialogs_.findDialogs[1](request);  // starts again at the top of the page
  EXPECT_EQ(view_->Pane()->textCursor().selectionStart(), first);
}

TEST(FindInPageText, CaseWholeWordsAndDirection) {
  const QString text = QStringLiteral("Cat cat concat 猫猫 cat_x");
  struct Case {
    const char* what;
    int from;
    FindOptions options;
    int found;
  } cases[] = {
      {"cat", 0, {}, 0},
      {"cat", 1, {}, 4},
      {"cat", 1, {true, true}, 4},
      {"Cat", 1, {true, true}, -1},
      {"cat", 5, {true, false, true}, -1},  // "concat" and "cat_x" are not the word
      {"猫", 0, {true, false, true}, 15},   // every Han character is a word of its own
      {"cat", 0, {false}, 18},
      {"cat", 12, {false}, 4},
      {"cat", 5, {false}, 0},
      {"", 0, {}, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FindInPageText(text, QString::fromUtf8(c.what), c.from, c.options), c.found)
        << c.what << " " << c.from;
}

TEST(FindDialog, AsksForTheNextMatchAndSaysWhenItCloses) {
  std::vector<FindRequest> requests;
  auto* dialog = new FindDialog(nullptr, [&](const FindRequest& r) { requests.push_back(r); });
  EXPECT_FALSE(dialog->FindNextButton()->isEnabled());
  dialog->TextBox()->setText(QStringLiteral("刘备"));
  dialog->MatchCaseBox()->setChecked(true);
  dialog->FindNextButton()->click();
  dialog->reject();  // deletes itself
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(requests[0].findNext && requests[0].down && requests[0].matchCase);
  EXPECT_EQ(requests[0].text, QStringLiteral("刘备"));
  EXPECT_TRUE(requests[1].closing);
}

}  // namespace
}  // namespace varnelo
