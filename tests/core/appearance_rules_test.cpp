// The appearance rules without widgets: the tool-bar steps and their bounds, and the nine
// pieces of a skinned button.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "aids/appearance_steps.h"
#include "aids/nine_slice.h"
#include "platform/face_names.h"

namespace varnelo {
namespace {

TEST(AppearanceSteps, StepOnlyWhileTheResultStaysInsideItsBound) {
  const struct {
    int (*step)(int);
    int from, to;
  } cases[] = {
      {SmallerFontSize, 200, 200},   {SmallerFontSize, 201, 161},   {SmallerFontSize, 240, 200},
      {SmallerFontSize, 2000, 1960},  // a hand-edited size steps back towards the range
      {LargerFontSize, 1400, 1400},  {LargerFontSize, 1399, 1439},  {NarrowerLineSpacing, 50, 50},
      {NarrowerLineSpacing, 100, 50}, {WiderLineSpacing, 750, 750}, {WiderLineSpacing, 700, 750},
      {SmallerFontSize, INT_MIN, INT_MIN},   {LargerFontSize, INT_MAX, INT_MAX},  // no overflow
      {NarrowerLineSpacing, INT_MIN, INT_MIN}, {WiderLineSpacing, INT_MAX, INT_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(c.step(c.from), c.to) << "from " << c.from;
}

TEST(NineSlices, TheBottomBarButtonFromTheSecondFrame) {
  // 50 x 20 from frame 1 of the 275 x 22 strip, borders 5, 5, 5, 4: corner, corner, centre.
  const auto s = NineSlices(275, 22, 5, 1, 50, 20, {5, 5, 5, 4});
  EXPECT_EQ(s[0].source, (SliceRect{55, 0, 5, 5}));
  EXPECT_EQ(s[3].source, (SliceRect{106, 17, 4, 5}));
  EXPECT_EQ(s[3].target, (SliceRect{46, 15, 4, 5}));
  EXPECT_EQ(s[4].source, (SliceRect{60, 5, 46, 12}));
  EXPECT_EQ(s[4].target, (SliceRect{5, 5, 41, 10}));
}

TEST(NineSlices, PiecesTileTheImageAndStayInTheirFrame) {
  const struct {
    int stripWidth, stripHeight, width, height;
    SliceBorders borders;
  } cases[] = {
      {275, 22, 50, 20, {5, 5, 5, 4}}, {275, 22, 200, 60, {5, 5, 5, 4}},
      {275, 22, 9, 10, {5, 5, 5, 4}},  {275, 22, 6, 4, {5, 5, 5, 4}},  // at and below the borders
      {275, 22, 1, 1, {5, 5, 5, 4}},   {275, 22, 0, 0, {5, 5, 5, 4}},
      {30, 6, 50, 20, {5, 5, 5, 4}},   {275, 22, 50, 20, {8, 8, 8, 17}},  // frames too small
  };
  for (const auto& c : cases) {
    for (int frame = 0; frame < 5; ++frame) {
      SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " from " +
                   std::to_string(c.stripWidth) + ", frame " + std::to_string(frame));
      const int w = c.stripWidth / 5;
      std::vector<int> covered(static_cast<size_t>(c.width * c.height), 0);
      const auto pieces =
          NineSlices(c.stripWidth, c.stripHeight, 5, frame, c.width, c.height, c.borders);
      for (int i = 0; i < 9; ++i) {
        const SliceRect &from = pieces[i].source, &to = pieces[i].target;
        if (to.Empty()) continue;
        EXPECT_FALSE(from.Empty()) << "piece " << i << " has nothing to draw";
        EXPECT_TRUE(from.x >= frame * w && from.x + from.width <= (frame + 1) * w) << i;
        EXPECT_TRUE(from.y >= 0 && from.y + from.height <= c.stripHeight) << i;
        // Corners are copied as they are; edges keep their thickness.
        EXPECT_TRUE((i > 6 || i == 4) || from.height == to.height) << i;
        EXPECT_TRUE((i >= 4 && i <= 6) || from.width == to.width) << i;
        for (int y = to.y; y < to.y + to.height; ++y) {
          for (int x = to.x; x < to.x + to.width; ++x) {
            ASSERT_TRUE(x >= 0 && y >= 0 && x < c.width && y < c.height) << i;
            ++covered[static_cast<size_t>(y * c.width + x)];
          }
        }
      }
      for (int count : covered) ASSERT_EQ(count, 1) << "a pixel drawn not once";
    }
  }
}

}  // namespace
}  // namespace varnelo

// The font dialog shows style names in Chinese, but only whole names it knows every word of.
TEST(ChineseStyleName, KnownWordsOnlyTwoWordSpellingsAsOne) {
  const struct {
    const char* style;
    const char* shown;
  } cases[] = {
      {"Regular", "常规"},         {"bold italic", "粗体 斜体"}, {"ExtraLight", "特细"},
      {"Extra Light", "特细"},     {"Demi Bold", "半粗"},        {"Condensed  Bold", "窄体 粗体"},
      {"Bold Fancy", "Bold Fancy"}, {"W3", "W3"},                 {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(varnelo::ChineseStyleName(c.style), c.shown) << c.style;
}
