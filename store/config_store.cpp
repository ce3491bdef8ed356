#include "store/config_store.h"

namespace varnelo {
namespace {

constexpr ConfigKey kStyleKeys[] = {ConfigKey::Background, ConfigKey::TextColour,
                                    ConfigKey::Face, ConfigKey::FontSize,
                                    ConfigKey::LineSpacing};

}  // namespace

WindowPlacement ReadWindowPlacement(const std::string& settingsPath) {
  ConfigValues values;
  ReadKey(values, ConfigKey::Placement, settingsPath);
  return values.placement;
}

bool WriteWindowPlacement(const WindowPlacement& placement, const std::string& settingsPath) {
  ConfigValues values;
  values.placement = placement;
  return WriteKey(values, ConfigKey::Placement, settingsPath);
}

void CConfigStore::LoadStyle() {
  ConfigValues values;
  values.appearance.night = style_.night;
  for (const ConfigKey key : kStyleKeys) ReadKey(values, key, settingsPath_);
  style_ = values.appearance;
}

bool CConfigStore::SaveStyle(const TextAppearance& style) const {
  ConfigValues values;
  values.appearance = style;
  bool ok = true;
  for (const ConfigKey key : kStyleKeys) ok = WriteKey(values, key, settingsPath_) && ok;
  return ok;
}

}  // namespace varnelo
