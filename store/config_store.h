// CConfigStore: the settings store over Config.ini. Every read and write goes to the file
// at once; the file is the single source of truth shared by several stores.
#pragma once

#include <string>
#include <vector>

#include "platform/text_appearance.h"
#include "store/config_schema.h"
#include "store/store_menus.h"

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

  // The sub-menus this store fills; none for a store that only reads and writes.
  void SetMenus(StoreMenus* menus) { menus_ = menus; }

  // ---- Recent folders ([File Dir]) ----
  // Reads FileNum and the keys up to it, then fills the sub-menu.
  void LoadRecentFolders();
  void RebuildRecentFolderMenu() const;
  // Writes the folder as entry count + 1 when it is not empty and there is room.
  bool AddRecentFolder(const std::string& folder, int count);
  // Empties the stored list; what was read stays in memory and in the menu for this run.
  bool ClearRecentFolders() const;
  // The exit save's update: re-reads the list and adds the folder chosen in this run if
  // it is new and there is room.
  bool UpdateRecentFolders(const std::string& chosen);
  // Entry k - 1 holds key k.
  const std::vector<std::string>& RecentFolders() const { return recentFolders_; }

 private:
  TextAppearance style_;
  std::string settingsPath_;
  StoreMenus* menus_ = nullptr;
  std::vector<std::string> recentFolders_;
};

}  // namespace varnelo
