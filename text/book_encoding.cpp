#include "text/book_encoding.h"

#include <iconv.h>
#include <uchardet/uchardet.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/codepage.h"
#include "text/book_search.h"
#include "text/shared_runs.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace varnelo {
namespace {

using Byte = unsigned char;

// A source byte that does not decode: a private character of plane 16, written back as
// the byte itself. Real books do not use the last 256 code points of Unicode.
constexpr char32_t kEscapeBase = 0x10FF00;
constexpr char32_t kNoCharacter = 0xFFFFFFFF;
// A mark every this many bytes of transcoded text.
constexpr std::int64_t kMarkStep = 4096;
// Loading looks this far for a sign that a book is not UTF-8 before it transcodes: a GBK
// book shows one within its first kilobytes.
constexpr std::size_t kUtf8Lookahead = 64 * 1024;
// The Big5 detector sees this much of a book: plenty to tell Big5 from GBK.
constexpr std::size_t kDetectorBytes = 256 * 1024;

// ---- GB18030 from Unicode: the BMP from iconv once, the other planes by formula --------

// Each code point's GB18030 bytes, big-endian in the low bytes; the length follows from the
// structure (below 0x80: one byte; up to 0xFFFF: two; else four). kUnmapped for none.
constexpr std::uint32_t kUnmapped = 0xFFFFFFFF;

std::size_t GbLength(const Byte* gb, std::size_t left) {
  if (gb[0] < 0x80) return 1;
  if (left >= 4 && gb[1] >= 0x30 && gb[1] <= 0x39) return 4;
  return 2;
}

const std::vector<std::uint32_t>& GbTable() {
  static const std::vector<std::uint32_t> table = [] {
    std::vector<std::uint32_t> t(0x10000, kUnmapped);
    iconv_t cd = iconv_open("GB18030", "UTF-32LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      for (std::uint32_t c = 0; c < 0x80; ++c) t[c] = c;
      return t;
    }
    std::vector<Byte> in;
    std::vector<Byte> out(0x10000 * 4);
    char32_t next = 0;
    while (next < 0x10000) {
      if (next >= 0xD800 && next <= 0xDFFF) {
        next = 0xE000;
        continue;
      }
      const char32_t first = next;
      const char32_t last = first < 0xD800 ? 0xD800 : 0x10000;
      in.clear();
      for (char32_t c = first; c < last; ++c) {
        for (int k = 0; k < 4; ++k) in.push_back(static_cast<Byte>(c >> (8 * k)));
      }
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      char* inPtr = reinterpret_cast<char*>(in.data());
      std::size_t inLeft = in.size();
      char* outPtr = reinterpret_cast<char*>(out.data());
      std::size_t outLeft = out.size();
      const std::size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
      const std::size_t made = out.size() - outLeft;
      const std::size_t used = (in.size() - inLeft) / 4;
      std::size_t at = 0;
      for (std::size_t k = 0; k < used && at < made; ++k) {
        const std::size_t length = GbLength(out.data() + at, made - at);
        std::uint32_t value = 0;
        for (std::size_t b = 0; b < length; ++b) value = value << 8 | out[at + b];
        t[first + k] = value;
        at += length;
      }
      next = first + static_cast<char32_t>(used);
      if (done == static_cast<std::size_t>(-1) && next < last) ++next;  // not mappable
      else if (done != static_cast<std::size_t>(-1)) next = last;
    }
    iconv_close(cd);
    return t;
  }();
  return table;
}

// Writes the GB18030 form of `c` at `out` (room for four bytes); its length, 0 if none.
inline std::size_t PutGb(const std::vector<std::uint32_t>& table, char32_t c, Byte* out) {
  if (c < 0x80) {
    out[0] = static_cast<Byte>(c);
    return 1;
  }
  if (c < 0x10000) {
    const std::uint32_t v = table[c];
    if (v == kUnmapped) return 0;
    if (v <= 0xFFFF) {
      out[0] = static_cast<Byte>(v >> 8);
      out[1] = static_cast<Byte>(v);
      return 2;
    }
    out[0] = static_cast<Byte>(v >> 24);
    out[1] = static_cast<Byte>(v >> 16);
    out[2] = static_cast<Byte>(v >> 8);
    out[3] = static_cast<Byte>(v);
    return 4;
  }
  if (c > 0x10FFFF) return 0;
  std::uint32_t n = c - 0x10000;
  out[3] = static_cast<Byte>(0x30 + n % 10);
  n /= 10;
  out[2] = static_cast<Byte>(0x81 + n % 126);
  n /= 126;
  out[1] = static_cast<Byte>(0x30 + n % 10);
  out[0] = static_cast<Byte>(0x90 + n / 10);
  return 4;
}

// The two GB18030 bytes, in memory order, of every code point from U+0800 whose code is
// two bytes; 0 for the others, so an overlong or a surrogate finds none. Chinese text in
// UTF-8 is mostly three-byte characters that become two bytes: this table takes them
// without decoding the general way. It is indexed by the character's bits as they lie in
// its three bytes, which takes fewer steps to gather than the code point.
inline std::size_t PairIndex(std::uint64_t threeBytes) {
  return (threeBytes & 0x0F) << 14 | (threeBytes >> 8 & 0x3F3F);
}

const std::vector<std::uint16_t>& GbPairs() {
  static const std::vector<std::uint16_t> pairs = [] {
    const std::vector<std::uint32_t>& table = GbTable();
    std::vector<std::uint16_t> t(std::size_t{1} << 18, 0);
    for (std::uint64_t c = 0x800; c < 0x10000; ++c) {
      if (table[c] >= 0x8000 && table[c] <= 0xFFFF) {
        const Byte two[2] = {static_cast<Byte>(table[c] >> 8), static_cast<Byte>(table[c])};
        std::memcpy(&t[PairIndex((c >> 12) | (c >> 6 & 0x3F) << 8 | (c & 0x3F) << 16)], two, 2);
      }
    }
    return t;
  }();
  return pairs;
}

// Writes the GB18030 form of `c`, decoded from the `n` source bytes at `source`, at `out`
// (room for sixteen bytes); returns its length. A character GB18030 lacks, and a real one
// among the escapes' code points, becomes one escape per source byte, so the text always
// turns back into exactly the source.
inline std::size_t PutCharacter(const std::vector<std::uint32_t>& table, char32_t c,
                                const Byte* source, std::size_t n, Byte* out) {
  if (n == 1 || c < kEscapeBase) {
    const std::size_t length = PutGb(table, c, out);
    if (length != 0) return length;
  }
  for (std::size_t k = 0; k < n; ++k) PutGb(table, kEscapeBase + source[k], out + 4 * k);
  return 4 * n;
}

// ---- Big5 both ways, from iconv once --------------------------------------------------

struct Big5Tables {
  std::vector<char32_t> decode;   // (lead - 0x80) << 8 | trail
  std::vector<std::uint16_t> encode;  // BMP code point to the first code that holds it
};

bool IsBig5Trail(Byte b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE); }

