// Command identifiers shared by the menus, accelerators, tool bar, context and tray
// menus and the handlers. The numbers are kept because users' habits and stored menus
// (bookmark and recent-folder items) are tied to them.
#pragma once

namespace varnelo::cmd {

// File menu
inline constexpr int kOpenFolder = 32773;
inline constexpr int kOpenFile = 57601;
inline constexpr int kNewFile = 57600;
inline constexpr int kRecentFolderFirst = 57617;  // .. 57621
inline constexpr int kRecentFolderLast = 57621;
inline constexpr int kRecentFolderPlaceholder = 57625;
inline constexpr int kClearRecentFolders = 57631;
inline constexpr int kSave = 57603;
inline constexpr int kSaveAs = 57604;
inline constexpr int kExit = 57665;

// Bookmarks
inline constexpr int kAddBookmark = 32775;
inline constexpr int kOpenBookmarkFirst = 32781;  // .. 32789
inline constexpr int kOpenBookmarkLast = 32789;
inline constexpr int kDeleteBookmarkFirst = 61204;  // .. 61212
inline constexpr int kDeleteBookmarkLast = 61212;
inline constexpr int kClearBookmarks = 32780;

// Options
inline constexpr int kFont = 32771;
inline constexpr int kDefaultBackground = 61300;
inline constexpr int kOtherColour = 32772;
inline constexpr int kPictureBackground = 32824;
inline constexpr int kSpacing100 = 61301;
inline constexpr int kSpacing150 = 61302;
inline constexpr int kSpacing200 = 61303;
inline constexpr int kSpacing250 = 32790;
inline constexpr int kSpacing300 = 32791;
inline constexpr int kSizeSmall = 32792;
inline constexpr int kSizeMedium = 32793;
inline constexpr int kSizeLarge = 32794;
inline constexpr int kLinePaging = 32798;
inline constexpr int kChapterPaging = 32797;
// 编码: detect, then GBK, UTF-8, Big5, UTF-16 LE, UTF-16 BE
inline constexpr int kEncodingAuto = 32830;
inline constexpr int kEncodingGbk = 32831;
inline constexpr int kEncodingUtf8 = 32832;
inline constexpr int kEncodingBig5 = 32833;
inline constexpr int kEncodingUtf16Le = 32834;
inline constexpr int kEncodingUtf16Be = 32835;

// Interface
inline constexpr int kFullScreen = 32803;
inline constexpr int kSideBar = 32800;
inline constexpr int kToolBar = 59392;
inline constexpr int kStatusBar = 59393;
// 简繁转换: the page in the book's own characters, in simplified or in traditional ones
inline constexpr int kConvertNone = 32880;
inline constexpr int kConvertSimplified = 32881;
inline constexpr int kConvertTraditional = 32882;
// 排版 and 净化: the page re-flowed, indented and cleaned of web junk, the book untouched
inline constexpr int kReflowOff = 32890;
inline constexpr int kReflowAuto = 32891;
inline constexpr int kReflowOn = 32892;
inline constexpr int kIndentKeep = 32893;
inline constexpr int kIndentTwo = 32894;
inline constexpr int kIndentNone = 32895;
inline constexpr int kCleanPage = 32896;
inline constexpr int kCleanSelection = 32898;
inline constexpr int kTypesetSettings = 32899;
inline constexpr int kCleanRules = 32897;
inline constexpr int kApplyCleanToFile = 32886;
// The quiet reading mode and its settings
inline constexpr int kImmersive = 32960;
inline constexpr int kImmersiveSettings = 32961;

// Extras
inline constexpr int kReadRecords = 32813;
inline constexpr int kReadingTime = 32802;
inline constexpr int kNightMode = 32774;
inline constexpr int kRule1 = 32816;
inline constexpr int kRule2 = 32817;
inline constexpr int kRule3 = 32818;
inline constexpr int kRule4 = 32819;
inline constexpr int kRule5 = 32820;
inline constexpr int kRule6 = 32822;
inline constexpr int kRuleAuto = 32840;  // the book's own headings
inline constexpr int kUserRuleFirst = 32900;  // .. 32929, the user's own rules in their order
inline constexpr int kUserRuleLast = 32929;
inline constexpr int kChapterRules = 32852;  // the dialog of the rules
inline constexpr int kSync = 32853;  // the 同步 dialog
inline constexpr int kCloudShelf = 32970;  // 云书架: the books on the server
inline constexpr int kAutoScroll = 32823;
inline constexpr int kAutoScrollAlt = 107;
inline constexpr int kMoreSettings = 32809;
inline constexpr int kChapterList = 32850;
inline constexpr int kBookFind = 32851;
inline constexpr int kRecentBookFirst = 32860;  // .. 32869, the ten books read last
inline constexpr int kRecentBookLast = 32869;

// 听书: reading aloud
inline constexpr int kReadAloud = 32940;       // start, or stop while reading
inline constexpr int kReadPause = 32941;       // pause and resume
inline constexpr int kReadStop = 32942;
inline constexpr int kReadPrevious = 32943;
inline constexpr int kReadNext = 32944;
inline constexpr int kReadFaster = 32945;
inline constexpr int kReadSlower = 32946;
inline constexpr int kSleepOff = 32947;        // 定时关闭: none, 15, 30, 60, 90 minutes,
inline constexpr int kSleep15 = 32948;         // the end of the chapter
inline constexpr int kSleep30 = 32949;
inline constexpr int kSleep60 = 32950;
inline constexpr int kSleep90 = 32951;
inline constexpr int kSleepChapterEnd = 32952;
inline constexpr int kSpeechSettings = 32953;
inline constexpr int kReadFromHere = 32954;    // the page's right-click menu

// Help
inline constexpr int kAbout = 57664;
inline constexpr int kNavigationSite = 32828;
inline constexpr int kLinkTuimo = 32826;
inline constexpr int kLinkAirplay = 32827;
inline constexpr int kLinkTextLibrary = 32814;
inline constexpr int kLinkDuobei = 32811;
inline constexpr int kLinkHomeland = 32812;
inline constexpr int kLinkYilin = 32810;
inline constexpr int kLinkYige = 32825;

// Tool bar and context menu only
inline constexpr int kTogglePaging = 32799;
inline constexpr int kSmallerFont = 32805;
inline constexpr int kLargerFont = 32806;
inline constexpr int kNarrowerSpacing = 32807;
inline constexpr int kWiderSpacing = 32808;
inline constexpr int kEditMode = 108;
inline constexpr int kCopy = 57634;
inline constexpr int kCut = 57635;
inline constexpr int kPaste = 57637;
inline constexpr int kFind = 57636;
inline constexpr int kUndo = 57643;
inline constexpr int kNextPane = 57680;
inline constexpr int kPrevPane = 57681;
inline constexpr int kWebSearch = 105;
inline constexpr int kFullScreenByKeys = 106;
inline constexpr int kScrollOneScreen = 32796;

// Buttons of the view's form
inline constexpr int kNextPageButton = 1012;
inline constexpr int kPreviousPageButton = 1013;
inline constexpr int kNextScreenButton = 1052;

// Strings
inline constexpr int kAppTitle = 57344;
inline constexpr int kIdleText = 57345;

}  // namespace varnelo::cmd
