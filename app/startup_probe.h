// For the start-up benchmark: with VARNELO_FIRST_PAINT_PROBE set, the reader writes the
// monotonic clock (in nanoseconds) to standard output once the page pane has painted its
// first page, and ends. The start's timeline (platform/start_timeline.h) marks that paint.
#pragma once

#include "platform/start_timeline.h"

class QWidget;

namespace varnelo {

inline constexpr char kFirstPaintProbe[] = "VARNELO_FIRST_PAINT_PROBE";

// Watches `pane` when the probe is asked for; nothing otherwise.
void ProbeFirstPaint(QWidget* pane);

}  // namespace varnelo
