// The font configuration is a tenth of the start's work, and Qt loads it only when the first
// text is measured. Loaded on another core while Qt starts, it is ready when Qt asks.
#pragma once

#include <thread>

namespace varnelo {

class FontWarmUp {
 public:
  FontWarmUp();
  ~FontWarmUp() { Wait(); }
  FontWarmUp(const FontWarmUp&) = delete;
  FontWarmUp& operator=(const FontWarmUp&) = delete;
  // Before the first text is measured: two loads at once would both do the whole work.
  void Wait();

 private:
  std::thread thread_;
};

}  // namespace varnelo
