#include "platform/glyph_coverage.h"
#include "platform/utf16.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>

namespace varnelo {
namespace {

constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char16_t kWordJoiner = 0x2060;

// Unicode's default-ignorable code points: a renderer shows nothing for them, font or not.
bool IsIgnorable(char32_t c) {
  struct Range {
    char32_t first, last;
  };
  static constexpr Range kIgnorable[] = {
      {0x00AD, 0x00AD}, {0x034F, 0x034F}, {0x061C, 0x061C},   {0x115F, 0x1160},
      {0x17B4, 0x17B5}, {0x180B, 0x180F}, {0x200B, 0x200F},   {0x202A, 0x202E},
      {0x2060, 0x206F}, {0x3164, 0x3164}, {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},
      {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFF8}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A},
      {0xE0000, 0xE0FFF},
  };
  return std::any_of(std::begin(kIgnorable), std::end(kIgnorable),
                     [c](const Range& r) { return c >= r.first && c <= r.last; });
}

// What the text layout handles itself: controls, line and paragraph separators, and the
// characters a text document keeps for its own marks (objects, frames), which its plain
// text gives back as something else.
bool NeedsNoGlyph(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0xFFFC ||
         c == 0xFDD0 || c == 0xFDD1 || IsIgnorable(c);
}

}  // namespace

void GlyphCoverage::Add(char32_t base, const std::uint32_t* words, std::size_t count) {
  if (base > kLastCodePoint) return;
  const std::size_t first = base / 32;
  count = std::min<std::size_t>(count, (kLastCodePoint / 32 + 1) - first);
  if (words_.size() < first + count) words_.resize(first + count, 0);
  for (std::size_t i = 0; i < count; ++i) words_[first + i] |= words[i];
}

void GlyphCoverage::Add(char32_t first, char32_t last) {
  last = std::min(last, kLastCodePoint);
  if (first > last) return;
  if (words_.size() <= last / 32) words_.resize(last / 32 + 1, 0);
  for (char32_t c = first; c <= last; ++c) words_[c / 32] |= 1u << (c % 32);
}

bool GlyphCoverage::Covers(char32_t c) const {
  return c / 32 < words_.size() && ((words_[c / 32] >> (c % 32)) & 1u) != 0;
}

const GlyphCoverage& InstalledGlyphs() {
  static const GlyphCoverage installed = [] {
    GlyphCoverage coverage;
    FcInit();
    for (FcSetName set : {FcSetSystem, FcSetApplication}) {
      const FcFontSet* fonts = FcConfigGetFonts(nullptr, set);
      if (fonts == nullptr) continue;
      for (int i = 0; i < fonts->nfont; ++i) {
        FcCharSet* chars = nullptr;
        if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &chars) != FcResultMatch) continue;
        FcChar32 page[FC_CHARSET_MAP_SIZE];
        FcChar32 next = 0;
        for (FcChar32 base = FcCharSetFirstPage(chars, page, &next); base != FC_CHARSET_DONE;
             base = FcCharSetNextPage(chars, page, &next))
          coverage.Add(base, page, FC_CHARSET_MAP_SIZE);
      }
    }
    return coverage;
  }();
  return installed;
}

void HideUndrawable(char16_t* units, std::size_t size, const GlyphCoverage& coverage,
                    std::vector<HiddenUnit>& hidden) {
  // The box Qt draws for a missing glyph looks like U+25A1; a set of fonts without it has
  // the replacement character, or at least the question mark.
  const char16_t box = coverage.Covers(0x25A1) ? 0x25A1 : coverage.Covers(0xFFFD) ? 0xFFFD : u'?';
  for (std::size_t i = 0; i < size; ++i) {
    const char16_t u = units[i];
    const bool pair = IsHighSurrogate(u) && i + 1 < size && IsLowSurrogate(units[i + 1]);
    const char32_t c = pair ? 0x10000 + ((char32_t(u) - 0xD800) << 10) + (units[i + 1] - 0xDC00) : u;
    // Half a pair alone (a byte the decoder kept as it was) is no character at all.
    const bool lone = !pair && (IsHighSurrogate(u) || IsLowSurrogate(u));
    // The bit first: nearly every character of a page is drawn.
    if (!lone && (coverage.Covers(c) || NeedsNoGlyph(c))) {
      if (pair) ++i;
      continue;
    }
    hidden.push_back({i, u});
    units[i] = box;
    if (pair) {
      hidden.push_back({i + 1, units[i + 1]});
      units[++i] = kWordJoiner;
    }
  }
}

}  // namespace varnelo
