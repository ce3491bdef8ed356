// What the passes over a book's bytes share when they read it 64 bytes at a time.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>

namespace varnelo {

// The top bits of four 16-byte comparisons as one 64-bit mask, the first in the low bits.
inline std::uint64_t Mask64(__m128i m0, __m128i m1, __m128i m2, __m128i m3) {
  const auto bits = [](__m128i m) { return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(m))); };
  return bits(m0) | bits(m1) << 16 | bits(m2) << 32 | bits(m3) << 48;
}

// Counts the bytes from 0x80 up, a 64-byte block at a time: a counter per lane, summed into
// the total before any counter can pass 255 (four a block, 63 blocks).
class HighByteTally {
 public:
  void Add(__m128i c0, __m128i c1, __m128i c2, __m128i c3) {
    counters_ = _mm_sub_epi8(counters_, _mm_cmplt_epi8(c0, zero_));
    counters_ = _mm_sub_epi8(counters_, _mm_cmplt_epi8(c1, zero_));
    counters_ = _mm_sub_epi8(counters_, _mm_cmplt_epi8(c2, zero_));
    counters_ = _mm_sub_epi8(counters_, _mm_cmplt_epi8(c3, zero_));
    if (++blocks_ == 63) Fold();
  }
  std::int64_t Total() {
    Fold();
    return total_;
  }

 private:
  void Fold() {
    const __m128i sums = _mm_sad_epu8(counters_, zero_);
    total_ += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
    counters_ = zero_;
    blocks_ = 0;
  }

  const __m128i zero_ = _mm_setzero_si128();
  __m128i counters_ = zero_;
  int blocks_ = 0;
  std::int64_t total_ = 0;
};

}  // namespace varnelo

#endif
