// The chapter list's facts from the byte engine: which page holds a byte offset, and how
// many headings each chapter rule finds.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "text/book_engine.h"

namespace varnelo {

// The page whose bytes hold `offset`: the last page starting at or before it, never
// below the mode's first page (1 in line paging). 0 for an empty table.
int PageHolding(const Pagination& pages, std::int64_t offset);

// Entry n: the headings rule n finds (0 the automatic rule), before any fallback.
std::array<int, 7> HeadingCountsByRule(std::string_view text);

}  // namespace varnelo
