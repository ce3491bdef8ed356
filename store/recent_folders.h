// The recent-folder list of Config.ini ([File Dir] FileNum and keys "1" to "5") and its
// sub-menu, as plain data.
#pragma once

#include <string>
#include <vector>

#include "store/store_menus.h"

namespace varnelo {

inline constexpr int kMaxRecentFolders = 5;

// A stored FileNum as a count of entries to read: a hand-edited count outside 0 to 5 is
// held to that range.
int RecentFolderCount(int storedCount);

// One item per folder, folder k (from 1) under command 57616 + k as "k folder".
std::vector<StoreMenuItem> RecentFolderMenuItems(const std::vector<std::string>& folders);

// Whether the exit save adds the folder chosen in this run: it is not empty, not stored
// yet (byte for byte, so letter case counts) and there is room.
bool AddsToRecentFolders(const std::vector<std::string>& stored, const std::string& chosen);

}  // namespace varnelo
