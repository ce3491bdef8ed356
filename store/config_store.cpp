#include "store/config_store.h"

#include <algorithm>

#include "platform/profile.h"
#include "res/command_ids.h"

namespace varnelo {
namespace {

using namespace config_names;

// A value read back never ends in a blank (reads are trimmed), so this default tells a
// missing key from an empty one.
constexpr char kMissing[] = " ";

std::string Key(int number) { return std::to_string(number); }

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

void CConfigStore::ReadBookmarks() {
  const profile::SectionReader section(kBookMark, settingsPath_);
  const int count = std::clamp(section.GetInt(kMarkNum, 0), 0, kMaxBookmarks);
  bookmarkValues_.assign(static_cast<std::size_t>(count) + 1, std::string());
  bookmarks_.assign(static_cast<std::size_t>(count) + 1, BookmarkFields{});
  bookmarkPlaces_.assign(static_cast<std::size_t>(count) + 1, std::string());
  const profile::SectionReader places(kBookMarkPlace, settingsPath_);
  for (int k = 0; k <= count; ++k) {
    const auto i = static_cast<std::size_t>(k);
    bookmarkValues_[i] = section.GetString(Key(k), "");
    bookmarks_[i] = ParseBookmark(bookmarkValues_[i], k == 0);
    if (k == 0) continue;
    bookmarkPlaces_[i] = places.GetString(Key(k), "");
    ApplyBookmarkPlace(bookmarkPlaces_[i], bookmarkValues_[i], bookmarks_[i]);
  }
}

void CConfigStore::LoadBookmarks() {
  ReadBookmarks();
  RebuildBookmarkMenus();
}

void CConfigStore::RebuildBookmarkMenus() const {
  if (menus_ == nullptr) return;
  std::vector<StoreMenuItem> open, remove;
  for (int k = 1; k <= BookmarkCount(); ++k) {
    const std::string text = std::to_string(k) + ". " + Bookmark(k).title;
    open.push_back({cmd::kOpenBookmarkFirst - 1 + k, text, Bookmark(k).prompt});
    remove.push_back({cmd::kDeleteBookmarkFirst - 1 + k, text});
  }
  menus_->ReplaceItems(StoreMenu::OpenBookmark, open);
  menus_->ReplaceItems(StoreMenu::DeleteBookmark, remove);
}

CConfigStore::AddResult CConfigStore::AddBookmark(const std::string& path,
                                                  const std::string& title, int page,
                                                  const std::string& mode, int line,
                                                  std::int64_t offset, const std::string& prompt) {
  ReadBookmarks();
  const std::string value = BookmarkValue(title, page, mode, line, BookmarkTime(now_()), path);
  const int count = BookmarkCount() + 1;
  AddResult result = AddResult::Added;
  if (count > kMaxBookmarks) {
    result = AddResult::Full;
  } else if (value.size() > profile::kMaxStringRead) {
    result = AddResult::TooLong;  // it would come back without the end of its path
  } else if (!profile::WriteString(kBookMark, kMarkNum, Key(count), settingsPath_)) {
    result = AddResult::NotWritten;
  } else if (!profile::WriteString(kBookMark, Key(count), value, settingsPath_)) {
    profile::WriteString(kBookMark, kMarkNum, Key(count - 1), settingsPath_);
    result = AddResult::NotWritten;
  } else if (offset >= 0) {
    // Without its place the bookmark still opens at its page and line.
    profile::WriteString(kBookMarkPlace, Key(count), BookmarkPlaceValue(offset, prompt, value), settingsPath_);
  }
  LoadBookmarks();
  return result;
}

bool CConfigStore::MoveBookmarkPlaces(const std::string& path,
                                      const std::function<std::int64_t(std::int64_t)>& moved) {
  ReadBookmarks();
  std::vector<profile::Entry> entries;
  for (int k = 1; k <= BookmarkCount(); ++k) {
    const BookmarkFields& mark = Bookmark(k);
    if (mark.path != path || !mark.offset) continue;
    const auto i = static_cast<std::size_t>(k);
    entries.emplace_back(Key(k), BookmarkPlaceValue(moved(*mark.offset), mark.prompt, bookmarkValues_[i]));
  }
  if (entries.empty()) return true;  // the menus stay as they are
  const bool ok = profile::WriteStrings(kBookMarkPlace, entries, settingsPath_);
  LoadBookmarks();
  return ok;
}

bool CConfigStore::DeleteBookmark(int id) {
  ReadBookmarks();
  const int n = BookmarkCount();
  bool ok = true;
  if (id == 0) {
    ok = profile::WriteString(kBookMark, kMarkNum, "", settingsPath_);
    for (int k = 1; ok && k <= n; ++k) ok = profile::WriteString(kBookMark, Key(k), "", settingsPath_);
    std::vector<profile::Entry> places;
    for (int k = 1; k <= n; ++k) {
      if (!bookmarkPlaces_[static_cast<std::size_t>(k)].empty()) places.emplace_back(Key(k), "");
    }
    if (ok && !places.empty()) profile::WriteStrings(kBookMarkPlace, places, settingsPath_);
  } else {
    const int k = id - (cmd::kDeleteBookmarkFirst - 1);
    if (k >= 1 && k <= n) {
      std::vector<std::string> values = bookmarkValues_;
      values.erase(values.begin() + k);
      values.emplace_back();
      for (int j = 1; ok && j <= n; ++j) {
        ok = profile::WriteString(kBookMark, Key(j), values[static_cast<std::size_t>(j)],
                                  settingsPath_);
      }
      ok = ok && profile::WriteString(kBookMark, kMarkNum, Key(n - 1), settingsPath_);
      // The places move up with their bookmarks; each still names its bookmark's value.
      std::vector<std::string> places = bookmarkPlaces_;
      places.erase(places.begin() + k);
      places.emplace_back();
      std::vector<profile::Entry> entries;
      for (int j = k; j <= n; ++j) entries.emplace_back(Key(j), places[static_cast<std::size_t>(j)]);
      const bool anyPlace = std::any_of(bookmarkPlaces_.begin() + k, bookmarkPlaces_.end(),
                                        [](const std::string& place) { return !place.empty(); });
      if (ok && anyPlace) profile::WriteStrings(kBookMarkPlace, entries, settingsPath_);
    }
  }
  LoadBookmarks();
  return ok;
}

// The lists below are read and written in one pass of the file each: a key at a time
// would read the whole file once per record.
void CConfigStore::LoadReadRecords() {
  records_.clear();
  const profile::SectionReader section(kTimePad, settingsPath_);
  const int count = section.GetInt(kTimePadNum, 0);
  for (int i = 1; i <= count; ++i) {
    std::string value = section.GetString(Key(i), kMissing);
    if (value == kMissing) break;
    RecordFields fields = ParseRecord(value);
    records_.push_back({std::move(value), std::move(fields)});
  }
}

// The count and the record go in one write: a count naming a record that was never
// written would read an empty one.
bool CConfigStore::SaveReadRecord(int count, int number, const std::string& name,
                                  const std::string& total, const std::string& first,
                                  const std::string& last) {
  return profile::WriteStrings(
      kTimePad, {{kTimePadNum, Key(count)}, {Key(number), RecordValue(name, total, first, last)}},
      settingsPath_);
}

bool CConfigStore::DeleteReadRecord(int index) {
  const int n = ReadRecordCount();
  if (index < 0 || index >= n) return true;
  std::vector<profile::Entry> entries;
  entries.reserve(static_cast<std::size_t>(n) + 1);
  for (int j = 0; j < n; ++j) {
    const int from = j < index ? j : j + 1;  // the later records move up one key
    entries.emplace_back(Key(j + 1), from < n ? records_[static_cast<std::size_t>(from)].value
                                              : std::string());
  }
  entries.emplace_back(kTimePadNum, Key(n - 1));
  return profile::WriteStrings(kTimePad, entries, settingsPath_);
}

bool CConfigStore::DeleteAllReadRecords() {
  std::vector<profile::Entry> entries{{kTimePadNum, ""}};
  for (int i = 1; i <= ReadRecordCount(); ++i) entries.emplace_back(Key(i), "");
  return profile::WriteStrings(kTimePad, entries, settingsPath_);
}

}  // namespace varnelo
