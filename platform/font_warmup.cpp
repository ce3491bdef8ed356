#include "platform/font_warmup.h"

#include <fontconfig/fontconfig.h>

namespace varnelo {

// Qt's font database starts with FcInit too; a second call finds the configuration loaded.
FontWarmUp::FontWarmUp() : thread_([] { FcInit(); }) {}

void FontWarmUp::Wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace varnelo
