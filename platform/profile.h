// The five private-profile functions over an initialization file, with the semantics
// the stored Config.ini files rely on: names match without regard to letter case, a
// missing file or key gives the default, string reads return at most 4095 bytes, writes
// replace in place or append and never delete, and a write never leaves a half-written
// file (it goes to a temporary file that is renamed over the old one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace varnelo::profile {

// The path limit here: deep paths of three-byte characters would not fit in fewer, and a
// cut path loses its bookmark.
inline constexpr std::size_t kMaxStringRead = 4095;

int GetInt(std::string_view section, std::string_view key, int defaultValue,
           const std::string& path);
std::string GetString(std::string_view section, std::string_view key,
                      std::string_view defaultValue, const std::string& path);
bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                 const std::string& path);

// Several keys of one section in one read and one write of the file: the same bytes as
// writing them one by one in this order (a key given twice is written once, with its last
// value), but all or nothing. Any key or value WriteString would refuse refuses the whole list.
using Entry = std::pair<std::string, std::string>;
bool WriteStrings(std::string_view section, const std::vector<Entry>& entries,
                  const std::string& path);

// One section read once, for lists of many keys: each Get answers as the free function of
// the same name would have when the file was read.
class SectionReader {
 public:
  SectionReader(std::string_view section, const std::string& path);
  int GetInt(std::string_view key, int defaultValue) const;
  std::string GetString(std::string_view key, std::string_view defaultValue) const;

 private:
  std::optional<std::string> Find(std::string_view key) const;
  std::unordered_map<std::string, std::string> values_;  // by lower-case name, first wins
};

// False when the file is there but cannot be read (no permission, not a regular file): the
// reader then runs on the defaults, and every write refuses rather than replace it.
bool FileReadable(const std::string& path);

// How much file work these functions have done in this process: whole-file reads,
// whole-file writes and lines parsed. Tests compare the counts before and after a step.
struct Traffic {
  std::uint64_t fileReads = 0;
  std::uint64_t fileWrites = 0;
  std::uint64_t linesParsed = 0;
};
Traffic TrafficSoFar();
// Structure form: two uppercase hex digits per byte, then the byte-sum checksum.
bool GetStruct(std::string_view section, std::string_view key, void* data, std::size_t size,
               const std::string& path);
bool WriteStruct(std::string_view section, std::string_view key, const void* data,
                 std::size_t size, const std::string& path);

}  // namespace varnelo::profile