const Big5Tables& Big5() {
  static const Big5Tables tables = [] {
    Big5Tables t;
    t.decode.assign(0x8000, kNoCharacter);
    t.encode.assign(0x10000, 0);
    iconv_t cd = iconv_open("UTF-32LE", "BIG5");
    if (cd == reinterpret_cast<iconv_t>(-1)) return t;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
      for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
        if (!IsBig5Trail(static_cast<Byte>(trail))) continue;
        char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        Byte out[8];
        char* inPtr = in;
        std::size_t inLeft = 2;
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
            sizeof out - outLeft != 4)
          continue;
        const char32_t c = out[0] | out[1] << 8 | out[2] << 16 | static_cast<char32_t>(out[3]) << 24;
        t.decode[(lead - 0x80) << 8 | trail] = c;
        // Where a character has two codes (十 at A2CC and A451), the one in the areas of
        // Chinese characters is the one Big5 text uses.
        const auto hanzi = [](unsigned code) {
          return (code >= 0xA440 && code <= 0xC67E) || (code >= 0xC940 && code <= 0xF9D5);
        };
        const unsigned code = lead << 8 | trail;
        if (c < 0x10000 && (t.encode[c] == 0 || (hanzi(code) && !hanzi(t.encode[c]))))
          t.encode[c] = static_cast<std::uint16_t>(code);
      }
    }
    iconv_close(cd);
    return t;
  }();
  return tables;
}

// ---- Decoding one character of the source ---------------------------------------------

// The character at p (before end) and the bytes it takes; an escape for a byte that starts
// no character.
inline std::size_t NextUtf8(const Byte* p, const Byte* end, char32_t& c) {
  const Byte b0 = p[0];
  const std::size_t left = static_cast<std::size_t>(end - p);
  if (b0 < 0x80) {
    c = b0;
    return 1;
  }
  const auto cont = [&](std::size_t k) { return k < left && (p[k] & 0xC0) == 0x80; };
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    if (cont(1)) {
      c = (b0 & 0x1Fu) << 6 | (p[1] & 0x3Fu);
      return 2;
    }
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    if (cont(1) && cont(2)) {
      const char32_t v = (b0 & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
      if (v >= 0x800 && (v < 0xD800 || v > 0xDFFF)) {
        c = v;
        return 3;
      }
    }
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    if (cont(1) && cont(2) && cont(3)) {
      const char32_t v =
          (b0 & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu);
      if (v >= 0x10000 && v <= 0x10FFFF) {
        c = v;
        return 4;
      }
    }
  }
  c = kEscapeBase + b0;
  return 1;
}

// Whether the bytes from p to the end are the start of one valid UTF-8 character.
bool IsCutUtf8(const Byte* p, const Byte* end) {
  const std::size_t left = static_cast<std::size_t>(end - p);
  const Byte b0 = p[0];
  const std::size_t need = b0 >= 0xC2 && b0 <= 0xDF ? 2 : b0 >= 0xE0 && b0 <= 0xEF ? 3
                         : b0 >= 0xF0 && b0 <= 0xF4 ? 4 : 0;
  if (need == 0 || left >= need) return false;
  for (std::size_t k = 1; k < left; ++k) {
    if ((p[k] & 0xC0) != 0x80) return false;
  }
  if (left >= 2) {  // the second byte already rules out overlongs and surrogates
    const Byte b1 = p[1];
    if ((b0 == 0xE0 && b1 < 0xA0) || (b0 == 0xED && b1 > 0x9F) || (b0 == 0xF0 && b1 < 0x90) ||
        (b0 == 0xF4 && b1 > 0x8F))
      return false;
  }
  return true;
}

