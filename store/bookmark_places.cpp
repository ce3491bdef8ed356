#include "store/bookmark_places.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/profile.h"
#include "store/config_schema.h"

namespace varnelo {

std::string BookmarkPlaceKey(const std::string& path, long long page, long long mode, long long line) {
  const std::string text = path + '\n' + std::to_string(page) + '\n' + std::to_string(mode) + '\n' +
                           std::to_string(line);
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return hex;
}

bool KeepBookmarkPlace(const std::string& key, std::int64_t offset, const std::string& settingsPath) {
  using namespace config_names;
  const int next = std::clamp(profile::GetInt(kBookMarkPlace, kPlaceNext, 0, settingsPath), 0,
                              kBookmarkPlaces - 1);
  return profile::WriteStrings(kBookMarkPlace,
                               {{std::to_string(next + 1), key + "|" + std::to_string(offset)},
                                {kPlaceNext, std::to_string((next + 1) % kBookmarkPlaces)}},
                               settingsPath);
}

std::optional<std::int64_t> BookmarkPlaceOf(const std::string& key, const std::string& settingsPath) {
  using namespace config_names;
  const profile::SectionReader section(kBookMarkPlace, settingsPath);
  std::optional<std::int64_t> found;
  const int newest = std::clamp(section.GetInt(kPlaceNext, 0), 0, kBookmarkPlaces - 1);
  // From the oldest to the newest: the newest entry of a key wins.
  for (int k = 0; k < kBookmarkPlaces; ++k) {
    const int slot = (newest + k) % kBookmarkPlaces + 1;
    const std::string entry = section.GetString(std::to_string(slot), "");
    if (entry.size() <= key.size() + 1 || entry.compare(0, key.size(), key) != 0 || entry[key.size()] != '|')
      continue;
    char* end = nullptr;
    const long long offset = std::strtoll(entry.c_str() + key.size() + 1, &end, 10);
    if (*end == '\0' && offset >= 0) found = offset;
  }
  return found;
}

}  // namespace varnelo
