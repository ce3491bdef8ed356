// CConfigStore: the settings store over Config.ini. Every read and write goes to the file
// at once; the file is the single source of truth shared by several stores.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "platform/text_appearance.h"
#include "store/bookmark_format.h"
#include "store/config_schema.h"
#include "store/read_record_format.h"
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

  // The frame's menus the bookmark and recent-folder lists are shown in; none in tests of
  // the file alone.
  void SetMenus(StoreMenus* menus) { menus_ = menus; }
  StoreMenus* Menus() const { return menus_; }
  // Where the time of writing comes from.
  void SetClock(std::function<std::time_t()> now) { now_ = std::move(now); }

  // ---- Bookmarks: [BookMark] ----
  enum class AddResult { Added, Full, TooLong, NotWritten };
  // Reads MarkNum (at most 9) and keys "0" to MarkNum, then refills both menus.
  void LoadBookmarks();
  // Appends a bookmark with the time of writing and reloads. A value the profile read
  // could not return whole is not written.
  // With `offset` (0 or more) the bookmarked text's place and its prompt are kept beside it.
  AddResult AddBookmark(const std::string& path, const std::string& title, int page,
                        const std::string& mode, int line, std::int64_t offset = -1,
                        const std::string& prompt = {});
  // The book at `path` changed: its bookmarks' places move as `moved` says. Reloads.
  bool MoveBookmarkPlaces(const std::string& path, const std::function<std::int64_t(std::int64_t)>& moved);
  // A "删除书签" item's identifier, or 0 for all; key "0" is never touched. Reloads.
  bool DeleteBookmark(int id);
  void RebuildBookmarkMenus() const;
  int BookmarkCount() const { return static_cast<int>(bookmarks_.size()) - 1; }
  // Entry 0 is the last position, 1 to BookmarkCount() the user's bookmarks.
  const BookmarkFields& Bookmark(int k) const { return bookmarks_.at(static_cast<std::size_t>(k)); }

  // ---- Reading-time records: [TimePad] ----
  // Reads TimePadNum and the records up to it; a missing key ends the list early, so a
  // hand-edited count of millions reads only the records that exist. More than 100 is fine.
  void LoadReadRecords();
  // Writes TimePadNum = count and the record under key `number`, both or neither; does
  // not reload.
  bool SaveReadRecord(int count, int number, const std::string& name, const std::string& total,
                      const std::string& first, const std::string& last);
  // Removes record `index` (0-based, as last read); the later ones move up one key.
  bool DeleteReadRecord(int index);
  // Empties TimePadNum and every record key.
  bool DeleteAllReadRecords();
  int ReadRecordCount() const { return static_cast<int>(records_.size()); }
  const RecordFields& ReadRecord(int index) const {
    return records_.at(static_cast<std::size_t>(index)).fields;
  }

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
  struct StoredRecord {
    std::string value;
    RecordFields fields;
  };
  void ReadBookmarks();

  TextAppearance style_;
  std::vector<std::string> bookmarkValues_{std::string()};
  std::vector<std::string> bookmarkPlaces_{std::string()};  // [BookMarkPlace] as stored
  std::vector<BookmarkFields> bookmarks_{BookmarkFields{}};
  std::vector<StoredRecord> records_;
  std::string settingsPath_;
  StoreMenus* menus_ = nullptr;
  std::function<std::time_t()> now_ = [] { return std::time(nullptr); };
  std::vector<std::string> recentFolders_;
};

}  // namespace varnelo