template <bool kLittle>
inline std::size_t NextUtf16(const Byte* p, const Byte* end, char32_t& c) {
  const auto unit = [](const Byte* q) -> char32_t {
    return kLittle ? (q[0] | q[1] << 8) : (q[0] << 8 | q[1]);
  };
  const std::size_t left = static_cast<std::size_t>(end - p);
  if (left >= 2) {
    const char32_t u = unit(p);
    if (u < 0xD800 || u > 0xDFFF) {
      c = u;
      return 2;
    }
    if (u <= 0xDBFF && left >= 4) {
      const char32_t low = unit(p + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
        return 4;
      }
    }
    // Half a pair alone: both its bytes kept as escapes, so decoding goes on from the next
    // unit instead of one byte out of step for the rest of the book.
    c = kEscapeBase;
    return 2;
  }
  c = kEscapeBase + p[0];
  return 1;
}

inline std::size_t NextBig5(const Big5Tables& big5, const Byte* p, const Byte* end, char32_t& c) {
  const Byte b0 = p[0];
  if (b0 < 0x80) {
    c = b0;
    return 1;
  }
  if (b0 >= 0x81 && b0 <= 0xFE && end - p >= 2 && IsBig5Trail(p[1])) {
    const char32_t v = big5.decode[static_cast<std::size_t>(b0 - 0x80) << 8 | p[1]];
    if (v != kNoCharacter) {
      c = v;
      return 2;
    }
  }
  c = kEscapeBase + b0;
  return 1;
}

// Calls `step(character, source length)` for every character from `from` on, while it
// returns true. The decoders are picked once, outside the loop.
template <typename Step>
void Walk(BookEncoding encoding, const Byte* data, std::size_t size, std::size_t from,
          Step&& step) {
  const Byte* p = data + from;
  const Byte* end = data + size;
  char32_t c = 0;
  switch (encoding) {
    case BookEncoding::Utf8:
      while (p < end) {
        const std::size_t n = NextUtf8(p, end, c);
        if (!step(c, n)) return;
        p += n;
      }
      return;
    case BookEncoding::Utf16Le:
      while (p < end) {
        const std::size_t n = NextUtf16<true>(p, end, c);
        if (!step(c, n)) return;
        p += n;
      }
      return;
    case BookEncoding::Utf16Be:
      while (p < end) {
        const std::size_t n = NextUtf16<false>(p, end, c);
        if (!step(c, n)) return;
        p += n;
      }
      return;
    case BookEncoding::Big5: {
      const Big5Tables& big5 = Big5();
      while (p < end) {
        const std::size_t n = NextBig5(big5, p, end, c);
        if (!step(c, n)) return;
        p += n;
      }
      return;
    }
    case BookEncoding::Gbk:
      return;
  }
}

bool DetectorSaysBig5(std::string_view bytes) {
  uchardet_t detector = uchardet_new();
  if (detector == nullptr) return false;
  const std::size_t length = std::min(bytes.size(), kDetectorBytes);
  bool big5 = false;
  if (uchardet_handle_data(detector, bytes.data(), length) == 0) {
    uchardet_data_end(detector);
    const char* name = uchardet_get_charset(detector);
    big5 = name != nullptr && strcasecmp(name, "BIG5") == 0;
  }
  uchardet_delete(detector);
  return big5;
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | c >> 6));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | c >> 12));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | c >> 18));
    out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void AppendUnit(char32_t u, bool little, std::string& out) {
  const char hi = static_cast<char>(u >> 8);
  const char lo = static_cast<char>(u);
  out.push_back(little ? lo : hi);
  out.push_back(little ? hi : lo);
}

std::u32string ToCodePoints(std::u16string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      out.push_back(0x10000 + ((u - 0xD800u) << 10) + (text[i + 1] - 0xDC00u));
      ++i;
    } else {
      out.push_back(u);
    }
  }
  return out;
}

// Transcodes a book into GB18030 over its own bytes. The text so far is data[0, out)
// followed by `pending`: output that did not fit before the unread input (text that grows,
// such as escapes), moved into place as soon as the input has made room for it.
struct InPlaceText {
  InPlaceText(Byte* bytes, std::size_t length, std::size_t from, BookForm& book)
      : data(bytes), size(length), in(from), form(book) {}

  Byte* data;
  std::size_t size;
  std::size_t in;
  BookForm& form;
  std::size_t out = 0;
  std::string pending;
  std::int64_t nextMark = kMarkStep;

  std::int64_t TextSize() const { return static_cast<std::int64_t>(out + pending.size()); }
  void MarkIfDue() {
    if (TextSize() < nextMark) return;
    form.marks.push_back({TextSize(), static_cast<std::int64_t>(in)});
    nextMark = TextSize() + kMarkStep;
  }
  // The output of a character whose source, up to `in`, has been read.
  void Put(const Byte* what, std::size_t n) {
    if (pending.empty() && out + n <= in) {
      std::memcpy(data + out, what, n);
      out += n;
      return;
    }
    pending.append(reinterpret_cast<const char*>(what), n);
    if (in - out >= pending.size()) {
      std::memcpy(data + out, pending.data(), pending.size());
      out += pending.size();
      pending.clear();
    }
  }
  // One character the general way.
  void Step(const std::vector<std::uint32_t>& table, char32_t c, std::size_t n) {
    Byte gb[16];
    const std::size_t length = PutCharacter(table, c, data + in, n, gb);
    in += n;
    Put(gb, length);
  }
  void Finish(std::string& bytes) {
    bytes.resize(out);
    bytes += pending;
  }
};

