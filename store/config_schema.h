// The one description of Config.ini: every key the program reads at start-up and writes at
// exit, with its section, form and default, in the order the exit save writes them. No
// other file spells a section or key name; the defaults are the member initialisers of
// ConfigValues and nowhere else.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_appearance.h"

namespace varnelo {

inline constexpr char kConfigFileName[] = "Config.ini";

// The main window's placement: eleven 32-bit fields, 44 bytes, in this order.
struct WindowPlacement {
  std::uint32_t length = 44;
  std::uint32_t flags = 0;
  std::uint32_t showCommand = 1;  // 1 shown normally, 3 maximised, 2 minimised
  std::int32_t minX = -1, minY = -1;
  std::int32_t maxX = -1, maxY = -1;
  std::int32_t left = 100, top = 100, right = 900, bottom = 700;
};
static_assert(sizeof(WindowPlacement) == 44);

// What a read brings a hand-edited value into: where the font dialog (72 pixels) and the
// "增大字体" step stop (0 leaves the pane's own size), and where the spacing steps stop.
// Anything larger would take the page minutes to lay out.
inline constexpr int kHighestFontSize = 1440;
inline constexpr int kHighestLineSpacing = 800;
// A window is at least this big, and its corner and size stay within what window
// systems address, so the frame's arithmetic cannot overflow.
inline constexpr int kMinWindowWidth = 200;
inline constexpr int kMinWindowHeight = 150;
inline constexpr int kPlacementReach = 32767;
// Paragraph spacing stays within a screenful of any sane font.
inline constexpr int kMaxParaSpacing = 200;
// The normal rectangle brought into those bounds; the size is kept where it can be.
WindowPlacement SanePlacement(WindowPlacement placement);

// [Quote]: the quotation line, automatic scrolling and the eye-rest reminder.
struct QuoteSettings {
  int quoteMode = 1;  // 0 off, 1 built-in, 2 from a file
  int loop = 0;
  std::string quotePath;
  int scroll = 0;
  int rollType = 0;         // 0 by pixel, 1 by line, 2 by page
  int scrollInterval = 30;  // milliseconds
  int reminderMinutes = 30;
};

enum class ConfigKey {
  LastPosition,
  Background, TextColour, Face, FontSize, LineSpacing,
  PagingMode, MarkLine,
  QuoteMode, QuoteLoop, QuotePath, QuoteScroll, RollType, ScrollInterval, ReminderMinutes,
  Night, ChapterRule, SideBarHidden, PicturePath,
  Placement, ToolBarShown, StatusBarShown, LibraryEntry,
  CheckNet,
  ReturnToPlace, TurnAtPageEnd,
  ConvertFlag, PageMargin, MaxLineChars,
  SyncOn, SyncServer, SyncUser, SyncFolder, SyncComputer, SyncTrusted, SyncShelf,
  ReflowMode, IndentMode, CleanFlag, ParaSpacing, Justify, HeadingApart,
  ImmersiveOn, ImmersiveTheme, ImmersiveColumns, ImmersiveFace, ImmersiveFontSize,
  ImmersiveLineHeight, ImmersiveParagraph,
  SpeechEngine, SpeechVoice, SpeechRate, SpeechPitch, SpeechVolume, SpeechHighlight,
};

// [Sync]: the WebDAV server the reader syncs with (the password is never here).
struct SyncSettings {
  int on = 0;
  std::string server;  // "https://host/dav"
  std::string user;
  std::string folder = "varnelo";
  std::string computer;  // this settings folder's name among the computers, made once
  // Certificates the user chose to trust: "<host:port> <SHA-256>" entries joined by '|'.
  std::string trusted;
  int shelf = 0;  // the books read go up to the server's 书架 too
};

// [Immersive]: the quiet reading mode beside the classic window, and how it sets the page.
inline constexpr int kLowestReadingPoints = 8;
inline constexpr int kHighestReadingPoints = 72;
struct ImmersiveSettings {
  int on = 0;              // the reader was in the mode when it last closed
  int theme = 0;           // 0 day, 1 sepia, 2 green, 3 night, 4 as the desktop
  int twoColumns = 0;      // two columns when the window is wide enough
  std::string face;        // empty: the system's CJK serif
  int fontPoints = 16;
  int lineHeight = 120;    // percent of the font's own line
  int paragraphSpacing = 25;  // percent of a line between paragraphs
};

// Every single-valued key of Config.ini. The lists (bookmarks 1 to 9, recent folders,
// reading-time records) have their own operations in CConfigStore.
struct ConfigValues {
  std::string lastPosition;  // [BookMark] 0, kept as stored text
  TextAppearance appearance;
  int pagingMode = 0;
  int markLine = 0;
  int chapterRule = 0;  // 0 the automatic rule, 1 to 6 the "第..." rules
  int sideBarHidden = 0;
  std::string picturePath;
  QuoteSettings quote;
  WindowPlacement placement;
  int toolBarShown = 1;
  int statusBarShown = 1;
  int libraryEntry = 0;  // 1-based entry of the listed folder; 0 = none
  int checkNet = 0;      // 2 = the start-page offer has been made
  // [Reading]: options of the settings dialog beyond its own three groups.
  int returnToPlace = 1;  // a book opens where it was left
  int turnAtPageEnd = 0;  // pixel and line auto-scroll turn the page at its bottom
  // [Style] of the page's presentation beyond the described reader; written when chosen.
  int convertFlag = 0;   // 0 the book's own characters, 1 simplified, 2 traditional
  int pageMargin = 0;    // pixels left and right of the text
  int maxLineChars = 0;  // characters a line holds at most; 0 = the pane's width
  SyncSettings sync;
  // [Typeset]: how the page is shown, the book untouched; written when chosen.
  int reflowMode = 0;    // 0 the file's lines, 1 re-flowed when found hard-wrapped, 2 always
  int indentMode = 0;    // 0 as the file has it, 1 two full-width spaces, 2 none
  int cleanFlag = 0;     // 1: the enabled replace rules clean the page
  int paraSpacing = 0;   // pixels between paragraphs
  int justify = 0;       // 1: lines justified
  int headingApart = 0;  // 1: a chapter heading at the page's top larger, bold, centred
  ImmersiveSettings immersive;
  // [Speech]: reading aloud; written when chosen.
  struct Speech {
    int engine = 0;  // 0 the desktop's service if it can speak Chinese, else built-in; 1, 2 each alone
    std::string voice;  // the engine's voice id; empty: its Chinese default
    int rate = 0;       // -10 .. 10
    int pitch = 0;      // -10 .. 10
    int volume = 100;   // 0 .. 100
    int highlight = 0x0080F0FF;  // 0x00BBGGRR behind the sentence being read
  } speech;

