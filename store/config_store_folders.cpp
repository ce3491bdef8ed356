// The recent-folder list of the settings store.
#include <string>

#include "platform/profile.h"
#include "store/config_store.h"
#include "store/recent_folders.h"

namespace varnelo {

void CConfigStore::LoadRecentFolders() {
  using namespace config_names;
  const profile::SectionReader section(kFileDir, settingsPath_);
  const int count = RecentFolderCount(section.GetInt(kFileNum, 0));
  recentFolders_.clear();
  for (int k = 1; k <= count; ++k) recentFolders_.push_back(section.GetString(std::to_string(k), ""));
  RebuildRecentFolderMenu();
}

void CConfigStore::RebuildRecentFolderMenu() const {
  if (menus_ != nullptr) menus_->ReplaceItems(StoreMenu::RecentFolders, RecentFolderMenuItems(recentFolders_));
}

bool CConfigStore::AddRecentFolder(const std::string& folder, int count) {
  using namespace config_names;
  if (folder.empty() || count < 0 || count >= kMaxRecentFolders) return true;
  recentFolders_.resize(static_cast<std::size_t>(count));
  recentFolders_.push_back(folder);
  const std::string key = std::to_string(count + 1);
  const bool counted = profile::WriteString(kFileDir, kFileNum, key, settingsPath_);
  return profile::WriteString(kFileDir, key, folder, settingsPath_) && counted;
}

bool CConfigStore::ClearRecentFolders() const {
  using namespace config_names;
  bool ok = profile::WriteString(kFileDir, kFileNum, "", settingsPath_);
  for (int k = 1; k <= kMaxRecentFolders; ++k) {
    ok = profile::WriteString(kFileDir, std::to_string(k), "", settingsPath_) && ok;
  }
  return ok;
}

bool CConfigStore::UpdateRecentFolders(const std::string& chosen) {
  LoadRecentFolders();
  if (!AddsToRecentFolders(recentFolders_, chosen)) return true;
  return AddRecentFolder(chosen, static_cast<int>(recentFolders_.size()));
}

}  // namespace varnelo