// The UTF-8 pass: checks and transcodes at once. ASCII runs are copied sixteen bytes at a
// time and three-byte characters with a two-byte code go through GbPairs; everything else
// is one general step. The census is CountUtf8's; `detecting` gives up as soon as the file
// can no longer pass LooksLikeUtf8. Returns whether it went to the end.
bool Utf8Pass(InPlaceText& t, bool detecting, Utf8Census& census) {
  const std::vector<std::uint32_t>& table = GbTable();
  const std::uint16_t* pairs = GbPairs().data();
  Byte* const data = t.data;
  const std::size_t size = t.size;
  while (t.in < size) {
    t.MarkIfDue();
    if (t.pending.empty()) {
      std::size_t in = t.in;
      std::size_t out = t.out;
      const std::size_t markAt = static_cast<std::size_t>(t.nextMark);
      std::int64_t characters = 0;
      bool general = false;
      while (out < markAt && !general) {
#if defined(__SSE2__)
        while (in + 16 <= size && out < markAt) {
          const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + in));
          const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(chunk));
          if (high == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(data + out), chunk);
            in += 16;
            out += 16;
            continue;
          }
          const std::size_t ascii = in + static_cast<std::size_t>(__builtin_ctz(high));
          while (in < ascii) data[out++] = data[in++];
          break;
        }
#endif
        while (in < size && data[in] < 0x80 && out < markAt) data[out++] = data[in++];
        // A run of three-byte characters: lead E0-EF, two continuation bytes, a two-byte
        // code (overlongs and surrogates have none in the table). Two at a time first.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        // Pairs that fit before the end and before the next mark, counted once.
        std::size_t room = size < in + 8 ? 0 : (size - in - 8) / 6 + 1;
        room = std::min(room, (markAt - out + 3) / 4);
        for (; room > 0; --room) {
          std::uint64_t w;
          std::memcpy(&w, data + in, 8);
          if ((w & 0xC0C0F0C0C0F0ULL) != 0x8080E08080E0ULL) break;
          const std::uint32_t both =
              pairs[PairIndex(w)] | std::uint32_t{pairs[PairIndex(w >> 24)]} << 16;
          // A code's lead byte is 81 or above: one test for both.
          if ((both & 0x00800080) != 0x00800080) break;
          std::memcpy(data + out, &both, 4);
          in += 6;
          out += 4;
          characters += 2;
        }
#endif
        while (in + 3 <= size && out < markAt) {
          const Byte b0 = data[in];
          if (b0 < 0x80) break;
          const Byte b1 = data[in + 1];
          const Byte b2 = data[in + 2];
          std::uint16_t pair = 0;
          if ((b0 & 0xF0) == 0xE0 && (b1 & 0xC0) == 0x80 && (b2 & 0xC0) == 0x80)
            pair = pairs[PairIndex(b0 | b1 << 8 | static_cast<std::uint64_t>(b2) << 16)];
          if (pair == 0) {
            general = true;
            break;
          }
          std::memcpy(data + out, &pair, 2);
          in += 3;
          out += 2;
          ++characters;
        }
        if (in >= size || (in + 3 > size && data[in] >= 0x80)) general = true;
      }
      t.in = in;
      t.out = out;
      census.multiByte += characters;
      if (!general || in >= size) continue;
    }
    char32_t c;
    const Byte* p = data + t.in;
    const std::size_t n = NextUtf8(p, data + size, c);
    if (n > 1) {
      ++census.multiByte;
    } else if (*p >= 0x80) {
      if (IsCutUtf8(p, data + size)) {
        census.cutAtEnd = true;  // kept as escapes, not counted
        while (t.in < size) t.Step(table, kEscapeBase + data[t.in], 1);
        break;
      }
      ++census.invalid;
      const std::int64_t mostStill = census.multiByte + static_cast<std::int64_t>(size - t.in) / 2;
      if (detecting && census.invalid * 10000 > mostStill) return false;
    }
    t.Step(table, c, n);
  }
  return true;
}

// Appends the bytes a UTF-8 pass turned into `text` (whole characters), exactly: iconv
// decodes what GbTable came from, and each escape is its byte. A piece at a time, so a
// late failure on a large book costs no more than the bytes it restores.
void UndoUtf8Pass(std::string_view text, std::string& bytes) {
  iconv_t cd = iconv_open("UTF-32LE", "GB18030");
  if (cd == reinterpret_cast<iconv_t>(-1)) return;
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  std::array<char32_t, 4096> points;
  while (inLeft > 0) {
    char* o = reinterpret_cast<char*>(points.data());
    std::size_t outLeft = sizeof points;
    const std::size_t done = iconv(cd, &in, &inLeft, &o, &outLeft);
    const std::size_t made = (sizeof points - outLeft) / 4;
    for (std::size_t k = 0; k < made; ++k) {
      Byte u[4];
      std::memcpy(u, &points[k], 4);
      const char32_t c = u[0] | u[1] << 8 | u[2] << 16 | static_cast<char32_t>(u[3]) << 24;
      if (c >= kEscapeBase) {
        bytes.push_back(static_cast<char>(c - kEscapeBase));
      } else {
        AppendUtf8(c, bytes);
      }
    }
    if (done == static_cast<std::size_t>(-1) && errno != E2BIG) break;  // never: our own text
  }
  iconv_close(cd);
}

}  // namespace