  // Numbers brought into their range as they were read: the value in use and the text the
  // file held. While the value in use is unchanged, a write gives the file's text back:
  // the range is for using a value, not for rewriting the user's file.
  struct HeldNumber {
    int used = 0;
    std::string stored;
  };
  std::map<ConfigKey, HeldNumber> held;
};

// When start-up reads a key: while the frame prepares its window, in the view's initial
// update, or when the view restores the scroll line half a second later. OnUse keys are
// neither read at start-up nor written at exit: their feature reads and writes them itself.
enum class ReadStage { Frame, View, ScrollRestore, OnUse };

// The keys the exit save writes, in their exit order.
const std::vector<ConfigKey>& ExitOrder();
std::string_view SectionOf(ConfigKey key);
std::string_view NameOf(ConfigKey key);
ReadStage StageOf(ConfigKey key);

// Reads one key (its default when missing) into `values`, or writes it from `values`.
// False when the file could not be written; a size or spacing below 0 is not written, nor
// a number held as read (see ConfigValues::held) whose text is below 0.
void ReadKey(ConfigValues& values, ConfigKey key, const std::string& settingsPath);
bool WriteKey(const ConfigValues& values, ConfigKey key, const std::string& settingsPath);

// Reads every key of one start-up stage.
void ReadStartupKeys(ConfigValues& values, ReadStage stage, const std::string& settingsPath);

// The work the exit save does between its key writes, each at its place in the sequence.
struct ExitSteps {
  std::function<bool()> updateRecentFolders;  // after the style keys
  std::function<bool()> closeReadingPeriod;   // after the [Quote] keys
};

// The whole exit write, in order. False if any write failed.
bool WriteExitSettings(const ConfigValues& values, const std::string& settingsPath,
                       const ExitSteps& steps = {});

// The names of the list keys, for the store's list operations.
namespace config_names {
inline constexpr char kBookMark[] = "BookMark";
inline constexpr char kMarkNum[] = "MarkNum";
inline constexpr char kFileDir[] = "File Dir";
inline constexpr char kFileNum[] = "FileNum";
inline constexpr char kTimePad[] = "TimePad";
inline constexpr char kTimePadNum[] = "TimePadNum";
// The encoding the user chose for a book: EncodingNum entries "1".. as "name|path".
inline constexpr char kEncoding[] = "Encoding";
inline constexpr char kEncodingNum[] = "EncodingNum";
inline constexpr char kBookPlace[] = "BookPlace";
inline constexpr char kPlaceNum[] = "PlaceNum";
// Where each bookmark's text is, under the bookmark's own key (read only by this reader).
inline constexpr char kBookMarkPlace[] = "BookMarkPlace";
// The user's own chapter rules: RuleNum entries "1".. in the user's order.
inline constexpr char kChapterRules[] = "ChapterRules";
inline constexpr char kRuleNum[] = "RuleNum";
// The user's replace rules: RuleNum entries "1".. (store/replace_rules.h).
inline constexpr char kCleanRules[] = "CleanRules";
// The built-in replace rules turned off: their numbers from 1, "3,5".
inline constexpr char kBuiltInOff[] = "BuiltInOff";
}  // namespace config_names

}  // namespace varnelo
