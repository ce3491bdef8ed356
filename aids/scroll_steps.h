// The arithmetic of automatic scrolling and of the settings it is given.
#pragma once

#include <string_view>

namespace varnelo {

// How one automatic step moves the page pane, by the auto-scroll mode (RollType).
enum class ScrollStepKind { None, Pixel, Line, Screen };
ScrollStepKind StepKindOf(int rollType);

// The platform's shortest timer period: a shorter interval never spins the processor.
inline constexpr int kMinimumTimerPeriodMs = 10;
int TimerPeriodOf(int intervalMs);

// Where a one-pixel step puts the scroll bar: one unit on, never past its end.
int PixelStepTarget(int position, int maximum);

// The decimal number at the start of a box's text, as the settings dialog reads it:
// blanks, an optional sign, digits; 0 when there is none, held within int.
int BoxNumber(std::string_view text);

}  // namespace varnelo
