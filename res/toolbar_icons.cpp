#include "res/toolbar_icons.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <optional>

#include "res/command_ids.h"

namespace varnelo {

namespace {

// Every pictogram is drawn on a 24-unit grid and scaled, so the 19 and 48 pixel
// versions are the same drawing.
constexpr qreal kGrid = 24.0;

enum class Glyph {
  Folder,
  Book,
  Bookmark,
  Moon,
  SmallerA,
  LargerA,
  NarrowerLines,
  WiderLines,
  Pages,
  Clock,
  SideBar,
  FullScreen,
  AutoScroll,
  Pencil,
  Speaker,
  OpenBook,
};

struct Style {
  Glyph glyph;
  QRgb tile;
};

// One muted palette; paired commands share a colour and differ by pictogram.
std::optional<Style> StyleOf(int commandId) {
  switch (commandId) {
    case cmd::kOpenFolder: return Style{Glyph::Folder, 0xFFE3A03A};
    case cmd::kOpenFile: return Style{Glyph::Book, 0xFF2A9D8F};
    case cmd::kAddBookmark: return Style{Glyph::Bookmark, 0xFFDB5A5A};
    case cmd::kNightMode: return Style{Glyph::Moon, 0xFF3F4C8C};
    case cmd::kSmallerFont: return Style{Glyph::SmallerA, 0xFF3A7BD5};
    case cmd::kLargerFont: return Style{Glyph::LargerA, 0xFF3A7BD5};
    case cmd::kNarrowerSpacing: return Style{Glyph::NarrowerLines, 0xFF4E9F6B};
    case cmd::kWiderSpacing: return Style{Glyph::WiderLines, 0xFF4E9F6B};
    case cmd::kTogglePaging: return Style{Glyph::Pages, 0xFF7E5FB8};
    case cmd::kReadingTime: return Style{Glyph::Clock, 0xFFE27D3C};
    case cmd::kSideBar: return Style{Glyph::SideBar, 0xFF5A6B80};
    case cmd::kFullScreen: return Style{Glyph::FullScreen, 0xFF3E4A5C};
    case cmd::kAutoScroll: return Style{Glyph::AutoScroll, 0xFF2B8CC4};
    case cmd::kEditMode: return Style{Glyph::Pencil, 0xFFB0674B};
    case cmd::kReadAloud: return Style{Glyph::Speaker, 0xFFC0507A};
    default: return std::nullopt;
  }
}

QPen Stroke(const QColor& colour, qreal width) {
  return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Polyline(QPainter& p, std::initializer_list<QPointF> points) {
  p.drawPolyline(QPolygonF(QList<QPointF>(points)));
}

// A letter A standing in box, stroked rather than typeset so no font is needed.
void LetterA(QPainter& p, const QRectF& box) {
  const qreal bar = box.top() + box.height() * 0.64;
  const qreal inset = box.width() * 0.19;
  Polyline(p, {box.bottomLeft(), QPointF(box.center().x(), box.top()), box.bottomRight()});
  p.drawLine(QPointF(box.left() + inset, bar), QPointF(box.right() - inset, bar));
}

// Lines only, in the colour and width given.
void Outline(QPainter& p, const QColor& colour, qreal width) {
  p.setPen(Stroke(colour, width));
  p.setBrush(Qt::NoBrush);
}

// Solid shapes without an edge.
void Fill(QPainter& p, const QColor& colour) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
}

// Three text lines at the given heights, with arrows that push apart or pull together.
void SpacingLines(QPainter& p, const QColor& ink, qreal top, qreal bottom, bool wider) {
  p.setPen(Stroke(ink, 1.8));
  for (qreal y : {top, (top + bottom) / 2, bottom}) p.drawLine(QPointF(11, y), QPointF(19, y));
  p.setPen(Stroke(ink, 1.6));
  if (wider) {
    p.drawLine(QPointF(6.5, 6), QPointF(6.5, 18));
    Polyline(p, {{4.5, 8}, {6.5, 6}, {8.5, 8}});
    Polyline(p, {{4.5, 16}, {6.5, 18}, {8.5, 16}});
  } else {
    p.drawLine(QPointF(6.5, 5), QPointF(6.5, 10));
    p.drawLine(QPointF(6.5, 14), QPointF(6.5, 19));
    Polyline(p, {{4.5, 8}, {6.5, 10}, {8.5, 8}});
    Polyline(p, {{4.5, 16}, {6.5, 14}, {8.5, 16}});
  }
}

void DrawGlyph(QPainter& p, Glyph glyph, const QColor& tile) {
  const QColor ink(Qt::white);
  const QColor inner = tile.darker(125);  // details drawn on the white shapes
  switch (glyph) {
    case Glyph::Folder: {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(255, 255, 255, 190));
      p.drawRoundedRect(QRectF(5, 6, 6.5, 4), 1.2, 1.2);
      p.drawRoundedRect(QRectF(5, 8, 14, 10.5), 1.5, 1.5);
      p.setBrush(ink);
      p.drawRoundedRect(QRectF(5, 10.8, 14, 7.7), 1.5, 1.5);
      break;
    }
    case Glyph::Book: {
      Fill(p, ink);
      p.drawRoundedRect(QRectF(6.5, 4.5, 11, 15), 1.3, 1.3);
      p.setBrush(inner);
      p.drawRect(QRectF(8.2, 4.5, 1.3, 15));
      p.setPen(Stroke(inner, 1.2));
      p.drawLine(QPointF(11.5, 8.5), QPointF(15.5, 8.5));
      p.drawLine(QPointF(11.5, 11), QPointF(15.5, 11));
      break;
    }
    case Glyph::Bookmark: {
      p.setPen(Stroke(ink, 1.2));
      p.setBrush(ink);
      p.drawPolygon(QPolygonF({{8, 5}, {16, 5}, {16, 19}, {12, 15.2}, {8, 19}}));
      break;
    }
    case Glyph::Moon: {
      QPainterPath disc;
      disc.addEllipse(QPointF(11.5, 12.5), 7, 7);
      QPainterPath bite;
      bite.addEllipse(QPointF(15.2, 9.3), 5.6, 5.6);
      Fill(p, ink);
      p.drawPath(disc.subtracted(bite));
      p.drawEllipse(QPointF(17.6, 16.2), 1, 1);
      break;
    }
    case Glyph::SmallerA:
    case Glyph::LargerA: {
      const bool larger = glyph == Glyph::LargerA;
      Outline(p, ink, 2);
      LetterA(p, larger ? QRectF(3.5, 5.5, 11, 13.5) : QRectF(4.5, 10, 8, 9));
      p.drawLine(QPointF(15, 8.5), QPointF(20.5, 8.5));
      if (larger) p.drawLine(QPointF(17.75, 5.75), QPointF(17.75, 11.25));
      break;
    }
    case Glyph::NarrowerLines: SpacingLines(p, ink, 9, 15, false); break;
    case Glyph::WiderLines: SpacingLines(p, ink, 6.5, 17.5, true); break;
    case Glyph::Pages: {
      Outline(p, ink, 1.5);
      p.drawRoundedRect(QRectF(9.5, 4.5, 9, 12), 1, 1);
      Fill(p, ink);
      p.drawRoundedRect(QRectF(5.5, 7.5, 9.5, 12), 1, 1);
      p.setPen(Stroke(inner, 1.2));
      for (qreal y : {11.0, 13.5, 16.0}) p.drawLine(QPointF(7.5, y), QPointF(13, y));
      break;
    }
    case Glyph::Clock: {
      Outline(p, ink, 1.8);
      p.drawEllipse(QPointF(12, 12), 7.2, 7.2);
      Polyline(p, {{12, 7.6}, {12, 12}, {15.2, 13.8}});
      break;
    }
    case Glyph::SideBar: {
      Outline(p, ink, 1.6);
      p.drawRoundedRect(QRectF(4.5, 5.5, 15, 13), 1.5, 1.5);
      Fill(p, ink);
      p.drawRoundedRect(QRectF(4.5, 5.5, 5.5, 13), 1.5, 1.5);
      p.setPen(Stroke(ink, 1.4));
      p.drawLine(QPointF(12.5, 9.5), QPointF(17, 9.5));
      p.drawLine(QPointF(12.5, 12.5), QPointF(17, 12.5));
      break;
    }
    case Glyph::FullScreen: {
      Outline(p, ink, 2);
      Polyline(p, {{5, 10}, {5, 5}, {10, 5}});
      Polyline(p, {{14, 5}, {19, 5}, {19, 10}});
      Polyline(p, {{19, 14}, {19, 19}, {14, 19}});
      Polyline(p, {{10, 19}, {5, 19}, {5, 14}});
      break;
    }
    case Glyph::AutoScroll: {
      Outline(p, ink, 2.2);
      Polyline(p, {{7, 6.5}, {12, 11}, {17, 6.5}});
      Polyline(p, {{7, 12.5}, {12, 17}, {17, 12.5}});
      break;
    }
    case Glyph::Pencil: {
      p.save();
      p.translate(12.5, 11.5);
      p.rotate(-45);
      Fill(p, ink);
      p.drawRect(QRectF(-5.5, -2.2, 10.5, 4.4));
      p.drawRoundedRect(QRectF(5.8, -2.2, 2.8, 4.4), 0.8, 0.8);
      p.drawPolygon(QPolygonF({{-5.5, -2.2}, {-5.5, 2.2}, {-9.3, 0}}));
      p.setBrush(inner);
      p.drawPolygon(QPolygonF({{-7.7, -0.95}, {-7.7, 0.95}, {-9.3, 0}}));
      p.restore();
      break;
    }
    case Glyph::Speaker: {
      // A loudspeaker with two waves of sound.
      Fill(p, ink);
      p.drawPolygon(QPolygonF({{4, 9.5}, {7.5, 9.5}, {12, 5.5}, {12, 18.5}, {7.5, 14.5}, {4, 14.5}}));
      Outline(p, ink, 1.8);
      p.drawArc(QRectF(9.5, 8.5, 7, 7), -50 * 16, 100 * 16);
      p.drawArc(QRectF(8, 5, 12, 14), -50 * 16, 100 * 16);
      break;
    }
    case Glyph::OpenBook: {
      QPainterPath left;
      left.moveTo(12, 7.5);
      left.cubicTo(9.5, 6, 6.5, 5.8, 4, 6.8);
      left.lineTo(4, 18);
      left.cubicTo(6.5, 17, 9.5, 17.2, 12, 18.7);
      left.closeSubpath();
      QPainterPath right;
      right.moveTo(12, 7.5);
      right.cubicTo(14.5, 6, 17.5, 5.8, 20, 6.8);
      right.lineTo(20, 18);
      right.cubicTo(17.5, 17, 14.5, 17.2, 12, 18.7);
      right.closeSubpath();
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xFFDB5A5A));  // ribbon peeking out under the pages
      p.drawPolygon(QPolygonF({{14.6, 17}, {14.6, 21}, {15.6, 20}, {16.6, 21}, {16.6, 17}}));
      p.setBrush(ink);
      p.drawPath(left);
      p.drawPath(right);
      p.setPen(Stroke(inner, 0.9));
      p.drawLine(QPointF(12, 7.6), QPointF(12, 18.6));
      for (qreal y : {9.8, 12.0, 14.2}) {
        p.drawLine(QPointF(6, y), QPointF(10.2, y + 0.3));
        p.drawLine(QPointF(13.8, y + 0.3), QPointF(18, y));
      }
      break;
    }
  }
}

