#include "platform/text_column.h"

#include <algorithm>
#include <cmath>

namespace varnelo {

TextColumn ColumnOf(int width, int margin, int maxChars, double charWidth) {
  if (width <= 0) return {};
  margin = std::clamp(margin, 0, kMaxPageMargin);
  maxChars = std::clamp(maxChars, 0, kMaxLineCharsLimit);
  const int oneChar = std::min(width, std::max(1, static_cast<int>(std::ceil(charWidth))));
  int text = std::max(width - 2 * margin, oneChar);
  // One pixel more than the characters need, so rounding never pushes the last one over.
  if (maxChars > 0) text = std::min(text, static_cast<int>(std::ceil(maxChars * charWidth)) + 1);
  const int left = (width - text) / 2;
  return {left, width - text - left};
}

}  // namespace varnelo
