#include "platform/rich_pane.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "platform/glyph_coverage.h"

namespace varnelo {
namespace {

QString ShortLines(int count) {
  QStringList lines;
  for (int i = 0; i < count; ++i) lines << "abc";
  return lines.join('\n');
}

void Show(RichPane& pane) {
  pane.resize(300, 200);
  pane.show();
}

TEST(RichPane, CutsTextAtTheLimit) {
  struct Case {
    int limit;  // 0 leaves the default
    qsizetype length;
    qsizetype kept;
  } const cases[] = {{0, 40000, 32767}, {0, 32767, 32767}, {5, 8, 5}, {0x20000, 100000, 100000}};
  for (const Case& c : cases) {
    RichPane pane;
    if (c.limit != 0) pane.SetTextLimit(c.limit);
    pane.SetPaneText(QString(c.length, QLatin1Char('x')));
    EXPECT_EQ(pane.PaneText().size(), c.kept) << c.limit << " " << c.length;
  }
}

TEST(RichPane, CountsAndScrollsLines) {
  RichPane empty;
  Show(empty);
  EXPECT_EQ(empty.LineCount(), 1);
  EXPECT_EQ(empty.FirstVisibleLine(), 0);
  EXPECT_EQ(empty.LineIndex(0), 0);
  EXPECT_EQ(empty.LineIndex(1), -1);

  RichPane pane;
  Show(pane);
  pane.SetPaneText(ShortLines(200));
  EXPECT_EQ(pane.LineCount(), 200);
  struct Step {
    int scroll;
    int first;
  } const steps[] = {{10, 10}, {-3, 7}, {-100, 0}, {0, 0}, {1, 1}, {150, 151}};
  for (const Step& s : steps) {
    pane.LineScroll(s.scroll);
    EXPECT_EQ(pane.FirstVisibleLine(), s.first) << s.scroll;
  }
  // Past the end only as far as the scroll bar goes, never backwards.
  pane.LineScroll(1000);
  EXPECT_GT(pane.FirstVisibleLine(), 151);
  EXPECT_EQ(pane.verticalScrollBar()->value(), pane.verticalScrollBar()->maximum());
  pane.SetPaneText(ShortLines(300));  // a new text starts at the top
  EXPECT_EQ(pane.FirstVisibleLine(), 0);
}

TEST(RichPane, FindsWhereLinesStart) {
  RichPane pane;
  Show(pane);
  pane.SetPaneText(ShortLines(50) + "\n");  // "abc\n" 50 times, then an empty line
  for (int k : {0, 1, 37, 49, 50}) EXPECT_EQ(pane.LineIndex(k), 4 * k) << k;
  for (int k : {-1, 51}) EXPECT_EQ(pane.LineIndex(k), -1) << k;
}

TEST(RichPane, WrapsLongParagraphsToTheWidth) {
  const QString paragraph = QString("word ").repeated(60);
  // Hidden panes must answer for their size too, not for the size they will be shown at.
  for (bool shown : {true, false}) {
    RichPane pane;
    pane.resize(150, 200);
    if (shown) pane.show();
    pane.SetPaneText(paragraph);
    const int narrow = pane.LineCount();
    EXPECT_GT(narrow, 5) << shown;
    for (int line = 1; line < narrow; ++line) {
      const int start = pane.LineIndex(line);
      ASSERT_GT(start, pane.LineIndex(line - 1));
      EXPECT_EQ(paragraph[start - 1], QLatin1Char(' ')) << "line " << line << " splits a word";
    }
    pane.resize(2000, 200);
    EXPECT_LT(pane.LineCount(), narrow) << shown;
  }
}

TEST(RichPane, KeepsTrackOfChanges) {
  RichPane pane;
  pane.SetModified(true);
  EXPECT_TRUE(pane.IsModified());
  pane.SetPaneText("text");
  EXPECT_FALSE(pane.IsModified());

  for (bool readOnly : {true, false}) {
    pane.setReadOnly(readOnly);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
    QCoreApplication::sendEvent(&pane, &key);
    EXPECT_EQ(pane.IsModified(), !readOnly);
    EXPECT_EQ(pane.PaneText(), readOnly ? "text" : "xtext");
  }
}

TEST(RichPane, FormatSetsTheLinePitch) {
  // Pixels per line, from scrolling ten lines, with the format set before or after the text.
  auto pitch = [](int heightTwips, int offsetTwips, bool formatFirst) {
    RichPane pane;
    Show(pane);
    TextAppearance format;
    format.face.clear();  // the pane's own family
    format.fontSize = heightTwips;
    format.lineSpacing = offsetTwips;
    if (formatFirst) pane.SetDefaultCharFormat(format);
    pane.SetPaneText(ShortLines(100));
    if (!formatFirst) pane.SetDefaultCharFormat(format);
    EXPECT_FALSE(pane.IsModified());
    EXPECT_EQ(pane.DefaultCharFormat().lineSpacing, offsetTwips);
    pane.LineScroll(10);
    return pane.verticalScrollBar()->value() / 10.0;
  };
  const double spacing = 15.0 * RichPane().logicalDpiY() / 72.0;  // 300 twips
  for (bool formatFirst : {true, false}) {
    const double tight = pitch(270, 0, formatFirst);
    EXPECT_NEAR(pitch(270, 300, formatFirst) - tight, spacing, 1.0) << formatFirst;
    EXPECT_GT(pitch(540, 0, formatFirst), tight * 1.5) << formatFirst;
  }

  RichPane pane;
  Show(pane);
  const QRect area = pane.FormattingRect();
  EXPECT_GT(area.height(), 150);
  EXPECT_LT(area.right(), pane.verticalScrollBar()->mapTo(&pane, QPoint(0, 0)).x());
  EXPECT_GT(area.height() / pitch(270, 0, true), area.height() / pitch(270, 300, true) + 1);
}

// The kept line count against a walk over the laid-out lines, between every two line
// tops, after the text, the width, the format and an edit change the lines.
TEST(RichPane, LineQueriesAgreeWithAWalkOverTheLayout) {
  RichPane pane;
  Show(pane);
  QStringList paragraphs;
  for (int i = 0; i < 60; ++i) paragraphs << QString("word ").repeated(i % 7 * 6);
  pane.SetPaneText(paragraphs.join('\n'));
  auto check = [&pane](const char* after) {
    pane.document()->documentLayout()->documentSize();
    std::vector<int> tops;
    for (QTextBlock block = pane.document()->begin(); block.isValid(); block = block.next()) {
      for (int i = 0; i < block.layout()->lineCount(); ++i)
        tops.push_back(static_cast<int>(std::ceil(block.layout()->position().y() + block.layout()->lineAt(i).y())));
    }
    ASSERT_EQ(pane.LineCount(), static_cast<int>(tops.size())) << after;
    for (int k = 0; k < static_cast<int>(tops.size()) && tops[k] <= pane.verticalScrollBar()->maximum(); ++k) {
      for (int below : {0, 1}) {  // at the line's top, and just under it
        pane.verticalScrollBar()->setValue(tops[k] + below);
        const bool next = k + 1 < static_cast<int>(tops.size()) && tops[k + 1] <= tops[k] + below;
        ASSERT_EQ(pane.FirstVisibleLine(), next ? k + 1 : k) << after << " line " << k;
      }
    }
  };
  check("text");
  pane.resize(180, 200);
  check("width");
  pane.SetDefaultCharFormat(TextAppearance{"", 400, 300, 0, 0, false});
  check("format");
  pane.setReadOnly(false);
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
  QCoreApplication::sendEvent(&pane, &enter);
  check("edit");
}

// A place deep in a long page, shown right after its text: the page is laid out only as far
// as the place, and the scroll range, which Qt's text edit updates a turn later, does not
// hold the line short of it.
TEST(RichPane, ScrollsDeepIntoAFreshLongTextLayingOutOnlyThatFar) {
  RichPane pane;
  Show(pane);
  pane.resize(900, 200);  // a line a paragraph
  pane.SetTextLimit(1 << 22);
  QStringList lines;
  for (int i = 0; i < 20000; ++i) lines << QStringLiteral("第%1行，山里的日子一天天过去。").arg(i);
  struct Case {
    int line;
    int offsetInLine;  // where in the line the position lies
  } const cases[] = {{15000, 0}, {15001, 5}, {300, 3}, {0, 2}};
  for (const Case& c : cases) {
    pane.SetPaneText(lines.join('\n'));
    const int position = static_cast<int>(pane.PaneText().indexOf(QStringLiteral("第%1行").arg(c.line))) + c.offsetInLine;
    EXPECT_EQ(pane.LineOfPosition(position), c.line);
    pane.ScrollToLine(pane.LineOfPosition(position));
    EXPECT_EQ(pane.FirstVisibleLine(), c.line);
    EXPECT_EQ(pane.LineIndex(c.line), position - c.offsetInLine);
    EXPECT_EQ(pane.document()->lastBlock().layout()->lineCount(), 0) << "the whole text was laid out for line " << c.line;
  }
  EXPECT_EQ(pane.LineOfPosition(1 << 30), 19999);  // past the end: the last line
  pane.ScrollToLine(1 << 30);
  EXPECT_EQ(pane.verticalScrollBar()->value(), pane.verticalScrollBar()->maximum());
}

TEST(RichPane, GivesBackStrayHalvesOfCharacters) {
  // The reader keeps undecodable bytes as lone surrogates; the pane must not drop them.
  RichPane pane;
  const QString text = QString("a") + QChar(0xDC80) + "b" + QChar(0xD800) + "c" + QChar(0xDCFF);
  pane.SetPaneText(text);
  EXPECT_EQ(pane.PaneText(), text);
}

TEST(GlyphCoverage, HidesWhatNoFontDrawsUnitForUnitAndKeepsTheRest) {
  GlyphCoverage fonts;
  fonts.Add(0x20, 0x7E);
  fonts.Add(0x4E00, 0x9FFF);
  fonts.Add(0x20000, 0x20000);
  const std::uint32_t box = 1u << (0x25A1 % 32);
  fonts.Add(0x25A0, &box, 1);
  const struct {
    std::u16string text, shown;
  } cases[] = {
      {u"甲乙 ab", u"甲乙 ab"},
      {u"a\u0D85b\u0D86", u"a\u25A1b\u25A1"},
      {u"\U00020000\U00020001", u"\U00020000\u25A1\u2060"},
      // Drawn by no font, but nothing to draw: controls, separators, joiners, selectors, and
      // the document's frame marks, which its plain text gives back as line breaks.
      {u"\n\t\u200D\uFE0F\u2028\u00AD\U000E0101\uFDD0\uFDD1", u"\n\t\u200D\uFE0F\u2028\u00AD\U000E0101\uFDD0\uFDD1"},
      // Halves of pairs alone, at either end.
      {u"\xDC80" u"a\xD800", u"\u25A1a\u25A1"},
  };
  for (const auto& c : cases) {
    std::u16string text = c.text;
    std::vector<HiddenUnit> hidden;
    HideUndrawable(text.data(), text.size(), fonts, hidden);
    EXPECT_TRUE(text == c.shown) << std::string(c.text.begin(), c.text.end());
    for (const HiddenUnit& unit : hidden) text[unit.position] = unit.unit;
    EXPECT_TRUE(text == c.text) << "given back";
  }
  // Without the box among the fonts: the replacement character, or a question mark.
  for (const auto& [withReplacement, stand] : {std::pair{true, u'\uFFFD'}, std::pair{false, u'?'}}) {
    GlyphCoverage few;
    if (withReplacement) few.Add(0xFFFD, 0xFFFD);
    std::u16string text = u"\u0D85";
    std::vector<HiddenUnit> hidden;
    HideUndrawable(text.data(), text.size(), few, hidden);
    EXPECT_EQ(text[0], stand);
  }
}

// A character none of this machine's fonts has, or none when every candidate is drawn.
std::optional<QChar> Undrawable() {
  for (char16_t c : {u'\u0378', u'\u0D85', u'\u1780', u'\uA000', u'\u0710'})
    if (!InstalledGlyphs().Covers(c)) return QChar(c);
  return std::nullopt;
}

TEST(RichPane, ShowsBoxesForWhatNoFontHasAndGivesTheCharactersBack) {
  const std::optional<QChar> missing = Undrawable();
  if (!missing) GTEST_SKIP() << "every candidate has a font here";
  RichPane pane;
  Show(pane);
  const QString text = QStringLiteral("甲") + *missing + QStringLiteral("乙\n丙") + *missing;
  pane.SetPaneText(text);
  EXPECT_EQ(pane.document()->toPlainText(), QStringLiteral("甲□乙\n丙□"));
  EXPECT_EQ(pane.PaneText(), text);
  // Copied, the characters themselves.
  QClipboard* clipboard = QGuiApplication::clipboard();
  pane.selectAll();
  pane.copy();
  EXPECT_EQ(clipboard->text(), text);
  clipboard->clear();
  // Made editable, the pane holds the text itself, unmodified and with nothing to undo.
  pane.setReadOnly(false);
  EXPECT_EQ(pane.document()->toPlainText(), text);
  EXPECT_FALSE(pane.IsModified());
  EXPECT_FALSE(pane.document()->isUndoAvailable());
  pane.SetPaneText(text);
  EXPECT_EQ(pane.document()->toPlainText(), text);
  EXPECT_EQ(pane.HiddenUnits(), 0u);
}

}  // namespace
}  // namespace varnelo
