// Fast byte scans shared by loading, paging and the benchmarks.
// Every function stays inside [data, data + size) and never decodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "text/pass_progress.h"

namespace varnelo {

// Number of bytes whose value is 0x80 or above.
std::int64_t CountHighBytes(const unsigned char* data, std::size_t size);

// First offset o >= from with o + 1 < size, data[o] == b0 and data[o + 1] == b1;
// returns size when there is none.
std::size_t FindPair(const unsigned char* data, std::size_t size, std::size_t from,
                     unsigned char b0, unsigned char b1);

// Line paging's single pass: every `every`-th line feed among data[0, size - 1) (a line
// feed that is the last byte never counts) appends the offset after it to `starts`.
// Returns the number of high bytes in the whole range.
std::int64_t ScanPageBreaks(const unsigned char* data, std::size_t size, std::int64_t every,
                            std::vector<std::int64_t>& starts);

// ScanPageBreaks over the bytes as NormaliseBlankLines leaves them, rewriting them on the
// way: the rewrite and the page table cost one pass instead of three. Returns -1 when
// `progress` stopped it (the bytes then half rewritten).
std::int64_t NormaliseAndScanPageBreaks(unsigned char* data, std::size_t size, std::int64_t every,
                                        std::vector<std::int64_t>& starts,
                                        const PassProgress* progress = nullptr);

}  // namespace varnelo

