#include "platform/font_warmup.h"

#include <fontconfig/fontconfig.h>

#include "platform/glyph_coverage.h"

namespace varnelo {

// Qt's font database starts with FcInit too; a second call finds the configuration loaded.
FontWarmUp::FontWarmUp() : thread_([] { FcInit(); }) {}

FontWarmUp::~FontWarmUp() {
  for (std::thread* thread : {&thread_, &coverage_})
    if (thread->joinable()) thread->join();
}

void FontWarmUp::Wait() {
  if (!thread_.joinable()) return;
  thread_.join();
  coverage_ = std::thread([] { (void)InstalledGlyphs(); });
}

}  // namespace varnelo
