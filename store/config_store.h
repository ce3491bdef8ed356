// CConfigStore: the settings store over Config.ini. Every read and write goes to the file
// at once; the file is the single source of truth shared by several stores.
#pragma once

#include <string>

#include "platform/text_appearance.h"
#include "store/config_schema.h"

namespace varnelo {

// The placement read at start-up: the default when the key is missing, unreadable, or its
// length field (unsigned) is 0 or above 10000.
WindowPlacement ReadWindowPlacement(const std::string& settingsPath);
bool WriteWindowPlacement(const WindowPlacement& placement, const std::string& settingsPath);

class CConfigStore {
 public:
  CConfigStore() = default;
  virtual ~CConfigStore() = default;

  void SetSettingsPath(std::string path) { settingsPath_ = std::move(path); }
  const std::string& SettingsPath() const { return settingsPath_; }

  // [Style] bkcolor, txtcolor, txtfont, txtsize, txthj, in that order. The night flag is
  // not a style key and stays as it was.
  void LoadStyle();
  // Writes the same five; a size or spacing below 0 is not written (the stored one stays).
  bool SaveStyle(const TextAppearance& style) const;
  const TextAppearance& Style() const { return style_; }

 private:
  TextAppearance style_;
  std::string settingsPath_;
};

}  // namespace varnelo
