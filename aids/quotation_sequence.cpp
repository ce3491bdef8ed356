#include "aids/quotation_sequence.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/regular_file.h"

namespace varnelo {
namespace {

// Sayings on study and reading, with their authors or source books where known.
constexpr std::array<std::string_view, kMaximCount + 1> kMaxims = {
    "",
    "宝剑锋从磨砺出，梅花香自苦寒来！",
    "百学须先立志。(朱熹)",
    "博学之,审问之,慎思之,明辨之,笃行之。(《礼记》) ",
    "不登高山,不知天之高也;不临深溪,不知地之厚也。(《荀子》)",
    "善于想，善于问，善于做的人，其收效则常大而且快。 ----- 佚名",
    "书山有路勤为径,学海无涯苦作舟。",
    "书中自有黄金屋，书中自有颜如玉。",
    "学而不思则罔，思而不学则殆！--孔子",
    "先读最好的书,否则你根本没有机会去读了。-- 梭罗 ",
    "多读书，读好书，然后写出自己的感想，这是写好作文的开始。---佚名",
    "敏而好学，不耻下问——孔子",
    "明日复明日，明日何其多，我生待明日，万事成蹉跎！",
    "业精于勤，荒于嬉；行成于思，毁于随——韩愈",
    "鸟欲高飞先振翅，人求上进先读书——李苦禅",
    "非淡泊无以明志，非宁静无以致远——诸葛亮",
    "旧书不厌百回读，熟读精思子自知——苏轼",
    "千里之行，始于足下——老子",
    "路漫漫其修道远，吾将上下而求索——屈原",
    "读一本好书，就是和许多高尚的人谈话。——笛卡尔",
    "在学习中取得知识，在战斗中取得勇敢。",
    "——保护环境，人人有责，请爱护我们这唯一的家园！——",
    "勤学和知识是一对最美的情人。",
    "成功的科学家往往是兴趣广泛的人，他们的独创精神来自他们的博学。",
    "学习不但意味着接受新知识，同时还要修正错误乃至对错误的认识。",
    "不信书不能提高境界，光信书不如无书。",
    "读书之法，在循序渐进，熟读而精思。――朱熹",
    "读书是学习，摘抄是整理，写作是创造。―――吴晗 ",
    "用心不杂，乃是入神要路。―――佚名[清] ",
    "纸上得来终觉浅，绝知此事要躬行.",
    "“读书好，好读书，读好书”。 ——冰心 ",
    "无所不能的人实在一无所能，无所不专的专家实在是一无所专—－邹韬奋 ",
};

}  // namespace

std::string_view BuiltInMaxim(int index) {
  if (index < 0 || index > kMaximCount) return {};
  return kMaxims[static_cast<std::size_t>(index)];
}

int NextMaximIndex(int index) {
  ++index;
  return index > kMaximCount ? index - kMaximCount : index;
}

LoadStatus ReadQuotationFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  RegularFile file = RegularFile::Open(path);
  if (file.Status() != OpenStatus::Ok) return LoadStatus::Missing;
  int lineFeeds = 0;
  const auto keep = [&lineFeeds](std::string_view chunk) {
    for (std::size_t at = 0; (at = chunk.find('\n', at)) != std::string_view::npos; ++at) {
      if (++lineFeeds == kTooManyQuoteLineFeeds) return at + 1;
    }
    return chunk.size();
  };
  if (!file.ReadInto(bytes, kMaxQuoteFileBytes, keep)) {
    bytes.clear();
    return LoadStatus::Unreadable;
  }
  if (bytes.empty()) return LoadStatus::Empty;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    bytes.clear();
    return LoadStatus::Unicode;
  }
  return LoadStatus::Ok;
}

QuotationFile::Start QuotationFile::Begin(std::string bytes, bool band) {
  if (bytes.empty()) return Start::Empty;
  std::vector<std::size_t> starts{0};
  if (band) {
    std::replace_if(bytes.begin(), bytes.end(), [](char c) { return c == '\r' || c == '\n'; },
                    ' ');
  } else {
    for (const char* p = bytes.data(); (p = static_cast<const char*>(std::memchr(
                                            p, '\n', bytes.data() + bytes.size() - p)));
         ++p) {
      if (static_cast<int>(starts.size()) == kTooManyQuoteLineFeeds) return Start::TooManyLines;
      starts.push_back(static_cast<std::size_t>(p - bytes.data()) + 1);
    }
  }
  text_ = std::move(bytes);
  lineStarts_ = std::move(starts);
  index_ = 0;
  bandStart_ = bandEnd_ = 0;
  started_ = true;
  return band ? Start::Band : Start::Lines;
}

QuotationFile::Step QuotationFile::NextLine(bool loop) {
  Step step;
  if (!started_) return step;
  const int lineCount = static_cast<int>(lineStarts_.size()) - 1;
  const int line = std::min(index_, lineCount);
  const std::size_t begin = lineStarts_[static_cast<std::size_t>(line)];
  const std::size_t end =
      line == lineCount ? text_.size() : lineStarts_[static_cast<std::size_t>(line) + 1];
  if (end - begin >= kLongQuoteLineBytes) {
    step.tooLong = true;
    return step;
  }
  step.text = text_.substr(begin, end - begin);
  index_ = line + 1;
  if (index_ > lineCount) {
    if (loop) {
      index_ = 0;
    } else {
      step.stop = true;
    }
  }
  return step;
}

// A character is two bytes when its first byte is 0x80 or above; one cut short by the end
// of the text ends there.
std::size_t QuotationFile::CharacterEnd(std::size_t at) const {
  const std::size_t width = static_cast<unsigned char>(text_[at]) >= 0x80 ? 2 : 1;
  return std::min(at + width, text_.size());
}

QuotationFile::Step QuotationFile::NextBandWindow(bool loop) {
  Step step;
  if (!started_) return step;
  std::size_t p = 0;
  if (index_ != 0) {
    p = bandStart_;
    for (int i = 0; i < 2 && p < text_.size(); ++i) p = CharacterEnd(p);
  }
  bandStart_ = p;
  if (p >= text_.size()) {  // nothing left to show; only a finished band gets here
    step.stop = true;
    return step;
  }
  std::size_t next = p;
  for (int taken = 1;; ++taken) {
    next = CharacterEnd(next);
    if (taken == kBandCharacters) break;
    if (next == text_.size()) {
      if (loop) {
        index_ = 0;
        return step;
      }
      step.stop = true;
      break;
    }
  }
  bandEnd_ = next - 1;
  step.text = text_.substr(bandStart_, bandEnd_ - bandStart_ + 1);
  ++index_;
  return step;
}

}  // namespace varnelo
