// The five private-profile functions over an initialization file, with the semantics
// the stored Config.ini files rely on: names match without regard to letter case, a
// missing file or key gives the default, string reads return at most 4095 bytes, writes
// replace in place or append and never delete, and a write never leaves a half-written
// file (it goes to a temporary file that is renamed over the old one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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
// The number GetInt reads from a stored value: its leading decimal number, wrapping at 32
// bits; 0 when there is none.
int IntOfText(std::string_view value);
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

// One operation on the file (the start, the exit save, a book's place kept): the file is
// read and parsed once, when first needed, and every call on `path` within the operation
// answers from that reading, so the operation costs one pass however many keys it touches.
// Outside a session every call goes to the file. Immediate writes go to the file at once
// (the session's reading follows them); deferred writes change the reading only and Commit
// writes the file once, atomically. A session opened while one on the same path is open
// joins it and does nothing of its own. Sessions belong to the thread that opens them.
class Session {
 public:
  enum class Writes { Immediate, Deferred };
  explicit Session(const std::string& path, Writes writes = Writes::Immediate);
  ~Session();  // commits what is still deferred
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  // Writes what was deferred. False when the file could not be written or read.
  bool Commit();

  struct State;

 private:
  std::unique_ptr<State> state_;  // null when joined to an outer session
};

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