std::string_view EncodingName(BookEncoding encoding) {
  switch (encoding) {
    case BookEncoding::Gbk: return "gbk";
    case BookEncoding::Utf8: return "utf-8";
    case BookEncoding::Big5: return "big5";
    case BookEncoding::Utf16Le: return "utf-16le";
    case BookEncoding::Utf16Be: return "utf-16be";
  }
  return "gbk";
}

const char* EncodingLabel(BookEncoding encoding) {
  switch (encoding) {
    case BookEncoding::Gbk: return "GBK/GB18030";
    case BookEncoding::Utf8: return "UTF-8";
    case BookEncoding::Big5: return "Big5";
    case BookEncoding::Utf16Le: return "UTF-16 LE";
    case BookEncoding::Utf16Be: return "UTF-16 BE";
  }
  return "GBK/GB18030";
}

std::optional<BookEncoding> EncodingFromName(std::string_view name) {
  std::string lower(name);
  for (char& ch : lower) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
  for (BookEncoding e : {BookEncoding::Gbk, BookEncoding::Utf8, BookEncoding::Big5,
                         BookEncoding::Utf16Le, BookEncoding::Utf16Be}) {
    if (lower == EncodingName(e)) return e;
  }
  return std::nullopt;
}

namespace {

// CountUtf8 of the characters that start in the first `limit` bytes; `hopeless` tells
// whether it stopped because the whole file can no longer pass LooksLikeUtf8.
Utf8Census CountUtf8Start(std::string_view bytes, std::size_t limit, bool& hopeless) {
  hopeless = false;
  Utf8Census census;
  const Byte* data = reinterpret_cast<const Byte*>(bytes.data());
  const Byte* p = data;
  const Byte* end = data + bytes.size();
  const Byte* stop = data + std::min(limit, bytes.size());
  while (p < stop) {
    // Runs of ASCII eight bytes at a time.
    while (end - p >= 8 && p < stop) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      if ((word & 0x8080808080808080ULL) != 0) break;
      p += 8;
    }
    if (p >= stop) break;
    if (*p < 0x80) {
      ++p;
      continue;
    }
    // The common case of Chinese text: a three-byte character outside the E0 and ED rows,
    // where overlongs and surrogates live.
    if (end - p >= 3 && p[0] >= 0xE1 && p[0] != 0xED && p[0] <= 0xEF && (p[1] & 0xC0) == 0x80 &&
        (p[2] & 0xC0) == 0x80) {
      ++census.multiByte;
      p += 3;
      continue;
    }
    char32_t c;
    const std::size_t n = NextUtf8(p, end, c);
    if (n > 1) {
      ++census.multiByte;
    } else if (IsCutUtf8(p, end)) {
      census.cutAtEnd = true;
      break;
    } else {
      ++census.invalid;
      // Text this far from UTF-8 will not come back within the tolerance: stop early.
      const std::int64_t mostStill = census.multiByte + (end - p) / 2;
      if (census.invalid * 10000 > mostStill) {
        hopeless = true;
        break;
      }
    }
    p += n;
  }
  return census;
}

}  // namespace

Utf8Census CountUtf8(std::string_view bytes) {
  bool hopeless;
  return CountUtf8Start(bytes, bytes.size(), hopeless);
}

bool LooksLikeUtf8(const Utf8Census& census) {
  return census.multiByte > 0 && census.invalid * 10000 <= census.multiByte;
}

namespace {

// Below this many multi-byte characters, GBK text can be valid UTF-8 by chance ("女牛平前"
// in GBK reads as Latin letters with accents), so the two readings are weighed.
constexpr std::int64_t kFewForUtf8 = 256;

// Whether the UTF-8 reading of `bytes` gives common text at least as often as the GBK
// reading does: Chinese characters, CJK and general punctuation and Latin-1 for UTF-8; the
// punctuation rows and the level-1 characters of GB2312 for GBK.
bool Utf8ReadingIsLikelier(std::string_view bytes) {
  const Byte* data = reinterpret_cast<const Byte*>(bytes.data());
  const Byte* end = data + bytes.size();
  std::int64_t utf8All = 0;
  std::int64_t utf8Common = 0;
  for (const Byte* p = data; p < end;) {
    char32_t c;
    const std::size_t n = NextUtf8(p, end, c);
    if (n > 1) {
      ++utf8All;
      utf8Common += (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3000 && c <= 0x303F) ||
                    (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x2000 && c <= 0x206F) ||
                    (c >= 0xA0 && c <= 0xFF);
    }
    p += n;
  }
  std::int64_t gbkAll = 0;
  std::int64_t gbkCommon = 0;
  for (const Byte* p = data; p < end;) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    ++gbkAll;
    if (end - p < 2 || *p == 0x80 || *p == 0xFF) {
      ++p;
      continue;
    }
    const Byte lead = p[0];
    const Byte trail = p[1];
    gbkCommon += ((lead >= 0xA1 && lead <= 0xA3) || (lead >= 0xB0 && lead <= 0xD7)) &&
                 trail >= 0xA1 && trail <= 0xFE;
    p += trail >= 0x30 && trail <= 0x39 && end - p >= 4 ? 4 : 2;
  }
  return utf8Common * gbkAll >= gbkCommon * utf8All;
}

