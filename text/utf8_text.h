// UTF-8 of UTF-16 text, for the tools' output, web links and tests.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/utf16.h"

namespace varnelo {

inline void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// A lone surrogate (a byte the code page could not decode, kept by the pane) becomes U+FFFD,
// or nothing with `dropLone`; it counts as a character either way. At most `maxCharacters`.
inline std::string Utf8OfUnits(std::u16string_view units, bool dropLone = false,
                               std::size_t maxCharacters = std::string::npos) {
  std::string out;
  out.reserve(units.size() * 3);
  for (std::size_t i = 0, characters = 0; i < units.size() && characters < maxCharacters;
       ++i, ++characters) {
    const char16_t unit = units[i];
    if (IsHighSurrogate(unit) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                          (static_cast<char32_t>(units[++i]) - 0xDC00));
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      if (!dropLone) AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

}  // namespace varnelo
