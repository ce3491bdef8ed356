// Books in encodings other than GBK. The engine pages GB18030 bytes only, so a UTF-8, Big5
// or UTF-16 book is transcoded once at load into GB18030 (which holds all of Unicode), and
// an edit is written back in the book's own encoding into the file's own bytes. Pure C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/book_engine.h"

namespace varnelo {

enum class BookEncoding { Gbk, Utf8, Big5, Utf16Le, Utf16Be };

// "gbk", "utf-8", "big5", "utf-16le", "utf-16be": the names of the command line and of
// Config.ini.
std::string_view EncodingName(BookEncoding encoding);
// Letter case ignored; nothing for an unknown name.
std::optional<BookEncoding> EncodingFromName(std::string_view name);

// What the whole-file UTF-8 check found.
struct Utf8Census {
  std::int64_t multiByte = 0;  // valid characters of two to four bytes
  std::int64_t invalid = 0;    // bytes that start no valid character (a cut end not counted)
  bool cutAtEnd = false;       // the file ends inside a character
};
Utf8Census CountUtf8(std::string_view bytes);
// Valid UTF-8 with at least one multi-byte character, allowing a cut last character and at
// most one invalid byte per 10,000 valid multi-byte characters.
bool LooksLikeUtf8(const Utf8Census& census);

// The encoding a book is read in, and the length of its byte-order mark. `choice` is the
// user's choice for the book, if any: it wins, and only its own mark is skipped. Without a
// choice: the mark, then UTF-16 where its evidence is clear, then UTF-8, then Big5 from the
// detector, else GBK.
struct DetectedEncoding {
  BookEncoding encoding = BookEncoding::Gbk;
  std::size_t markLength = 0;
};
DetectedEncoding DetectEncoding(std::string_view bytes, std::optional<BookEncoding> choice);

// Where a character of the transcoded text begins in the text and in the file.
struct BookPosition {
  std::int64_t text = 0;
  std::int64_t file = 0;
};

// The transcoded text's way back to the file: a position every few kilobytes, from which
// any other is found by decoding forward.
struct BookForm {
  BookEncoding encoding = BookEncoding::Gbk;
  std::size_t markLength = 0;
  std::vector<BookPosition> marks;

  // The start of the character that holds text offset `text` (with `roundUp`, of the
  // character after it unless `text` starts one), found in `file`, the bytes this form was
  // made from. The text's end maps to the file's end.
  BookPosition Locate(std::string_view file, std::int64_t text, bool roundUp = false) const;
};

// Turns `bytes`, a whole file in `detected.encoding` (not GBK), into its GB18030 form, in
// place where it fits. A source byte that does not decode becomes one private character
// (U+10FF00 + byte) that turns back into that byte when saved.
BookForm TranscodeBook(std::string& bytes, const DetectedEncoding& detected);

// The file with an edit: `fileNow` is the file, `textNow` its GB18030 form made with `form`
// (before blank-line normalisation), `textEdited` that form with the edit. The changed range
// is encoded in the book's encoding and replaces the bytes it came from; every other byte,
// the mark included, is copied. `refused` names the first character the encoding cannot hold.
struct EncodedEdit {
  std::optional<std::string> file;
  char32_t refused = 0;
};
EncodedEdit EncodeEdit(std::string_view fileNow, const BookForm& form, std::string_view textNow,
                       std::string_view textEdited);

// Reads a book as the reader does: the file's bytes, the encoding (the user's `choice`
// first), then its GB18030 text in `text`. A book with the little-endian mark that the user
// chose to read as GBK is refused as Unicode. With `fileBytes`, the file's own bytes too.
// `progress` hears of the read and may stop it (Cancelled) while reading, or once read.
LoadStatus ReadBook(const std::string& path, std::optional<BookEncoding> choice,
                    std::string& text, BookForm& form, std::string* fileBytes = nullptr,
                    const PassProgress& progress = {});

// The encoding as the menu and the status bar name it: "GBK/GB18030", "UTF-8", "Big5",
// "UTF-16 LE", "UTF-16 BE".
const char* EncodingLabel(BookEncoding encoding);

// Text in the book's encoding (escaped bytes raw); nothing, and `refused` set, when a
// character does not fit.
std::optional<std::string> EncodeText(std::u32string_view text, BookEncoding encoding,
                                      char32_t* refused = nullptr);

}  // namespace varnelo
