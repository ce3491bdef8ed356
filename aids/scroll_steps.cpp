#include "aids/scroll_steps.h"

#include <algorithm>
#include <climits>

namespace varnelo {

ScrollStepKind StepKindOf(int rollType) {
  switch (rollType) {
    case 0: return ScrollStepKind::Pixel;
    case 1: return ScrollStepKind::Line;
    case 2: return ScrollStepKind::Screen;
    default: return ScrollStepKind::None;
  }
}

int TimerPeriodOf(int intervalMs) { return std::max(intervalMs, kMinimumTimerPeriodMs); }

// No 16-bit cut of the position: a long page would otherwise jump back to the top.
int PixelStepTarget(int position, int maximum) {
  return position >= maximum ? maximum : position + 1;
}

int LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min(value * 10 + (text[i] - '0'), static_cast<long long>(INT_MAX) + 1);
  }
  if (negative) return static_cast<int>(-value);
  return static_cast<int>(std::min(value, static_cast<long long>(INT_MAX)));
}

}  // namespace varnelo
