// Reading comfort beyond the described reader, through the menus and keys: a traditional
// book shown in simplified characters (its bytes, pages and saves untouched), and the text
// narrowed by margins and a line width, with Space paging screen by screen.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTextCursor>
#include <QTimer>

#include <cmath>
#include <fstream>
#include <sstream>

#include "aids/book_find.h"
#include "aids/conversion_part.h"
#include "aids/text_conversion.h"
#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/codepage.h"
#include "res/command_ids.h"
#include "tests/gui/test_support.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

std::size_t Count(const std::string& text, const std::string& word) {
  std::size_t n = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size())) ++n;
  return n;
}

class ReadingComfortTest : public ::testing::Test, protected testing::ReaderSession {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartReader());
  }
  void Open(const std::string& path) {
    OpenByKeys(path);
    ASSERT_EQ(view_->CurrentPath(), path);
  }
  void Press(QKeyCombination key) { testing::PressKey(view_->Pane(), key); }
  // 三国演义 in traditional characters, as GB18030 bytes.
  std::string TraditionalBook() {
    const std::string path = home_.Folder() + "三國演義.txt";
    ChineseConverter converter;
    const std::u16string own = DecodeBookBytes(testing::FileBytes(testing::CorpusBook("三国演义.txt")));
    std::ofstream(path, std::ios::binary) << EncodeBookText(converter.Convert(ConvertMode::Traditional, own));
    return path;
  }
  // Sets the two boxes of "页面边距" in the settings dialog (F2) and presses OK.
  void SetMargins(int margin, int chars) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      dialog->findChild<QSpinBox*>("spinPageMargin")->setValue(margin);
      dialog->findChild<QSpinBox*>("spinMaxLineChars")->setValue(chars);
      dialog->findChild<QPushButton*>("button1")->click();
      ran = true;
    });
    Press(Qt::Key_F2);
    ASSERT_TRUE(ran);
    QApplication::processEvents();
  }
  int Key(ConfigKey key) {
    return profile::GetInt(SectionOf(key), NameOf(key), -1, home_.ConfigPath());
  }
  // The characters of pane line k, its line break left out.
  QString Line(int k) {
    RichPane* pane = view_->Pane();
    const int start = pane->LineIndex(k);
    const int end = k + 1 < pane->LineCount() ? pane->LineIndex(k + 1) : static_cast<int>(pane->PaneText().size());
    QString line = pane->PaneText().mid(start, end - start);
    line.remove(QLatin1Char('\n'));
    return line;
  }
  // Where line k ends, from the top of the pane's view, as the pane draws it.
  int BottomOf(int k) {
    QTextCursor at(view_->Pane()->document());
    at.setPosition(view_->Pane()->LineIndex(k));
    const QRect caret = view_->Pane()->cursorRect(at);
    return caret.top() + caret.height();
  }

};

TEST_F(ReadingComfortTest, ATraditionalBookShownSimplifiedKeepsItsBytesAndSavesOnlyTheTyped) {
  const std::string book = TraditionalBook();
  const std::string original = testing::FileBytes(book);
  Open(book);
  const std::string text = view_->Text();
  const int pages = view_->PageCount();
  const QString count = view_->WordCountStatus();
  const QString own = view_->Pane()->PaneText();
  ASSERT_TRUE(own.contains(QStringLiteral("滾滾長江東逝水")));
  ASSERT_TRUE(Action(cmd::kConvertNone)->isChecked());

  Action(cmd::kConvertSimplified)->trigger();
  const QString shown = view_->Pane()->PaneText();
  EXPECT_TRUE(shown.contains(QStringLiteral("滚滚长江东逝水，浪花淘尽英雄。")));
  EXPECT_EQ(shown.size(), own.size());
  EXPECT_TRUE(Action(cmd::kConvertSimplified)->isChecked());
  EXPECT_FALSE(Action(cmd::kConvertNone)->isChecked());
  EXPECT_TRUE(view_->Text() == text);
  EXPECT_EQ(view_->PageCount(), pages);
  EXPECT_EQ(view_->WordCountStatus(), count);
  EXPECT_EQ(Key(ConfigKey::ConvertFlag), 1);

  // Edit mode: the book's own characters, and the choice greyed.
  Action(cmd::kEditMode)->trigger();
  EXPECT_EQ(view_->Pane()->PaneText(), own);
  for (int id : {cmd::kConvertNone, cmd::kConvertSimplified, cmd::kConvertTraditional})
    EXPECT_FALSE(Action(id)->isEnabled()) << id;
  RichPane* pane = view_->Pane();
  QTextCursor caret = pane->textCursor();
  caret.setPosition(static_cast<int>(own.indexOf(QStringLiteral("滾滾長江")) + 4));
  pane->setTextCursor(caret);
  testing::PressKey(pane, QKeyCombination(Qt::Key_unknown), QStringLiteral("甲"));
  Press(Qt::ControlModifier | Qt::Key_S);
  ASSERT_TRUE(boxes_.shown.empty()) << boxes_.shown.front().text.toStdString();
  std::string expected = original;
  const std::string after = EncodeBookText(u"滾滾長江");
  expected.insert(expected.find(after) + after.size(), EncodeBookText(u"甲"));
  EXPECT_TRUE(testing::FileBytes(book) == expected);
  EXPECT_TRUE(view_->EditMode());
  EXPECT_TRUE(pane->PaneText().contains(QStringLiteral("滾滾長江甲東逝水")));

  Action(cmd::kEditMode)->trigger();
  EXPECT_TRUE(pane->PaneText().contains(QStringLiteral("滚滚长江甲东逝水")));
  EXPECT_TRUE(Action(cmd::kConvertNone)->isEnabled());
}

