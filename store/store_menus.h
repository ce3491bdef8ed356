// The menus the settings store fills: the two bookmark sub-menus and the recent folders.
// The store stays free of widgets; the main frame implements this and owns the menus.
#pragma once

#include <string>
#include <vector>

namespace varnelo {

// ChapterRules: the user's own rules, after the built-in ones in "章节分页规则".
enum class StoreMenu { OpenBookmark, DeleteBookmark, RecentFolders, RecentBooks, ChapterRules };

struct StoreMenuItem {
  int id;
  std::string text;    // UTF-8
  std::string prompt = {};  // UTF-8; empty: the command's own prompt
};

class StoreMenus {
 public:
  virtual ~StoreMenus() = default;
  // Replaces every item of the sub-menu, the resource's placeholder included.
  virtual void ReplaceItems(StoreMenu menu, const std::vector<StoreMenuItem>& items) = 0;
};

}  // namespace varnelo
