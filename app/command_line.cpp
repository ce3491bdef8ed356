#include "app/command_line.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace varnelo {

namespace {

// The options Qt takes for itself as it starts (with one dash or two). The line is read
// before Qt starts, so that its mistakes are told where there is no display at all.
constexpr std::string_view kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "geometry",
    "qwindowtitle", "title", "qwindowicon", "icon", "display", "name", "session", "style",
    "stylesheet"};
constexpr std::string_view kQtFlags[] = {"reverse", "widgetcount", "testability", "nograb",
                                         "dograb", "sync"};
constexpr std::string_view kQtPrefixes[] = {"style=", "stylesheet=", "qmljsdebugger="};

// How many arguments a Qt option at `argument` takes up (itself included); 0 if none is.
std::size_t QtOptionLength(std::string_view argument) {
  if (!argument.starts_with('-')) return 0;
  argument.remove_prefix(argument.starts_with("--") ? 2 : 1);
  const auto is = [argument](std::string_view name) { return argument == name; };
  if (std::any_of(std::begin(kQtOptionsWithValue), std::end(kQtOptionsWithValue), is)) return 2;
  if (std::any_of(std::begin(kQtFlags), std::end(kQtFlags), is)) return 1;
  const auto starts = [argument](std::string_view prefix) { return argument.starts_with(prefix); };
  return std::any_of(std::begin(kQtPrefixes), std::end(kQtPrefixes), starts) ? 1 : 0;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  bool help = false;
  bool version = false;
  bool optionsEnded = false;
  CommandLine line;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.empty()) continue;  // an empty %f from a launcher names no book
    if (!optionsEnded && argument.size() > 1 && argument.front() == '-') {
      if (argument == "--") {
        optionsEnded = true;
      } else if (argument == "-h" || argument == "--help") {
        help = true;
      } else if (argument == "-v" || argument == "--version") {
        version = true;
      } else if (const std::size_t length = QtOptionLength(argument); length != 0) {
        i += length - 1;  // Qt's, with its value
      } else if (line.error.empty()) {
        line.error = "未知的选项“" + argument + "”";
      }
      continue;
    }
    if (line.book.empty()) {
      line.book = argument;
    } else if (line.error.empty()) {
      line.error = "一次只能打开一本书";
    }
  }
  if (help) {
    line.action = CommandLine::Action::Help;
  } else if (version) {
    line.action = CommandLine::Action::Version;
  } else if (!line.error.empty()) {
    line.action = CommandLine::Action::Error;
  }
  return line;
}

std::string HelpText() {
  return "用法：varnelo [选项] [书.txt]\n"
         "阅读 TXT 长篇小说。给出一本书时，先回到上次读到的地方，再打开这本书。\n"
         "已有阅读器在使用同一个设置文件夹时，书交给它打开，它的窗口来到前面。\n"
         "\n"
         "选项：\n"
         "  -h, --help       显示本帮助后退出\n"
         "  -v, --version    显示版本后退出\n"
         "\n"
         "编码：自动识别 GBK/GB18030、UTF-8（带或不带 BOM）、Big5 和 UTF-16（带 BOM，或特征明显时\n"
         "不带 BOM）。识别不对的书，\n"
         "在“选项 → 编码”中为这本书选定编码（GBK/GB18030、UTF-8、Big5、UTF-16 LE、UTF-16 BE），\n"
         "以后打开这本书都用它。\n"
         "F4“目录”列出章节标题，选中即跳到那一章；Ctrl+Shift+F“全书查找”在整本书中查找；\n"
         "“文件 → 最近阅读”列出最近读过的十本书，每本书都回到上次读到的地方；\n"
         "“界面 → 简繁转换”把页面显示为简体或繁體，书的内容不变。\n"
         "\n"
         "设置保存在 Config.ini 中：设了环境变量 VARNELO_HOME 时在该文件夹；否则程序所在的\n"
         "文件夹可写时（编译目录或便携版）在那里；否则在 $XDG_CONFIG_HOME/varnelo/\n"
         "（默认 ~/.config/varnelo/）。\n";
}

std::string VersionText() { return std::string("Varnelo 小说阅读器 ") + VARNELO_VERSION + "\n"; }

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.string();
}

}  // namespace varnelo
