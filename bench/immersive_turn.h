#pragma once

#include <string>

namespace varnelo::bench {

struct TurnFigures {
  double screenMs = 0;  // one screen turned in the reading mode (Space)
  double pageMs = 0;    // one page turned in the classic window ("下一页")
  int screens = 0;
  int pages = 0;
};

// In the whole offscreen reader at 1366x768 on the book at `path`: Space in the reading mode
// through `turns` screens (chapters turning as they end), against the classic window's
// "下一页" through `turns` pages, each turn followed by the event-loop turn that paints it.
TurnFigures MeasureTurns(const std::string& path, int turns);

}  // namespace varnelo::bench
