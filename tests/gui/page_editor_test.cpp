// Editing a page of a real novel through the keys and actions a reader uses: saving into
// the book, the save question, leaving edit mode, saving under a new name, find.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTextBlock>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextCursor>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <tuple>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/codepage.h"
#include "platform/glyph_coverage.h"
#include "platform/window_timers.h"
#include "platform/profile.h"
#include "res/command_ids.h"
#include "store/config_schema.h"
#include "tests/gui/test_support.h"
#include "text/bookmark_part.h"
#include "text/page_editor.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

namespace fs = std::filesystem;

void Click(RichPane* pane, QPoint at) {
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent event(type, at, pane->viewport()->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(pane->viewport(), &event);
  }
}

class PageEditorTest : public ::testing::Test, protected testing::ReaderSession {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartReader());
    book_ = home_.Folder() + "sanguo.txt";
    fs::copy_file(testing::CorpusBook("三国演义.txt"), book_);
    fs::permissions(book_, fs::perms::owner_read | fs::perms::owner_write);
    original_ = testing::FileBytes(book_);
    OpenByKeys(book_);
    ASSERT_EQ(view_->CurrentPath(), book_);
  }

  void Press(QKeyCombination key, const QString& text = QString(), QWidget* to = nullptr) {
    testing::PressKey(to ? to : view_->Pane(), key, text);
  }
  void Type(const QString& text) {
    for (QChar c : text) Press(QKeyCombination(Qt::Key(c.toUpper().unicode())), QString(c));
  }

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
  EXPECT_TRUE(testing::FileBytes(book_) == expected);  // books are too long to print
  EXPECT_EQ(view_->CurrentPage(), 3);
  EXPECT_EQ(view_->Pane()->FirstVisibleLine(), 5);
  EXPECT_TRUE(Action(108)->isChecked());
  EXPECT_FALSE(view_->Pane()->IsModified());
  EXPECT_TRUE(view_->Pane()->PaneText().contains("xyz"));
}

// The blank line before "------章节内容开始-------" shows as two spaces at the start of
// that line: a letter typed between them is written beside its line break, not over it.
TEST_F(PageEditorTest, TypingInsideABlankLinesSpacesKeepsItsLineBreak) {
  Action(108)->trigger();
  RichPane* pane = view_->Pane();
  const QString line = QStringLiteral("------章节内容开始-------");
  const int at = static_cast<int>(pane->PaneText().indexOf(line));
  ASSERT_GT(at, 0);
  // Between the two spaces, then before them: each time right after the blank line's
  // CR LF, before the line's own text, and the blank line stays blank.
  std::string expected = original_;
  const std::size_t lineStart = original_.find(EncodeBookText(u" " + line.toStdU16String()));
  for (const char* typed : {"Z", "Q"}) {
    QTextCursor inLine(pane->document());
    inLine.setPosition(static_cast<int>(pane->PaneText().indexOf(line)) + 8);
    Click(pane, pane->cursorRect(inLine).center());
    ASSERT_EQ(pane->textCursor().block().text().trimmed().right(line.size()), line);
    Press(QKeyCombination(Qt::Key_Home));
    if (*typed == 'Z') Press(QKeyCombination(Qt::Key_Right));
    Type(typed);
    Press(Qt::ControlModifier | Qt::Key_S);
    EXPECT_TRUE(boxes_.shown.empty());
    expected.insert(lineStart, typed);
    EXPECT_TRUE(testing::FileBytes(book_) == expected) << typed;
  }
}

// A save past the file-size limit fails and says so; the reader, the book and the folder
// stay as they were (in a child, which the limit would otherwise end).
TEST_F(PageEditorTest, ASavePastTheFileSizeLimitIsReportedAndLeavesNoTemporaryFile) {
  StartEditing("q");
  Type("q");
  // Only the soft limit, so it can go back up; not in a forked child, whose copy of Qt has
  // none of its helper threads and would hang the first time a large area is painted.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const rlimit limit{std::min<rlim_t>(1 << 16, saved.rlim_max), saved.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  Press(Qt::ControlModifier | Qt::Key_S);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_TRUE(boxes_.shown[0].text.contains(QStringLiteral("无法写入"))) << boxes_.shown[0].text.toStdString();
  EXPECT_TRUE(testing::FileBytes(book_) == original_);
  for (const auto& entry : fs::directory_iterator(home_.Folder()))
    EXPECT_EQ(entry.path().filename().string().find(".~"), std::string::npos) << entry.path();
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
  EXPECT_TRUE(testing::FileBytes(book_) == original_);
}

