#include "text/book_search.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace varnelo {
namespace {

unsigned char At(std::string_view text, std::size_t i) { return static_cast<unsigned char>(text[i]); }

bool InRange(unsigned char b, unsigned char low, unsigned char high) { return b >= low && b <= high; }

// A byte no multi-byte character can hold: right after it a character always begins.
bool AlwaysAlone(unsigned char b) { return b < 0x30 || b == 0x7F || b == 0xFF; }

bool IsAsciiLetter(unsigned char b) { return InRange(b, 'A', 'Z') || InRange(b, 'a', 'z'); }
unsigned char Fold(unsigned char b) { return InRange(b, 'A', 'Z') ? static_cast<unsigned char>(b + 32) : b; }

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

// The query's own characters: which bytes are ASCII letters standing alone (they fold
// when case does not count), and whether there is any.
struct QueryShape {
  std::vector<bool> folds;
  bool anyFold = false;
};

QueryShape ShapeOf(const BookQuery& query) {
  QueryShape shape;
  const std::string_view q = query.bytes;
  shape.folds.assign(q.size(), false);
  if (query.matchCase) return shape;
  for (std::size_t i = 0; i < q.size(); i += CharLengthAt(q, i)) {
    if (IsAsciiLetter(At(q, i))) shape.folds[i] = shape.anyFold = true;
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
      if (t != c && !(shape.folds[i] && Fold(t) == Fold(c))) return false;
    }
    return true;
  };
  const auto endsOnBoundary = [&](std::size_t p) {
    std::size_t s = p;
    while (s < p + q.size()) s += CharLengthAt(text, s);
    return s == p + q.size();
  };

  const auto searcher = std::boyer_moore_horspool_searcher(
      q.begin(), q.end(), [](char c) { return std::hash<unsigned char>{}(Fold(static_cast<unsigned char>(c))); },
      [](char a, char b) { return Fold(static_cast<unsigned char>(a)) == Fold(static_cast<unsigned char>(b)); });
  const char* const base = text.data();
  std::size_t p = from;
  while (p < to) {
    std::size_t found;
    if (!shape.anyFold) {
      const void* hit = memmem(base + p, text.size() - p, q.data(), q.size());
      if (hit == nullptr) return;
      found = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    } else {
      const auto hit = searcher(text.begin() + static_cast<std::ptrdiff_t>(p), text.end()).first;
      if (hit == text.end()) return;
      found = static_cast<std::size_t>(hit - text.begin());
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
