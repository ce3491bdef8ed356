#include "text/chapter_index.h"

namespace varnelo {

int PageHolding(const Pagination& pages, std::int64_t offset) {
  if (pages.pageCount <= 0) return 0;
  // Starts rise with the page number; an empty page shares its start with the next one,
  // and the later of them holds the bytes.
  int low = pages.mode == kChapterPaging ? 0 : 1;
  int high = pages.pageCount;
  while (low < high) {
    const int middle = low + (high - low + 1) / 2;
    if (pages.PageStart(middle) <= offset) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return low;
}

std::array<int, 7> HeadingCountsByRule(std::string_view text) {
  std::array<int, 7> counts{};
  for (int rule = kAutoChapterRule; rule <= 6; ++rule)
    counts[static_cast<std::size_t>(rule)] = PaginateByRule(text, rule).pageCount;
  return counts;
}

}  // namespace varnelo
