// Books in other encodings through the reader's keys and menus: a UTF-8 book with its mark
// opened with Ctrl+O, paged by rule 3, edited and saved with Ctrl+S; a UTF-16 book opened
// through the "编码" menu after its refusal; a character Big5 cannot hold refused on save.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QTextCursor>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "res/command_ids.h"
#include "store/book_encodings.h"
#include "tests/gui/test_support.h"
#include "text/book_engine.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

// The corpus book in another encoding, by the system's iconv.
std::string Converted(const char* book, const char* to, const std::string& path) {
  const std::string command = "iconv -c -f GB18030 -t " + std::string(to) + " '" +
                              testing::CorpusBook(book) + "' > '" + path + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  return testing::FileBytes(path);
}

class EncodingGuiTest : public ::testing::Test, protected testing::ReaderSession {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartReader());
  }
  void Open(const std::string& path) { OpenByKeys(path); }
  // Edit mode, the caret after the first `after` of the page, `typed` typed there.
  void TypeAfter(const QString& after, const QString& typed) {
    Action(cmd::kEditMode)->trigger();
    RichPane* pane = view_->Pane();
    QTextCursor caret = pane->textCursor();
    caret.setPosition(static_cast<int>(pane->PaneText().indexOf(after) + after.size()));
    pane->setTextCursor(caret);
    for (QChar c : typed) testing::PressKey(pane, QKeyCombination(Qt::Key_unknown), QString(c));
  }

};

TEST_F(EncodingGuiTest, AUtf8BookWithItsMarkPagesByRule3AndSavesOnlyTheTypedBytes) {
  const std::string book = home_.Folder() + "sanguo.txt";
  const std::string body = Converted("三国演义.txt", "UTF-8", home_.Folder() + "body.txt");
  std::ofstream(book, std::ios::binary) << "\xEF\xBB\xBF" << body;
  Open(book);
  ASSERT_EQ(view_->CurrentPath(), book);
  Action(cmd::kRule3)->trigger();
  Action(cmd::kChapterPaging)->trigger();
  std::string gbk;
  ASSERT_EQ(ReadBookFile(testing::CorpusBook("三国演义.txt"), gbk), LoadStatus::Ok);
  NormaliseBlankLines(gbk);
  EXPECT_EQ(view_->PageCount(), PaginateByChapters(gbk, 3).pageCount);
  testing::PressKey(view_->Pane(), QKeyCombination(Qt::Key_Right));
  testing::PressKey(view_->Pane(), QKeyCombination(Qt::Key_Right));
  EXPECT_TRUE(view_->ReadingStatus().endsWith(QStringLiteral("何国舅谋诛宦竖 [UTF-8]")));
  EXPECT_TRUE(Action(cmd::kEncodingUtf8)->isChecked());
  EXPECT_FALSE(Action(cmd::kEncodingGbk)->isChecked());

  // The page's first "张飞性发" gets two characters after it.
  const QString after = QStringLiteral("张飞性发");
  const std::size_t page = view_->Form().Locate(body, view_->PageStart(view_->CurrentPage())).file;
  const std::size_t at = testing::FileBytes(book).find(after.toStdString(), page) + after.toStdString().size();
  ASSERT_TRUE(view_->Pane()->PaneText().contains(after));
  TypeAfter(after, QStringLiteral("曰好"));
  testing::PressKey(view_->Pane(), Qt::ControlModifier | Qt::Key_S);
  EXPECT_TRUE(boxes_.shown.empty());
  const std::string original = "\xEF\xBB\xBF" + body;
  EXPECT_TRUE(testing::FileBytes(book) == original.substr(0, at) + "曰好" + original.substr(at));
  EXPECT_TRUE(view_->Pane()->PaneText().contains(QStringLiteral("张飞性发曰好")));
}

// A character selected in a UTF-8 book and replaced by one whose GB18030 code ends in the
// byte it ends in: the file gets the typed character in UTF-8 and nothing else changes.
TEST_F(EncodingGuiTest, AReplacedCharacterIsSavedInUtf8WhateverItsCodeEndsIn) {
  const std::string book = home_.Folder() + "small.txt";
  const std::string original = "第8回 P.S. 中文\n其中有8个字。\n";
  struct Case {
    const char* selected;
    const char* typed;
  } cases[] = {{"8", "©"}, {"P", "關"}, {"S", "😀"}, {"中", "丂"}, {"字", "가"}};
  for (const Case& c : cases) {
    std::ofstream(book, std::ios::binary | std::ios::trunc) << original;
    Open(book);
    ASSERT_EQ(view_->CurrentPath(), book) << c.selected;
    ASSERT_TRUE(Action(cmd::kEncodingUtf8)->isChecked()) << c.selected;
    Action(cmd::kEditMode)->trigger();
    RichPane* pane = view_->Pane();
    const QString selected = QString::fromUtf8(c.selected);
    QTextCursor caret = pane->textCursor();
    caret.setPosition(static_cast<int>(pane->PaneText().indexOf(selected)));
    caret.setPosition(caret.position() + static_cast<int>(selected.size()), QTextCursor::KeepAnchor);
    pane->setTextCursor(caret);
    testing::PressKey(pane, QKeyCombination(Qt::Key_unknown), QString::fromUtf8(c.typed));
    testing::PressKey(pane, Qt::ControlModifier | Qt::Key_S);
    EXPECT_TRUE(boxes_.shown.empty()) << c.selected;
    std::string expected = original;
    expected.replace(expected.find(c.selected), std::string(c.selected).size(), c.typed);
    EXPECT_EQ(testing::FileBytes(book), expected) << c.selected << " -> " << c.typed;
    Action(cmd::kEditMode)->trigger();
  }
}