// Valid UTF-8 with enough evidence that it is meant as UTF-8.
bool IsUtf8(std::string_view bytes, const Utf8Census& census) {
  return LooksLikeUtf8(census) && (census.multiByte >= kFewForUtf8 || Utf8ReadingIsLikelier(bytes));
}

}  // namespace

namespace {

// The user's choice or the byte-order mark, when either decides.
std::optional<DetectedEncoding> ChoiceOrMark(std::string_view bytes,
                                             std::optional<BookEncoding> choice) {
  const auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  const bool utf8Mark = starts("\xEF\xBB\xBF");
  const bool leMark = starts("\xFF\xFE");
  const bool beMark = starts("\xFE\xFF");
  if (choice) {
    std::size_t mark = 0;
    if (*choice == BookEncoding::Utf8 && utf8Mark) mark = 3;
    if ((*choice == BookEncoding::Utf16Le && leMark) || (*choice == BookEncoding::Utf16Be && beMark))
      mark = 2;
    return DetectedEncoding{*choice, mark};
  }
  if (utf8Mark) return DetectedEncoding{BookEncoding::Utf8, 3};
  if (leMark) return DetectedEncoding{BookEncoding::Utf16Le, 2};
  if (beMark) return DetectedEncoding{BookEncoding::Utf16Be, 2};
  return std::nullopt;
}

// A UTF-16 book without its mark, where the evidence is clear: within its first 64 KB the
// reading in one byte order gives line breaks on unit boundaries and almost nothing but
// common characters (ASCII, Latin-1, punctuation, Chinese). GBK, Big5 or UTF-8 text never
// holds a line feed followed by a zero byte, and ASCII read as UTF-16 has no line breaks.
std::optional<DetectedEncoding> Utf16WithoutMark(std::string_view bytes) {
  const std::size_t sample = std::min(bytes.size(), std::size_t{64 * 1024}) & ~std::size_t{1};
  if (sample < 4) return std::nullopt;
  const Byte* data = reinterpret_cast<const Byte*>(bytes.data());
  for (const bool little : {true, false}) {
    std::size_t breaks = 0;
    std::size_t common = 0;
    for (std::size_t i = 0; i < sample; i += 2) {
      const char32_t u = little ? (data[i] | data[i + 1] << 8) : (data[i] << 8 | data[i + 1]);
      breaks += u == 0x0A || u == 0x0D;
      common += u == 0x09 || u == 0x0A || u == 0x0D || (u >= 0x20 && u <= 0x7E) ||
                (u >= 0xA0 && u <= 0xFF) || (u >= 0x2000 && u <= 0x206F) ||
                (u >= 0x3000 && u <= 0x303F) || (u >= 0x3400 && u <= 0x9FFF) ||
                (u >= 0xFF00 && u <= 0xFFEF);
    }
    if (breaks > 0 && common * 10 >= sample / 2 * 9)
      return DetectedEncoding{little ? BookEncoding::Utf16Le : BookEncoding::Utf16Be, 0};
  }
  return std::nullopt;
}

// A book that is not UTF-8: Big5 when the detector says so, else GBK.
DetectedEncoding NotUtf8(std::string_view bytes, const Utf8Census& census) {
  if (census.multiByte == 0 && census.invalid == 0) return {};  // plain ASCII
  if (DetectorSaysBig5(bytes)) return {BookEncoding::Big5, 0};
  return {};
}

}  // namespace

DetectedEncoding DetectEncoding(std::string_view bytes, std::optional<BookEncoding> choice) {
  if (const std::optional<DetectedEncoding> decided = ChoiceOrMark(bytes, choice)) return *decided;
  if (const std::optional<DetectedEncoding> utf16 = Utf16WithoutMark(bytes)) return *utf16;
  const Utf8Census census = CountUtf8(bytes);
  if (IsUtf8(bytes, census)) return {BookEncoding::Utf8, 0};
  return NotUtf8(bytes, census);
}

BookPosition BookForm::Locate(std::string_view file, std::int64_t text, bool roundUp) const {
  BookPosition at{0, static_cast<std::int64_t>(markLength)};
  const auto after = std::upper_bound(marks.begin(), marks.end(), text,
                                      [](std::int64_t t, const BookPosition& m) { return t < m.text; });
  if (after != marks.begin()) at = *(after - 1);
  if (encoding == BookEncoding::Gbk) return {text, text};
  const std::vector<std::uint32_t>& table = GbTable();
  Byte scratch[16];
  const Byte* data = reinterpret_cast<const Byte*>(file.data());
  if (static_cast<std::size_t>(at.file) > file.size()) return {text, static_cast<std::int64_t>(file.size())};
  Walk(encoding, data, file.size(), static_cast<std::size_t>(at.file), [&](char32_t c, std::size_t n) {
    const std::int64_t length = static_cast<std::int64_t>(
        PutCharacter(table, c, data + at.file, n, scratch));
    if (roundUp ? at.text >= text : at.text + length > text) return false;
    at.text += length;
    at.file += static_cast<std::int64_t>(n);
    return true;
  });
  return at;
}

