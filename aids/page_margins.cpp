#include "aids/page_margins.h"

#include "platform/rich_pane.h"
#include "store/config_schema.h"
#include "text/varnelo_view.h"

namespace varnelo {

void ApplyPageMargins(CVarneloView& view) {
  const ConfigValues& config = view.Settings().config;
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
