// Which characters some installed font can draw, and a page's text with the others shown as
// boxes. Qt looks for a character no font has through every fallback font of its script,
// again for each script and each font: a page of a book read in the wrong encoding (letters
// of twenty scripts, none of them installed) held the window a fifth of a second. A box is
// what Qt would draw for it anyway.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnelo {

class GlyphCoverage {
 public:
  // `words` holds 32 code points a word from `base` (a multiple of 32), as fontconfig's
  // character sets give them.
  void Add(char32_t base, const std::uint32_t* words, std::size_t count);
  void Add(char32_t first, char32_t last);
  bool Covers(char32_t c) const;

 private:
  std::vector<std::uint32_t> words_;  // bit c % 32 of word c / 32: code point c is drawn
};

// Every font fontconfig lists, read once per process on first use.
const GlyphCoverage& InstalledGlyphs();

// A unit of the text as it was, before a box took its place.
struct HiddenUnit {
  std::size_t position;
  char16_t unit;
};

// Replaces every character `coverage` cannot draw in `units`, and every half of a surrogate
// pair alone, with a box, unit for unit (a character beyond the BMP becomes the box and an
// invisible word joiner), so positions stay the text's own. Controls, line and paragraph
// separators and the characters fonts need not draw (format characters, variation
// selectors) stay. Appends what it replaced to `hidden`.
void HideUndrawable(char16_t* units, std::size_t size, const GlyphCoverage& coverage,
                    std::vector<HiddenUnit>& hidden);

}  // namespace varnelo
