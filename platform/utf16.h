// The halves of a UTF-16 surrogate pair: a character beyond the BMP takes two units.
#pragma once

namespace varnelo {

constexpr bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace varnelo
