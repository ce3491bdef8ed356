// Where the text of the page pane lies across its width: the left and right margins, at
// most a number of characters wide, centred. Plain arithmetic, no Qt.
#pragma once

namespace varnelo {

inline constexpr int kMaxPageMargin = 400;
inline constexpr int kMaxLineCharsLimit = 500;

struct TextColumn {
  int left = 0;   // pixels from the left edge of the area to the text
  int right = 0;  // pixels from the text to the right edge
  bool operator==(const TextColumn&) const = default;
};

// The column in an area `width` pixels wide, with `margin` pixels kept free on each side
// (0 to 400) and the text at most `maxChars` characters of `charWidth` pixels wide (0 =
// as wide as the margins leave), centred. A margin too wide for the area shrinks so one
// character still fits.
TextColumn ColumnOf(int width, int margin, int maxChars, double charWidth);

}  // namespace varnelo
