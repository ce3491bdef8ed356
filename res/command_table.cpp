#include "res/command_table.h"

#include <algorithm>
#include <array>
#include <utility>

#include "res/command_ids.h"

namespace varnelo {

std::string MenuEntry::MenuText() const {
  std::string text(caption);
  if (!keyText.empty()) {
    text += '\t';
    text += keyText;
  }
  return text;
}

namespace {

using namespace cmd;

MenuEntry Item(int id, std::string_view caption, std::string_view keyText = {}) {
  return MenuEntry{MenuKind::Command, id, caption, keyText, {}};
}

MenuEntry Separator() { return MenuEntry{MenuKind::Separator, 0, {}, {}, {}}; }

MenuEntry Popup(std::string_view caption, std::string_view keyText,
                std::vector<MenuEntry> items) {
  return MenuEntry{MenuKind::Popup, 0, caption, keyText, std::move(items)};
}

std::vector<MenuEntry> BuildMenuBar() {
  std::vector<MenuEntry> bar;
  // Recent folders and bookmarks are found by position (file 3, bookmarks 1 and 2), so
  // the order here is load-bearing.
  bar.push_back(Popup("文件(&F)", {},
                      {
                          Item(kOpenFolder, "打开文件夹(&N)", "Ctrl+N"),
                          Item(kOpenFile, "打开文件(&O)...", "Ctrl+O"),
                          Separator(),
                          Popup("最近文件夹", {}, {Item(kRecentFolderPlaceholder, "10")}),
                          Item(kClearRecentFolders, "清除最近文件夹"),
                          Popup("最近阅读", {}, {Item(kRecentBookFirst, "最近阅读")}),
                          Item(kCloudShelf, "云书架..."),
                          Separator(),
                          Item(kSave, "保存(&S)...", "Ctrl+S"),
                          Item(kSaveAs, "另存为..."),
                          Item(kExit, "退出(&X)"),
                      }));
  bar.push_back(Popup("书签(&B)", {},
                      {
                          Item(kAddBookmark, "添加书签", "F5"),
                          Popup("打开书签", {}, {Item(kOpenBookmarkFirst, "书签")}),
                          Popup("删除书签", {}, {Item(kDeleteBookmarkFirst, "书签")}),
                          Item(kClearBookmarks, "清除所有书签"),
                      }));
  bar.push_back(Popup("选项(&P)", {},
                      {
                          Item(kFont, "字体", "(&1)"),
                          Popup("背景色", "(&2)",
                                {
                                    Item(kDefaultBackground, "青草绿（默认）"),
                                    Item(kOtherColour, "其他颜色"),
                                    Item(kPictureBackground, "图片背景"),
                                }),
                          Popup("行距 ", "(&3)",
                                {
                                    Item(kSpacing100, "默认"),
                                    Item(kSpacing150, "1.5"),
                                    Item(kSpacing200, "2.0"),
                                    Item(kSpacing250, "2.5"),
                                    Item(kSpacing300, "3.0"),
                                }),
                          Popup("字体大小 ", "(&4)",
                                {
                                    Item(kSizeSmall, "小"),
                                    Item(kSizeMedium, "中"),
                                    Item(kSizeLarge, "大"),
                                }),
                          Popup("分页方式 ", "(&5)",
                                {
                                    Item(kLinePaging, "按行数分[普通]"),
                                    Item(kChapterPaging, "按章节分[小说]"),
                                }),
                          Popup("编码", "(&6)",
                                {
                                    Item(kEncodingAuto, "自动检测"),
                                    Item(kEncodingGbk, "GBK/GB18030"),
                                    Item(kEncodingUtf8, "UTF-8"),
                                    Item(kEncodingBig5, "Big5"),
                                    Item(kEncodingUtf16Le, "UTF-16 LE"),
                                    Item(kEncodingUtf16Be, "UTF-16 BE"),
                                }),
                      }));
  bar.push_back(Popup("界面(&D)", {},
                      {
                          Item(kFullScreen, "全屏阅读 ", "Ctrl+Enter"),
                          Item(kSideBar, "侧边栏 ", "F1"),
                          Item(kToolBar, "工具栏", "(&T)"),
                          Item(kStatusBar, "状态栏", "(&S)"),
                          Separator(),
                          Popup("简繁转换", {},
                                {
                                    Item(kConvertNone, "不转换"),
                                    Item(kConvertSimplified, "显示为简体"),
                                    Item(kConvertTraditional, "显示为繁體"),
                                }),
                          Popup("排版", {},
                                {
                                    Item(kReflowOff, "不重新分段"),
                                    Item(kReflowAuto, "自动重新分段"),
                                    Item(kReflowOn, "总是重新分段"),
                                    Separator(),
                                    Item(kIndentKeep, "段首缩进照原样"),
                                    Item(kIndentTwo, "段首空两格"),
                                    Item(kIndentNone, "段首不缩进"),
                                    Separator(),
                                    Item(kTypesetSettings, "排版设置..."),
                                }),
                          Popup("净化", {},
                                {
                                    Item(kCleanPage, "净化页面"),
                                    Item(kCleanRules, "净化规则..."),
                                    Separator(),
                                    Item(kApplyCleanToFile, "把净化规则应用到文件..."),
                                }),
                          Separator(),
                          Item(kImmersive, "沉浸阅读", "F11"),
                          Item(kImmersiveSettings, "沉浸阅读设置..."),
                      }));
  bar.push_back(Popup("拓展(&E)", {},
                      {
                          Item(kReadRecords, "查看阅读记录", "F3"),
                          Item(kReadingTime, "添加阅读记录 ", "(&A)"),
                          Item(kNightMode, "夜间模式", "(&N)"),
                          // 32821 was never a rule; rule 6 jumps to 32822.
                          Popup("章节分页规则", "(&R)",
                                {
                                    Item(kRule1, "按“第...章”分页(&1)"),
                                    Item(kRule2, "按“第...卷”分页(&2)"),
                                    Item(kRule3, "按“第...回”分页(&3)"),
                                    Item(kRule4, "按“第...部”分页(&4)"),
                                    Item(kRule5, "按“第...节”分页(&5)"),
                                    Item(kRule6, "按“第...集”分页(&6)"),
                                    Item(kRuleAuto, "自动识别(&0)"),  // the user's own rules follow
                                }),
                          Item(kChapterRules, "章节规则..."),
                          Item(kSync, "同步..."),
                          Item(kAutoScroll, "自动滚屏", "Enter"),
                          Item(kMoreSettings, "更多设置", "F2"),
                          Separator(),
                          Item(kChapterList, "目录", "F4"),
                          Item(kBookFind, "全书查找", "Ctrl+Shift+F"),
                      }));
  bar.push_back(Popup("听书(&L)", {},
                      {
                          Item(kReadAloud, "开始朗读", "F9"),
                          Item(kReadPause, "暂停/继续", "Ctrl+F9"),
                          Item(kReadStop, "停止朗读", "Shift+F9"),
                          Separator(),
                          Item(kReadPrevious, "上一句", "Alt+Left"),
                          Item(kReadNext, "下一句", "Alt+Right"),
                          Item(kReadFaster, "加快", "Alt+Up"),
                          Item(kReadSlower, "减慢", "Alt+Down"),
                          Separator(),
                          Popup("定时关闭", {},
                                {
                                    Item(kSleepOff, "不定时"),
                                    Item(kSleep15, "15 分钟后"),
                                    Item(kSleep30, "30 分钟后"),
                                    Item(kSleep60, "60 分钟后"),
                                    Item(kSleep90, "90 分钟后"),
                                    Item(kSleepChapterEnd, "读完本章"),
                                }),
                          Item(kSpeechSettings, "朗读设置..."),
                      }));
  bar.push_back(Popup("帮助(&H)", {},
                      {
                          Item(kAbout, "关于", "(&A)"),
                          Item(kNavigationSite, "※【网站导航推荐】"),
                          Item(kLinkTuimo, "褪墨时间管理"),
                          Item(kLinkAirplay, "AIRPLAY飞乐"),
                          Item(kLinkTextLibrary, "中国文本书库"),
                          Item(kLinkDuobei, "多背一公斤"),
                          Item(kLinkHomeland, "我们的家园"),
                      }));
  return bar;
}

struct StringEntry {
  int id;
  std::string_view text;
};

constexpr std::string_view kIdle =
    "小提示：空格翻屏自动下一页，【F5】添加书签，【←】上一页，【→】下一页";
constexpr std::string_view kDocument =
    "Varnelo\n\nVarnel\n\n\nVarnelo.Document\nVarnel Document";

// Kept sorted by id so a binary search finds an entry; checked below at compile time.
constexpr std::array kStrings = {
    StringEntry{101, "时间"},
    StringEntry{102, "汉字统计"},
    StringEntry{103, "阅读"},
    StringEntry{kEditMode, "打开或关闭编辑模式\n编辑模式开关"},
    StringEntry{128, kDocument},
    StringEntry{kOpenFolder, "打开文件夹\n打开书库"},
    StringEntry{kNightMode, "夜间模式，更好的保护我们！\n夜间模式"},
    StringEntry{kAddBookmark, "快捷键 F5\n添加书签"},
    StringEntry{kOpenBookmarkFirst, "打开书签"},
    StringEntry{kSpacing250, "250"},
    StringEntry{kSpacing300, "300"},
    StringEntry{kSizeSmall, "\n字体大小270"},
    StringEntry{kSizeMedium, "\n字体大小320"},
    StringEntry{kSizeLarge, "\n字体大小370"},
    StringEntry{kLinePaging, "每页50行"},
    StringEntry{kTogglePaging, "切换分页方式\n切换分页方式"},
    StringEntry{kSideBar, "\n快捷键 F1"},
    StringEntry{kReadingTime, "单击添加到阅读时间记录\n单击添加到阅读时间记录"},
    StringEntry{kFullScreen, "全屏切换\n全屏切换  Ctrl+Enter"},
    StringEntry{kMoreSettings, "设置名言警句、滚屏、提醒时间"},
    StringEntry{kLinkYilin, "意林免费电子杂志"},
    StringEntry{kLinkDuobei, "一个公益性网站，一种特殊的旅行方式，把关爱送给我们身边的孩子们！"},
    StringEntry{kLinkHomeland, "保护我们的家园，爱护环境！"},
    StringEntry{kLinkTextLibrary, "推崇经典文化理念 倡导绿色阅读下载"},
    StringEntry{kRule1, "1"},
    StringEntry{kRule2, "2"},
    StringEntry{kRule3, "3"},
    StringEntry{kRule4, "4"},
    StringEntry{kRule5, "5"},
    StringEntry{kRule6, "6"},
    StringEntry{kAutoScroll, "自动滚屏\n快捷键 Enter"},
    StringEntry{kPictureBackground, "打开图片文件"},
    StringEntry{kLinkYige,
                "亦歌，一个非常漂亮的在线听歌网站！还能根据你听歌的历程自动推荐你会喜欢的歌曲！"},
    StringEntry{kLinkAirplay, "音乐为我而生！一款优秀的音乐播放器：单文件800k、界面迷人！"},
    StringEntry{kNavigationSite, "推荐一个实用的网站导航\n网站导航"},
    StringEntry{kRuleAuto, "按书中自己的章节标题分页（第…章、楔子、一、…）\n自动识别章节"},
    StringEntry{kChapterList, "列出全书的章节标题，选中后跳到该章\n目录"},
    StringEntry{kBookFind, "在整本书中查找文字\n全书查找"},
    StringEntry{kChapterRules, "查看内置的章节规则，添加、修改、测试和排列自己的规则\n章节规则"},
    StringEntry{kSync, "通过 WebDAV 在各台电脑之间同步阅读位置、书签和阅读记录\n同步"},
    StringEntry{kConvertNone, "按书中原有的字显示"},
    StringEntry{kConvertSimplified, "把书中的繁体字显示为简体字，书本身不变"},
    StringEntry{kConvertTraditional, "把书中的简体字显示为繁体字，书本身不变"},
    StringEntry{kApplyCleanToFile, "把启用的净化规则写进书的文件，改动前的文件留作备份"},
    StringEntry{kReflowOff, "按书中原有的行显示"},
    StringEntry{kReflowAuto, "书是按固定宽度折行的，就把折断的段落接起来显示，书本身不变"},
    StringEntry{kReflowOn, "总是把折断的段落接起来显示，书本身不变"},
    StringEntry{kIndentKeep, "段首的空白照书中原样显示"},
    StringEntry{kIndentTwo, "每段开头统一空两个全角空格"},
    StringEntry{kIndentNone, "每段开头不留空白"},
    StringEntry{kCleanPage, "按净化规则去掉网页标签、广告行和网址后显示，书本身不变"},
    StringEntry{kCleanRules, "内置的和自己的净化规则：添加、修改、删除、启用"},
    StringEntry{kCleanSelection, "把选中的文字加为净化规则"},
    StringEntry{kTypesetSettings, "段间距、两端对齐、章节标题醒目"},
    StringEntry{kReadAloud, "从第一行可见的文字（或选中处、光标处）开始朗读，再按一次停止\n听书  F9"},
    StringEntry{kReadPause, "暂停或继续朗读"},
    StringEntry{kReadStop, "停止朗读"},
    StringEntry{kReadPrevious, "重读上一句"},
    StringEntry{kReadNext, "跳到下一句"},
    StringEntry{kReadFaster, "朗读加快一档"},
    StringEntry{kReadSlower, "朗读减慢一档"},
    StringEntry{kSleepChapterEnd, "读完这一章后停止朗读"},
    StringEntry{kSpeechSettings, "选择语音引擎、语音、语速、音调、音量和朗读时的底色"},
    StringEntry{kReadFromHere, "从鼠标右击的地方开始朗读"},
    StringEntry{kImmersive, "只留下书页的安静阅读，Esc 返回"},
    StringEntry{kImmersiveSettings, "沉浸阅读的主题、字体、行高和双栏"},
    StringEntry{kCloudShelf, "列出服务器书架上的书，下载并打开\n云书架"},
    StringEntry{kAppTitle, "Varnelo"},
    StringEntry{kIdleText, kIdle},
    StringEntry{kOpenFile, "打开一个现有文档\n打开txt"},
    StringEntry{kSave, "保存活动文档\n保存"},
    StringEntry{kSaveAs, "将活动文档以一个新文件名保存\n另存为"},
    StringEntry{57617, "打开文件夹"},
    StringEntry{57618, "打开该文档"},
    StringEntry{57619, "打开该文档"},
    StringEntry{57620, "打开该文档"},
    StringEntry{57621, "打开该文档"},
    StringEntry{kClearRecentFolders, "清除最近文件夹"},
    StringEntry{kCopy, "复制被选对象并将其置于剪贴板上\n复制"},
    StringEntry{kCut, "剪切被选对象并将其置于剪贴板上\n剪切"},
    StringEntry{kFind, "查找指定的正文\n查找"},
    StringEntry{kPaste, "插入剪贴板内容\n粘贴"},
    StringEntry{kAbout, "显示程序信息、版本号和版权\n关于"},
    StringEntry{kExit, "退出应用程序；提示保存文档\n退出"},
    StringEntry{kToolBar, "显示或隐藏工具栏\n显隐工具栏"},
    StringEntry{kStatusBar, "显示或隐藏状态栏\n显隐状态栏"},
    StringEntry{61204, "1"},
    StringEntry{61205, "2"},
    StringEntry{61206, "3"},
    StringEntry{61207, "4"},
    StringEntry{61208, "5"},
    StringEntry{61209, "6"},
    StringEntry{61210, "7"},
    StringEntry{61211, "8"},
    StringEntry{61212, "9"},
};

constexpr bool StrictlyAscending() {
  for (std::size_t i = 1; i < kStrings.size(); ++i) {
    if (kStrings[i - 1].id >= kStrings[i].id) return false;
  }
  return true;
}
static_assert(StrictlyAscending(), "string table must stay sorted by id without repeats");

}  // namespace

const std::vector<MenuEntry>& MenuBar() {
  static const std::vector<MenuEntry> bar = BuildMenuBar();
  return bar;
}

const std::vector<MenuEntry>& TrayMenu() {
  static const std::vector<MenuEntry> tray = {
      Item(kAbout, "关于V2.31"),
      Item(kReadRecords, "阅读记录"),
      Item(kReadAloud, "开始朗读"),
      Item(kReadPause, "暂停/继续朗读"),
      Item(kReadStop, "停止朗读"),
      Item(kExit, "退出"),
  };
  return tray;
}

const std::vector<MenuEntry>& ContextMenu() {
  static const std::vector<MenuEntry> rows = {
      Item(kCopy, "复制", "(&Ctrl+C)"),
      Item(kCut, "剪切", "(&Ctrl+X)"),
      Item(kPaste, "粘贴", "(&Ctrl+V)"),
      Item(kFind, "查找", "(&Ctrl+F)"),
      Separator(),
      Item(kWebSearch, "到百度搜索所选文字", "(&B)"),
      Item(kCleanSelection, "净化所选文字"),
      Item(kAutoScroll, "自动滚屏", "(&Enter)"),
      Item(kFullScreenByKeys, "全屏切换", "(&Ctrl+Enter)"),
      Item(kEditMode, "编辑模式", "(&E)"),
      Separator(),
      Item(kReadFromHere, "从这里开始朗读", "(&R)"),
  };
  return rows;
}

std::string_view CommandString(int id) {
  const auto* it = std::lower_bound(kStrings.begin(), kStrings.end(), id,
                                    [](const StringEntry& e, int key) { return e.id < key; });
  return it != kStrings.end() && it->id == id ? it->text : std::string_view{};
}

std::string_view PromptOf(int id) {
  const std::string_view text = CommandString(id);
  return text.substr(0, text.find('\n'));
}

std::string_view TipOf(int id) {
  const std::string_view text = CommandString(id);
  const std::size_t cut = text.find('\n');
  return cut == std::string_view::npos ? std::string_view{} : text.substr(cut + 1);
}

const std::vector<Accelerator>& Accelerators() {
  // Qt's own key names, so QKeySequence parses each one. Ctrl+Return is the main Enter
  // key; Ctrl+Enter is the keypad one, which the same accelerator covers.
  static const std::vector<Accelerator> table = {
      {"Ctrl+C", kCopy},          {"Ctrl+Ins", kCopy},        {"Ctrl+X", kCut},
      {"Shift+Del", kCut},        {"Ctrl+V", kPaste},         {"Shift+Ins", kPaste},
      {"Ctrl+F", kFind},          {"Ctrl+N", kOpenFolder},    {"Ctrl+O", kOpenFile},
      {"Ctrl+S", kSave},          {"Ctrl+Z", kUndo},          {"Alt+Backspace", kUndo},
      {"F1", kSideBar},           {"F2", kMoreSettings},      {"F3", kReadRecords},
      {"F5", kAddBookmark},       {"F6", kNextPane},          {"Shift+F6", kPrevPane},
      {"Ctrl+Return", kFullScreen}, {"Ctrl+Enter", kFullScreen},
      {"F4", kChapterList},       {"Ctrl+Shift+F", kBookFind},
      {"F11", kImmersive},
      {"F9", kReadAloud},         {"Ctrl+F9", kReadPause},    {"Shift+F9", kReadStop},
      {"Alt+Left", kReadPrevious}, {"Alt+Right", kReadNext},  {"Alt+Up", kReadFaster},
      {"Alt+Down", kReadSlower},
  };
  return table;
}

const std::vector<ToolButton>& ToolBarButtons() {
  static const std::vector<ToolButton> buttons = {
      {kOpenFolder, "书库"},      {kOpenFile, "小说"},        {kAddBookmark, "添加书签"},
      {kNightMode, "夜间模式"},   {kSmallerFont, "减小字体"}, {kLargerFont, "增大字体"},
      {kNarrowerSpacing, "减小行距"}, {kWiderSpacing, "增大行距"}, {kTogglePaging, "分页方式"},
      {kReadingTime, "阅读时间"}, {kSideBar, "侧边栏"},       {kFullScreen, "全屏"},
      {kAutoScroll, "自动滚屏"},  {kEditMode, "编辑模式"},       {kReadAloud, "听书"},
  };
  return buttons;
}

std::string_view AppTitle() { return CommandString(kAppTitle); }
std::string_view IdleText() { return CommandString(kIdleText); }
std::string_view DocumentString() { return CommandString(128); }

}  // namespace varnelo
