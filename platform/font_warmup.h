// The font configuration is a tenth of the start's work, and Qt loads it only when the first
// text is measured. Loaded on another core while Qt starts, it is ready when Qt asks.
#pragma once

#include <thread>

namespace varnelo {

class FontWarmUp {
 public:
  FontWarmUp();
  ~FontWarmUp();
  FontWarmUp(const FontWarmUp&) = delete;
  FontWarmUp& operator=(const FontWarmUp&) = delete;
  // Before the first text is measured: two loads at once would both do the whole work.
  // The fonts' coverage (which characters some font draws) is then read on another thread,
  // ready by the first page.
  void Wait();

 private:
  std::thread thread_;
  std::thread coverage_;
};

}  // namespace varnelo
