#include "aids/scroll_steps.h"

#include "store/bookmark_format.h"

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

int BoxNumber(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  const std::int64_t value = LeadingNumber(first == std::string_view::npos ? "" : text.substr(first));
  return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

}  // namespace varnelo
