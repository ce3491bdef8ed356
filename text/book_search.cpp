#include "text/book_search.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace varnelo {
namespace {

unsigned char At(std::string_view text, std::size_t i) { return static_cast<unsigned char>(text[i]); }

bool InRange(unsigned char b, unsigned char low, unsigned char high) { return b >= low && b <= high; }

// A byte no multi-byte character can hold: right after it a character always begins.
bool AlwaysAlone(unsigned char b) { return b < 0x30 || b == 0x7F || b == 0xFF; }

bool IsAsciiLetter(unsigned char b) { return InRange(b, 'A', 'Z') || InRange(b, 'a', 'z'); }

// How a byte of the query may differ from the book's when case does not count: an ASCII
// letter of its own, or the second byte of a full-width letter (Ａ A3C1 and ａ A3E1).
enum class FoldKind : unsigned char { None, Ascii, Wide };

unsigned char Fold(FoldKind kind, unsigned char b) {
  if (kind == FoldKind::Ascii && InRange(b, 'A', 'Z')) return static_cast<unsigned char>(b + 32);
  if (kind == FoldKind::Wide && InRange(b, 0xC1, 0xDA)) return static_cast<unsigned char>(b + 32);
  return b;
}

// The byte's other case, for the same kind.
unsigned char OtherCase(FoldKind kind, unsigned char b) {
  const unsigned char upperFirst = kind == FoldKind::Ascii ? 'A' : 0xC1;
  return InRange(b, upperFirst, static_cast<unsigned char>(upperFirst + 25))
             ? static_cast<unsigned char>(b + 32)
             : static_cast<unsigned char>(b - 32);
}

// The first offset at or after `from` holding `a` or `b`; `size` when there is none.
std::size_t FindEitherByte(const char* data, std::size_t size, std::size_t from, unsigned char a,
                           unsigned char b) {
#if defined(__SSE2__)
  const __m128i wantA = _mm_set1_epi8(static_cast<char>(a));
  const __m128i wantB = _mm_set1_epi8(static_cast<char>(b));
  for (; from + 16 <= size; from += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + from));
    const unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(chunk, wantA), _mm_cmpeq_epi8(chunk, wantB))));
    if (hits != 0) return from + static_cast<std::size_t>(__builtin_ctz(hits));
  }
#endif
  for (; from < size; ++from) {
    const auto c = static_cast<unsigned char>(data[from]);
    if (c == a || c == b) return from;
  }
  return size;
}

// Answers "does a character begin here?" for rising positions, walking each stretch of the
// buffer at most once.
class Boundaries {
 public:
  Boundaries(std::string_view text, std::size_t from) : text_(text), known_(CharBoundaryAtOrBefore(text, from)) {}

  bool IsBoundary(std::size_t p) {
    std::size_t s = p;
    while (s > known_ && !AlwaysAlone(At(text_, s - 1))) --s;
    if (s < known_) s = known_;
    std::size_t before = s;
    while (s < p) {
      before = s;
      s += CharLengthAt(text_, s);
    }
    known_ = s == p ? p : before;
    return s == p;
  }

 private:
  std::string_view text_;
  std::size_t known_;  // a boundary at or before every position asked next
};

// The query's own characters: which bytes may differ in case, and where candidates are
// looked for. Candidates come from memmem over the longest stretch of the query that never
// folds; a query of letters and little else is found by its rarest letter in either case.
struct QueryShape {
  std::vector<FoldKind> folds;
  bool anyFold = false;
  std::size_t runAt = 0;  // the longest stretch without a folding byte
  std::size_t runLength = 0;
  std::size_t letterAt = 0;  // the rarest folding byte
};

QueryShape ShapeOf(const BookQuery& query) {
  QueryShape shape;
  const std::string_view q = query.bytes;
  shape.folds.assign(q.size(), FoldKind::None);
  if (query.matchCase) return shape;
  for (std::size_t i = 0; i < q.size(); i += CharLengthAt(q, i)) {
    const unsigned char b = At(q, i);
    if (IsAsciiLetter(b)) {
      shape.folds[i] = FoldKind::Ascii;
    } else if (b == 0xA3 && CharLengthAt(q, i) == 2 &&
               (InRange(At(q, i + 1), 0xC1, 0xDA) || InRange(At(q, i + 1), 0xE1, 0xFA))) {
      shape.folds[i + 1] = FoldKind::Wide;
    }
  }
  // Letters from the rarest in English text to the most common.
  constexpr std::string_view kRarity = "zqxjkvbpygfwmucldrhsnioate";
  std::size_t bestRarity = kRarity.size() + 1;
  for (std::size_t i = 0, run = 0; i < q.size(); ++i) {
    if (shape.folds[i] == FoldKind::None) {
      if (++run > shape.runLength) {
        shape.runLength = run;
        shape.runAt = i + 1 - run;
      }
      continue;
    }
    run = 0;
    shape.anyFold = true;
    const unsigned char letter = shape.folds[i] == FoldKind::Ascii
                                     ? Fold(FoldKind::Ascii, At(q, i))
                                     : static_cast<unsigned char>('a' + (Fold(FoldKind::Wide, At(q, i)) - 0xE1));
    const std::size_t rarity = kRarity.find(static_cast<char>(letter));
    if (rarity < bestRarity) {
      bestRarity = rarity;
      shape.letterAt = i;
    }
  }
  return shape;
}

