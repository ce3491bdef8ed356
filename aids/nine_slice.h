// Geometry of the skinned buttons: which frame of the strip a button state draws, and how
// one frame is cut into nine pieces to fill a button of any size (corners copied as they
// are, edges stretched along their length, the centre stretched both ways).
#pragma once

#include <array>

namespace varnelo {

struct SliceRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool Empty() const { return width <= 0 || height <= 0; }
  bool operator==(const SliceRect&) const = default;
};

struct Slice {
  SliceRect source;  // in the strip
  SliceRect target;  // in the button's image
};

struct SliceBorders {
  int top = 0, bottom = 0, left = 0, right = 0;
};

// The frames of the strip, in their order there (a fifth frame is never drawn).
enum SkinFrame { kNormalFrame = 0, kPressedFrame = 1, kDisabledFrame = 2, kFocusedFrame = 3 };

// The nine pieces for frame `frame` of a strip of `frameCount` equal frames, to build a
// `width` x `height` image: the four corners (top left, bottom left, top right, bottom
// right), then the centre, the top, bottom, left and right edges. Borders that do not fit
// the image (or leave the frame no middle) shrink in proportion, so no two pieces overlap;
// pieces left with no area are empty and draw nothing.
std::array<Slice, 9> NineSlices(int stripWidth, int stripHeight, int frameCount, int frame,
                                int width, int height, SliceBorders borders);

// What a button shows in a state: one or two frames drawn in order, how far the left edge
// of the caption's rectangle moves right (the centred caption moves half as far), and
// whether the caption is greyed.
struct SkinLook {
  int frames[2] = {kNormalFrame, -1};  // -1: no second frame
  int captionShift = 0;
  bool greyCaption = false;
};
SkinLook LookOf(bool focused, bool pressed, bool disabled);

}  // namespace varnelo
