// A timeline of the start, for finding where its time goes: with VARNELO_START_TIMELINE set,
// every mark writes "wall-clock and processor milliseconds since the first mark  step" to
// standard error.
#pragma once

namespace varnelo {

inline constexpr char kStartTimeline[] = "VARNELO_START_TIMELINE";

// Nothing unless the timeline was asked for.
void StartMark(const char* step);

}  // namespace varnelo
