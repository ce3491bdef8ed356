#include "text/byte_scan.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace varnelo {

std::int64_t CountHighBytes(const unsigned char* data, std::size_t size) {
  std::int64_t high = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Subtract the 0/-1 comparison masks into byte counters; fold them with a sum of
  // absolute differences before any counter can overflow (255 steps).
  const __m128i zero = _mm_setzero_si128();
  while (i + 16 <= size) {
    __m128i counters = zero;
    const std::size_t steps = std::min<std::size_t>((size - i) / 16, 255);
    for (std::size_t s = 0; s < steps; ++s, i += 16) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
      counters = _mm_sub_epi8(counters, _mm_cmplt_epi8(chunk, zero));
    }
    const __m128i sums = _mm_sad_epu8(counters, zero);
    high += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
  }
#endif
  for (; i < size; ++i) high += data[i] >= 0x80 ? 1 : 0;
  return high;
}

std::size_t FindPair(const unsigned char* data, std::size_t size, std::size_t from,
                     unsigned char b0, unsigned char b1) {
  if (size < 2 || from > size - 2) return size;
  std::size_t i = from;
  const std::size_t lastStart = size - 2;  // a pair must fit
#if defined(__SSE2__)
  const __m128i first = _mm_set1_epi8(static_cast<char>(b0));
  const __m128i second = _mm_set1_epi8(static_cast<char>(b1));
  // Each step tests the pairs starting at i .. i + 15; the second load reads up to i + 16.
  for (; i + 17 <= size; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 1));
    const unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, second))));
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(mask));
  }
#endif
  for (; i <= lastStart; ++i) {
    const void* hit = std::memchr(data + i, b0, lastStart - i + 1);
    if (hit == nullptr) return size;
    i = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - data);
    if (data[i + 1] == b1) return i;
  }
  return size;
}

std::int64_t ScanPageBreaks(const unsigned char* data, std::size_t size, std::int64_t every,
                            std::vector<std::int64_t>& starts) {
  const std::int64_t high = CountHighBytes(data, size);
  if (size == 0 || every <= 0) return high;
  const std::size_t limit = size - 1;  // the last byte never opens a page
  std::int64_t seen = 0;
  std::int64_t nextBreak = every;
  auto takeMask = [&](std::uint64_t mask, std::size_t base) {
    // Only a block that reaches the next break needs its line feeds one by one.
    const auto count = static_cast<std::int64_t>(__builtin_popcountll(mask));
    if (seen + count < nextBreak) {
      seen += count;
      return;
    }
    while (mask != 0) {
      const std::size_t at = base + static_cast<std::size_t>(__builtin_ctzll(mask));
      mask &= mask - 1;
      if (++seen == nextBreak) {
        starts.push_back(static_cast<std::int64_t>(at + 1));
        nextBreak += every;
      }
    }
  };
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i lineFeed = _mm_set1_epi8('\n');
  for (; i + 64 <= limit; i += 64) {
    const auto* p = reinterpret_cast<const __m128i*>(data + i);
    const auto m0 = static_cast<std::uint64_t>(static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(p), lineFeed))));
    const auto m1 = static_cast<std::uint64_t>(static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(p + 1), lineFeed))));
    const auto m2 = static_cast<std::uint64_t>(static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(p + 2), lineFeed))));
    const auto m3 = static_cast<std::uint64_t>(static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(p + 3), lineFeed))));
    const std::uint64_t mask = m0 | (m1 << 16) | (m2 << 32) | (m3 << 48);
    if (mask != 0) takeMask(mask, i);
  }
#endif
  for (; i < limit; i += 64) {
    std::uint64_t mask = 0;
    const std::size_t n = std::min<std::size_t>(64, limit - i);
    for (std::size_t j = 0; j < n; ++j)
      if (data[i + j] == '\n') mask |= std::uint64_t{1} << j;
    if (mask != 0) takeMask(mask, i);
  }
  return high;
}

}  // namespace varnelo
