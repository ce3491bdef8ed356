#include "aids/page_margins.h"

#include <algorithm>

#include "platform/rich_pane.h"
#include "platform/text_column.h"
#include "store/config_schema.h"
#include "text/varnelo_view.h"

namespace varnelo {

void ApplyPageMargins(CVarneloView& view) {
  ConfigValues& config = view.Settings().config;
  // A hand-edited value outside the dialog's range is taken as its nearest end.
  config.pageMargin = std::clamp(config.pageMargin, 0, kMaxPageMargin);
  config.maxLineChars = std::clamp(config.maxLineChars, 0, kMaxLineCharsLimit);
  view.Pane()->SetTextColumn(config.pageMargin, config.maxLineChars);
}

void PageMargins::OnStartup(StartupStep step) {
  if (step != StartupStep::SettingsRead) return;
  ConfigValues& config = view_.Settings().config;
  const std::string& path = view_.Store().SettingsPath();
  ReadKey(config, ConfigKey::PageMargin, path);
  ReadKey(config, ConfigKey::MaxLineChars, path);
  ApplyPageMargins(view_);
}

}  // namespace varnelo
