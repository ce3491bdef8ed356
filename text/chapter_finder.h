// The automatic chapter rule: the book's own headings, found by their shape and by how
// they run through the book, over the GB18030 bytes. A heading starts a line (after its
// spaces and full-width spaces) on a character boundary; the page starts there too.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "text/book_engine.h"

namespace varnelo {

// One heading, in book order.
struct FoundHeading {
  std::int64_t start = 0;        // first byte after the line's indentation
  std::uint8_t titleSkip = 0;    // bytes from start to the title ("正文 " before "第一回")
  std::uint8_t titleLength = 0;  // the title part, at most kMaxTitleBytes
  std::uint8_t level = 0;        // 0 outermost: 卷 at 0 over its 章 at 1
};

// Every heading the book's own style shows; empty when it shows no table of contents.
std::vector<FoundHeading> FindChapters(std::string_view text);

// A chapter table of headings in book order, from any rule that finds them as a list.
Pagination PaginationFromHeadings(std::string_view text, const std::vector<FoundHeading>& headings);

// Chapter paging by the automatic rule, before any fallback.
Pagination PaginateByFoundChapters(std::string_view text);

}  // namespace varnelo
