#include "text/chapter_finder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "text/byte_blocks.h"
#include "text/byte_scan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace varnelo {

namespace {

using Byte = unsigned char;

// ---- Characters (GB18030 bytes) -------------------------------------------------------

constexpr Byte kDi[2] = {0xB5, 0xDA};  // 第

bool Is(const Byte* d, std::size_t i, std::size_t end, const char* pair) {
  return i + 1 < end && d[i] == static_cast<Byte>(pair[0]) && d[i + 1] == static_cast<Byte>(pair[1]);
}

// Bytes of the character at i: 1 for ASCII, 4 for a four-byte GB18030 form, else 2.
std::size_t CharLength(const Byte* d, std::size_t i, std::size_t end) {
  if (d[i] < 0x80) return 1;
  if (i + 1 >= end) return 1;
  if (d[i + 1] >= 0x30 && d[i + 1] <= 0x39) return std::min<std::size_t>(4, end - i);
  return 2;
}

// A space, a tab or a full-width space at i: its length, else 0.
std::size_t SpaceAt(const Byte* d, std::size_t i, std::size_t end) {
  if (i >= end) return 0;
  if (d[i] == ' ' || d[i] == '\t') return 1;
  if (d[i] == 0xA1 && i + 1 < end && d[i + 1] == 0xA1) return 2;
  return 0;
}

std::size_t SkipSpaces(const Byte* d, std::size_t i, std::size_t end) {
  for (std::size_t n; (n = SpaceAt(d, i, end)) != 0;) i += n;
  return i;
}

// The end of the line's text without its trailing spaces. Only a full-width space can end
// in A1, as no other character's trail byte follows an A1 lead at a line's end.
std::size_t TrimEnd(const Byte* d, std::size_t begin, std::size_t end) {
  while (end > begin) {
    if (d[end - 1] == ' ' || d[end - 1] == '\t') {
      --end;
    } else if (end - begin >= 2 && d[end - 1] == 0xA1 && d[end - 2] == 0xA1) {
      end -= 2;
    } else {
      break;
    }
  }
  return end;
}

struct Numeral {
  std::size_t length = 0;  // bytes; 0 when there is none
  std::int32_t value = 0;
};

// A set of two-byte characters, one bit each.
struct CharacterSet {
  std::array<std::uint64_t, 1024> bits{};
  void Add(const char* pair) {
    const unsigned v = static_cast<Byte>(pair[0]) << 8 | static_cast<Byte>(pair[1]);
    bits[v >> 6] |= std::uint64_t{1} << (v & 63);
  }
  bool Has(Byte b0, Byte b1) const {
    const unsigned v = static_cast<unsigned>(b0) << 8 | b1;
    return (bits[v >> 6] >> (v & 63)) & 1;
  }
};

constexpr int kNotNumeral = -1000000;

// The characters ChineseNumeralAt reads, for the quick look at a line's first character.
constexpr const char* kChineseNumerals[] = {
    "\xC1\xE3", "\xA9\x96", "\xD2\xBB", "\xB6\xFE", "\xC8\xFD", "\xCB\xC4", "\xCE\xE5",
    "\xC1\xF9", "\xC6\xDF", "\xB0\xCB", "\xBE\xC5", "\xC1\xBD", "\xD2\xBC", "\xB7\xA1",
    "\xC8\xFE", "\xCB\xC1", "\xCE\xE9", "\xC2\xBD", "\xC6\xE2", "\xB0\xC6", "\xBE\xC1",
    "\xCA\xAE", "\xCA\xB0", "\xB0\xD9", "\xB0\xDB", "\xC7\xA7", "\xC7\xAA", "\xCD\xF2",
};

// 零〇一二三四五六七八九两 and their formal forms: 0 to 9; 十百千万 (and formal): the
// multiplier as a negative number; else kNotNumeral.
const CharacterSet& Numerals();

int ChineseNumeralAt(const Byte* d, std::size_t i, std::size_t end) {
  if (i + 1 >= end || d[i] < 0x81 || !Numerals().Has(d[i], d[i + 1])) return kNotNumeral;
  static constexpr struct {
    Byte b0, b1;
    int value;
  } kTable[] = {
      {0xC1, 0xE3, 0},      {0xA9, 0x96, 0},      {0xD2, 0xBB, 1},      {0xB6, 0xFE, 2},
      {0xC8, 0xFD, 3},      {0xCB, 0xC4, 4},      {0xCE, 0xE5, 5},      {0xC1, 0xF9, 6},
      {0xC6, 0xDF, 7},      {0xB0, 0xCB, 8},      {0xBE, 0xC5, 9},      {0xC1, 0xBD, 2},
      {0xD2, 0xBC, 1},      {0xB7, 0xA1, 2},      {0xC8, 0xFE, 3},      {0xCB, 0xC1, 4},
      {0xCE, 0xE9, 5},      {0xC2, 0xBD, 6},      {0xC6, 0xE2, 7},      {0xB0, 0xC6, 8},
      {0xBE, 0xC1, 9},      {0xCA, 0xAE, -10},    {0xCA, 0xB0, -10},    {0xB0, 0xD9, -100},
      {0xB0, 0xDB, -100},   {0xC7, 0xA7, -1000},  {0xC7, 0xAA, -1000},  {0xCD, 0xF2, -10000},
  };
  for (const auto& e : kTable)
    if (d[i] == e.b0 && d[i + 1] == e.b1) return e.value;
  return kNotNumeral;
}

const CharacterSet& Numerals() {
  static const CharacterSet set = [] {
    CharacterSet s;
    for (const char* numeral : kChineseNumerals) s.Add(numeral);
    return s;
  }();
  return set;
}

// Digits (ASCII or full-width) or Chinese numerals at i, one kind, at most 12 characters.
Numeral ReadNumeral(const Byte* d, std::size_t i, std::size_t end) {
  Numeral n;
  constexpr std::int32_t kCap = 100000000;
  std::size_t at = i;
  int count = 0;
  // Arabic digits, positional.
  while (at < end && count < 12) {
    int digit = -1;
    std::size_t len = 0;
    if (d[at] >= '0' && d[at] <= '9') {
      digit = d[at] - '0';
      len = 1;
    } else if (d[at] == 0xA3 && at + 1 < end && d[at + 1] >= 0xB0 && d[at + 1] <= 0xB9) {
      digit = d[at + 1] - 0xB0;
      len = 2;
    }
    if (digit < 0) break;
    n.value = std::min(kCap, n.value * 10 + digit);
    at += len;
    ++count;
  }
  if (count > 0) {
    n.length = at - i;
    return n;
  }
  // Chinese numerals: positional when no multiplier appears (一〇八), else by multipliers.
  std::int64_t total = 0, section = 0, digit = 0, positional = 0;
  bool multiplier = false;
  while (at < end && count < 12) {
    const int v = ChineseNumeralAt(d, at, end);
    if (v == kNotNumeral) break;
    if (v >= 0) {
      digit = v;
      positional = std::min<std::int64_t>(kCap, positional * 10 + v);
    } else if (v == -10000) {
      total = std::min<std::int64_t>(kCap, (total + section + digit) * 10000);
      section = digit = 0;
      multiplier = true;
    } else {
      section += (digit == 0 ? 1 : digit) * -v;
      digit = 0;
      multiplier = true;
    }
    at += 2;
    ++count;
  }
  if (count == 0) return n;
  n.length = at - i;
  n.value = static_cast<std::int32_t>(std::min<std::int64_t>(kCap, multiplier ? total + section + digit : positional));
  return n;
}

// The units after 第 and a numeral; a lower rank is an outer level.
struct Unit {
  Byte b0, b1;
  int rank;
};
constexpr Unit kUnits[] = {
    {0xD5, 0xC2, 3},  // 章
    {0xBB, 0xD8, 3},  // 回
    {0xBD, 0xDA, 4},  // 节
    {0xBE, 0xED, 1},  // 卷
    {0xB2, 0xBF, 0},  // 部
    {0xC6, 0xAA, 2},  // 篇
    {0xBC, 0xAF, 2},  // 集
    {0xBB, 0xB0, 3},  // 话
};
constexpr int kUnitCount = static_cast<int>(std::size(kUnits));

int UnitAt(const Byte* d, std::size_t i, std::size_t end) {
  if (i + 1 >= end) return -1;
  for (int u = 0; u < kUnitCount; ++u)
    if (d[i] == kUnits[u].b0 && d[i + 1] == kUnits[u].b1) return u;
  return -1;
}

// Words that stand as a heading of their own: front and back matter.
constexpr const char* kSpecialWords[] = {
    "\xD0\xA8\xD7\xD3",          // 楔子
    "\xD0\xF2\xD5\xC2",          // 序章
    "\xD0\xF2\xD1\xD4",          // 序言
    "\xD0\xF2\xC4\xBB",          // 序幕
    "\xD7\xD4\xD0\xF2",          // 自序
    "\xD2\xFD\xD7\xD3",          // 引子
    "\xD2\xFD\xD1\xD4",          // 引言
    "\xC7\xB0\xD1\xD4",          // 前言
    "\xCE\xB2\xC9\xF9",          // 尾声
    "\xBA\xF3\xBC\xC7",          // 后记
    "\xB7\xAC\xCD\xE2",          // 番外
    "\xB8\xBD\xC2\xBC",          // 附录
    "\xD6\xD5\xD5\xC2",          // 终章
    "\xCD\xEA\xB1\xBE\xB8\xD0\xD1\xD4",  // 完本感言
    "\xD0\xF2",                  // 序
};

bool IsSentenceEnd(const Byte* d, std::size_t i, std::size_t end) {
  return Is(d, i, end, "\xA1\xA3") || Is(d, i, end, "\xA3\xA1") || Is(d, i, end, "\xA3\xBF") ||
         Is(d, i, end, "\xA1\xAD") || Is(d, i, end, "\xA1\xB1") || Is(d, i, end, "\xA1\xB9") ||
         Is(d, i, end, "\xA1\xBB") || Is(d, i, end, "\xA3\xAC") || Is(d, i, end, "\xA3\xBB");
}

// Whether the text [s, e) ends a sentence. Each mark is a two-byte character and nothing
// else ends in its bytes at a line's end, so the last two bytes tell.
bool EndsSentence(const Byte* d, std::size_t s, std::size_t e) {
  return e - s >= 2 && IsSentenceEnd(d, e - 2, e);
}

// Punctuation that ends a title and begins its text on a run-on line.
bool IsTextPunctuation(const Byte* d, std::size_t i, std::size_t end) {
  return IsSentenceEnd(d, i, end) || Is(d, i, end, "\xA1\xB0") || Is(d, i, end, "\xA1\xB8") ||
         Is(d, i, end, "\xA1\xBA") || Is(d, i, end, "\xA3\xBA") || Is(d, i, end, "\xA1\xA2");
}

// After a heading's marker: the line ends, or a space or a colon or 、 or a dot follows.
bool SeparatedAt(const Byte* d, std::size_t i, std::size_t end) {
  if (i >= end) return true;
  if (SpaceAt(d, i, end) != 0) return true;
  if (d[i] == ':' || d[i] == '.' || d[i] == '-' || d[i] == '_') return true;
  return Is(d, i, end, "\xA3\xBA") || Is(d, i, end, "\xA1\xA2") || Is(d, i, end, "\xA3\xAE") ||
         Is(d, i, end, "\xA1\xA4") || Is(d, i, end, "\xA1\xAA") || Is(d, i, end, "\xA1\xBF") ||
         Is(d, i, end, "\xA3\xA9") || d[i] == ')' || d[i] == ']';
}

// ---- Candidates -----------------------------------------------------------------------

// Families of headings: the eight units after 第, then the other shapes; "Title N" lines
// get a family per title.
enum Family : int {
  kSpecialFamily = kUnitCount,
  kEnglishFamily,
  kListChineseFamily,
  kListNumberFamily,
  kParenFamily,
  kPlainFamily,
  kFirstTitledFamily,
};

bool IsOrdinal(int family) { return family < kUnitCount; }

struct Candidate {
  std::int64_t start;
  std::int64_t lineEnd;  // the end of the line's text, trailing spaces trimmed
  std::int32_t number;
  std::int32_t family;
  std::uint8_t titleSkip;
  std::uint8_t titleLength;
  bool strong;  // a short line standing as a heading, not a sentence
};

constexpr std::size_t kShortLine = 100;      // bytes of a line that can be a heading as it is
constexpr std::size_t kPlainTitleMax = 40;   // an unnumbered title
constexpr std::size_t kDenseGap = 80;        // headings this close are a list of contents

// Calls `take(at)` for every line feed, in order: a 64-byte block at a time, the line
// feeds of a block as the bits of one mask.
// Returns the number of bytes from 0x80 up, counted on the way.
template <typename Take>
std::int64_t ForEachLineFeed(const Byte* d, std::size_t n, Take&& take) {
  std::size_t i = 0;
  std::int64_t high = 0;
#if defined(__SSE2__)
  const __m128i lineFeed = _mm_set1_epi8('\n');
  HighByteTally tally;
  for (; i + 64 <= n; i += 64) {
    const auto* p = reinterpret_cast<const __m128i*>(d + i);
    const __m128i c0 = _mm_loadu_si128(p), c1 = _mm_loadu_si128(p + 1), c2 = _mm_loadu_si128(p + 2),
                  c3 = _mm_loadu_si128(p + 3);
    tally.Add(c0, c1, c2, c3);
    for (std::uint64_t mask = Mask64(_mm_cmpeq_epi8(c0, lineFeed), _mm_cmpeq_epi8(c1, lineFeed),
                                     _mm_cmpeq_epi8(c2, lineFeed), _mm_cmpeq_epi8(c3, lineFeed));
         mask != 0; mask &= mask - 1)
      take(i + static_cast<std::size_t>(__builtin_ctzll(mask)));
  }
  high = tally.Total();
#endif
  for (; i < n; ++i) {
    high += d[i] >= 0x80 ? 1 : 0;
    if (d[i] == '\n') take(i);
  }
  return high;
}

class Scanner {
 public:
  explicit Scanner(std::string_view text)
      : d_(reinterpret_cast<const Byte*>(text.data())), n_(text.size()) {}

