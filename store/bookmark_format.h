// The values of [BookMark]: key "0" remembers the book and page open at the last exit,
// keys "1" to "9" are the user's bookmarks. Both carry the time they were written.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace varnelo {

inline constexpr int kMaxBookmarks = 9;

// "14:05,06/December": English month names in any locale. It holds a comma of its own.
std::string BookmarkTime(std::time_t moment);

// "<fileName>,P<page>,<time> ><path>"
std::string LastPositionValue(std::string_view fileName, int page, std::string_view time,
                              std::string_view path);
// "<title>,P<page>,<mode>,L<line>,<time> ><path>"
std::string BookmarkValue(std::string_view title, int page, std::string_view mode, int line,
                          std::string_view time, std::string_view path);

struct BookmarkFields {
  std::string title;  // the value up to and including its '>': the text the menus show
  std::string path;
  std::string page;  // as stored, digits
  std::string mode;  // empty for the last position
  std::string line;  // empty for the last position; "0" when a bookmark has none
  // Kept beside the value by this reader only: the byte offset of the bookmarked text, and
  // the chapter title and first words there (the menu item's prompt).
  std::optional<std::int64_t> offset;
  std::string prompt;
};

// A bookmark's place, under the bookmark's own key in [BookMarkPlace]:
// "<offset>,<check>,<prompt>", the check a hash of the bookmark's value, so that a list
// changed by a reader that keeps no places never lends one bookmark another's place.
std::string BookmarkPlaceValue(std::int64_t offset, std::string_view prompt,
                               std::string_view bookmarkValue);
// Sets `fields.offset` and `fields.prompt` from a stored place that belongs to `bookmarkValue`.
void ApplyBookmarkPlace(std::string_view stored, std::string_view bookmarkValue, BookmarkFields& fields);

// Splits a stored value. Names may hold commas and paths may hold '>', so the fields are
// taken from the end of the text before the '>' that ends the program's fixed fields. A
// value without those fields (edited by hand) is split as the fields' commas fall.
BookmarkFields ParseBookmark(std::string_view value, bool lastPosition);

// The leading decimal number of a stored field, as an integer read takes it: an optional
// sign, then digits; anything else reads as 0.
std::int64_t LeadingNumber(std::string_view text);

}  // namespace varnelo
