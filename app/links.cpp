#include "app/links.h"

#include <array>

#include "res/command_ids.h"
#include "text/utf8_text.h"

namespace varnelo {

namespace {

constexpr std::string_view kSearchQuery = "https://www.baidu.com/s?ie=utf-8&wd=";



bool Unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '.' || c == '_' || c == '~';
}

// Public sites that fit each item; none is ours to invent.
constexpr std::array kLinks = {
    WebLink{cmd::kLinkTuimo,
            "注重个人能力提升！\n一个优秀的个人网站，作者写的很多关于时间管理，毅力，习惯培养方面的文章，都很不错！",
            "https://zh.wikipedia.org/wiki/%E6%97%B6%E9%97%B4%E7%AE%A1%E7%90%86"},
    WebLink{cmd::kLinkAirplay, "音乐为我而生！\n一款优秀的音乐播放器：单文件800k、界面迷人！",
            "https://audacious-media-player.org/"},
    WebLink{cmd::kLinkTextLibrary, "推崇经典文化理念 倡导绿色阅读下载", "https://ctext.org/"},
    WebLink{cmd::kLinkDuobei,
            "一个公益性网站，一种特殊的旅行方式，把关爱送给我们身边的孩子们！",
            "https://www.unicef.org/"},
    WebLink{cmd::kLinkHomeland, "保护环境！我们仅仅需要的是自己从身边的小事做起！",
            "https://www.unep.org/"},
    WebLink{cmd::kLinkYilin, "意林杂志散文！一则故事，改变一生！", "https://zh.wikisource.org/"},
    WebLink{cmd::kLinkYige,
            "亦歌，一个非常漂亮的在线听歌网站！还能根据你听歌的历程自动推荐你会喜欢的歌曲！",
            "https://freemusicarchive.org/"},
};

struct Failure {
  int code;
  std::string_view text;
};

constexpr std::array kFailures = {
    Failure{0, "The operating system is out\nof memory or resources."},
    Failure{2, "The specified file was not found."},
    Failure{3, "The specified path was not found."},
    Failure{5, "The operating system denied\naccess to the specified file."},
    Failure{8, "There was not enough memory to complete the operation."},
    Failure{11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
    Failure{26, "A sharing violation occurred. "},
    Failure{27, "The filename association is\nincomplete or invalid."},
    Failure{28, "The DDE transaction could not\nbe completed because the request timed out."},
    Failure{29, "The DDE transaction failed."},
    Failure{30,
            "The DDE transaction could not\nbe completed because other DDE transactions\n"
            "were being processed."},
    Failure{31, "There is no application associated\nwith the given filename extension."},
    Failure{32, "The specified dynamic-link library was not found."},
};

}  // namespace

std::string WebSearchAddress(std::u16string_view selection) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string address(kSearchQuery);
  for (const char byte : Utf8OfUnits(selection, false, kMaxSearchCharacters)) {
    const auto c = static_cast<unsigned char>(byte);
    if (Unreserved(c)) {
      address += static_cast<char>(c);
    } else {
      address += '%';
      address += kHex[c >> 4];
      address += kHex[c & 0x0F];
    }
  }
  return address;
}

const WebLink* WebLinkOf(int commandId) {
  for (const WebLink& link : kLinks) {
    if (link.id == commandId) return &link;
  }
  return nullptr;
}

std::string LinkFailureText(int code) {
  std::string text = "Unable to open hyperlink:\n\n";
  for (const Failure& failure : kFailures) {
    if (failure.code == code) return text.append(failure.text);
  }
  return text + "Unknown Error (" + std::to_string(code) + ") occurred.";
}

}  // namespace varnelo