  std::vector<Candidate> Run() {
    std::size_t ls = 0;
    high_ = ForEachLineFeed(d_, n_, [&](std::size_t nl) {
      Line(ls, nl > ls && d_[nl - 1] == '\r' ? nl - 1 : nl);
      ls = nl + 1;
    });
    if (ls < n_) Line(ls, n_ > ls && d_[n_ - 1] == '\r' ? n_ - 1 : n_);
    return std::move(out_);
  }

  std::int32_t TitledFamilies() const { return nextTitled_; }
  std::int64_t HighBytes() const { return high_; }

 private:
  void Line(std::size_t ls, std::size_t ce) {
    const std::size_t s = SkipSpaces(d_, ls, ce);
    if (s >= ce) return;
    // An ordinal heading: 第, a bracket then 第, or a short word and spaces then 第.
    if (Is(d_, s, ce, "\xB5\xDA")) {
      if (Ordinal(s, s, ce)) return;
    } else if (const std::size_t p = OpeningBracket(s, ce); p != s) {
      if (Is(d_, p, ce, "\xB5\xDA") && Ordinal(s, p, ce)) return;
    } else if (HasDiNear(s, ce)) {
      std::size_t q = s;
      for (int chars = 0; chars < 6 && q < ce && SpaceAt(d_, q, ce) == 0; ++chars) q += CharLength(d_, q, ce);
      if (q > s && SpaceAt(d_, q, ce) != 0) {
        q = SkipSpaces(d_, q, ce);
        if (Is(d_, q, ce, "\xB5\xDA") && Ordinal(s, q, ce)) return;
      }
    }
    const std::size_t e = TrimEnd(d_, s, ce);
    if (e - s > kShortLine) return;
    if (MayStartShortHeading(s, e) && (Special(s, e) || English(s, e) || Paren(s, e) || List(s, e))) return;
    Titled(s, e);
  }

