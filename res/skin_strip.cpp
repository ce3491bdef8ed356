#include "res/skin_strip.h"

#include <QColor>

#include <algorithm>
#include <cmath>

namespace varnelo {

namespace {

constexpr int kFrameWidth = kSkinStripWidth / kSkinFrameCount;
constexpr double kRadius = 4.0;

struct FrameStyle {
  QRgb border;
  QRgb top;     // body colour at the top, blended to `bottom`
  QRgb bottom;
  QRgb ring;    // a second ring inside the border; 0 for none
};

// Normal, pressed (darker, lit from below), disabled (flat grey), focused (blue ring),
// hover. The greens go with the page's "青草绿".
const FrameStyle kFrames[kSkinFrameCount] = {
    {0xFF6E9A72, 0xFFF7FBF6, 0xFFD2E6D3, 0},
    {0xFF4F7A53, 0xFFB9D6BB, 0xFFE1EFE2, 0},
    {0xFFB4B9B4, 0xFFE8EAE8, 0xFFE8EAE8, 0},
    {0xFF3C7FC0, 0xFFF9FCFF, 0xFFD6E8D8, 0xFFA9CBEE},
    {0xFF6E9A72, 0xFFFFFFFF, 0xFFDDEEDD, 0},
};

// Whether the pixel (x, y) lies in the rectangle inset by `inset` on each side, with
// corners rounded to `radius` (judged at the pixel's centre).
bool InRoundedRect(int x, int y, int w, int h, int inset, double radius) {
  const double px = x + 0.5, py = y + 0.5;
  const double left = inset + radius, right = w - inset - radius;
  const double top = inset + radius, bottom = h - inset - radius;
  if (px < inset || py < inset || px > w - inset || py > h - inset) return false;
  const double dx = px - std::clamp(px, left, right);
  const double dy = py - std::clamp(py, top, bottom);
  return dx * dx + dy * dy <= radius * radius;
}

QRgb Blend(QRgb from, QRgb to, double t) {
  auto mix = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
  return qRgb(mix(qRed(from), qRed(to)), mix(qGreen(from), qGreen(to)),
              mix(qBlue(from), qBlue(to)));
}

}  // namespace

QImage ButtonSkinStrip() {
  QImage strip(kSkinStripWidth, kSkinStripHeight, QImage::Format_RGB32);
  const int w = kFrameWidth, h = kSkinStripHeight;
  for (int frame = 0; frame < kSkinFrameCount; ++frame) {
    const FrameStyle& style = kFrames[frame];
    for (int y = 0; y < h; ++y) {
      const QRgb body = Blend(style.top, style.bottom, static_cast<double>(y) / (h - 1));
      for (int x = 0; x < w; ++x) {
        QRgb colour = kSkinTransparent;
        if (InRoundedRect(x, y, w, h, 0, kRadius)) {
          colour = style.border;
          if (InRoundedRect(x, y, w, h, 1, kRadius - 1)) {
            colour = body;
            if (style.ring != 0 && !InRoundedRect(x, y, w, h, 2, kRadius - 2)) colour = style.ring;
          }
        }
        strip.setPixel(frame * w + x, y, colour);
      }
    }
  }
  return strip;
}

}  // namespace varnelo
