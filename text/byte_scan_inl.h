// Template part of byte_scan.h.
#pragma once

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace varnelo {

template <typename OnLineFeed>
std::int64_t ScanLinesAndHighBytes(const unsigned char* data, std::size_t size,
                                   OnLineFeed&& onLineFeed) {
  std::int64_t high = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  // 16 bytes a step: one mask for line feeds, one for high bits.
  const __m128i lineFeed = _mm_set1_epi8('\n');
  for (; i + 16 <= size; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    high += __builtin_popcount(static_cast<unsigned>(_mm_movemask_epi8(chunk)));
    unsigned lf = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, lineFeed)));
    while (lf != 0) {
      onLineFeed(i + static_cast<std::size_t>(__builtin_ctz(lf)));
      lf &= lf - 1;
    }
  }
#endif
  for (; i < size; ++i) {
    if (data[i] >= 0x80) ++high;
    if (data[i] == '\n') onLineFeed(i);
  }
  return high;
}

}  // namespace varnelo
