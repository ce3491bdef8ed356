// Finding words anywhere in the book, in its bytes. The buffer is GB18030 (GBK is part of
// it), so a match must begin and end on character boundaries: a byte pair made of the
// second byte of one character and the first of the next is no match. Nothing is decoded;
// boundaries come from the byte classes alone.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace varnelo {

inline constexpr std::size_t kNoMatch = static_cast<std::size_t>(-1);
// "查找全部" lists at most this many matches.
inline constexpr std::size_t kMaxListedMatches = 10000;

// Bytes of the character starting at `at`: 1 (ASCII, or a byte that starts no valid
// sequence), 2 or 4.
std::size_t CharLengthAt(std::string_view text, std::size_t at);
// The nearest character start at or before `at`, found without walking from the start.
std::size_t CharBoundaryAtOrBefore(std::string_view text, std::size_t at);

// What to look for: the words' bytes in the book's code page, and whether letter case
// counts. Without it only letters fold: ASCII letters that are characters of their own and
// full-width letters (Ａ and ａ); other double-byte characters are compared as they are.
struct BookQuery {
  std::string bytes;
  bool matchCase = false;
};

// The first match starting at or after `from`, or kNoMatch.
std::size_t FindForward(std::string_view text, const BookQuery& query, std::size_t from);
// The last match starting before `before`, or kNoMatch.
std::size_t FindBackward(std::string_view text, const BookQuery& query, std::size_t before);

struct MatchList {
  std::vector<std::size_t> starts;
  bool capped = false;  // more matches than `limit` exist
};
// Every match in order, at most `limit`. Matches do not overlap: the next one is looked
// for after the end of the previous.
MatchList FindAllMatches(std::string_view text, const BookQuery& query,
                         std::size_t limit = kMaxListedMatches);

}  // namespace varnelo
