// Every book's own place: where the top of the pane was when the reader left the book, and
// the paging mode and chapter rule it was read in. [BookPlace] holds PlaceNum and keys "1"
// to PlaceNum, one book each as "<serial>,<offset>,<mode>,<rule> ><path>" (a place kept
// before rules were kept has no ",<rule>": its book takes the reader's rule); the serial grows with every write, so
// the newest place has the largest and the oldest is the one given up for a new book
// beyond 100. Only the key of the book that changed is written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnelo {

inline constexpr int kMaxBookPlaces = 100;
// Far beyond the books anyone reads, far below where adding one overflows.
inline constexpr std::int64_t kHighestPlaceSerial = std::int64_t{1} << 52;
inline constexpr std::size_t kRecentBooksListed = 10;
inline constexpr int kNoRuleKept = -1;

struct BookPlace {
  std::int64_t serial = 0;
  std::int64_t offset = 0;  // byte offset of the top of the pane
  int mode = 0;             // paging mode the book was read in
  std::string path;
  int rule = kNoRuleKept;   // chapter rule the book was read in
  bool operator==(const BookPlace&) const = default;
};

std::string BookPlaceValue(const BookPlace& place);
// Nothing for a value this program would not have written (edited by hand).
std::optional<BookPlace> ParseBookPlace(std::string_view value);

class BookPlaces {
 public:
  void SetSettingsPath(std::string path) { settingsPath_ = std::move(path); }

  // Reads PlaceNum (held to 0 to 100) and its keys; unreadable entries are free slots.
  void Load();
  std::optional<BookPlace> Find(std::string_view path) const;
  // The places read last, newest first, at most `count`.
  std::vector<BookPlace> Newest(std::size_t count) const;
  // Reads the list again, then writes this book's place into its own slot, a free one, a
  // new one, or the oldest book's when 100 are kept, with a serial above every other. False
  // when it could not be written (a path too long for the profile read is not kept either).
  bool Keep(const std::string& path, std::int64_t offset, int mode, int rule = kNoRuleKept);

 private:
  std::string settingsPath_;
  std::vector<std::optional<BookPlace>> slots_;  // slot k - 1 is key k
};

}  // namespace varnelo
