// The page pane: a QTextEdit that answers the queries the reader makes of it. "Lines" are
// the lines the pane lays out (a long paragraph wraps into several), counted from 0 at the
// top of the text.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <QTextBlockFormat>
#include <QTextEdit>
#include <QTextLine>

#include <vector>

#include "platform/glyph_coverage.h"
#include "platform/text_appearance.h"

namespace varnelo {

// A colour value 0x00BBGGRR as Qt wants it.
QColor ColourOf(int value);

class RichPane : public QTextEdit {
  Q_OBJECT
 public:
  explicit RichPane(QWidget* parent = nullptr);

  // Whole text of the pane, cut at the text limit (in UTF-16 units). A read-only pane
  // shows characters no installed font has as boxes; PaneText, copying and dragging still
  // give the characters, and making the pane editable puts them back.
  void SetPaneText(const QString& text);
  QString PaneText() const;
  // How many units of the text are shown as boxes.
  std::size_t HiddenUnits() const { return hidden_.size(); }
  // Counts the SetPaneText calls: tells whether the pane still holds the text it was given.
  int TextGeneration() const { return textGeneration_; }
  void SetTextLimit(int characters);
  int TextLimit() const;

  int FirstVisibleLine() const;
  // The first line a reader sees: the first visible one, or the next when less than half of
  // it is still in view (a wheel step rarely stops on a line's top).
  int FirstLineMostlyShown() const;
  int LineCount() const;               // at least 1
  bool HasLine(int line) const;        // counts no further than that line
  qreal LineTop(int line) const;       // in document pixels
  void LineScroll(int lines);          // positive scrolls down; clamped to the text
  void ScrollToLine(int line);         // that line at the top, as far as the text allows
  // The line holding character `position`; the last line for a position past the text.
  // Like ScrollToLine, it lays the text out only as far as it must.
  int LineOfPosition(int position) const;
  int LineIndex(int line) const;       // character index where the line starts; -1 outside
  QRect FormattingRect() const;        // the area the text is laid out in, pane coordinates

  // The text area narrowed by `margin` pixels on each side and to at most `maxChars`
  // Chinese characters, centred; (0, 0) is the whole width. Kept across text, size and
  // font changes. While narrowed, the last line can scroll up to the top, so a screenful
  // can always begin with the line after the last one shown whole.
  void SetTextColumn(int margin, int maxChars);
  bool HasTextColumn() const { return columnMargin_ > 0 || columnChars_ > 0; }
  // How many lines, from the first visible one, the pane shows whole.
  int LinesShownWhole() const;

  bool IsModified() const;
  void SetModified(bool modified);

  // A non-empty selection, as copy and cut need.
  bool HasSelection() const;
  // The characters selected, each line break as "\n".
  QString SelectedText() const;
  // Whether the clipboard holds something the pane takes, asked of the clipboard alone:
  // the read-only pane answers as the editable one does.
  bool CanPaste() const;

  // Default character format for the whole text (face, size, spacing and the shown text
  // colour), kept across SetPaneText. The background is not part of it.
  void SetDefaultCharFormat(const TextAppearance& format);
  // Room below every paragraph, in pixels; kept for every text set after it, which is laid
  // out with it in one pass.
  void SetParagraphSpacing(qreal pixels);
  const TextAppearance& DefaultCharFormat() const;
  void SetBackgroundColour(const QColor& colour);
  QColor BackgroundColour() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  QMimeData* createMimeDataFromSelection() const override;

 private:
  // The laid-out lines of one block: its top in document coordinates, the number of its
  // first line and how many it has. Counted once for the leading blocks, kept until the
  // text, the width or the format changes, so no query walks the whole page.
  struct BlockLines {
    qreal top;
    int first;
    int count;
  };

  void ShowHidden();
  // Gives `text`, the pane's text from position `from` on, its hidden characters back.
  void PutHiddenBack(QString& text, std::size_t from) const;
  QTextBlockFormat SpacingFormat() const;
  void RespaceText();
  void ApplyColumn();
  void EnsureLayout() const;
  void ForgetLines();
  template <typename Enough>
  void CountLinesUntil(Enough enough) const;
  void RefreshScrollRange();
  bool FindLine(int line, QTextLine& found, qreal& blockTop, int& blockStart) const;

  mutable std::vector<BlockLines> lines_;  // entry k: block number k
  mutable bool allLinesCounted_ = false;
  mutable bool countingLines_ = false;

  int columnMargin_ = 0;
  int columnChars_ = 0;
  bool columnApplied_ = false;  // the root frame's margins were ever set

  std::vector<HiddenUnit> hidden_;  // in position order
  int textLimit_;
  int textGeneration_ = 0;
  qreal paragraphSpacing_ = 0;
  TextAppearance format_;
  QString defaultFamily_;
};

}  // namespace varnelo
