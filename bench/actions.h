#pragma once

#include <string>
#include <utility>
#include <vector>

namespace varnelo::bench {

struct ActionFigures {
  int actions = 0;
  double longestMs = 0;  // the longest the window went unanswered, over every action
  std::string longestName;
  std::vector<std::pair<std::string, double>> over;  // the actions that kept it waiting past 50 ms
};

// The whole reader with the book at `path` open, every enabled command of its menus
// triggered in turn as a click on it would (leaving the reader aside): how long the window's
// event loop went without a turn during each, dialogs dismissed after a moment. With `only`,
// just the commands of those menu texts ("A|B"), in menu order: the state earlier commands
// leave can be rebuilt for a later one.
ActionFigures MeasureActions(const std::string& path, const std::string& only = std::string());

}  // namespace varnelo::bench
