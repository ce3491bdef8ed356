#include "store/recent_folders.h"

#include <algorithm>

#include "res/command_ids.h"

namespace varnelo {

int RecentFolderCount(int storedCount) { return std::clamp(storedCount, 0, kMaxRecentFolders); }

std::vector<StoreMenuItem> RecentFolderMenuItems(const std::vector<std::string>& folders) {
  std::vector<StoreMenuItem> items;
  const int first = cmd::kRecentFolderFirst;
  const std::size_t shown = std::min(folders.size(), static_cast<std::size_t>(kMaxRecentFolders));
  for (std::size_t i = 0; i < shown; ++i) {
    const int k = static_cast<int>(i) + 1;
    items.push_back({first - 1 + k, std::to_string(k) + " " + folders[i]});
  }
  return items;
}

bool AddsToRecentFolders(const std::vector<std::string>& stored, const std::string& chosen) {
  if (chosen.empty() || stored.size() >= static_cast<std::size_t>(kMaxRecentFolders)) return false;
  return std::find(stored.begin(), stored.end(), chosen) == stored.end();
}

}  // namespace varnelo