  // Whether 第 lies within the first bytes of the line, where a word before it may end.
  bool HasDiNear(std::size_t s, std::size_t ce) const {
#if defined(__SSE2__)
    if (s + 17 <= ce) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d_ + s));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d_ + s + 1));
      const __m128i hit = _mm_and_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8(static_cast<char>(0xB5))),
                                        _mm_cmpeq_epi8(b, _mm_set1_epi8(static_cast<char>(0xDA))));
      return _mm_movemask_epi8(hit) != 0;
    }
#endif
    const std::size_t limit = std::min(ce, s + 16);
    for (std::size_t i = s + 1; i + 1 < limit; ++i)
      if (d_[i] == 0xB5 && d_[i + 1] == 0xDA) return true;
    return false;
  }

  // The first character of a "Chapter", "(3)", "一、", "1." or 楔子-like line: most lines of
  // running text are turned away here by one look-up.
  bool MayStartShortHeading(std::size_t s, std::size_t e) const {
    const Byte b = d_[s];
    if (b < 0x80) return b == 'C' || b == 'c' || b == '(' || (b >= '0' && b <= '9');
    if (b == 0xA3) return true;  // （ and full-width digits
    return s + 1 < e && FirstCharacters().Has(b, d_[s + 1]);
  }

  static const CharacterSet& FirstCharacters() {
    static const CharacterSet set = [] {
      CharacterSet s;
      for (const char* word : kSpecialWords) s.Add(word);
      for (const char* numeral : kChineseNumerals) s.Add(numeral);
      return s;
    }();
    return set;
  }

  std::size_t OpeningBracket(std::size_t s, std::size_t ce) const {
    if (d_[s] == '[' || d_[s] == '(') return s + 1;
    if (Is(d_, s, ce, "\xA1\xBE") || Is(d_, s, ce, "\xA1\xB2") || Is(d_, s, ce, "\xA3\xDB") ||
        Is(d_, s, ce, "\xA1\xBC") || Is(d_, s, ce, "\xA3\xA8"))
      return s + 2;
    return s;
  }

  // 第 at p, then a numeral, then a unit; `s` is where the line's text starts.
  bool Ordinal(std::size_t s, std::size_t p, std::size_t ce) {
    std::size_t i = p + 2;
    while (i < ce && d_[i] == ' ') ++i;
    const Numeral num = ReadNumeral(d_, i, ce);
    if (num.length == 0) return false;
    i += num.length;
    while (i < ce && d_[i] == ' ') ++i;
    const int unit = UnitAt(d_, i, ce);
    if (unit < 0) return false;
    i += 2;
    // "第一卷 第一章 ...": the inner heading names the chapter.
    const std::size_t after = SkipSpaces(d_, i, ce);
    if (after > i && Is(d_, after, ce, "\xB5\xDA")) {
      std::size_t j = after + 2;
      const Numeral inner = ReadNumeral(d_, j, ce);
      j += inner.length;
      const int innerUnit = inner.length ? UnitAt(d_, j, ce) : -1;
      if (innerUnit >= 0 && kUnits[innerUnit].rank > kUnits[unit].rank) {
        Add(s, s, j + 2, ce, inner.value, innerUnit, SeparatedAt(d_, j + 2, ce));
        return true;
      }
    }
    Add(s, p, i, ce, num.value, unit, SeparatedAt(d_, i, ce));
    return true;
  }

  bool Special(std::size_t s, std::size_t e) {
    for (const char* word : kSpecialWords) {
      const std::size_t len = std::strlen(word);
      if (e - s < len || std::memcmp(d_ + s, word, len) != 0) continue;
      const std::size_t i = s + len;
      const bool numbered = i < e && ReadNumeral(d_, i, e).length != 0;
      const bool joined = Is(d_, i, e, "\xC6\xAA") || Is(d_, i, e, "\xD5\xC2");  // 篇 章
      if (!SeparatedAt(d_, i, e) && !numbered && !joined) return false;
      Add(s, s, i, e, 0, kSpecialFamily, true);
      return true;
    }
    return false;
  }

  bool English(std::size_t s, std::size_t e) {
    static constexpr char kWord[] = "chapter";
    if (e - s < 9) return false;
    for (std::size_t k = 0; k < 7; ++k)
      if ((d_[s + k] | 0x20) != kWord[k]) return false;
    std::size_t i = s + 7;
    if (d_[i] != ' ') return false;
    while (i < e && d_[i] == ' ') ++i;
    Numeral num = ReadNumeral(d_, i, e);
    if (num.length == 0) num = Roman(i, e);
    if (num.length == 0) return false;
    i += num.length;
    Add(s, s, i, e, num.value, kEnglishFamily, SeparatedAt(d_, i, e));
    return true;
  }

  Numeral Roman(std::size_t i, std::size_t e) const {
    Numeral n;
    int last = 0;
    std::size_t at = i;
    std::int32_t total = 0;
    for (; at < e && at - i < 10; ++at) {
      int v = 0;
      switch (d_[at] | 0x20) {
        case 'i': v = 1; break;
        case 'v': v = 5; break;
        case 'x': v = 10; break;
        case 'l': v = 50; break;
        case 'c': v = 100; break;
        default: break;
      }
      if (v == 0) break;
      total += v > last && last != 0 ? v - 2 * last : v;
      last = v;
    }
    if (at == i) return n;
    n.length = at - i;
    n.value = total;
    return n;
  }

  // "(3)", "（三）".
  bool Paren(std::size_t s, std::size_t e) {
    std::size_t i;
    if (d_[s] == '(') {
      i = s + 1;
    } else if (Is(d_, s, e, "\xA3\xA8")) {
      i = s + 2;
    } else {
      return false;
    }
    const Numeral num = ReadNumeral(d_, i, e);
    if (num.length == 0) return false;
    i += num.length;
    if (i < e && d_[i] == ')') {
      ++i;
    } else if (Is(d_, i, e, "\xA3\xA9")) {
      i += 2;
    } else {
      return false;
    }
    Add(s, s, i, e, num.value, kParenFamily, true);
    return true;
  }

  // "一、…", "1.", "1、", "１．".
  bool List(std::size_t s, std::size_t e) {
    const Numeral num = ReadNumeral(d_, s, e);
    if (num.length == 0) return false;
    const bool chinese = d_[s] >= 0x80 && d_[s] != 0xA3;
    std::size_t i = s + num.length;
    if (Is(d_, i, e, "\xA1\xA2") || Is(d_, i, e, "\xA3\xAE")) {
      i += 2;
    } else if (i < e && d_[i] == '.' && !(i + 1 < e && d_[i + 1] >= '0' && d_[i + 1] <= '9')) {
      i += 1;
    } else {
      return false;
    }
    Add(s, s, i, e, num.value, chinese ? kListChineseFamily : kListNumberFamily, true);
    return true;
  }

  // "某书12", "某某自传(3)": a short title ending in a number; each title its own family.
  void Titled(std::size_t s, std::size_t e) {
    if (e - s > 60 || e - s < 3) return;
    const Byte last = d_[e - 1];
    const bool maybe = (last >= '0' && last <= '9') || last == ')' || Is(d_, e - 2, e, "\xA3\xA9") ||
                       (e - s >= 2 && (d_[e - 2] == 0xA3 || ChineseNumeralAt(d_, e - 2, e) != kNotNumeral));
    if (!maybe) return;
    // Walk forward so every position is a character start.
    std::array<std::uint8_t, 64> starts{};
    int count = 0;
    for (std::size_t i = s; i < e && count < 64; i += CharLength(d_, i, e))
      starts[static_cast<std::size_t>(count++)] = static_cast<std::uint8_t>(i - s);
    int k = count;  // the characters [0, k) are before the number's end
    bool paren = false;
    auto at = [&](int c) { return s + starts[static_cast<std::size_t>(c)]; };
    if (k > 0 && (d_[at(k - 1)] == ')' || Is(d_, at(k - 1), e, "\xA3\xA9"))) {
      --k;
      paren = true;
    }
    const int numberEnd = k;
    while (k > 0) {
      const std::size_t c = at(k - 1);
      const bool digit = (d_[c] >= '0' && d_[c] <= '9') ||
                         (d_[c] == 0xA3 && c + 1 < e && d_[c + 1] >= 0xB0 && d_[c + 1] <= 0xB9) ||
                         ChineseNumeralAt(d_, c, e) != kNotNumeral;
      if (!digit) break;
      --k;
    }
    if (k == numberEnd || k == 0) return;
    const std::size_t numberStart = at(k);
    const Numeral num = ReadNumeral(d_, numberStart, e);
    if (num.length == 0 || numberStart + num.length != (numberEnd < count ? at(numberEnd) : e)) return;
    std::size_t stemEnd = numberStart;
    if (paren) {
      if (d_[at(k - 1)] == '(' || Is(d_, at(k - 1), e, "\xA3\xA8")) {
        stemEnd = at(k - 1);
      } else {
        return;
      }
    }
    stemEnd = TrimEnd(d_, s, stemEnd);
    if (stemEnd - s < 2 || stemEnd - s > 40) return;
    if (Is(d_, stemEnd - 2, stemEnd, "\xB5\xDA")) return;  // 第 with no unit
    const std::string_view stem(reinterpret_cast<const char*>(d_ + s), stemEnd - s);
    auto [it, added] = titled_.try_emplace(stem, nextTitled_);
    if (added) ++nextTitled_;
    Add(s, s, e, e, num.value, it->second, true);
  }

  // Records a candidate: its text starts at s, the title at t, its marker ends at m.
  void Add(std::size_t s, std::size_t t, std::size_t m, std::size_t ce, std::int32_t number,
           std::int32_t family, bool separated) {
    const std::size_t e = TrimEnd(d_, s, ce);
    const std::size_t length = e - s;
    const bool sentence = EndsSentence(d_, m < e ? m : e, e);
    // "第三回合，他终于败下阵来。" is a sentence that begins with a number, not a heading.
    if (sentence && !separated) return;
    const bool strong = length <= kShortLine && !sentence && (separated || length <= 40);
    Candidate c{};
    c.start = static_cast<std::int64_t>(s);
    c.lineEnd = static_cast<std::int64_t>(e);
    c.number = number;
    c.family = family;
    c.titleSkip = static_cast<std::uint8_t>(t - s);
    c.titleLength = static_cast<std::uint8_t>(TitleLength(t, m, e));
    c.strong = strong;
    out_.push_back(c);
  }

  // The title from t to the line's end; a line that runs on into its text keeps the part
  // before the space that comes last before the text's first punctuation.
  std::size_t TitleLength(std::size_t t, std::size_t m, std::size_t e) const {
    if (e - t <= kMaxTitleBytes) return e - t;
    std::size_t lastSpace = 0;  // 0: none yet
    bool text = false;          // a character of the title after the marker
    std::size_t c = m;
    for (; c < e && c - t <= 2 * kMaxTitleBytes; c += CharLength(d_, c, e)) {
      if (SpaceAt(d_, c, e) != 0) {
        if (text) lastSpace = c;
        continue;
      }
      if (text && IsTextPunctuation(d_, c, e)) break;
      text = true;
    }
    std::size_t cut = lastSpace != 0 ? lastSpace : m;
    if (cut - t > kMaxTitleBytes) {
      // No punctuation near: the characters that fit.
      cut = t;
      for (std::size_t i = t; i < e;) {
        const std::size_t next = i + CharLength(d_, i, e);
        if (next - t > kMaxTitleBytes) break;
        i = next;
        cut = i;
      }
    }
    return TrimEnd(d_, t, cut) - t;
  }

  const Byte* d_;
  std::size_t n_;
  std::vector<Candidate> out_;
  std::unordered_map<std::string_view, std::int32_t> titled_;
  std::int32_t nextTitled_ = kFirstTitledFamily;
  std::int64_t high_ = 0;
};

