#pragma once

#include <string>

namespace varnelo::bench {

struct ScrollSoakFigures {
  int steps = 0;
  double seconds = 0;
  double cpuMsPerStep = 0;
  double coreShare = 0;  // of one core, over the run
  double startMb = 0;    // resident memory after the first steps
  double endMb = 0;
  double ownStartMb = 0;  // of it, the process's own (not mapped files such as the fonts)
  double ownEndMb = 0;
};

// The whole reader left to scroll the book at `path` by pixel at the default interval, in
// its own event loop as a user runs it (timers, idle processing, painting): `steps` steps.
ScrollSoakFigures SoakAutoScroll(const std::string& path, int steps);

// The same for `minutes` of wall-clock time, printing the share of a core and the resident
// memory every `reportSeconds` (each line over the interval since the one before).
void SoakAutoScrollFor(const std::string& path, double minutes, int reportSeconds);

}  // namespace varnelo::bench
