// Where a bookmark stands in the book's bytes, kept beside the bookmark ([BookMarkPlace] of
// Config.ini) when it was added on a page shown re-flowed or cleaned: its stored line counts
// the lines shown then, which the book's own lines need not match. Up to 20 entries, the
// oldest overwritten; each "key|offset", the key naming the bookmark's book, page, mode and
// line. Readers that do not know the section ignore it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace varnelo {

inline constexpr int kBookmarkPlaces = 20;

std::string BookmarkPlaceKey(const std::string& path, long long page, long long mode, long long line);
// False when Config.ini could not be written.
bool KeepBookmarkPlace(const std::string& key, std::int64_t offset, const std::string& settingsPath);
std::optional<std::int64_t> BookmarkPlaceOf(const std::string& key, const std::string& settingsPath);

}  // namespace varnelo
