// The byte engine: a book is the file's bytes, never decoded. Every position is a byte
// offset into the buffer and every rule is a byte rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <optional>
#include <vector>

#include "text/pass_progress.h"

namespace varnelo {

// Paths are the system's own bytes; this is the one place the separator is chosen.
inline constexpr char kPathSeparator = '/';

// Bytes after the last separator.
std::string FileNameOf(std::string_view path);
// Bytes after the last separator and before the last dot; empty when that dot lies
// before the separator (or there is no dot).
std::string TitleOf(std::string_view path);
// Bytes before the last separator; empty when there is none.
std::string FolderOf(std::string_view path);

// ---- Loading -----------------------------------------------------------------------

enum class LoadStatus {
  Ok,
  Missing,     // cannot be opened for reading (or is not a regular file)
  Unreadable,  // opened, but the read failed
  TooLarge,    // 2 GiB or more: offsets are signed 32-bit in every stored format
  Empty,
  Unicode,     // starts with the UTF-16 little-endian mark FF FE
  Cancelled,   // stopped by the caller's progress: nothing to tell the user
};

// The user-facing text of a refusal (UTF-8); empty for Ok.
const char* LoadMessage(LoadStatus status);

// Largest book accepted, in bytes (2 GiB - 1).
inline constexpr std::int64_t kMaxBookBytes = 0x7FFFFFFF;

// Reads the whole file read-only into `bytes` and applies the refusals in the reader's
// order: missing, empty, UTF-16 mark (unless `keepUnicodeMark`: the encoding decides).
// On any refusal `bytes` is left empty. `progress` hears of the bytes read so far.
LoadStatus ReadBookFile(const std::string& path, std::string& bytes, bool keepUnicodeMark = false,
                        const PassProgress& progress = {});

// Turns every CR LF pair after the first of a run into two spaces, in place, within the
// reader's bounds (nothing at or beyond offset N - 18 changes). Only for N > 20.
void NormaliseBlankLines(std::string& bytes);

// ---- Paging ------------------------------------------------------------------------

enum PagingMode : int { kLinePaging = 0, kChapterPaging = 1 };

inline constexpr int kLinesPerPage = 50;
inline constexpr int kMinChapters = 10;
inline constexpr std::size_t kMaxTitleBytes = 100;
inline constexpr std::size_t kMaxHeadingSpan = 19;
inline constexpr unsigned char kChapterMarker[2] = {0xB5, 0xDA};  // 第 in GBK

// The automatic rule finds the book's own headings (text/chapter_finder.h); it is the rule
// of a reader with none stored, and pages by chapters from two of them on.
inline constexpr int kAutoChapterRule = 0;
inline constexpr int kMinFoundChapters = 2;
// The user's own rules (a regular expression for a heading line) are numbered from here:
// kFirstUserRule + the rule's id. The engine cannot run them; the view asks for their headings.
inline constexpr int kFirstUserRule = 1000;
inline constexpr int kLastUserRule = 999999;
bool IsUserChapterRule(int rule);
// A stored rule: 1 to 6 and the user's rules as they are, anything else the automatic rule.
int StoredChapterRule(int stored);

// The rule character (GBK bytes) of chapter rule 1 to 6; any other rule reads as rule 1.
struct RuleCharacter {
  unsigned char first;
  unsigned char second;
};
RuleCharacter SelectRuleCharacter(int rule);
int ValidChapterRule(int rule);

// The page table of one paging pass. Entry k of `starts` is where page k begins; entry 0
// is always 0. Page k ends where page k + 1 starts, the last page at the text length.
// A chapter's title is the heading the chapter starts with, so the table keeps only its
// length and the bytes stay in the book: a book of nothing but headings costs 9 bytes a
// chapter here, not a string each.
struct Pagination {
  int mode = kLinePaging;
  int pageCount = 0;
  std::vector<std::int64_t> starts{0};
  std::vector<std::uint8_t> titleLengths{0};  // chapter paging only; entry 0 is 0
  // Found headings only (empty for the six rules): where the title begins after the
  // start ("正文 " before "第一回"), and the heading's level (0 outermost).
  std::vector<std::uint8_t> titleSkips;
  std::vector<std::uint8_t> levels;
  std::int64_t charCount = 0;                 // high bytes / 2
  int firstPage = 1;                          // the page a fresh pass opens on
  bool fellBack = false;                      // chapter pass fell back to lines

  std::int64_t PageStart(int page) const;
  std::int64_t PageEnd(int page, std::int64_t textLength) const;
  bool HasPage(int page) const;  // 0..pageCount in chapter paging, 1..pageCount in lines
  // The one way to a chapter's title: bytes of `text`, the book this table was made from.
  // Empty outside chapter paging and for a page the table does not hold.
  std::string_view TitleOf(std::string_view text, int page) const;
  int LevelOf(int page) const;
  // What the table itself holds in memory, beyond the book.
  std::size_t StorageBytes() const;
};
static_assert(kMaxTitleBytes <= UINT8_MAX, "a title's length fits its byte");

// A new page after every 50th line feed that is not the last byte.
Pagination PaginateByLines(std::string_view text);
// NormaliseBlankLines and then PaginateByLines, in one pass over the bytes: what a book
// paged by lines costs at load.
Pagination NormaliseAndPaginateByLines(std::string& bytes);
// The same, nothing when `progress` stopped it (the bytes then half rewritten).
std::optional<Pagination> NormaliseAndPaginateByLines(std::string& bytes, const PassProgress& progress);

// Chapter headings by `rule`, with no fallback: the page count may be below 10.
Pagination PaginateByChapters(std::string_view text, int rule);

// The chapter pass of any rule, the automatic one included, with no fallback; a user's
// rule here is the automatic one.
Pagination PaginateByRule(std::string_view text, int rule);
// The fewest chapters `rule` pages by: two for the automatic rule and the user's own.
int MinChaptersOf(int rule);

// The reader's paging step: chapter paging falls back to line paging below 10 chapters
// under the six rules, below 2 under the automatic one.
Pagination Paginate(std::string_view text, int mode, int rule);

// The bytes the pane shows for page k: LF LF becomes CR LF. Empty for a page the table
// does not hold.
// At most `limit` bytes of it: a page of a book without line ends can be the whole book.
std::string PageText(std::string_view text, const Pagination& pages, int page,
                     std::size_t limit = std::string::npos);

}  // namespace varnelo