QPixmap Render(Glyph glyph, QRgb tile, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / kGrid, size / kGrid);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(tile));
  p.drawRoundedRect(QRectF(1, 1, 22, 22), 5, 5);
  DrawGlyph(p, glyph, QColor(tile));
  p.end();
  return QPixmap::fromImage(image);
}

// A disabled button must look disabled even under styles that do not grey icons
// themselves: grey, and faded.
QPixmap Greyed(const QPixmap& pixmap) {
  QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const int grey = 128 + qGray(line[x]) / 3;
      line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) * 2 / 5);
    }
  }
  return QPixmap::fromImage(image);
}

}  // namespace

QIcon ToolBarIcon(int commandId) {
  const std::optional<Style> style = StyleOf(commandId);
  if (!style) return {};
  QIcon icon;
  const QPixmap normal = Render(style->glyph, style->tile, 19);
  icon.addPixmap(normal, QIcon::Normal);
  icon.addPixmap(Greyed(normal), QIcon::Disabled);
  icon.addPixmap(Render(style->glyph, style->tile, 24), QIcon::Active);
  return icon;
}

QIcon AppIcon() {
  QIcon icon;
  for (int size : {19, 24, 48}) icon.addPixmap(QPixmap::fromImage(AppIconImage(size)));
  return icon;
}

QImage AppIconImage(int size) { return Render(Glyph::OpenBook, 0xFF2F7F73, size).toImage(); }

}  // namespace varnelo
