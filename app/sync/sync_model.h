// What one computer tells another about a book: a document of items (the place, the paging,
// the encoding, each bookmark), each with the time it was made and the computer it came
// from, and the reading periods that make up the book's reading time. A book is known by
// its text, not its path, so the same novel in another folder or encoding is the same book.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace varnelo::sync {

// Characters hashed for a book's key: enough to tell books apart, cheap on a long novel.
inline constexpr std::size_t kKeyCharacters = 4096;

// Characters of GB18030 text (the engine's form of every book, whatever its file's
// encoding), a line end of any style (CR LF, LF, CR) counting as one.
std::int64_t CharacterCount(std::string_view text);
// The character index of byte offset `offset`, and back: the place two copies share.
std::int64_t CharacterIndexOf(std::string_view text, std::int64_t offset);
// Byte offset of character `index` (clamped to the text).
std::int64_t ByteOffsetOf(std::string_view text, std::int64_t index);
// "<16 hex digits>-<characters>": a hash of the first characters, line ends as LF, and the
// length in characters. The same for a GBK and a UTF-8 copy of one text.
std::string BookKey(std::string_view text);

struct Item {
  std::string value;  // empty: removed (a deleted bookmark)
  std::int64_t time = 0;  // seconds since the epoch
  std::string host;
  bool operator==(const Item&) const = default;
};

// One reading period: `seconds` read on `host`, noted at `start`. Its identity is host and
// start, so merging the same period twice counts it once.
struct PeriodId {
  std::string host;
  std::int64_t start = 0;
  auto operator<=>(const PeriodId&) const = default;
};

struct Document {
  std::map<std::string, Item> items;
  std::map<PeriodId, std::int64_t> periods;
  bool operator==(const Document&) const = default;

  std::int64_t TotalSeconds() const;
};

// Item names.
inline constexpr char kPlace[] = "place";        // character index of the top of the pane
inline constexpr char kMode[] = "mode";          // paging mode
inline constexpr char kRule[] = "rule";          // chapter rule
inline constexpr char kEncoding[] = "encoding";  // the encoding the user chose
inline constexpr char kRecordName[] = "record";  // the book has a reading-time record
inline constexpr char kMarkPrefix[] = "mark.";   // "mark.<character index>"
inline constexpr char kRules[] = "rules";        // the user's chapter rules (global document)
inline constexpr char kCleanPrefix[] = "clean.";  // a replace rule (global document)
inline constexpr char kCleanBuiltIn[] = "clean.builtin";  // the built-in replace rules off

// Per item, the newer wins; at the same second the greater host, so both sides agree.
// Periods are the union.
Document Merge(const Document& a, const Document& b);

// Sets `name` to `value` at `time` from `host` when it differs from what the document
// holds. True when it changed.
bool Note(Document& doc, const std::string& name, const std::string& value, std::int64_t time,
          const std::string& host);

// The stored form, an INI document:
//   [Items]    name=<time>,<host>,<value>   (value escaped: \\ \n \r)
//   [Periods]  <start>.<host>=<seconds>
std::string Serialize(const Document& doc);
// Nothing when the text is not such a document (a broken reply, a hand-edited file): a
// broken document is never merged, so it cannot wipe anything.
std::optional<Document> Parse(std::string_view text);

// A computer's name as a document keeps it: no commas, '=', line ends or brackets.
std::string CleanHost(std::string_view host);

}  // namespace varnelo::sync
