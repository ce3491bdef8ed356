#include "store/config_store.h"

#include "platform/profile.h"

namespace varnelo {
namespace {

constexpr char kInterface[] = "Interface";
constexpr char kPlacementKey[] = "RemWndPlace";
constexpr char kStyle[] = "Style";

std::string_view View(const char* s) { return s == nullptr ? std::string_view() : s; }

}  // namespace

WindowPlacement ReadWindowPlacement(const std::string& settingsPath) {
  WindowPlacement stored;
  if (!profile::GetStruct(kInterface, kPlacementKey, &stored, sizeof stored, settingsPath)) {
    return WindowPlacement{};
  }
  // A zero or absurd length means the bytes were never a placement.
  if (stored.length == 0 || stored.length > 10000) return WindowPlacement{};
  return stored;
}

void WriteWindowPlacement(const WindowPlacement& placement, const std::string& settingsPath) {
  profile::WriteStruct(kInterface, kPlacementKey, &placement, sizeof placement, settingsPath);
}

void CConfigStore::LoadStyle() {
  const StyleValues defaults;
  style_.backgroundColour =
      profile::GetInt(kStyle, "bkcolor", defaults.backgroundColour, settingsPath_);
  style_.textColour = profile::GetInt(kStyle, "txtcolor", defaults.textColour, settingsPath_);
  style_.face = profile::GetString(kStyle, "txtfont", defaults.face, settingsPath_);
  style_.fontSize = profile::GetInt(kStyle, "txtsize", defaults.fontSize, settingsPath_);
  style_.lineSpacing = profile::GetInt(kStyle, "txthj", defaults.lineSpacing, settingsPath_);
}

void CConfigStore::SaveStyle(int backgroundColour, int textColour, const std::string& face,
                             int fontSize, int lineSpacing) {
  WriteInt(kStyle, "bkcolor", backgroundColour);
  WriteInt(kStyle, "txtcolor", textColour);
  WriteString(kStyle, "txtfont", face);
  // A negative size or spacing means "unchanged", so the stored value stays.
  if (fontSize >= 0) WriteInt(kStyle, "txtsize", fontSize);
  if (lineSpacing >= 0) WriteInt(kStyle, "txthj", lineSpacing);
}

int CConfigStore::ReadInt(const char* section, const char* key, int defaultValue) const {
  return profile::GetInt(View(section), View(key), defaultValue, settingsPath_);
}

std::string CConfigStore::ReadString(const char* section, const char* key) const {
  return profile::GetString(View(section), View(key), "", settingsPath_);
}

void CConfigStore::WriteInt(const char* section, const char* key, int value) const {
  profile::WriteString(View(section), View(key), std::to_string(value), settingsPath_);
}

void CConfigStore::WriteString(const char* section, const char* key,
                               const std::string& value) const {
  profile::WriteString(View(section), View(key), value, settingsPath_);
}

}  // namespace varnelo
