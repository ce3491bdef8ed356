#include "aids/nine_slice.h"

#include <algorithm>

namespace varnelo {

namespace {

// Two borders that together must fit into `room`: kept if they do, else shared out in
// proportion to their sizes.
void FitBorders(int& first, int& second, int room) {
  first = std::max(first, 0);
  second = std::max(second, 0);
  room = std::max(room, 0);
  const int both = first + second;
  if (both <= room) return;
  first = static_cast<int>(static_cast<long long>(first) * room / both);
  second = room - first;
}

SliceRect Rect(int x, int y, int width, int height) {
  return {x, y, std::max(width, 0), std::max(height, 0)};
}

}  // namespace

std::array<Slice, 9> NineSlices(int stripWidth, int stripHeight, int frameCount, int frame,
                                int width, int height, SliceBorders b) {
  const int w = frameCount > 0 ? stripWidth / frameCount : 0;
  const int h = stripHeight;
  const int x0 = frame * w;
  // A pixel of the frame is kept between the borders, so that a middle to fill always
  // has something to be stretched from.
  FitBorders(b.left, b.right, std::min(width, w - 1));
  FitBorders(b.top, b.bottom, std::min(height, h - 1));
  const int L = b.left, R = b.right, T = b.top, B = b.bottom;
  const int W = width, H = height;
  return {{
      {Rect(x0, 0, L, T), Rect(0, 0, L, T)},
      {Rect(x0, h - B, L, B), Rect(0, H - B, L, B)},
      {Rect(x0 + w - R, 0, R, T), Rect(W - R, 0, R, T)},
      {Rect(x0 + w - R, h - B, R, B), Rect(W - R, H - B, R, B)},
      {Rect(x0 + L, T, w - R - L, h - B - T), Rect(L, T, W - R - L, H - B - T)},
      {Rect(x0 + L, 0, w - R - L, T), Rect(L, 0, W - R - L, T)},
      {Rect(x0 + L, h - B, w - R - L, B), Rect(L, H - B, W - R - L, B)},
      {Rect(x0, T, L, h - B - T), Rect(0, T, L, H - B - T)},
      {Rect(x0 + w - R, T, R, h - B - T), Rect(W - R, T, R, H - B - T)},
  }};
}

// A pressed button shows the pressed frame over the focused one; our buttons never take
// the keyboard focus, so being pressed counts as having it.
SkinLook LookOf(bool focused, bool pressed, bool disabled) {
  SkinLook look;
  if (focused || pressed) {
    look.frames[0] = kFocusedFrame;
    if (pressed) {
      look.frames[1] = kPressedFrame;
      look.captionShift = 5;
    }
  } else if (disabled) {
    look.frames[0] = kDisabledFrame;
    look.greyCaption = true;
  }
  return look;
}

}  // namespace varnelo
