// Fast byte scans shared by loading, paging and the benchmarks.
// Every function stays inside [data, data + size) and never decodes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varnelo {

// Number of bytes whose value is 0x80 or above.
std::int64_t CountHighBytes(const unsigned char* data, std::size_t size);

// First offset o >= from with o + 1 < size, data[o] == b0 and data[o + 1] == b1;
// returns size when there is none.
std::size_t FindPair(const unsigned char* data, std::size_t size, std::size_t from,
                     unsigned char b0, unsigned char b1);

// Calls onLineFeed(offset) for every LF in order and returns the count of high bytes,
// in one pass over the bytes.
template <typename OnLineFeed>
std::int64_t ScanLinesAndHighBytes(const unsigned char* data, std::size_t size,
                                   OnLineFeed&& onLineFeed);

}  // namespace varnelo

#include "text/byte_scan_inl.h"
