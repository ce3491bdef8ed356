// The code page of the books: GB18030, a strict superset of GBK. Decoding is lossless:
// a byte that does not start a valid sequence is kept as the lone surrogate U+DC00 + byte
// (U+DC80..U+DCFF), which GB18030 cannot encode otherwise, so encoding the text back gives
// the very same bytes.
#pragma once

#include <string>
#include <string_view>

namespace varnelo {

std::u16string DecodeBookBytes(std::string_view bytes);
std::string EncodeBookText(std::u16string_view text);

}  // namespace varnelo