// A UTF-16 book with its mark opens at once from Ctrl+O and from the side bar, pages as its
// GB18030 form, and an edit is saved in UTF-16 with the mark kept. "GBK/GB18030" chosen for
// it still meets the warning, and the book on screen stays.
TEST_F(EncodingGuiTest, AUtf16BookWithItsMarkOpensPagesAndSavesAsUtf16) {
  const std::string folder = home_.Folder() + "books/";
  std::filesystem::create_directories(folder);
  const std::string book = folder + "shuihu.txt";
  const std::string body = Converted("水浒传.txt", "UTF-16LE", home_.Folder() + "body.txt");
  std::ofstream(book, std::ios::binary) << "\xFF\xFE" << body;
  std::string gbk;
  ASSERT_EQ(ReadBookFile(testing::CorpusBook("水浒传.txt"), gbk), LoadStatus::Ok);
  NormaliseBlankLines(gbk);

  Open(book);
  EXPECT_TRUE(boxes_.shown.empty());
  ASSERT_EQ(view_->CurrentPath(), book);
  EXPECT_TRUE(Action(cmd::kEncodingUtf16Le)->isChecked());
  EXPECT_EQ(view_->PageCount(), PaginateByLines(gbk).pageCount);
  TypeAfter(QStringLiteral("水浒"), QStringLiteral("好"));
  testing::PressKey(view_->Pane(), Qt::ControlModifier | Qt::Key_S);
  EXPECT_TRUE(boxes_.shown.empty());
  const auto utf16le = [](std::u16string_view s) {  // this machine is little-endian
    return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
  };
  const std::size_t at = body.find(utf16le(u"水浒")) + 4;
  EXPECT_TRUE(testing::FileBytes(book) == "\xFF\xFE" + body.substr(0, at) + utf16le(u"好") + body.substr(at));
  Action(cmd::kEditMode)->trigger();

  Action(cmd::kEncodingGbk)->trigger();
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text,
            QStringLiteral("警告！此文本编码为unicode！请用记事本另存为ANSI编码即可打开！"));
  Action(cmd::kEncodingAuto)->trigger();
  ASSERT_EQ(view_->CurrentPath(), book);
  EXPECT_TRUE(Action(cmd::kEncodingUtf16Le)->isChecked());

  // From the side bar, away from the book first so the click must open it.
  std::ofstream(home_.Folder() + "other.txt") << "other\r\n";
  Open(home_.Folder() + "other.txt");
  ASSERT_EQ(view_->CurrentPath(), home_.Folder() + "other.txt");
  dialogs_.folders.push_back(QString::fromStdString(home_.Folder() + "books"));
  testing::PressKey(view_->Pane(), Qt::ControlModifier | Qt::Key_N);
  QListWidget* list = view_->LibraryList();
  ASSERT_EQ(list->count(), 1);
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    const QPoint point = list->visualItemRect(list->item(0)).center();
    QMouseEvent event(type, point, list->viewport()->mapToGlobal(point), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &event);
  }
  EXPECT_EQ(view_->CurrentPath(), book);
  EXPECT_TRUE(view_->Pane()->PaneText().contains(QStringLiteral("水浒好")));
}

TEST_F(EncodingGuiTest, ASimplifiedCharacterTypedIntoABig5BookIsRefused) {
  const std::string book = home_.Folder() + "big5.txt";
  const std::string original = Converted("三国演义.txt", "BIG5", book);
  Open(book);
  ASSERT_EQ(view_->CurrentPath(), book);
  EXPECT_TRUE(Action(cmd::kEncodingBig5)->isChecked());
  const QString text = view_->Pane()->PaneText();
  TypeAfter(text.mid(text.indexOf(QStringLiteral("曹")), 1), QStringLiteral("们"));
  testing::PressKey(view_->Pane(), Qt::ControlModifier | Qt::Key_S);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_TRUE(boxes_.shown[0].text.contains(QStringLiteral("“们”")));
  EXPECT_TRUE(testing::FileBytes(book) == original);
  EXPECT_TRUE(view_->Pane()->PaneText().contains(QStringLiteral("曹们")));
  EXPECT_TRUE(view_->Pane()->IsModified());
}

}  // namespace
}  // namespace varnelo
