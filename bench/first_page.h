#pragma once

#include <string>

namespace varnelo::bench {

// Best time, in milliseconds, from LoadText of `path` to its first page laid out in the
// pane of a real (offscreen) reading view.
double FirstPageMilliseconds(const std::string& path, int runs);

}  // namespace varnelo::bench