// Calls `take` with every match starting in [from, to) in order, until it returns false;
// a match found, the next is looked for at its end when `skipMatch`, else one byte on.
template <typename Take>
void ScanMatches(std::string_view text, const BookQuery& query, std::size_t from, std::size_t to,
                 bool skipMatch, Take take) {
  const std::string_view q = query.bytes;
  if (q.empty() || from >= text.size() || text.size() - from < q.size()) return;
  to = std::min(to, text.size() - q.size() + 1);
  const QueryShape shape = ShapeOf(query);
  Boundaries boundaries(text, from);

  // Only bytes of the query that stand for a letter of their own may differ in case.
  const auto matchesAt = [&](std::size_t p) {
    for (std::size_t i = 0; i < q.size(); ++i) {
      const unsigned char t = At(text, p + i);
      const unsigned char c = At(q, i);
      if (t != c && (shape.folds[i] == FoldKind::None || Fold(shape.folds[i], t) != Fold(shape.folds[i], c)))
        return false;
    }
    return true;
  };
  const auto endsOnBoundary = [&](std::size_t p) {
    std::size_t s = p;
    while (s < p + q.size()) s += CharLengthAt(text, s);
    return s == p + q.size();
  };

  const char* const base = text.data();
  const bool byRun = !shape.anyFold || shape.runLength >= 2;
  const std::string_view run = q.substr(shape.runAt, shape.runLength);
  const unsigned char letter = At(q, shape.letterAt);
  const unsigned char otherCase =
      shape.anyFold ? OtherCase(shape.folds[shape.letterAt], letter) : letter;
  std::size_t p = from;
  while (p < to) {
    std::size_t found;
    if (byRun) {
      const std::size_t at = p + shape.runAt;
      const void* hit = memmem(base + at, text.size() - at, run.data(), run.size());
      if (hit == nullptr) return;
      found = static_cast<std::size_t>(static_cast<const char*>(hit) - base) - shape.runAt;
    } else {
      const std::size_t hit = FindEitherByte(base, text.size(), p + shape.letterAt, letter, otherCase);
      if (hit == text.size()) return;
      found = hit - shape.letterAt;
    }
    if (found >= to) return;
    if (matchesAt(found) && boundaries.IsBoundary(found) && endsOnBoundary(found)) {
      if (!take(found)) return;
      p = skipMatch ? found + q.size() : found + 1;
    } else {
      p = found + 1;
    }
  }
}

}  // namespace

std::size_t CharLengthAt(std::string_view text, std::size_t at) {
  const unsigned char b = At(text, at);
  if (b < 0x81 || b == 0xFF || at + 1 >= text.size()) return 1;
  const unsigned char second = At(text, at + 1);
  if (InRange(second, 0x40, 0x7E) || InRange(second, 0x80, 0xFE)) return 2;
  if (InRange(second, 0x30, 0x39) && at + 3 < text.size() && InRange(At(text, at + 2), 0x81, 0xFE) &&
      InRange(At(text, at + 3), 0x30, 0x39))
    return 4;
  return 1;
}

std::size_t CharBoundaryAtOrBefore(std::string_view text, std::size_t at) {
  at = std::min(at, text.size());
  std::size_t s = at;
  while (s > 0 && !AlwaysAlone(At(text, s - 1))) --s;
  while (s < at) {
    const std::size_t next = s + CharLengthAt(text, s);
    if (next > at) return s;
    s = next;
  }
  return s;
}

std::size_t FindForward(std::string_view text, const BookQuery& query, std::size_t from) {
  std::size_t result = kNoMatch;
  ScanMatches(text, query, from, text.size(), true, [&](std::size_t at) {
    result = at;
    return false;
  });
  return result;
}

std::size_t FindBackward(std::string_view text, const BookQuery& query, std::size_t before) {
  before = std::min(before, text.size());
  // Windows of growing size backwards from `before`: the last match of the nearest window
  // that has one.
  std::size_t window = 1 << 16;
  std::size_t high = before;
  while (high > 0) {
    const std::size_t low = high > window ? high - window : 0;
    std::size_t last = kNoMatch;
    ScanMatches(text, query, low, high, false, [&](std::size_t at) {
      last = at;
      return true;
    });
    if (last != kNoMatch) return last;
    high = low;
    window *= 2;
  }
  return kNoMatch;
}

MatchList FindAllMatches(std::string_view text, const BookQuery& query, std::size_t limit) {
  MatchList list;
  ScanMatches(text, query, 0, text.size(), true, [&](std::size_t at) {
    if (list.starts.size() == limit) {
      list.capped = true;
      return false;
    }
    list.starts.push_back(at);
    return true;
  });
  return list;
}

}  // namespace varnelo
