// The five private-profile functions over an initialization file, with the semantics
// the stored Config.ini files rely on: names match without regard to letter case, a
// missing file or key gives the default, string reads return at most 4095 bytes, writes
// replace in place or append and never delete, and a write never leaves a half-written
// file (it goes to a temporary file that is renamed over the old one).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

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
// Structure form: two uppercase hex digits per byte, then the byte-sum checksum.
bool GetStruct(std::string_view section, std::string_view key, void* data, std::size_t size,
               const std::string& path);
bool WriteStruct(std::string_view section, std::string_view key, const void* data,
                 std::size_t size, const std::string& path);

}  // namespace varnelo::profile