BookForm TranscodeBook(std::string& bytes, const DetectedEncoding& detected) {
  BookForm form;
  form.encoding = detected.encoding;
  form.markLength = std::min(detected.markLength, bytes.size());
  form.marks.push_back({0, static_cast<std::int64_t>(form.markLength)});
  if (detected.encoding == BookEncoding::Gbk) return form;
  InPlaceText text{reinterpret_cast<Byte*>(bytes.data()), bytes.size(), form.markLength, form};
  if (detected.encoding == BookEncoding::Utf8) {
    Utf8Census census;
    Utf8Pass(text, false, census);
  } else {
    const std::vector<std::uint32_t>& table = GbTable();
    Walk(detected.encoding, text.data, text.size, text.in, [&](char32_t c, std::size_t n) {
      text.MarkIfDue();
      text.Step(table, c, n);
      return true;
    });
  }
  text.Finish(bytes);
  return form;
}

LoadStatus ReadBook(const std::string& path, std::optional<BookEncoding> choice,
                    std::string& text, BookForm& form, std::string* fileBytes,
                    const PassProgress& progress) {
  form = BookForm();
  form.marks.push_back({0, 0});
  if (fileBytes != nullptr) fileBytes->clear();
  const LoadStatus status = ReadBookFile(path, text, true, progress);
  if (status != LoadStatus::Ok) return status;
  // Finding and turning another encoding into GB18030 is a pass of its own: not begun once stopped.
  const std::int64_t size = static_cast<std::int64_t>(text.size());
  if (progress && !progress(size, size)) {
    text.clear();
    return LoadStatus::Cancelled;
  }
  std::optional<DetectedEncoding> decided = ChoiceOrMark(text, choice);
  if (!decided) decided = Utf16WithoutMark(text);
  // A UTF-16 book opens as UTF-16, its mark or not; read as GBK by choice, it cannot.
  const bool leMark = text.size() >= 2 && static_cast<Byte>(text[0]) == 0xFF &&
                      static_cast<Byte>(text[1]) == 0xFE;
  if (choice == BookEncoding::Gbk && leMark) {
    text.clear();
    return LoadStatus::Unicode;
  }
  if (fileBytes != nullptr) *fileBytes = text;
  bool hopeless = false;
  const Utf8Census start =
      decided ? Utf8Census() : CountUtf8Start(text, kUtf8Lookahead, hopeless);
  if (decided) {
    form = TranscodeBook(text, *decided);
  } else if (hopeless) {  // a GBK book, found out within its first kilobytes
    form = TranscodeBook(text, NotUtf8(text, start));
  } else {
    // Checking for UTF-8 and transcoding are one pass. A file that turns out not to be
    // UTF-8 after all gets back the bytes it had.
    form.encoding = BookEncoding::Utf8;
    InPlaceText utf8{reinterpret_cast<Byte*>(text.data()), text.size(), 0, form};
    Utf8Census census;
    bool utf8Read = Utf8Pass(utf8, true, census) && LooksLikeUtf8(census);
    std::string before;
    if (utf8Read && census.multiByte < kFewForUtf8) {
      // Few characters to go by: weigh the two readings of the file's own bytes.
      before.reserve(utf8.in);
      UndoUtf8Pass(std::string_view(text.data(), utf8.out), before);
      UndoUtf8Pass(utf8.pending, before);
      utf8Read = !(before.size() == utf8.in && !Utf8ReadingIsLikelier(before));
    }
    if (utf8Read) {
      utf8.Finish(text);
    } else {
      if (census.multiByte != 0 || census.invalid != 0) {  // else nothing moved
        if (before.empty()) {
          before.reserve(utf8.in);
          UndoUtf8Pass(std::string_view(text.data(), utf8.out), before);
          UndoUtf8Pass(utf8.pending, before);
        }
        if (before.size() != utf8.in) return LoadStatus::Unreadable;  // never: the pass is exact
        std::memcpy(text.data(), before.data(), before.size());
      }
      form = TranscodeBook(text, NotUtf8(text, census));
    }
  }
  if (text.empty()) return LoadStatus::Empty;  // nothing but a byte-order mark
  return LoadStatus::Ok;
}

std::optional<std::string> EncodeText(std::u32string_view text, BookEncoding encoding,
                                      char32_t* refused) {
  std::string out;
  out.reserve(text.size() * 3);
  const bool little = encoding == BookEncoding::Utf16Le;
  for (char32_t c : text) {
    if (c >= kEscapeBase && c <= kEscapeBase + 0xFF) {
      out.push_back(static_cast<char>(c - kEscapeBase));
      continue;
    }
    if (c >= 0xDC80 && c <= 0xDCFF) {  // a byte the pane's decoder kept
      out.push_back(static_cast<char>(c - 0xDC00));
      continue;
    }
    bool fits = c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    if (fits) {
      switch (encoding) {
        case BookEncoding::Utf8:
          AppendUtf8(c, out);
          break;
        case BookEncoding::Utf16Le:
        case BookEncoding::Utf16Be:
          if (c < 0x10000) {
            AppendUnit(c, little, out);
          } else {
            AppendUnit(0xD800 + ((c - 0x10000) >> 10), little, out);
            AppendUnit(0xDC00 + ((c - 0x10000) & 0x3FF), little, out);
          }
          break;
        case BookEncoding::Big5: {
          if (c < 0x80) {
            out.push_back(static_cast<char>(c));
          } else if (c < 0x10000 && Big5().encode[c] != 0) {
            out.push_back(static_cast<char>(Big5().encode[c] >> 8));
            out.push_back(static_cast<char>(Big5().encode[c] & 0xFF));
          } else {
            fits = false;
          }
          break;
        }
        case BookEncoding::Gbk: {
          std::u16string units;
          if (c < 0x10000) {
            units.push_back(static_cast<char16_t>(c));
          } else {
            units.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
          }
          out += EncodeBookText(units);
          break;
        }
      }
    }
    if (!fits) {
      if (refused != nullptr) *refused = c;
      return std::nullopt;
    }
  }
  return out;
}