TEST_F(ReadingComfortTest, EachPageConvertsOnceAndFindSeesTheShownWords) {
  Open(TraditionalBook());
  Action(cmd::kConvertSimplified)->trigger();
  const TextConversion* conversion = app_.MainFrame()->Conversion();
  const int before = conversion->Conversions();
  for (Qt::Key key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Right, Qt::Key_Left}) Press(key);
  EXPECT_EQ(conversion->Conversions() - before, 1) << "page 2 once, page 1 from the cache";
  ASSERT_EQ(view_->CurrentPage(), 1);

  // On the page: the words as shown.
  Press(Qt::ControlModifier | Qt::Key_F);
  ASSERT_EQ(dialogs_.findDialogs.size(), 1u);
  dialogs_.findDialogs[0](FindRequest{QStringLiteral("长江")});
  EXPECT_EQ(view_->Pane()->textCursor().selectedText(), QStringLiteral("长江"));

  // In the whole book: simplified words typed, traditional ones in the book.
  Press(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_F);
  auto* dialog = view_->findChild<BookFindDialog*>();
  ASSERT_NE(dialog, nullptr);
  dialog->WordsBox()->setText(QStringLiteral("诸葛亮"));
  testing::PressKey(dialog->WordsBox(), Qt::Key_Return);
  ASSERT_TRUE(boxes_.shown.empty()) << boxes_.shown.front().text.toStdString();
  EXPECT_GT(view_->CurrentPage(), 1);
  EXPECT_EQ(view_->Pane()->textCursor().selectedText(), QStringLiteral("诸葛亮"));
  dialog->FindAllButton()->click();
  const std::size_t inBook = Count(view_->Text(), EncodeBookText(u"諸葛亮"));
  ASSERT_GT(inBook, 100u);
  EXPECT_EQ(dialog->Summary()->text(), QStringLiteral("共找到 %1 处。").arg(inBook));
  EXPECT_TRUE(dialog->Matches()->item(0)->text().contains(QStringLiteral("诸葛亮")));
}

TEST_F(ReadingComfortTest, MarginsAndLineWidthGiveTheTextRectangleCentred) {
  Open(testing::CorpusBook("三国演义.txt"));
  RichPane* pane = view_->Pane();
  const int edge = static_cast<int>(pane->document()->documentMargin());
  const auto inside = [&] { return pane->viewport()->geometry().adjusted(edge, edge, -edge, -edge); };
  EXPECT_EQ(pane->FormattingRect(), inside());
  SetMargins(30, 0);
  EXPECT_EQ(pane->FormattingRect(), inside().adjusted(30, 0, -30, 0));
  EXPECT_EQ(Key(ConfigKey::PageMargin), 30);
  EXPECT_EQ(Key(ConfigKey::MaxLineChars), -1) << "never set, never written";

  SetMargins(0, 30);
  EXPECT_EQ(Key(ConfigKey::MaxLineChars), 30);
  const double character = QFontMetricsF(pane->document()->defaultFont()).horizontalAdvance(QChar(0x4E2D));
  for (bool fullScreen : {false, true}) {
    if (fullScreen) {
      Press(Qt::ControlModifier | Qt::Key_Return);
      QApplication::processEvents();
    }
    const QRect rect = pane->FormattingRect();
    const QRect all = inside();
    ASSERT_GT(all.width(), rect.width() + 20) << fullScreen;
    EXPECT_EQ(rect.width(), static_cast<int>(std::ceil(30 * character)) + 1) << fullScreen;
    EXPECT_LE(std::abs((rect.left() - all.left()) - (all.right() - rect.right())), 1) << fullScreen;
    // Lines of 30 characters at most; a long paragraph fills them.
    int longest = 0;
    for (int k = 0; k < pane->LineCount(); ++k) {
      if (Line(k).contains(QRegularExpression(QStringLiteral("[ -~]")))) continue;  // narrow letters
      longest = std::max(longest, static_cast<int>(Line(k).size()));
    }
    EXPECT_EQ(longest, 30) << fullScreen;
  }
  SetMargins(0, 0);
  EXPECT_EQ(pane->FormattingRect(), inside());
}

// Space in a narrowed pane: each screen begins with the first line the one before did not
// show whole, and the page turns once its last line has been shown.
TEST_F(ReadingComfortTest, SpaceWalksAWholePageWithNoLineSkippedOrRepeated) {
  Open(testing::CorpusBook("三国演义.txt"));
  SetMargins(100, 24);
  Action(cmd::kSpacing300)->trigger();  // wide lines, far from what the size alone would give
  Press(Qt::Key_Right);
  Press(Qt::Key_Right);
  RichPane* pane = view_->Pane();
  const int page = view_->CurrentPage();
  const int lines = pane->LineCount();
  const int height = pane->viewport()->height();
  ASSERT_GT(lines, 3 * height / pane->fontMetrics().lineSpacing());
  int screens = 0;
  while (view_->CurrentPage() == page) {
    ASSERT_LT(++screens, 100);
    const int first = pane->FirstVisibleLine();
    int next = first;  // the first line not shown whole
    while (next < lines && BottomOf(next) <= height) ++next;
    ASSERT_GT(next, first);
    Press(Qt::Key_Space);
    if (view_->CurrentPage() != page) {
      EXPECT_EQ(next, lines) << "the page turned before its last line showed";
      break;
    }
    EXPECT_EQ(pane->FirstVisibleLine(), next) << "screen " << screens;
  }
  EXPECT_GT(screens, 2);
}

}  // namespace
}  // namespace varnelo