// ---- Choosing the table of contents ---------------------------------------------------

std::uint64_t KeyOf(const Candidate& c) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(c.family)) << 32) |
         static_cast<std::uint32_t>(c.number);
}

// A block of headings with almost nothing between them, whose numbers come again later,
// is the book's list of contents, not its chapters.
void DropContentsBlocks(std::vector<Candidate>& all) {
  std::unordered_map<std::uint64_t, std::size_t> lastAt;
  for (std::size_t i = 0; i < all.size(); ++i)
    if (all[i].family != kSpecialFamily) lastAt[KeyOf(all[i])] = i;
  std::vector<bool> drop(all.size(), false);
  std::size_t i = 0;
  while (i < all.size()) {
    std::size_t j = i;
    // The block ends where the numbers start again: the real chapters may follow at once.
    while (j + 1 < all.size() && all[j + 1].start - all[j].lineEnd <= static_cast<std::int64_t>(kDenseGap) &&
           !(all[j + 1].family == all[i].family && all[j + 1].number <= all[i].number))
      ++j;
    if (j - i + 1 >= 3) {
      bool again = false;
      for (std::size_t b = i; b <= j && !again; ++b)
        again = all[b].family != kSpecialFamily && lastAt[KeyOf(all[b])] > j;
      if (again)
        for (std::size_t b = i; b <= j; ++b) drop[b] = true;
    }
    i = j + 1;
  }
  std::size_t w = 0;
  for (std::size_t r = 0; r < all.size(); ++r)
    if (!drop[r]) all[w++] = all[r];
  all.resize(w);
}

