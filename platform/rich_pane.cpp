#include "platform/rich_pane.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPalette>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextLayout>

#include <algorithm>
#include <limits>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

#include "platform/glyph_coverage.h"
#include "platform/installed_face.h"
#include "platform/text_column.h"

namespace varnelo {
namespace {

constexpr int kDefaultTextLimit = 32767;

// Scrolling by the pixel changes the value at every step but moves the slider only now and
// then: the bar is drawn again only when it would look different.
class QuietScrollBar : public QScrollBar {
 public:
  using QScrollBar::QScrollBar;

 protected:
  void sliderChange(SliderChange change) override {
    if (change == SliderValueChange && drawn_ && Look() == *drawn_) return;
    QScrollBar::sliderChange(change);
  }
  void paintEvent(QPaintEvent* event) override {
    drawn_ = Look();
    QScrollBar::paintEvent(event);
  }

 private:
  // The slider's place, and the ends, whose arrows a style may grey.
  struct Shown {
    QRect slider;
    bool atMinimum;
    bool atMaximum;
    bool operator==(const Shown&) const = default;
  };
  Shown Look() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
            value() == minimum(), value() == maximum()};
  }

  std::optional<Shown> drawn_;
};

}  // namespace

RichPane::RichPane(QWidget* parent) : QTextEdit(parent), textLimit_(kDefaultTextLimit) {
  setVerticalScrollBar(new QuietScrollBar(Qt::Vertical, this));
  setAcceptRichText(false);
  setReadOnly(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Lines wrap at the pane's width, so a horizontal bar never has anything to show; off, it
  // is also not asked to flash (a timer of its own) at every pixel the page scrolls.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setLineWrapMode(QTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  defaultFamily_ = font().family();
  SetDefaultCharFormat(format_);
  // Whatever lays the text out anew (its text, width or format) makes the count stale.
  connect(document(), &QTextDocument::contentsChange, this, [this](int, int removed, int added) {
    ForgetLines();
    // Text put in some other way: the boxes, if any, are gone with the text they stood in.
    if (removed != added) hidden_.clear();
  });
  QAbstractTextDocumentLayout* layout = document()->documentLayout();
  connect(layout, &QAbstractTextDocumentLayout::update, this, [this] { ForgetLines(); });
  connect(layout, &QAbstractTextDocumentLayout::documentSizeChanged, this,
          [this] { ForgetLines(); });
}

void RichPane::SetPaneText(const QString& text) {
  ++textGeneration_;
  QString shown = text.size() > textLimit_ ? text.left(textLimit_) : text;
  // Read, not edited: what no font can draw is shown as boxes, and the pane still answers
  // with the text itself. An editable pane keeps every character as it is.
  std::vector<HiddenUnit> hidden;
  if (isReadOnly()) {
    HideUndrawable(reinterpret_cast<char16_t*>(shown.data()), static_cast<std::size_t>(shown.size()),
                   InstalledGlyphs(), hidden);
  }
  QTextDocument* doc = document();
  const bool undo = doc->isUndoRedoEnabled();
  doc->setUndoRedoEnabled(false);
  {
    // One edit block, so the text is laid out once and already spaced; spacing it after
    // the fact would lay a large text out twice.
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    doc->setPlainText(shown);
    if (columnApplied_) ApplyColumn();
    cursor.select(QTextCursor::Document);
    cursor.mergeBlockFormat(SpacingFormat());
    // Keep each paragraph shaped once laid out: otherwise every paint of a line shapes
    // its whole paragraph again, and scrolling a pixel at a time would cost that per tick.
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
      block.layout()->setCacheEnabled(true);
    // The insertion carried the caret to the end. Bring it back before the block closes:
    // once the text is laid out, moving it away from the end costs a full layout.
    setTextCursor(QTextCursor(doc));
    cursor.endEditBlock();
  }
  doc->setUndoRedoEnabled(undo);
  doc->setModified(false);
  hidden_ = std::move(hidden);
  verticalScrollBar()->setValue(0);
}

void RichPane::keyPressEvent(QKeyEvent* event) {
  // While reading, Home and End already go to the top and the foot of the page; with Ctrl,
  // which every other text view takes for the same, they did nothing.
  const bool home = event->key() == Qt::Key_Home;
  if (isReadOnly() && event->modifiers() == Qt::ControlModifier && (home || event->key() == Qt::Key_End)) {
    verticalScrollBar()->triggerAction(home ? QAbstractSlider::SliderToMinimum : QAbstractSlider::SliderToMaximum);
    event->accept();
    return;
  }
  QTextEdit::keyPressEvent(event);
}

QString RichPane::PaneText() const {
  QString text = toPlainText();
  PutHiddenBack(text, 0);
  return text;
}

void RichPane::PutHiddenBack(QString& text, std::size_t from) const {
  for (const HiddenUnit& hidden : hidden_) {
    const std::size_t at = hidden.position - from;
    if (hidden.position >= from && at < static_cast<std::size_t>(text.size()))
      text[static_cast<qsizetype>(at)] = QChar(hidden.unit);
  }
}

void RichPane::ShowHidden() {
  if (hidden_.empty()) return;
  QTextDocument* doc = document();
  const bool undo = doc->isUndoRedoEnabled();
  const bool modified = doc->isModified();
  doc->setUndoRedoEnabled(false);
  // Taken first: the edits below report changes of the text, which may drop the list.
  const std::vector<HiddenUnit> hidden = std::exchange(hidden_, {});
  QTextCursor cursor(doc);
  cursor.beginEditBlock();
  // A run of neighbouring units at a time: a garbled page hides thousands.
  for (std::size_t i = 0; i < hidden.size();) {
    std::size_t end = i + 1;
    QString run(QChar(hidden[i].unit));
    while (end < hidden.size() && hidden[end].position == hidden[end - 1].position + 1) run += QChar(hidden[end++].unit);
    cursor.setPosition(static_cast<int>(hidden[i].position));
    cursor.setPosition(static_cast<int>(hidden[i].position) + static_cast<int>(run.size()), QTextCursor::KeepAnchor);
    cursor.insertText(run);
    i = end;
  }
  cursor.endEditBlock();
  doc->setUndoRedoEnabled(undo);
  doc->setModified(modified);
}

QString RichPane::SelectedText() const {
  const QTextCursor cursor = textCursor();
  QString text = cursor.selectedText();
  PutHiddenBack(text, static_cast<std::size_t>(cursor.selectionStart()));
  text.replace(QChar::ParagraphSeparator, u'\n');
  text.replace(QChar::LineSeparator, u'\n');
  return text;
}

QMimeData* RichPane::createMimeDataFromSelection() const {
  if (hidden_.empty()) return QTextEdit::createMimeDataFromSelection();
  // The characters themselves, not the boxes that stand for them.
  const QTextCursor cursor = textCursor();
  QString text = QTextDocumentFragment(cursor).toPlainText();
  PutHiddenBack(text, static_cast<std::size_t>(cursor.selectionStart()));
  auto* copied = new QMimeData;
  copied->setText(text);
  return copied;
}

void RichPane::SetTextLimit(int characters) {
  textLimit_ = characters > 0 ? characters : kDefaultTextLimit;
}

int RichPane::TextLimit() const { return textLimit_; }

void RichPane::EnsureLayout() const {
  // A hidden pane and its viewport get their resize events only when shown, but the wrap
  // width and the scroll range depend on them: deliver them now. The pane's own event sizes
  // the viewport; the viewport's makes the text relayout to its width.
  for (QWidget* w : {static_cast<QWidget*>(const_cast<RichPane*>(this)), viewport()}) {
    if (!w->testAttribute(Qt::WA_PendingResizeEvent)) continue;
    w->setAttribute(Qt::WA_PendingResizeEvent, false);
    QResizeEvent event(w->size(), QSize());
    QCoreApplication::sendEvent(w, &event);
  }
}

void RichPane::ForgetLines() {
  // Laying out further blocks for a count leaves the blocks already counted as they were.
  if (countingLines_) return;
  lines_.clear();
  allLinesCounted_ = false;
}

void RichPane::resizeEvent(QResizeEvent* event) {
  ForgetLines();
  QTextEdit::resizeEvent(event);
  if (columnApplied_) ApplyColumn();
}

void RichPane::changeEvent(QEvent* event) {
  // Made editable, the pane holds the text itself: the edits are saved into the book.
  if (event->type() == QEvent::ReadOnlyChange && !isReadOnly()) ShowHidden();
  if (event->type() == QEvent::FontChange) ForgetLines();
  QTextEdit::changeEvent(event);
  if (event->type() == QEvent::FontChange && columnApplied_) ApplyColumn();
}

void RichPane::SetTextColumn(int margin, int maxChars) {
  columnMargin_ = std::clamp(margin, 0, kMaxPageMargin);
  columnChars_ = std::clamp(maxChars, 0, kMaxLineCharsLimit);
  // The whole width, never narrowed, keeps the document exactly as it always was.
  if (!HasTextColumn() && !columnApplied_) return;
  columnApplied_ = true;
  EnsureLayout();
  ApplyColumn();
}

void RichPane::ApplyColumn() {
  QTextDocument* doc = document();
  const qreal edge = doc->documentMargin();
  const int width = viewport()->width() - static_cast<int>(2 * edge);
  const QFontMetricsF metrics(doc->defaultFont());
  const TextColumn column = ColumnOf(width, columnMargin_, columnChars_,
                                     metrics.horizontalAdvance(QChar(0x4E2D)));
  QTextFrameFormat format = doc->rootFrame()->frameFormat();
  qreal below = edge;
  if (HasTextColumn()) {
    below = std::max(edge, viewport()->height() - edge - metrics.height());
  }
  if (format.leftMargin() == edge + column.left && format.rightMargin() == edge + column.right &&
      format.bottomMargin() == below)
    return;
  format.setLeftMargin(edge + column.left);
  format.setRightMargin(edge + column.right);
  format.setBottomMargin(below);
  const bool modified = doc->isModified();
  doc->rootFrame()->setFrameFormat(format);
  doc->setModified(modified);
}

int RichPane::LinesShownWhole() const {
  EnsureLayout();
  const int first = FirstVisibleLine();
  const qreal bottom = verticalScrollBar()->value() + viewport()->height();
  int count = 0;
  QTextLine line;
  qreal top = 0;
  int start = 0;
  while (FindLine(first + count, line, top, start) && top + line.y() + line.height() <= bottom)
    ++count;
  return count;
}

// Counts the lines of further blocks until `enough` holds for the last one counted or every
// block is in, laying the text out only as far as that.
template <typename Enough>
void RichPane::CountLinesUntil(Enough enough) const {
  if (allLinesCounted_ || (!lines_.empty() && enough(lines_.back()))) return;
  const QTextDocument* doc = document();
  QTextBlock block = doc->findBlockByNumber(static_cast<int>(lines_.size()));
  int first = lines_.empty() ? 0 : lines_.back().first + lines_.back().count;
  countingLines_ = true;
  for (; block.isValid(); block = block.next()) {
    const QTextLayout* layout = block.layout();
    // Every laid-out block has a line, even an empty one; asking for its rectangle lays
    // the text out up to it.
    if (layout->lineCount() == 0) doc->documentLayout()->blockBoundingRect(block);
    lines_.push_back({layout->position().y(), first, layout->lineCount()});
    first += layout->lineCount();
    if (enough(lines_.back())) break;
  }
  countingLines_ = false;
  if (!block.isValid()) allLinesCounted_ = true;
}

int RichPane::FirstVisibleLine() const {
  EnsureLayout();
  const qreal y = verticalScrollBar()->value();
  CountLinesUntil([y](const BlockLines& counted) { return counted.top > y; });
  // A line ends where the next begins, so that the spacing below a line belongs to it:
  // the answer is the last line whose top is at y or above.
  auto entry = std::upper_bound(lines_.begin(), lines_.end(), y,
                                [](qreal top, const BlockLines& counted) { return top < counted.top; });
  while (entry != lines_.begin()) {
    --entry;
    if (entry->count == 0) continue;
    const QTextLayout* layout =
        document()->findBlockByNumber(static_cast<int>(entry - lines_.begin())).layout();
    if (entry->top + layout->lineAt(0).y() > y) continue;
    int low = 0;
    int high = entry->count - 1;
    while (low < high) {
      const int mid = (low + high + 1) / 2;
      if (entry->top + layout->lineAt(mid).y() <= y) {
        low = mid;
      } else {
        high = mid - 1;
      }
    }
    return entry->first + low;
  }
  return 0;
}

int RichPane::FirstLineMostlyShown() const {
  const int first = FirstVisibleLine();
  QTextLine line;
  qreal blockTop = 0;
  int blockStart = 0;
  if (!FindLine(first + 1, line, blockTop, blockStart)) return first;  // the last line
  const qreal top = LineTop(first);
  const qreal next = blockTop + line.y();
  const qreal hidden = verticalScrollBar()->value() - top;
  return next > top && hidden * 2 > next - top ? first + 1 : first;
}

int RichPane::LineCount() const {
  EnsureLayout();
  // A large text is otherwise laid out piecemeal in idle time.
  document()->documentLayout()->documentSize();
  CountLinesUntil([](const BlockLines&) { return false; });
  return lines_.empty() ? 1 : std::max(lines_.back().first + lines_.back().count, 1);
}

bool RichPane::FindLine(int line, QTextLine& found, qreal& blockTop, int& blockStart) const {
  if (line < 0) return false;
  EnsureLayout();
  CountLinesUntil([line](const BlockLines& counted) { return counted.first + counted.count > line; });
  auto entry = std::upper_bound(lines_.begin(), lines_.end(), line,
                                [](int wanted, const BlockLines& counted) { return wanted < counted.first; });
  if (entry == lines_.begin()) return false;
  --entry;  // the last block starting at or before the line; blocks without lines are skipped
  if (line >= entry->first + entry->count) return false;
  const QTextBlock block = document()->findBlockByNumber(static_cast<int>(entry - lines_.begin()));
  found = block.layout()->lineAt(line - entry->first);
  blockTop = entry->top;
  blockStart = block.position();
  return true;
}

qreal RichPane::LineTop(int line) const {
  QTextLine found;
  qreal top = 0;
  int start = 0;
  return FindLine(line, found, top, start) ? top + found.y() : 0;
}

void RichPane::LineScroll(int lines) {
  // In 64 bits: a remembered line can be as large as an int holds.
  const std::int64_t wanted = std::int64_t{FirstVisibleLine()} + lines;
  ScrollToLine(static_cast<int>(std::clamp<std::int64_t>(wanted, 0, std::numeric_limits<int>::max())));
}

void RichPane::ScrollToLine(int line) {
  // Downward the text is counted only as far as the line: counting every line would lay
  // out a long page whole.
  const int target = line <= 0 ? 0 : HasLine(line) ? line : std::max(LineCount() - 1, 0);
  // Round up: a line top between pixels would otherwise leave the line above in view.
  const qreal top = std::ceil(LineTop(target));
  if (top > verticalScrollBar()->maximum()) RefreshScrollRange();
  verticalScrollBar()->setValue(target == 0 ? 0 : static_cast<int>(std::min<qreal>(top, verticalScrollBar()->maximum())));
}

bool RichPane::HasLine(int line) const {
  if (line < 0) return false;
  EnsureLayout();
  CountLinesUntil([line](const BlockLines& counted) { return counted.first + counted.count > line; });
  return !lines_.empty() && lines_.back().first + lines_.back().count > line;
}

int RichPane::LineOfPosition(int position) const {
  EnsureLayout();
  const QTextBlock block = document()->findBlock(std::max(position, 0));
  if (!block.isValid()) return std::max(LineCount() - 1, 0);
  const auto number = static_cast<std::size_t>(block.blockNumber());
  CountLinesUntil([this, number](const BlockLines&) { return lines_.size() > number; });
  if (lines_.size() <= number) return std::max(LineCount() - 1, 0);
  const QTextLine line = block.layout()->lineForTextPosition(position - block.position());
  return lines_[number].first + (line.isValid() ? line.lineNumber() : 0);
}

void RichPane::RefreshScrollRange() {
  // Qt's text edit takes the scroll range from the text laid out so far (the rest estimated)
  // only on its next turn; a resize to the same width takes it now.
  QResizeEvent same(size(), size());
  QTextEdit::resizeEvent(&same);
}

int RichPane::LineIndex(int line) const {
  QTextLine found;
  qreal top = 0;
  int start = 0;
  if (FindLine(line, found, top, start)) return start + found.textStart();
  // An empty pane still has its one line.
  return line == 0 ? 0 : -1;
}

QRect RichPane::FormattingRect() const {
  EnsureLayout();
  const int margin = static_cast<int>(document()->documentMargin());
  // The sides are the column's; the top and bottom those of the pane's view.
  const QTextFrameFormat format = document()->rootFrame()->frameFormat();
  return viewport()->geometry().adjusted(static_cast<int>(format.leftMargin()), margin,
                                         -static_cast<int>(format.rightMargin()), -margin);
}

bool RichPane::IsModified() const { return document()->isModified(); }

void RichPane::SetModified(bool modified) { document()->setModified(modified); }

bool RichPane::HasSelection() const { return textCursor().hasSelection(); }

bool RichPane::CanPaste() const {
  const QMimeData* content = QGuiApplication::clipboard()->mimeData();
  return content != nullptr && canInsertFromMimeData(content);
}

QColor ColourOf(int value) {
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

void RichPane::SetDefaultCharFormat(const TextAppearance& format) {
  ForgetLines();
  format_ = format;
  QFont f = font();
  f.setFamily(format.face.empty() ? defaultFamily_ : InstalledFace(format.face));
  if (format.fontSize > 0) f.setPointSizeF(format.fontSize / 20.0);
  // The document takes the widget font on every font change; set both so they agree.
  setFont(f);
  document()->setDefaultFont(f);
  // Text without a colour of its own is drawn in the palette's text colour: no need to
  // format every character.
  QPalette p = palette();
  p.setColor(QPalette::Text, ColourOf(format.ShownTextColour()));
  setPalette(p);
  RespaceText();
}

void RichPane::SetParagraphSpacing(qreal pixels) {
  if (pixels == paragraphSpacing_) return;
  paragraphSpacing_ = pixels;
  RespaceText();
}

void RichPane::RespaceText() {
  const bool modified = document()->isModified();
  QTextCursor cursor(document());
  cursor.select(QTextCursor::Document);
  cursor.mergeBlockFormat(SpacingFormat());
  document()->setModified(modified);
}

const TextAppearance& RichPane::DefaultCharFormat() const { return format_; }

QTextBlockFormat RichPane::SpacingFormat() const {
  QTextBlockFormat block;
  block.setLineHeight(format_.lineSpacing / 20.0 * logicalDpiY() / 72.0,
                      QTextBlockFormat::LineDistanceHeight);
  block.setBottomMargin(paragraphSpacing_);
  return block;
}

void RichPane::SetBackgroundColour(const QColor& colour) {
  QPalette p = palette();
  p.setColor(QPalette::Base, colour);
  setPalette(p);
}

QColor RichPane::BackgroundColour() const { return viewport()->palette().color(QPalette::Base); }

}  // namespace varnelo
