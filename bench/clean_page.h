// The cost of the page's display pipeline: the largest chapter of a corpus novel, hard-wrapped
// at 40 characters with indents and ad lines as old downloads are, shown with re-flow,
// indent, the built-in replace rules, 简繁 conversion and typesetting all on, against the
// same page shown plain, in the same offscreen view.
#pragma once

#include <string>

namespace varnelo::bench {

struct CleanPageFigures {
  int characters = 0;
  double plainMs = 0;
  double cleanedMs = 0;  // nothing cached
};

CleanPageFigures MeasureCleanPage(const std::string& path, int runs);

}  // namespace varnelo::bench
