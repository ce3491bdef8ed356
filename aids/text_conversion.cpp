#include "aids/text_conversion.h"

#include <opencc/opencc.h>

namespace varnelo {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// A surrogate that is not half of a pair.
bool IsLone(std::u16string_view text, std::size_t i) {
  if (IsHigh(text[i])) return i + 1 >= text.size() || !IsLow(text[i + 1]);
  if (IsLow(text[i])) return i == 0 || !IsHigh(text[i - 1]);
  return false;
}

std::size_t UnitsAt(std::u16string_view text, std::size_t i) {
  return IsHigh(text[i]) && !IsLone(text, i) ? 2 : 1;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string Utf8Of(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size(); i += UnitsAt(text, i)) {
    if (IsLone(text, i)) {
      AppendUtf8(out, kReplacement);
    } else if (IsHigh(text[i])) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(text[i]) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
    } else {
      AppendUtf8(out, text[i]);
    }
  }
  return out;
}

// OpenCC writes valid UTF-8; anything else becomes U+FFFD, which then fails to line up.
std::u16string Utf16Of(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    const std::size_t length = b < 0x80 ? 1 : b >> 5 == 0x6 ? 2 : b >> 4 == 0xE ? 3 : b >> 3 == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    char32_t c = length == 1 ? b : b & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += length;
  }
  return out;
}

// Puts back into `converted` what OpenCC was not given, when the two line up unit for unit:
// the same length, line breaks in the same places, pairs where pairs were.
bool LineUp(std::u16string_view original, std::u16string& converted) {
  if (original.size() != converted.size()) return false;
  for (std::size_t i = 0; i < original.size(); ++i) {
    const char16_t o = original[i];
    const char16_t c = converted[i];
    if (IsLone(original, i)) {
      if (c != kReplacement) return false;
      converted[i] = o;
    } else if (o == u'\n' || o == u'\r' || c == u'\n' || c == u'\r') {
      if (o != c) return false;
    } else if (IsHigh(o) != IsHigh(c) || IsLow(o) != IsLow(c)) {
      return false;
    }
  }
  return true;
}

}  // namespace

ConvertMode ConvertModeOf(int flag) {
  return flag == 1 ? ConvertMode::Simplified : flag == 2 ? ConvertMode::Traditional : ConvertMode::None;
}

ConvertMode OppositeOf(ConvertMode mode) {
  return mode == ConvertMode::Simplified    ? ConvertMode::Traditional
         : mode == ConvertMode::Traditional ? ConvertMode::Simplified
                                            : ConvertMode::None;
}

struct ChineseConverter::Handles {
  opencc_t toSimplified = nullptr;  // null: not opened yet
  opencc_t toTraditional = nullptr;
  bool simplifiedFailed = false;
  bool traditionalFailed = false;

  ~Handles() {
    for (opencc_t handle : {toSimplified, toTraditional}) {
      if (handle != nullptr) opencc_close(handle);
    }
  }
};

ChineseConverter::ChineseConverter() : handles_(std::make_unique<Handles>()) {}
ChineseConverter::~ChineseConverter() = default;

bool ChineseConverter::Ready(ConvertMode mode) {
  if (mode == ConvertMode::None) return true;
  const bool simplified = mode == ConvertMode::Simplified;
  opencc_t& handle = simplified ? handles_->toSimplified : handles_->toTraditional;
  bool& failed = simplified ? handles_->simplifiedFailed : handles_->traditionalFailed;
  if (handle != nullptr) return true;
  if (failed) return false;
  // The dictionaries load once, on first use: tens of milliseconds.
  const opencc_t opened = opencc_open(simplified ? "t2s.json" : "s2t.json");
  if (opened == reinterpret_cast<opencc_t>(-1)) {
    failed = true;
    const char* why = opencc_error();
    error_ = why != nullptr ? why : "OpenCC";
    return false;
  }
  handle = opened;
  return true;
}

std::u16string ChineseConverter::Run(ConvertMode mode, std::u16string_view text) {
  const std::string input = Utf8Of(text);
  opencc_t handle = mode == ConvertMode::Simplified ? handles_->toSimplified : handles_->toTraditional;
  char* output = opencc_convert_utf8(handle, input.data(), input.size());
  if (output == nullptr) return std::u16string(text);
  std::u16string converted = Utf16Of(output);
  opencc_convert_utf8_free(output);
  return converted;
}

std::u16string ChineseConverter::ConvertLine(ConvertMode mode, std::u16string_view line) {
  std::u16string converted = Run(mode, line);
  if (LineUp(line, converted)) return converted;
  // Rare: a phrase of another length. Each character alone keeps the places.
  std::u16string out;
  out.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); i += UnitsAt(line, i)) {
    const std::u16string_view one = line.substr(i, UnitsAt(line, i));
    std::u16string single = IsLone(line, i) ? std::u16string(one) : Run(mode, one);
    out += LineUp(one, single) ? single : std::u16string(one);
  }
  return out;
}

std::u16string ChineseConverter::Convert(ConvertMode mode, std::u16string_view text) {
  if (mode == ConvertMode::None || text.empty() || !Ready(mode)) return std::u16string(text);
  std::u16string whole = Run(mode, text);
  if (LineUp(text, whole)) return whole;
  std::u16string out;
  out.reserve(text.size());
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(u'\n', start);
    if (end == std::u16string_view::npos) end = text.size();
    out += ConvertLine(mode, text.substr(start, end - start));
    if (end == text.size()) break;
    out.push_back(u'\n');
    start = end + 1;
  }
  return out;
}

}  // namespace varnelo
