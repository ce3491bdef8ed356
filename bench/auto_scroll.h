#pragma once

#include <string>

namespace varnelo::bench {

struct AutoScrollFigures {
  double stepsPerSecond = 0;
  double cpuMsPerStep = 0;
};

// Pixel auto-scroll steps through one full page (the pane's 131,072-character limit) of the
// book at `path`, in the whole offscreen reader with its status bar refreshed: each step is
// a tick of the auto-scroll timer followed by the event-loop turn that paints it.
AutoScrollFigures MeasureAutoScroll(const std::string& path, int steps);

// The processor time this process has used, user and system, in seconds.
double CpuSeconds();

}  // namespace varnelo::bench
