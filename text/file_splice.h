// Many stretches of a book replaced in one pass: the bytes between them are copied from the
// file untouched, so a book keeps its encoding, its line breaks and every byte no stretch
// covers. Pure C++.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text/book_encoding.h"

namespace varnelo {

// Bytes [begin, end) of a book's GB18030 text become `bytes` (GB18030).
struct TextSplice {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string bytes;
  bool operator==(const TextSplice&) const = default;
};

// The file with every splice made: `fileNow` is the file, `textNow` its GB18030 form made
// with `form`. Each new stretch is written in the book's encoding in place of the file bytes
// its text came from. Splices must be in order, disjoint and on character boundaries of
// `textNow`: nothing is written otherwise. Nothing, and `refused` set, when the encoding
// cannot hold a character of a new stretch.
EncodedEdit SpliceBook(std::string_view fileNow, const BookForm& form, std::string_view textNow,
                       const std::vector<TextSplice>& splices);

}  // namespace varnelo
