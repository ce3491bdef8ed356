#include "store/bookmark_format.h"

#include <algorithm>
#include <optional>

#include "platform/clock.h"

namespace varnelo {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (const char c : s) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

bool IsInteger(std::string_view s) {
  if (!s.empty() && s.front() == '-') s.remove_prefix(1);
  return AllDigits(s);
}

// "14:05" and "06/December", the two halves of the time of writing.
bool IsClock(std::string_view s) {
  const std::size_t colon = s.find(':');
  return colon != std::string_view::npos && AllDigits(s.substr(0, colon)) &&
         AllDigits(s.substr(colon + 1));
}

bool IsDate(std::string_view s) {
  const std::size_t slash = s.find('/');
  return slash != std::string_view::npos && AllDigits(s.substr(0, slash)) &&
         slash + 1 < s.size();
}

// Takes the last comma-separated field off `head`; nothing when no comma is left.
std::optional<std::string_view> PopField(std::string_view& head) {
  const std::size_t comma = head.rfind(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const std::string_view field = head.substr(comma + 1);
  head = head.substr(0, comma);
  return field;
}

// The fixed fields at the end of the text before a '>', read backwards; what is left in
// front of them is the name, whatever it holds.
std::optional<BookmarkFields> ParseFixedFields(std::string_view head, bool lastPosition) {
  if (!head.empty() && head.back() == ' ') head.remove_suffix(1);
  const auto date = PopField(head);
  const auto clock = PopField(head);
  if (!date || !clock || !IsDate(*date) || !IsClock(*clock)) return std::nullopt;
  BookmarkFields fields;
  if (!lastPosition) {
    auto field = PopField(head);
    if (!field) return std::nullopt;
    // Bookmarks of an older form have no line field.
    if (field->size() > 1 && field->front() == 'L' && IsInteger(field->substr(1))) {
      fields.line = std::string(field->substr(1));
      field = PopField(head);
      if (!field) return std::nullopt;
    } else {
      fields.line.assign(1, '0');  // assigning "0" trips a false -Wrestrict in GCC 12
    }
    if (!IsInteger(*field)) return std::nullopt;
    fields.mode = std::string(*field);
  }
  const auto page = PopField(head);
  if (!page || page->size() < 2 || page->front() != 'P' || !IsInteger(page->substr(1))) {
    return std::nullopt;
  }
  fields.page = std::string(page->substr(1));
  return fields;
}

// The bytes from `first`, at most `count` of them; nothing for a negative count.
std::string Mid(std::string_view s, std::size_t first, std::ptrdiff_t count) {
  if (count <= 0 || first >= s.size()) return {};
  return std::string(s.substr(first, static_cast<std::size_t>(count)));
}

// A value without the fixed fields: the title is the last text ending in '>', the path
// follows the last '>', and the fields lie between the first four commas.
BookmarkFields ParseByCommaPositions(std::string_view value, bool lastPosition) {
  BookmarkFields fields;
  std::size_t runStart = 0;
  std::size_t commas[4] = {0, 0, 0, 0};  // a comma the value lacks counts as position 0
  int found = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '>') {
      fields.title = std::string(value.substr(runStart, i + 1 - runStart));
      runStart = i + 1;
    } else if (value[i] == ',' && found < 4) {
      commas[found++] = i;
    }
  }
  fields.path = std::string(value.substr(runStart));
  const auto span = [](std::size_t from, std::size_t to) {
    return static_cast<std::ptrdiff_t>(to) - static_cast<std::ptrdiff_t>(from);
  };
  fields.page = Mid(value, commas[0] + 2, span(commas[0] + 2, commas[1]));
  if (lastPosition) return fields;
  fields.mode = Mid(value, commas[1] + 1, span(commas[1] + 1, commas[2]));
  const bool hasLine = commas[2] + 1 < value.size() && value[commas[2] + 1] == 'L';
  fields.line = hasLine ? Mid(value, commas[2] + 2, span(commas[2] + 2, commas[3])) : "0";
  return fields;
}

}  // namespace

std::string BookmarkTime(std::time_t moment) { return FormatLocalTime(moment, "%H:%M,%d/%B"); }

std::string LastPositionValue(std::string_view fileName, int page, std::string_view time,
                              std::string_view path) {
  std::string value(fileName);
  value.append(",P").append(std::to_string(page)).append(",").append(time);
  value.append(" >").append(path);
  return value;
}

std::string BookmarkValue(std::string_view title, int page, std::string_view mode, int line,
                          std::string_view time, std::string_view path) {
  std::string value(title);
  value.append(",P").append(std::to_string(page)).append(",").append(mode);
  value.append(",L").append(std::to_string(line)).append(",").append(time);
  value.append(" >").append(path);
  return value;
}

BookmarkFields ParseBookmark(std::string_view value, bool lastPosition) {
  for (std::size_t at = value.find('>'); at != std::string_view::npos;
       at = value.find('>', at + 1)) {
    if (auto fields = ParseFixedFields(value.substr(0, at), lastPosition)) {
      fields->title = std::string(value.substr(0, at + 1));
      fields->path = std::string(value.substr(at + 1));
      return *fields;
    }
  }
  return ParseByCommaPositions(value, lastPosition);
}

namespace {

// FNV-1a: the check only has to tell values apart, not resist anyone.
std::string CheckOf(std::string_view value) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : value) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  static const char kHex[] = "0123456789ABCDEF";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) text[static_cast<std::size_t>(i)] = kHex[hash & 15];
  return text;
}

}  // namespace

std::string BookmarkPlaceValue(std::int64_t offset, std::string_view prompt,
                               std::string_view bookmarkValue) {
  return std::to_string(offset) + "," + CheckOf(bookmarkValue) + "," + std::string(prompt);
}

void ApplyBookmarkPlace(std::string_view stored, std::string_view bookmarkValue, BookmarkFields& fields) {
  const std::size_t first = stored.find(',');
  if (first == std::string_view::npos || first == 0) return;
  const std::string_view check = stored.substr(first + 1, 16);
  if (check != CheckOf(bookmarkValue) || stored.size() < first + 18 || stored[first + 17] != ',') return;
  const std::string_view digits = stored.substr(0, first);
  if (!std::all_of(digits.begin(), digits.end(), IsDigit)) return;
  fields.offset = LeadingNumber(digits);
  fields.prompt = std::string(stored.substr(first + 18));
}

std::int64_t LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) i = 1;
  std::int64_t value = 0;
  constexpr std::int64_t kCeiling = 100'000'000'000'000'000;  // long digit runs stop here
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    if (value < kCeiling) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

}  // namespace varnelo