namespace {

// The first offsets from which both texts are whole characters to their ends and equal:
// each is walked forward, a character at a time, from `from`, a character start of both
// that all their bytes before are shared. Comparing from the right in bytes is not enough,
// as a GB18030 character may end in the same byte as another (a four-byte code ends in an
// ASCII digit, many two-byte codes in an ASCII letter).
std::pair<std::size_t, std::size_t> SharedTail(std::string_view a, std::string_view b,
                                               std::size_t from, std::size_t sharedBytes) {
  std::size_t x = from;
  std::size_t y = from;
  for (;;) {
    const std::size_t leftA = a.size() - x;
    const std::size_t leftB = b.size() - y;
    if (leftA == leftB && leftA <= sharedBytes) return {x, y};
    if (leftA >= leftB) {
      x += CharLengthAt(a, x);
    } else {
      y += CharLengthAt(b, y);
    }
  }
}

// A character of the file, as the transcoded text holds it: the code point, or the escape
// of one byte, and where its bytes are.
struct FileCharacter {
  char32_t c;
  std::size_t at;
  std::size_t length;
};

std::vector<FileCharacter> FileCharacters(std::string_view file, BookEncoding encoding,
                                          std::size_t from, std::size_t to) {
  std::vector<FileCharacter> out;
  const std::vector<std::uint32_t>& table = GbTable();
  const Byte* data = reinterpret_cast<const Byte*>(file.data());
  std::size_t at = from;
  Byte scratch[16];
  Walk(encoding, data, to, from, [&](char32_t c, std::size_t n) {
    if (PutCharacter(table, c, data + at, n, scratch) == 4 * n && (n > 1 || c >= kEscapeBase)) {
      // Kept as one escape per byte (a character GB18030 lacks, or a stray byte).
      for (std::size_t k = 0; k < n; ++k) out.push_back({kEscapeBase + data[at + k], at + k, 1});
    } else {
      out.push_back({c, at, n});
    }
    at += n;
    return true;
  });
  return out;
}

}  // namespace

EncodedEdit EncodeEdit(std::string_view fileNow, const BookForm& form, std::string_view textNow,
                       std::string_view textEdited) {
  EncodedEdit result;
  const std::size_t limit = std::min(textNow.size(), textEdited.size());
  std::size_t prefix = 0;
  while (prefix < limit && textNow[prefix] == textEdited[prefix]) ++prefix;
  if (prefix == textNow.size() && prefix == textEdited.size()) {
    result.file = std::string(fileNow);
    return result;
  }
  std::size_t suffix = 0;
  while (suffix < limit - prefix &&
         textNow[textNow.size() - 1 - suffix] == textEdited[textEdited.size() - 1 - suffix])
    ++suffix;
  // The changed range on character boundaries of both texts and of the file.
  const BookPosition from = form.Locate(fileNow, static_cast<std::int64_t>(prefix));
  const std::size_t start = static_cast<std::size_t>(from.text);
  const std::size_t tailNow = SharedTail(textNow, textEdited, start, suffix).first;
  const BookPosition to = form.Locate(fileNow, static_cast<std::int64_t>(tailNow), true);
  const std::size_t end = static_cast<std::size_t>(to.text);
  const std::u32string typed = ToCodePoints(
      DecodeBookBytes(textEdited.substr(start, textEdited.size() - (textNow.size() - end) - start)));

  // Characters the edit left alone between its changes keep their own bytes, not the code
  // the encoding would choose for them now.
  const std::vector<FileCharacter> before = FileCharacters(
      fileNow, form.encoding, static_cast<std::size_t>(from.file), static_cast<std::size_t>(to.file));
  std::vector<edit_script::Run> kept;
  const auto same = [&](edit_script::Index x, edit_script::Index y) {
    return before[static_cast<std::size_t>(x)].c == typed[static_cast<std::size_t>(y)];
  };
  const auto oldCount = static_cast<edit_script::Index>(before.size());
  const auto newCount = static_cast<edit_script::Index>(typed.size());
  if (!edit_script::SharedRuns(oldCount, newCount, same, 0, 0, kept)) kept.clear();
  kept.push_back({oldCount, newCount, 0});

  std::string file;
  file.reserve(fileNow.size() + typed.size() * 4);
  file.append(fileNow.substr(0, static_cast<std::size_t>(from.file)));
  std::size_t y = 0;
  for (const edit_script::Run& run : kept) {
    const auto runX = static_cast<std::size_t>(run.x);
    const auto runY = static_cast<std::size_t>(run.y);
    const std::optional<std::string> encoded =
        EncodeText(std::u32string_view(typed).substr(y, runY - y), form.encoding, &result.refused);
    if (!encoded) return result;
    file += *encoded;
    if (run.length > 0) {
      const FileCharacter& last = before[runX + static_cast<std::size_t>(run.length) - 1];
      file.append(fileNow.substr(before[runX].at, last.at + last.length - before[runX].at));
    }
    y = runY + static_cast<std::size_t>(run.length);
  }
  file.append(fileNow.substr(static_cast<std::size_t>(to.file)));
  result.file = std::move(file);
  return result;
}

}  // namespace varnelo
