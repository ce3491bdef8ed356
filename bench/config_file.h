#pragma once

#include <string>

namespace varnelo::bench {

// The whole reader started (to its window) and closed (the exit save) with `config` as its
// Config.ini, against reading that file once, in milliseconds; best of `runs`.
struct ConfigFileFigures {
  double startMs = 0;
  double exitMs = 0;
  double readMs = 0;
};
ConfigFileFigures MeasureConfigFile(const std::string& config, int runs);

// A Config.ini of a long-used reader: every described section, then `places` [BookPlace]
// places (PlaceNum still 100), then foreign lines until it holds `bytes` bytes.
std::string LargeConfig(int places, std::size_t bytes);

}  // namespace varnelo::bench