struct FamilyStats {
  int count = 0;
  int steps = 0;     // the next number is one more
  int restarts = 0;  // back to 0 or 1
  int strong = 0;
  std::int64_t first = -1, last = -1;
};

FamilyStats StatsOf(const std::vector<Candidate>& all, const std::vector<std::size_t>& members) {
  FamilyStats f;
  std::int32_t previous = 0;
  for (std::size_t i : members) {
    const Candidate& c = all[i];
    if (f.count > 0) {
      if (c.number == previous + 1) {
        ++f.steps;
      } else if (c.number <= 1) {
        ++f.restarts;
      }
    } else {
      f.first = c.start;
    }
    f.last = c.start;
    previous = c.number;
    ++f.count;
    if (c.strong) ++f.strong;
  }
  return f;
}

// Whether a family's sequence (`chain`, of all its lines `raw`) reads as a table of
// contents of the whole book.
bool Plausible(int family, const FamilyStats& chain, const FamilyStats& raw, std::int64_t length) {
  if (chain.count < 2) return false;
  if (IsOrdinal(family)) {
    if (chain.count < 5 && chain.strong * 2 < chain.count) return false;
    return chain.count <= 3 || (chain.steps + chain.restarts) * 2 >= chain.count - 1;
  }
  if (family == kSpecialFamily || family == kPlainFamily) return false;
  // A numbered list restarts, clusters and stops; chapters run through the book.
  if (chain.count < 3 || raw.restarts * 10 > raw.count) return false;
  if (chain.steps * 10 < (chain.count - 1) * 7) return false;
  if ((chain.last - chain.first) / (chain.count - 1) < 1000) return false;
  return chain.first <= length / 2 && chain.last >= length / 2;
}

