#include "aids/text_conversion.h"

#include <opencc/Config.hpp>
#include <opencc/Conversion.hpp>
#include <opencc/ConversionChain.hpp>
#include <opencc/Converter.hpp>
#include <opencc/Dict.hpp>
#include <opencc/DictGroup.hpp>
#include <opencc/Exception.hpp>
#include <opencc/Lexicon.hpp>
#include <opencc/MaxMatchSegmentation.hpp>

#include <algorithm>
#include <exception>
#include <list>
#include <optional>
#include <thread>
#include <vector>

#include "platform/regular_file.h"

namespace varnelo {
namespace {

// A configuration is a few hundred bytes; anything far larger is not one.
constexpr std::size_t kMaxConfigBytes = 1 << 20;

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
      if (c != kReplacement && c != o) return false;
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

std::string OpenCCDataFolder() { return VARNELO_OPENCC_DATA; }

namespace {

// Why OpenCC failed, from whatever it threw (its own exceptions, marisa's, the standard
// library's).
std::string Reason(const std::exception_ptr& thrown) {
  try {
    std::rethrow_exception(thrown);
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "OpenCC 出现未知错误";
  }
}

// The configuration `name` in `folder`, each dictionary it names given by its absolute path
// there: OpenCC looks for a bare name in the working folder first, where anyone may have put
// a file of that name.
std::optional<std::string> ConfigurationIn(const std::string& folder, const std::string& name,
                                           std::string& error) {
  if (folder.empty() || folder.front() != '/' || folder.find_first_of("\"\\") != std::string::npos) {
    error = "OpenCC 的数据文件夹不是绝对路径：" + folder;
    return std::nullopt;
  }
  const std::string path = folder + "/" + name;
  RegularFile file = RegularFile::Open(path);
  std::string json;
  if (file.Status() != OpenStatus::Ok || !file.ReadInto(json, kMaxConfigBytes + 1) ||
      json.size() > kMaxConfigBytes) {
    error = "无法读取 OpenCC 的配置文件 " + path;
    return std::nullopt;
  }
  constexpr std::string_view kFileKey = "\"file\"";
  const auto skipBlanks = [&json](std::size_t at) {
    while (at < json.size() && std::string_view(" \t\r\n").find(json[at]) != std::string_view::npos) ++at;
    return at;
  };
  std::string out;
  std::size_t copied = 0;
  for (std::size_t key = json.find(kFileKey); key != std::string::npos; key = json.find(kFileKey, copied)) {
    std::size_t at = skipBlanks(key + kFileKey.size());
    if (at >= json.size() || json[at] != ':') {
      out.append(json, copied, at - copied);
      copied = at;
      continue;
    }
    at = skipBlanks(at + 1);
    const std::size_t end = at < json.size() && json[at] == '"' ? json.find('"', at + 1) : std::string::npos;
    if (end == std::string::npos || end == at + 1 || json.find('\\', at) < end) {
      error = "OpenCC 的配置文件 " + path + " 无法理解";
      return std::nullopt;
    }
    out.append(json, copied, at + 1 - copied);
    if (json[at + 1] != '/') out.append(folder).push_back('/');
    out.append(json, at + 1, end - at - 1);
    copied = end;
  }
  out.append(json, copied, std::string::npos);
  return out;
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

// One direction: OpenCC's converter for its standard configuration, and every character
// any of its dictionaries holds in a key. A character in no key is never converted and
// never part of a phrase, so a run of such characters can go to OpenCC as one.
struct Direction {
  opencc::ConverterPtr converter;
  // The converter's one conversion, when it segments the text just as that conversion
  // matches it: then the text goes to the conversion alone, without matching it twice.
  opencc::ConversionPtr direct;
  std::vector<bool> inKey;
  char16_t stand = 0;  // a character in no key, standing for such a run; 0: none found
  bool failed = false;

  bool Inert(char32_t c) const { return c >= inKey.size() || !inKey[c]; }
};

struct ChineseConverter::Handles {
  Direction toSimplified;
  Direction toTraditional;
};

namespace {

void MarkKeys(const opencc::DictPtr& dict, std::vector<bool>& inKey) {
  const opencc::LexiconPtr lexicon = dict->GetLexicon();
  for (const std::unique_ptr<opencc::DictEntry>& entry : *lexicon) {
    const std::u16string key = Utf16Of(entry->Key());
    for (std::size_t i = 0; i < key.size(); i += UnitsAt(key, i)) {
      const char32_t c = UnitsAt(key, i) == 2
                             ? 0x10000 + ((static_cast<char32_t>(key[i]) - 0xD800) << 10) + (key[i + 1] - 0xDC00)
                             : key[i];
      if (c < inKey.size()) inKey[c] = true;
    }
  }
}

// Every dictionary the converter consults; false when it segments in a way not known here.
bool MarkAllKeys(const opencc::Converter& converter, std::vector<bool>& inKey) {
  const auto segmentation =
      std::dynamic_pointer_cast<opencc::MaxMatchSegmentation>(converter.GetSegmentation());
  if (!segmentation) return false;
  MarkKeys(segmentation->GetDict(), inKey);
  for (const opencc::ConversionPtr& conversion : converter.GetConversionChain()->GetConversions())
    MarkKeys(conversion->GetDict(), inKey);
  return true;
}

bool SameKeys(const opencc::DictPtr& a, const opencc::DictPtr& b) {
  const opencc::LexiconPtr one = a->GetLexicon();
  const opencc::LexiconPtr other = b->GetLexicon();
  if (one->Length() != other->Length()) return false;
  for (std::size_t i = 0; i < one->Length(); ++i) {
    if (one->At(i)->Key() != other->At(i)->Key()) return false;
  }
  return true;
}

bool OnlyLoneCharacters(const opencc::DictPtr& dict) {
  for (const std::unique_ptr<opencc::DictEntry>& entry : *dict->GetLexicon()) {
    const std::u16string key = Utf16Of(entry->Key());
    if (key.empty() || UnitsAt(key, 0) < key.size()) return false;
  }
  return true;
}

// Max-match segmentation by a phrase dictionary, then one conversion matching longest first
// over a group of that same dictionary then dictionaries of single characters, cuts every
// text where the conversion alone would: no segment needs matching twice.
opencc::ConversionPtr DirectConversion(const opencc::Converter& converter) {
  const auto segmentation =
      std::dynamic_pointer_cast<opencc::MaxMatchSegmentation>(converter.GetSegmentation());
  const std::list<opencc::ConversionPtr> conversions = converter.GetConversionChain()->GetConversions();
  if (!segmentation || conversions.size() != 1) return nullptr;
  const auto group = std::dynamic_pointer_cast<opencc::DictGroup>(conversions.front()->GetDict());
  if (!group) return nullptr;
  // The phrases first, so no single character is ever matched where a phrase starts.
  const std::list<opencc::DictPtr> dicts = group->GetDicts();
  if (dicts.empty() || !SameKeys(dicts.front(), segmentation->GetDict())) return nullptr;
  for (auto it = std::next(dicts.begin()); it != dicts.end(); ++it) {
    if (!OnlyLoneCharacters(*it)) return nullptr;
  }
  return conversions.front();
}

}  // namespace

ChineseConverter::ChineseConverter(std::string dataFolder)
    : handles_(std::make_unique<Handles>()), dataFolder_(std::move(dataFolder)) {
  while (dataFolder_.size() > 1 && dataFolder_.back() == '/') dataFolder_.pop_back();
}
ChineseConverter::~ChineseConverter() = default;

bool ChineseConverter::Ready(ConvertMode mode) {
  if (mode == ConvertMode::None) return true;
  const bool simplified = mode == ConvertMode::Simplified;
  Direction& direction = simplified ? handles_->toSimplified : handles_->toTraditional;
  if (direction.converter) return true;
  if (direction.failed) return false;
  // The dictionaries load once, on first use: tens of milliseconds.
  const std::optional<std::string> json =
      ConfigurationIn(dataFolder_, simplified ? "t2s.json" : "s2t.json", error_);
  if (!json) {
    direction.failed = true;
    return false;
  }
  try {
    opencc::Config config;
    direction.converter = config.NewFromString(*json, dataFolder_ + "/");
    direction.inKey.assign(0x110000, false);
    direction.direct = DirectConversion(*direction.converter);
    if (MarkAllKeys(*direction.converter, direction.inKey)) {
      for (char16_t c : {u'x', u'#', u'~'}) {
        if (direction.Inert(c)) {
          direction.stand = c;
          break;
        }
      }
    }
  } catch (...) {
    // Its own exceptions, a damaged dictionary's (marisa's), the standard library's.
    direction.converter.reset();
    direction.direct.reset();
    direction.inKey.clear();
    direction.failed = true;
    error_ = Reason(std::current_exception());
    return false;
  }
  return true;
}

// One conversion of a text in one direction, possibly one of several running at once: the
// converter is only read, and a failure is kept here until they have all ended.
struct ChineseConverter::Pass {
  const Direction& direction;
  bool failed = false;
  std::string error;
};

namespace {

// The text unchanged once OpenCC has failed in this pass.
std::u16string OpenCC(const Direction& direction, std::u16string_view text, bool& failed, std::string& error) {
  if (!direction.converter || failed) return std::u16string(text);
  try {
    const std::string utf8 = Utf8Of(text);
    return Utf16Of(direction.direct ? direction.direct->Convert(utf8) : direction.converter->Convert(utf8));
  } catch (...) {
    failed = true;
    error = Reason(std::current_exception());
    return std::u16string(text);
  }
}

// Pages shorter than this convert on one thread: starting others would cost more.
constexpr std::size_t kParallelUnits = 8192;

}  // namespace

std::u16string ChineseConverter::Run(Pass& pass, std::u16string_view text) {
  const Direction& direction = pass.direction;
  if (direction.stand == 0) return OpenCC(direction, text, pass.failed, pass.error);
  // Each run of characters no dictionary knows goes as one stand-in and comes back whole.
  std::u16string compact;
  compact.reserve(text.size());
  std::vector<std::pair<std::size_t, std::size_t>> runs;  // start and length in `text`
  for (std::size_t i = 0; i < text.size(); i += UnitsAt(text, i)) {
    const std::size_t units = UnitsAt(text, i);
    const char16_t u = text[i];
    const char32_t c = units == 2 ? 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00) : u;
    if (u == u'\n' || u == u'\r' || (!IsLone(text, i) && !direction.Inert(c))) {
      compact.append(text.substr(i, units));
      continue;
    }
    if (!runs.empty() && runs.back().first + runs.back().second == i && compact.back() == direction.stand) {
      runs.back().second += units;
    } else {
      runs.emplace_back(i, units);
      compact.push_back(direction.stand);
    }
  }
  std::u16string converted = OpenCC(direction, compact, pass.failed, pass.error);
  if (!LineUp(compact, converted)) return OpenCC(direction, text, pass.failed, pass.error);
  std::u16string out;
  out.reserve(text.size());
  std::size_t run = 0;
  std::size_t at = 0;  // position in `text` of the unit `compact[k]` stands for
  for (std::size_t k = 0; k < compact.size(); ++k) {
    if (run < runs.size() && runs[run].first == at) {
      out.append(text.substr(at, runs[run].second));
      at += runs[run].second;
      ++run;
    } else {
      out.push_back(converted[k]);
      ++at;
    }
  }
  return out;
}

std::u16string ChineseConverter::ConvertLine(Pass& pass, std::u16string_view line) {
  std::u16string converted = Run(pass, line);
  if (LineUp(line, converted)) return converted;
  // Rare: a phrase of another length. Each character alone keeps the places.
  std::u16string out;
  out.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); i += UnitsAt(line, i)) {
    const std::u16string_view one = line.substr(i, UnitsAt(line, i));
    std::u16string single = IsLone(line, i) ? std::u16string(one) : Run(pass, one);
    out += LineUp(one, single) ? single : std::u16string(one);
  }
  return out;
}

std::u16string ChineseConverter::Convert(ConvertMode mode, std::u16string_view text) {
  if (mode == ConvertMode::None || text.empty() || !Ready(mode)) return std::u16string(text);
  Direction& direction = mode == ConvertMode::Simplified ? handles_->toSimplified : handles_->toTraditional;
  // A long page in pieces cut at line breaks, one a core: no phrase spans a line break, so
  // the pieces convert exactly as the whole would.
  const std::size_t cores = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
  const std::size_t count = text.size() < kParallelUnits ? 1 : cores;
  std::vector<std::u16string_view> pieces;
  for (std::size_t from = 0, k = 1; from < text.size(); ++k) {
    std::size_t stop = k == count ? text.size() : text.find(u'\n', std::max(from, text.size() * k / count));
    stop = stop == std::u16string_view::npos ? text.size() : stop + (stop < text.size() ? 1 : 0);
    pieces.push_back(text.substr(from, stop - from));
    from = stop;
  }
  std::vector<Pass> passes(pieces.size(), Pass{direction, false, {}});
  std::vector<std::u16string> converted(pieces.size());
  {
    std::vector<std::jthread> others;
    for (std::size_t k = 1; k < pieces.size(); ++k)
      others.emplace_back([&, k] { converted[k] = ConvertReady(passes[k], pieces[k]); });
    converted[0] = ConvertReady(passes[0], pieces[0]);
  }
  for (const Pass& pass : passes) {
    if (!pass.failed) continue;
    // Failed half-way: the page shows the book's own characters, not a mixture, and the
    // direction stays off for the run.
    direction.converter.reset();
    direction.direct.reset();
    direction.inKey.clear();
    direction.failed = true;
    error_ = pass.error;
    return std::u16string(text);
  }
  std::u16string out;
  out.reserve(text.size());
  for (const std::u16string& piece : converted) out += piece;
  return out;
}

std::u16string ChineseConverter::ConvertReady(Pass& pass, std::u16string_view text) {
  std::u16string whole = Run(pass, text);
  if (LineUp(text, whole)) return whole;
  std::u16string out;
  out.reserve(text.size());
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(u'\n', start);
    if (end == std::u16string_view::npos) end = text.size();
    out += ConvertLine(pass, text.substr(start, end - start));
    if (end == text.size()) break;
    out.push_back(u'\n');
    start = end + 1;
  }
  return out;
}

}  // namespace varnelo
