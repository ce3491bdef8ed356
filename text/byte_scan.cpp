#include "text/byte_scan.h"

#include <algorithm>
#include <cstring>

#include "text/byte_blocks.h"

namespace varnelo {

std::int64_t CountHighBytes(const unsigned char* data, std::size_t size) {
  std::int64_t high = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  HighByteTally tally;
  for (; i + 64 <= size; i += 64) {
    const auto* p = reinterpret_cast<const __m128i*>(data + i);
    tally.Add(_mm_loadu_si128(p), _mm_loadu_si128(p + 1), _mm_loadu_si128(p + 2), _mm_loadu_si128(p + 3));
  }
  high = tally.Total();
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

namespace {

// Bits set, without a call into the runtime where the CPU's own instruction is not assumed.
inline std::int64_t PopCount(std::uint64_t x) {
#if defined(__POPCNT__)
  return __builtin_popcountll(x);
#else
  x -= (x >> 1) & 0x5555555555555555ULL;
  x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<std::int64_t>((x * 0x0101010101010101ULL) >> 56);
#endif
}

// Every `every`-th line feed appends the offset after it to `starts`.
struct BreakCounter {
  std::int64_t every;
  std::vector<std::int64_t>& starts;
  std::int64_t seen = 0;
  std::int64_t nextBreak = every;

  void Take(std::uint64_t mask, std::size_t base) {
    // Only a block that reaches the next break needs its line feeds one by one.
    const std::int64_t count = PopCount(mask);
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
  }
};

// The blank-line rewrite of the run whose CR LF CR starts at c (NormaliseBlankLines):
// returns where the run ends. Bytes before that end are no longer the start of a run.
std::size_t RewriteRun(unsigned char* b, std::size_t c, std::size_t pairBound) {
  const std::size_t q = c + 2;
  b[q] = ' ';
  b[q + 1] = ' ';  // whatever it was: the pair is rewritten as a whole
  std::size_t r = q + 2;
  for (; r < pairBound && b[r] == '\r' && b[r + 1] == '\n'; r += 2) {
    b[r] = ' ';
    b[r + 1] = ' ';
  }
  return r;
}

// Line feeds and high bytes in one pass, with the blank-line rewrite on the way when
// kRewrite. A block of 64 bytes is rewritten first and counted after: a run rewrites only
// bytes after its own start, so no later run can change a block already counted.
template <bool kRewrite>
std::int64_t ScanLines(unsigned char* data, std::size_t size, std::int64_t every,
                       std::vector<std::int64_t>& starts, const PassProgress* progress = nullptr) {
  // Asked at every step's multiple of bytes: the blocks of 64 land on each one exactly, and
  // the byte loop asks where the blocks stop short of one.
  static_assert(kPassProgressStep % 64 == 0);
  const auto stopped = [&](std::size_t at) {
    return progress != nullptr && at != 0 && at % kPassProgressStep == 0 &&
           !(*progress)(static_cast<std::int64_t>(at), static_cast<std::int64_t>(size));
  };
  if (size == 0) return 0;
  const bool rewrite = kRewrite && size > 20;
  const std::size_t lastRun = rewrite ? size - 21 : 0;  // the last CR LF CR may start here
  const std::size_t pairBound = rewrite ? size - 20 : 0;
  std::size_t resume = 0;  // runs found before it lie inside one already rewritten
  const std::size_t limit = size - 1;  // the last byte never opens a page
  const bool paging = every > 0;
  BreakCounter breaks{every, starts};
  std::int64_t high = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  HighByteTally tally;
  // Each block looks two bytes past its end for a run's CR LF CR.
  for (; i + 66 <= size; i += 64) {
    if (stopped(i)) return -1;
    const auto* p = reinterpret_cast<const __m128i*>(data + i);
    __m128i c0 = _mm_loadu_si128(p), c1 = _mm_loadu_si128(p + 1);
    __m128i c2 = _mm_loadu_si128(p + 2), c3 = _mm_loadu_si128(p + 3);
    std::uint64_t lines = Mask64(_mm_cmpeq_epi8(c0, lf), _mm_cmpeq_epi8(c1, lf), _mm_cmpeq_epi8(c2, lf),
                                 _mm_cmpeq_epi8(c3, lf));
    if (rewrite && i <= lastRun) {
      const std::uint64_t returns = Mask64(_mm_cmpeq_epi8(c0, cr), _mm_cmpeq_epi8(c1, cr),
                                           _mm_cmpeq_epi8(c2, cr), _mm_cmpeq_epi8(c3, cr));
      // Bit j: a CR at j, a LF at j + 1 and a CR at j + 2, the last two maybe past the block.
      std::uint64_t runs = returns & ((lines >> 1) | std::uint64_t{data[i + 64] == '\n'} << 63) &
                           ((returns >> 2) | std::uint64_t{data[i + 64] == '\r'} << 62 |
                            std::uint64_t{data[i + 65] == '\r'} << 63);
      bool rewritten = false;
      for (; runs != 0; runs &= runs - 1) {
        const std::size_t at = i + static_cast<std::size_t>(__builtin_ctzll(runs));
        if (at > lastRun) break;
        if (at < resume) continue;
        resume = RewriteRun(data, at, pairBound);
        rewritten = true;
      }
      if (rewritten) {  // count the block as it now is
        c0 = _mm_loadu_si128(p);
        c1 = _mm_loadu_si128(p + 1);
        c2 = _mm_loadu_si128(p + 2);
        c3 = _mm_loadu_si128(p + 3);
        lines = Mask64(_mm_cmpeq_epi8(c0, lf), _mm_cmpeq_epi8(c1, lf), _mm_cmpeq_epi8(c2, lf),
                       _mm_cmpeq_epi8(c3, lf));
      }
    }
    tally.Add(c0, c1, c2, c3);
    if (lines != 0 && paging) breaks.Take(lines, i);
  }
  high = tally.Total();
#endif
  for (; i < size; ++i) {
    if (stopped(i)) return -1;
    if (rewrite && i <= lastRun && i >= resume && data[i] == '\r' && data[i + 1] == '\n' &&
        data[i + 2] == '\r') {
      resume = RewriteRun(data, i, pairBound);
    }
    high += data[i] >= 0x80 ? 1 : 0;
    if (paging && i < limit && data[i] == '\n') breaks.Take(1, i);
  }
  return high;
}

}  // namespace

std::int64_t ScanPageBreaks(const unsigned char* data, std::size_t size, std::int64_t every,
                            std::vector<std::int64_t>& starts) {
  // Never writes: the rewrite is compiled out.
  return ScanLines<false>(const_cast<unsigned char*>(data), size, every, starts);
}

std::int64_t NormaliseAndScanPageBreaks(unsigned char* data, std::size_t size, std::int64_t every,
                                        std::vector<std::int64_t>& starts, const PassProgress* progress) {
  return ScanLines<true>(data, size, every, starts, progress);
}

}  // namespace varnelo