int Score(int family, const FamilyStats& f) {
  return (f.steps + f.restarts + 1) * (IsOrdinal(family) ? 4 : 1) + f.strong;
}

int RankOf(int family) { return IsOrdinal(family) ? kUnits[family].rank : 3; }

// The headings of one family that run as a sequence: the next number; a restart after an
// outer heading or on a line standing alone; a strong line out of step. A weak line out of
// step (a mention in running text) and a repeat of the last number go.
std::vector<std::size_t> KeepSequence(const std::vector<Candidate>& all, const std::vector<std::size_t>& members,
                                      int family, const std::vector<std::int64_t>& outerStarts) {
  std::vector<std::size_t> kept;
  const bool ordinal = IsOrdinal(family);
  std::int32_t last = 0;
  for (std::size_t m = 0; m < members.size(); ++m) {
    const Candidate& c = all[members[m]];
    const bool runsOn = m + 1 < members.size() && all[members[m + 1]].number == c.number + 1;
    bool take;
    if (kept.empty()) {
      take = ordinal ? (c.strong || c.number <= 1 || runsOn) : c.number <= 2;
    } else if (c.number == last + 1) {
      take = true;
    } else if (!ordinal) {
      take = c.number > last + 1 && c.number <= last + 5 && c.strong;
    } else {
      const std::int64_t after = all[kept.back()].start;
      const auto outer = std::upper_bound(outerStarts.begin(), outerStarts.end(), after);
      const bool outerSince = outer != outerStarts.end() && *outer < c.start;
      if (c.number == last) {
        take = outerSince && c.strong;
      } else if (c.number <= 1) {
        take = outerSince || c.strong;
      } else {
        take = c.strong || (runsOn && c.number > last);
      }
    }
    if (take) {
      kept.push_back(members[m]);
      last = c.number;
    }
  }
  return kept;
}

