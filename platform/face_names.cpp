#include "platform/face_names.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

namespace varnelo {

namespace {

struct FaceStyle {
  std::vector<std::string_view> windowsNames;
  std::vector<std::string_view> standIns;
};

// Song (Ming) faces read as serif; Hei and YaHei as sans; Kai is a brush style, and
// FangSong, a thin even-stroked Song, is closest to the serif faces.
const std::vector<FaceStyle> kStyles = {
    {{"宋体", "新宋体", "SimSun", "NSimSun", "宋体_GB2312", "华文宋体", "STSong"},
     {"Noto Serif CJK SC", "Source Han Serif SC", "AR PL UMing CN", "Noto Serif CJK TC"}},
    {{"黑体", "SimHei", "微软雅黑", "Microsoft YaHei", "Microsoft YaHei UI", "等线", "DengXian",
      "华文黑体", "STHeiti", "幼圆", "YouYuan"},
     {"Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Micro Hei", "WenQuanYi Zen Hei",
      "Droid Sans Fallback"}},
    {{"楷体", "楷体_GB2312", "KaiTi", "KaiTi_GB2312", "华文楷体", "STKaiti"},
     {"AR PL UKai CN", "AR PL KaitiM GB", "LXGW WenKai", "Noto Serif CJK SC"}},
    {{"仿宋", "仿宋_GB2312", "FangSong", "FangSong_GB2312", "华文仿宋", "STFangsong"},
     {"Noto Serif CJK SC", "Source Han Serif SC", "AR PL UMing CN"}},
};

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Style words as fonts spell them, one word or two ("ExtraLight", "Extra Light").
const std::pair<std::string_view, std::string_view> kStyleWords[] = {
    {"regular", "常规"},     {"normal", "常规"},     {"book", "常规"},       {"roman", "常规"},
    {"bold", "粗体"},        {"italic", "斜体"},     {"oblique", "倾斜"},    {"light", "细体"},
    {"extralight", "特细"},  {"ultralight", "特细"}, {"thin", "极细"},       {"hairline", "极细"},
    {"demilight", "半细"},   {"semilight", "半细"},  {"medium", "中等"},     {"semibold", "半粗"},
    {"demibold", "半粗"},    {"extrabold", "特粗"},  {"ultrabold", "特粗"},
    {"black", "特黑"},       {"heavy", "特黑"},      {"condensed", "窄体"},  {"expanded", "宽体"},
};

std::string_view StyleWord(std::string_view word) {
  for (const auto& [english, chinese] : kStyleWords) {
    if (SameName(word, english)) return chinese;
  }
  return {};
}

}  // namespace

std::string ChineseStyleName(const std::string& style) {
  std::vector<std::string_view> words;
  for (std::size_t at = 0; at < style.size();) {
    const std::size_t end = std::min(style.find(' ', at), style.size());
    if (end > at) words.emplace_back(style.data() + at, end - at);
    at = end + 1;
  }
  std::string shown;
  for (std::size_t i = 0; i < words.size(); ++i) {
    std::string_view chinese = StyleWord(words[i]);
    // "Extra Light" is one style word written as two.
    if (chinese.empty() && i + 1 < words.size()) {
      chinese = StyleWord(std::string(words[i]) + std::string(words[i + 1]));
      if (!chinese.empty()) ++i;
    }
    if (chinese.empty()) return style;
    if (!shown.empty()) shown += ' ';
    shown += chinese;
  }
  return shown.empty() ? style : shown;
}

std::vector<std::string> FaceCandidates(const std::string& face) {
  std::vector<std::string> candidates{face};
  for (const FaceStyle& style : kStyles) {
    const bool known = std::any_of(style.windowsNames.begin(), style.windowsNames.end(),
                                   [&](std::string_view name) { return SameName(name, face); });
    if (!known) continue;
    for (std::string_view standIn : style.standIns) candidates.emplace_back(standIn);
    break;
  }
  return candidates;
}

}  // namespace varnelo