// A character no font here has shows as a box while reading; edit mode brings the character
// itself back into the pane, so a save writes it as it was.
TEST_F(PageEditorTest, CharactersNoFontHasAreEditedAndSavedAsThemselves) {
  std::optional<char16_t> missing;
  for (char16_t c : {u'\u0378', u'\u0D85', u'\u1780', u'\uA000'})
    if (!missing && !InstalledGlyphs().Covers(c)) missing = c;
  if (!missing) GTEST_SKIP() << "every candidate has a font here";
  const std::string odd = home_.Folder() + "odd.txt";
  const std::string bytes = EncodeBookText(u"甲" + std::u16string(1, *missing) + u"乙\r\n") + original_;
  std::ofstream(odd, std::ios::binary) << bytes;
  OpenByKeys(odd);
  RichPane* pane = view_->Pane();
  ASSERT_TRUE(pane->document()->toPlainText().startsWith(QStringLiteral("甲□乙")));
  Action(108)->trigger();
  EXPECT_TRUE(pane->document()->toPlainText().startsWith(QStringLiteral("甲") + QChar(*missing) + QStringLiteral("乙")));
  pane->setTextCursor(QTextCursor(pane->document()));
  Type("xyz");
  Press(Qt::ControlModifier | Qt::Key_S);
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_TRUE(testing::FileBytes(odd) == "xyz" + bytes);
}

TEST_F(PageEditorTest, EveryWayOffThePageAsksFirst) {
  const std::string expected = StartEditing("q");
  Type("q");
  boxes_.answers.push_back(MessageResult::Yes);
  view_->NextButton()->click();
  EXPECT_EQ(boxes_.shown.back().text, QStringLiteral("是否保存文本？"));
  EXPECT_TRUE(testing::FileBytes(book_) == expected);
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
  EXPECT_TRUE(testing::FileBytes(book_) == expected);
}

// What the library, the bookmarks and the exit call before they replace the book.
TEST_F(PageEditorTest, SavingBeforeTheBookIsReplacedWritesInPlace) {
  const std::string once = StartEditing("1");
  Type("1");
  boxes_.answers.push_back(MessageResult::Yes);
  EXPECT_TRUE(view_->OfferToSaveEdits());
  EXPECT_TRUE(testing::FileBytes(book_) == once);
  EXPECT_FALSE(view_->EditMode());
  EXPECT_TRUE(view_->OfferToSaveEdits());
  EXPECT_EQ(boxes_.shown.size(), 1u) << "nothing left to ask about";
  // Should the book stay after all, editing it again starts from the saved file.
  original_ = once;
  const std::string twice = StartEditing("2");
  Type("2");
  Press(Qt::ControlModifier | Qt::Key_S);
  EXPECT_TRUE(testing::FileBytes(book_) == twice);
  EXPECT_EQ(boxes_.shown.size(), 1u);
}

TEST_F(PageEditorTest, ABookChangedSinceLoadingIsNotOverwritten) {
  StartEditing("k");
  Type("k");
  std::ofstream(book_, std::ios::app) << "\r\nmore";
  const std::string changed = testing::FileBytes(book_);
  Press(Qt::ControlModifier | Qt::Key_S);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_TRUE(boxes_.shown[0].text.contains(QStringLiteral("被改动")));
  EXPECT_TRUE(testing::FileBytes(book_) == changed);
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
  EXPECT_TRUE(testing::FileBytes(book_) == changed);
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
  EXPECT_TRUE(testing::FileBytes(book_) == original_);
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
  EXPECT_TRUE(testing::FileBytes(target) == expected);
  EXPECT_TRUE(testing::FileBytes(book_) == original_);
  EXPECT_EQ(view_->CurrentPath(), target);
  EXPECT_EQ(boxes_.shown.back().text, QString::fromStdString("文件已另保存为: " + target));
  ASSERT_EQ(view_->LibraryList()->count(), 1);
  EXPECT_EQ(view_->LibraryList()->item(0)->text(), QStringLiteral("copy.txt"));
}