// Unnumbered titles under numbered parts: short lines standing alone, not sentences.
void AddPlainTitles(std::string_view text, std::int64_t from, std::vector<Candidate>& plain) {
  const auto* d = reinterpret_cast<const Byte*>(text.data());
  const std::size_t n = text.size();
  std::size_t ls = static_cast<std::size_t>(from);
  bool previousEnded = true;  // the line before ends a paragraph (or is blank)
  while (ls < n) {
    const void* hit = std::memchr(d + ls, '\n', n - ls);
    const std::size_t nl = hit ? static_cast<std::size_t>(static_cast<const Byte*>(hit) - d) : n;
    std::size_t ce = nl;
    if (ce > ls && d[ce - 1] == '\r') --ce;
    const std::size_t s = SkipSpaces(d, ls, ce);
    const std::size_t e = TrimEnd(d, s, ce);
    bool ended = true;
    if (e > s) {
      bool punctuated = false;
      for (std::size_t c = s; c < e && c - s <= kPlainTitleMax; c += CharLength(d, c, e))
        if (IsTextPunctuation(d, c, e) || d[c] == ',' || d[c] == '.' || d[c] == '!' || d[c] == '?') punctuated = true;
      ended = EndsSentence(d, s, e);
      const bool quoted = Is(d, s, e, "\xA1\xB0") || Is(d, s, e, "\xA1\xB8") || Is(d, s, e, "\xA1\xBA");
      if (previousEnded && e - s >= 4 && e - s <= kPlainTitleMax && !punctuated && !quoted) {
        // The next line with text must begin a paragraph, not continue this one.
        Candidate c{};
        c.start = static_cast<std::int64_t>(s);
        c.lineEnd = static_cast<std::int64_t>(e);
        c.family = kPlainFamily;
        c.titleLength = static_cast<std::uint8_t>(e - s);
        c.strong = true;
        plain.push_back(c);
      }
    }
    previousEnded = ended;
    ls = nl + 1;
  }
}

}  // namespace

