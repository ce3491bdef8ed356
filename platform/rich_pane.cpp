#include "platform/rich_pane.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QPalette>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace varnelo {
namespace {

constexpr int kDefaultTextLimit = 32767;

// Calls visit(index, block, line, top) for each laid-out line in order, top in document
// coordinates, until visit returns false. Lays the text out only as far as it goes.
template <typename Visit>
void ForEachLine(const QTextDocument* doc, Visit visit) {
  int index = 0;
  for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
    const QTextLayout* layout = block.layout();
    if (layout == nullptr) continue;
    // Every laid-out block has a line, even an empty one; asking for its rectangle lays
    // the text out up to it.
    if (layout->lineCount() == 0) doc->documentLayout()->blockBoundingRect(block);
    const qreal blockTop = layout->position().y();
    for (int i = 0; i < layout->lineCount(); ++i, ++index) {
      const QTextLine line = layout->lineAt(i);
      if (!visit(index, block, line, blockTop + line.y())) return;
    }
  }
}

}  // namespace

RichPane::RichPane(QWidget* parent) : QTextEdit(parent), textLimit_(kDefaultTextLimit) {
  setAcceptRichText(false);
  setReadOnly(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setLineWrapMode(QTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  defaultFamily_ = font().family();
  SetDefaultCharFormat(format_);
}

void RichPane::SetPaneText(const QString& text) {
  ++textGeneration_;
  QTextDocument* doc = document();
  const bool undo = doc->isUndoRedoEnabled();
  doc->setUndoRedoEnabled(false);
  {
    // One edit block, so the text is laid out once and already spaced; spacing it after
    // the fact would lay a large text out twice.
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    doc->setPlainText(text.size() > textLimit_ ? text.left(textLimit_) : text);
    cursor.select(QTextCursor::Document);
    cursor.mergeBlockFormat(SpacingFormat());
    // The insertion carried the caret to the end. Bring it back before the block closes:
    // once the text is laid out, moving it away from the end costs a full layout.
    setTextCursor(QTextCursor(doc));
    cursor.endEditBlock();
  }
  doc->setUndoRedoEnabled(undo);
  doc->setModified(false);
  verticalScrollBar()->setValue(0);
}

QString RichPane::PaneText() const { return toPlainText(); }

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

int RichPane::FirstVisibleLine() const {
  EnsureLayout();
  const qreal y = verticalScrollBar()->value();
  int first = 0;
  ForEachLine(document(), [&](int index, const QTextBlock&, const QTextLine&, qreal top) {
    // A line ends where the next begins, so that the spacing below a line belongs to it.
    if (top > y) return false;
    first = index;
    return true;
  });
  return first;
}

int RichPane::LineCount() const {
  EnsureLayout();
  // A large text is otherwise laid out piecemeal in idle time.
  document()->documentLayout()->documentSize();
  int count = 0;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
    if (block.layout() != nullptr) count += block.layout()->lineCount();
  return std::max(count, 1);
}

qreal RichPane::LineTop(int line) const {
  qreal found = 0;
  ForEachLine(document(), [&](int index, const QTextBlock&, const QTextLine&, qreal top) {
    if (index < line) return true;
    found = top;
    return false;
  });
  return found;
}

void RichPane::LineScroll(int lines) {
  const int target = std::clamp(FirstVisibleLine() + lines, 0, LineCount() - 1);
  // Round up: a line top between pixels would otherwise leave the line above in view.
  verticalScrollBar()->setValue(target == 0 ? 0 : static_cast<int>(std::ceil(LineTop(target))));
}

int RichPane::LineIndex(int line) const {
  if (line < 0) return -1;
  EnsureLayout();
  int start = -1;
  ForEachLine(document(), [&](int index, const QTextBlock& block, const QTextLine& text, qreal) {
    if (index < line) return true;
    start = block.position() + text.textStart();
    return false;
  });
  // An empty pane still has its one line.
  if (start < 0 && line == 0) start = 0;
  return start;
}

QRect RichPane::FormattingRect() const {
  EnsureLayout();
  const int margin = static_cast<int>(document()->documentMargin());
  return viewport()->geometry().adjusted(margin, margin, -margin, -margin);
}

bool RichPane::IsModified() const { return document()->isModified(); }

void RichPane::SetModified(bool modified) { document()->setModified(modified); }

QColor ColourOf(int value) {
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

void RichPane::SetDefaultCharFormat(const TextAppearance& format) {
  format_ = format;
  QFont f = font();
  f.setFamily(format.face.empty() ? defaultFamily_ : QString::fromStdString(format.face));
  if (format.fontSize > 0) f.setPointSizeF(format.fontSize / 20.0);
  // The document takes the widget font on every font change; set both so they agree.
  setFont(f);
  document()->setDefaultFont(f);
  // Text without a colour of its own is drawn in the palette's text colour: no need to
  // format every character.
  QPalette p = palette();
  p.setColor(QPalette::Text, ColourOf(format.ShownTextColour()));
  setPalette(p);
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
  return block;
}

void RichPane::SetBackgroundColour(const QColor& colour) {
  QPalette p = palette();
  p.setColor(QPalette::Base, colour);
  setPalette(p);
}

QColor RichPane::BackgroundColour() const { return viewport()->palette().color(QPalette::Base); }

}  // namespace varnelo