// The edits can always go to a new name, though the book's own file was deleted or
// another file renamed over it; in place, a replaced book is still not overwritten.
TEST_F(PageEditorTest, SaveAsWorksAfterTheBookIsDeletedOrReplaced) {
  for (const bool replaced : {false, true}) {
    SCOPED_TRACE(replaced ? "replaced" : "deleted");
    const std::string book = view_->CurrentPath();
    const std::string expected = StartEditing(replaced ? "r" : "d");
    Type(replaced ? "r" : "d");
    boxes_.shown.clear();
    if (replaced) {
      std::ofstream(home_.Folder() + "other.txt") << "another book";
      fs::rename(home_.Folder() + "other.txt", book);
      Press(Qt::ControlModifier | Qt::Key_S);
      ASSERT_EQ(boxes_.shown.size(), 1u);
      EXPECT_TRUE(boxes_.shown[0].text.contains(QStringLiteral("被改动")));
      EXPECT_EQ(testing::FileBytes(book), "another book");
      boxes_.shown.clear();
    } else {
      fs::remove(book);
    }
    const std::string target = home_.Folder() + (replaced ? "second.txt" : "first.txt");
    dialogs_.saveFiles.push_back(QString::fromStdString(target));
    Action(57604)->trigger();
    ASSERT_FALSE(boxes_.shown.empty());
    EXPECT_EQ(boxes_.shown.back().text, QString::fromStdString("文件已另保存为: " + target));
    EXPECT_TRUE(testing::FileBytes(target) == expected);
    EXPECT_EQ(view_->CurrentPath(), target);
    original_ = expected;
  }
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

// At start-up the last book's scroll line comes back 500 ms late (timer 101), unless a line
// was chosen for the pane by then: leaving edit mode with No, or Ctrl+S, chooses one.
TEST(PageEditorRestoreLine, ASaveOrADiscardKeepsTheLineFromTheLateRestore) {
  for (const bool save : {false, true}) {
    SCOPED_TRACE(save ? "Ctrl+S" : "No");
    testing::ScriptedSession session;
    const std::string book = session.home_.Folder() + "sanguo.txt";
    fs::copy_file(testing::CorpusBook("三国演义.txt"), book);
    testing::SetKey(ConfigKey::LastPosition, "sanguo.txt,P2,09:00,05/March >" + book,
                    session.home_.ConfigPath());
    testing::SetKey(ConfigKey::MarkLine, "3", session.home_.ConfigPath());
    CVarneloApp app;
    ASSERT_TRUE(app.InitInstance({"varnelo"}));
    CVarneloView* view = app.MainFrame()->View();
    RichPane* pane = view->Pane();
    ASSERT_TRUE(view->Timers().IsActive(BookmarkPart::kRestoreLineTimer));
    for (int i = 0; i < 5; ++i) testing::PressKey(pane, QKeyCombination(Qt::Key_Down));
    app.MainFrame()->ActionOf(108)->trigger();
    Click(pane, QPoint(20, pane->viewport()->height() / 2));  // the caret in mid-screen
    testing::PressKey(pane, QKeyCombination(Qt::Key_Q), QStringLiteral("q"));
    ASSERT_EQ(pane->FirstVisibleLine(), 5);
    if (save) {
      testing::PressKey(pane, Qt::ControlModifier | Qt::Key_S);
    } else {
      session.boxes_.answers.push_back(MessageResult::No);
      app.MainFrame()->ActionOf(108)->trigger();
    }
    EXPECT_EQ(pane->FirstVisibleLine(), 5);
    view->OnTimer(BookmarkPart::kRestoreLineTimer);  // the restore's tick, due or late
    EXPECT_EQ(pane->FirstVisibleLine(), 5);
    EXPECT_EQ(view->EditMode(), save);
  }
}

// A reader killed while saving left temporary files beside its book and its Config.ini;
// the next start removes them.
TEST(PageEditorStartUp, RemovesWhatAKilledSaveLeft) {
  testing::ScriptedSession session;
  const std::string book = session.home_.Folder() + "sanguo.txt";
  fs::copy_file(testing::CorpusBook("三国演义.txt"), book);
  testing::SetKey(ConfigKey::LastPosition, "sanguo.txt,P2,09:00,05/March >" + book,
                  session.home_.ConfigPath());
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string suffix = ".~" + std::to_string(gone) + "-0";
  for (const std::string& target : {book, session.home_.ConfigPath()})
    std::ofstream(target + suffix) << "half a write";
  CVarneloApp app;
  ASSERT_TRUE(app.InitInstance({"varnelo"}));
  EXPECT_EQ(app.MainFrame()->View()->CurrentPath(), book);
  EXPECT_FALSE(fs::exists(book + suffix));
  EXPECT_FALSE(fs::exists(session.home_.ConfigPath() + suffix));
}

// Each book opened (named on the command line, chosen with Ctrl+O, handed over by a later
// start) loses what a killed save left beside it, not only the book the reader returns to.
TEST(PageEditorStartUp, RemovesWhatAKilledSaveLeftBesideEveryBookOpened) {
  testing::ScriptedSession session;
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string suffix = ".~" + std::to_string(gone) + "-0";
  std::vector<std::string> books;
  for (const char* name : {"named.txt", "chosen.txt", "handed.txt"}) {
    books.push_back(session.home_.Folder() + name);
    std::ofstream(books.back(), std::ios::binary) << "\xb5\xda\xd2\xbb\xd5\xc2\r\n" << name << "\r\n";
    std::ofstream(books.back() + suffix) << "half a write";
  }
  CVarneloApp app;
  ASSERT_TRUE(app.InitInstance({"varnelo", books[0]}));
  CVarneloView* view = app.MainFrame()->View();
  session.dialogs_.files.push_back(QString::fromStdString(books[1]));
  testing::PressKey(view->Pane(), Qt::ControlModifier | Qt::Key_O);
  app.OnHandOver(books[2]);
  for (int i = 0; i < 10 && view->CurrentPath() != books[2]; ++i) QCoreApplication::processEvents();
  ASSERT_EQ(view->CurrentPath(), books[2]);
  for (const std::string& book : books) EXPECT_FALSE(fs::exists(book + suffix)) << book;
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
