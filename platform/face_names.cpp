#include "platform/face_names.h"

#include <algorithm>
#include <cctype>
#include <string_view>

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

}  // namespace

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
