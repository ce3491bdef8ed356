#include "aids/immersive/screen_lines.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>

#include <cmath>

namespace varnelo {

namespace {

struct Line {
  QTextBlock block;
  int number = 0;
  qreal top = 0;
  qreal bottom = 0;
  bool valid = false;
};

Line LineOf(QTextDocument& document, const QTextBlock& block, int number) {
  Line line;
  if (!block.isValid()) return line;
  // Asking for the block's rectangle lays the text out that far.
  document.documentLayout()->blockBoundingRect(block);
  const QTextLayout* layout = block.layout();
  if (layout == nullptr || number < 0 || number >= layout->lineCount()) return line;
  const QTextLine text = layout->lineAt(number);
  line.block = block;
  line.number = number;
  line.top = layout->position().y() + text.y();
  line.bottom = line.top + text.height();
  line.valid = true;
  return line;
}

Line NextLine(QTextDocument& document, const Line& line) {
  if (line.number + 1 < line.block.layout()->lineCount())
    return LineOf(document, line.block, line.number + 1);
  for (QTextBlock next = line.block.next(); next.isValid(); next = next.next()) {
    const Line first = LineOf(document, next, 0);
    if (first.valid) return first;
  }
  return {};
}

Line LineHolding(QTextDocument& document, qreal y) {
  const qreal x = document.rootFrame()->frameFormat().leftMargin() + 1;
  int position = document.documentLayout()->hitTest(QPointF(x, y), Qt::FuzzyHit);
  if (position < 0) position = y <= 0 ? 0 : document.characterCount() - 1;
  const QTextBlock block = document.findBlock(position);
  if (!block.isValid()) return {};
  document.documentLayout()->blockBoundingRect(block);
  const QTextLayout* layout = block.layout();
  QTextLine text = layout->lineForTextPosition(position - block.position());
  Line line = LineOf(document, block, text.isValid() ? text.lineNumber() : 0);
  // In the gap below a line the hit can land on it; the line holding y is the next one.
  while (line.valid && line.bottom <= y) {
    const Line next = NextLine(document, line);
    if (!next.valid || next.top > y) break;
    line = next;
  }
  return line;
}

// A line's top in whole pixels: at or just below it, so the line above does not reach
// into the screen.
int Whole(qreal value) { return static_cast<int>(std::ceil(value - 0.001)); }

}  // namespace

int LineTopAt(QTextDocument& document, int y) {
  const Line line = LineHolding(document, y);
  return line.valid ? Whole(line.top) : 0;
}

int TextBottom(QTextDocument& document) {
  for (QTextBlock block = document.lastBlock(); block.isValid(); block = block.previous()) {
    document.documentLayout()->blockBoundingRect(block);
    const QTextLayout* layout = block.layout();
    if (layout != nullptr && layout->lineCount() > 0)
      return Whole(LineOf(document, block, layout->lineCount() - 1).bottom);
  }
  return 0;
}

int NextScreenTop(QTextDocument& document, int top, int height) {
  const qreal edge = top + height;
  Line line = LineHolding(document, edge - 0.5);
  if (!line.valid) return TextBottom(document);
  if (line.bottom <= edge + 0.5) {
    const Line next = NextLine(document, line);
    if (!next.valid) return std::max(TextBottom(document), top + 1);
    line = next;
  }
  if (Whole(line.top) > top) return Whole(line.top);
  // A line taller than the screen: the screen after it begins with the line after it.
  const Line next = NextLine(document, LineHolding(document, top));
  return next.valid && Whole(next.top) > top ? Whole(next.top) : std::max(TextBottom(document), top + 1);
}

}  // namespace varnelo