namespace {

// The headings, and the number of high bytes counted in the same pass.
std::vector<FoundHeading> FindCounting(std::string_view text, std::int64_t& highBytes) {
  Scanner scanner(text);
  std::vector<Candidate> all = scanner.Run();
  highBytes = scanner.HighBytes();
  DropContentsBlocks(all);
  const std::int64_t length = static_cast<std::int64_t>(text.size());

  std::vector<std::vector<std::size_t>> members(static_cast<std::size_t>(scanner.TitledFamilies()));
  for (std::size_t i = 0; i < all.size(); ++i) members[static_cast<std::size_t>(all[i].family)].push_back(i);
  auto membersOf = [&](int family) -> const std::vector<std::size_t>& {
    return members[static_cast<std::size_t>(family)];
  };

  // Each family's own sequence, and the family whose sequence is the likeliest table.
  std::vector<FamilyStats> chains(members.size());
  int main = -1;
  for (int family = 0; family < static_cast<int>(members.size()); ++family) {
    if (membersOf(family).size() < 2 || family == kSpecialFamily) continue;
    const FamilyStats chain = StatsOf(all, KeepSequence(all, membersOf(family), family, {}));
    chains[static_cast<std::size_t>(family)] = chain;
    if (!Plausible(family, chain, StatsOf(all, membersOf(family)), length)) continue;
    if (main < 0 || (IsOrdinal(family) && !IsOrdinal(main)) ||
        (IsOrdinal(family) == IsOrdinal(main) && Score(family, chain) > Score(main, chains[static_cast<std::size_t>(main)])))
      main = family;
  }
  if (main < 0) return {};

  // Outer levels: numbered parts of a higher rank than the chapters, fewer of them.
  std::vector<int> outer;
  for (int family = 0; family < kUnitCount; ++family) {
    if (family == main || membersOf(family).empty() || RankOf(family) >= RankOf(main)) continue;
    const std::vector<std::size_t>& own = membersOf(family);
    const FamilyStats chain =
        own.size() == 1 ? StatsOf(all, own) : chains[static_cast<std::size_t>(family)];
    if (chain.count == 0 || chain.count > chains[static_cast<std::size_t>(main)].count) continue;
    if (chain.count >= 3 ? !Plausible(family, chain, StatsOf(all, own), length) : chain.strong == 0) continue;
    outer.push_back(family);
  }
  std::sort(outer.begin(), outer.end(), [](int a, int b) { return RankOf(a) < RankOf(b); });

  std::vector<bool> keep(all.size(), false);
  std::vector<std::int64_t> outerStarts;
  for (int family : outer) {
    for (std::size_t i : KeepSequence(all, membersOf(family), family, outerStarts)) keep[i] = true;
    outerStarts.clear();
    for (std::size_t i = 0; i < all.size(); ++i)
      if (keep[i]) outerStarts.push_back(all[i].start);
  }
  for (std::size_t i : KeepSequence(all, membersOf(main), main, outerStarts)) keep[i] = true;
  // Front and back matter standing as a line join a table that exists.
  for (std::size_t i : membersOf(kSpecialFamily))
    if (all[i].strong) keep[i] = true;

  std::vector<Candidate> chosen;
  for (std::size_t i = 0; i < all.size(); ++i)
    if (keep[i]) chosen.push_back(all[i]);

  // Unnumbered chapters under numbered parts, when the parts hold no numbered chapters.
  int chapterLevel = static_cast<int>(outer.size());
  if (RankOf(main) <= 1 && outer.empty()) {
    std::vector<Candidate> plain;
    const std::int64_t firstPart = chosen.empty() ? length : chosen.front().start;
    for (const Candidate& c : chosen)
      if (c.family == main) {
        AddPlainTitles(text, firstPart, plain);
        break;
      }
    // Keep those that lie inside a part, are not the part heading, and open a body of text.
    std::vector<Candidate> merged;
    std::size_t p = 0;
    int kept = 0;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
      const std::int64_t end = i + 1 < chosen.size() ? chosen[i + 1].start : length;
      merged.push_back(chosen[i]);
      while (p < plain.size() && plain[p].start <= chosen[i].start) ++p;
      while (p < plain.size() && plain[p].start < end) {
        const std::int64_t next = p + 1 < plain.size() ? std::min(plain[p + 1].start, end) : end;
        if (chosen[i].family == main && next - plain[p].lineEnd >= 200) {
          merged.push_back(plain[p]);
          ++kept;
        }
        ++p;
      }
    }
    if (kept >= 2) {
      chosen = std::move(merged);
      chapterLevel = 1;
    }
  }

  std::vector<FoundHeading> found;
  found.reserve(chosen.size());
  std::int64_t previousEnd = -1;
  for (const Candidate& c : chosen) {
    // A heading repeated right after itself is one heading.
    if (!found.empty()) {
      const FoundHeading& b = found.back();
      const std::string_view before = text.substr(static_cast<std::size_t>(b.start + b.titleSkip), b.titleLength);
      const std::string_view now = text.substr(static_cast<std::size_t>(c.start + c.titleSkip), c.titleLength);
      if (before == now && c.start - previousEnd <= 400) continue;
    }
    FoundHeading h;
    h.start = c.start;
    h.titleSkip = c.titleSkip;
    h.titleLength = c.titleLength;
    if (c.family == kSpecialFamily) {
      h.level = 0;
    } else if (c.family == main) {
      h.level = static_cast<std::uint8_t>(outer.size());
    } else if (c.family == kPlainFamily) {
      h.level = static_cast<std::uint8_t>(chapterLevel);
    } else {
      const auto at = std::find(outer.begin(), outer.end(), c.family);
      h.level = static_cast<std::uint8_t>(at - outer.begin());
    }
    found.push_back(h);
    previousEnd = c.lineEnd;
  }
  return found;
}

}  // namespace

std::vector<FoundHeading> FindChapters(std::string_view text) {
  std::int64_t high = 0;
  return FindCounting(text, high);
}

namespace {

Pagination TableOf(const std::vector<FoundHeading>& headings, std::int64_t highBytes) {
  Pagination pages;
  pages.mode = kChapterPaging;
  pages.pageCount = static_cast<int>(headings.size());
  pages.starts.reserve(headings.size() + 1);
  pages.titleLengths.reserve(headings.size() + 1);
  pages.titleSkips.reserve(headings.size() + 1);
  pages.levels.reserve(headings.size() + 1);
  pages.titleSkips.push_back(0);
  pages.levels.push_back(0);
  for (const FoundHeading& h : headings) {
    pages.starts.push_back(h.start);
    pages.titleLengths.push_back(h.titleLength);
    pages.titleSkips.push_back(h.titleSkip);
    pages.levels.push_back(h.level);
  }
  pages.charCount = highBytes / 2;
  pages.firstPage = (pages.pageCount >= 1 && pages.starts[1] == 0) ? 1 : 0;
  return pages;
}

}  // namespace

Pagination PaginationFromHeadings(std::string_view text, const std::vector<FoundHeading>& headings) {
  return TableOf(headings, CountHighBytes(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
}

Pagination PaginateByFoundChapters(std::string_view text) {
  std::int64_t high = 0;
  std::vector<FoundHeading> headings = FindCounting(text, high);
  return TableOf(headings, high);
}

}  // namespace varnelo
