#include "store/config_schema.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <variant>

#include "platform/profile.h"
#include "platform/text_column.h"

namespace varnelo {
namespace {

enum class Form {
  Int,          // "%d"
  NonNegative,  // "%d", written only when 0 or more (below 0 means "unchanged")
  ZeroOrOne,    // read as a number, written as "1" or "0"
  String,
  Placement,    // structure form with checksum
};

using Field = std::variant<int*, bool*, std::string*, WindowPlacement*>;

struct Entry {
  ConfigKey key;
  const char* section;
  const char* name;
  Form form;
  ReadStage stage;
  Field (*field)(ConfigValues&);
};

// The ranges a hand-edited number is brought into as it is read, so that nothing computed
// from it can overflow: the sizes the font dialog and the tool-bar steps can reach.
struct Range {
  ConfigKey key;
  int lowest;
  int highest;
};
constexpr int kIntMax = 2147483647;
constexpr Range kRanges[] = {
    {ConfigKey::FontSize, 0, kHighestFontSize},
    {ConfigKey::LineSpacing, 0, kHighestLineSpacing},
    {ConfigKey::MarkLine, 0, kIntMax},
    {ConfigKey::LibraryEntry, 0, kIntMax},
    {ConfigKey::PageMargin, 0, kMaxPageMargin},
    {ConfigKey::MaxLineChars, 0, kMaxLineCharsLimit},
    {ConfigKey::ReflowMode, 0, 2},
    {ConfigKey::IndentMode, 0, 2},
    {ConfigKey::CleanFlag, 0, 1},
    {ConfigKey::ParaSpacing, 0, kMaxParaSpacing},
    {ConfigKey::Justify, 0, 1},
    {ConfigKey::HeadingApart, 0, 1},
    {ConfigKey::ImmersiveFontSize, kLowestReadingPoints, kHighestReadingPoints},
    {ConfigKey::ImmersiveLineHeight, 100, 300},
    {ConfigKey::ImmersiveParagraph, 0, 200},
    {ConfigKey::SpeechEngine, 0, 2},
    {ConfigKey::SpeechRate, -10, 10},
    {ConfigKey::SpeechPitch, -10, 10},
    {ConfigKey::SpeechVolume, 0, 100},
    {ConfigKey::SpeechHighlight, 0, 0x00FFFFFF},
};

constexpr char kStyle[] = "Style";
constexpr char kQuote[] = "Quote";
constexpr char kInterface[] = "Interface";
constexpr char kReading[] = "Reading";
constexpr char kTypeset[] = "Typeset";
constexpr char kImmersive[] = "Immersive";
constexpr char kSpeech[] = "Speech";

// In the order the exit save writes them; OnUse keys last, as the exit skips them.
const std::array<Entry, 55> kEntries = {{
    {ConfigKey::LastPosition, config_names::kBookMark, "0", Form::String, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.lastPosition; }},
    {ConfigKey::Background, kStyle, "bkcolor", Form::Int, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.appearance.backgroundColour; }},
    {ConfigKey::TextColour, kStyle, "txtcolor", Form::Int, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.appearance.textColour; }},
    {ConfigKey::Face, kStyle, "txtfont", Form::String, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.appearance.face; }},
    {ConfigKey::FontSize, kStyle, "txtsize", Form::NonNegative, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.appearance.fontSize; }},
    {ConfigKey::LineSpacing, kStyle, "txthj", Form::NonNegative, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.appearance.lineSpacing; }},
    {ConfigKey::PagingMode, kStyle, "SortFlag", Form::Int, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.pagingMode; }},
    {ConfigKey::MarkLine, kStyle, "MarkLine", Form::Int, ReadStage::ScrollRestore,
     [](ConfigValues& v) -> Field { return &v.markLine; }},
    {ConfigKey::QuoteMode, kQuote, "QuoteFlag", Form::Int, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.quote.quoteMode; }},
    {ConfigKey::QuoteLoop, kQuote, "LoopFlag", Form::Int, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.quote.loop; }},
    {ConfigKey::QuotePath, kQuote, "QuotePath", Form::String, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.quote.quotePath; }},
    {ConfigKey::QuoteScroll, kQuote, "ScrollFlag", Form::Int, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.quote.scroll; }},
    {ConfigKey::RollType, kQuote, "RollType", Form::Int, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.quote.rollType; }},
    {ConfigKey::ScrollInterval, kQuote, "TimeSpan", Form::Int, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.quote.scrollInterval; }},
    {ConfigKey::ReminderMinutes, kQuote, "TimeSpanTip", Form::Int, ReadStage::Frame,
     [](ConfigValues& v) -> Field { return &v.quote.reminderMinutes; }},
    {ConfigKey::Night, kStyle, "NightFlag", Form::Int, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.appearance.night; }},
    {ConfigKey::ChapterRule, kStyle, "SortRuleFlag", Form::Int, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.chapterRule; }},
    {ConfigKey::SideBarHidden, kStyle, "orgrectFlag", Form::ZeroOrOne, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.sideBarHidden; }},
    {ConfigKey::PicturePath, kStyle, "picPath", Form::String, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.picturePath; }},
    {ConfigKey::Placement, kInterface, "RemWndPlace", Form::Placement, ReadStage::Frame,
     [](ConfigValues& v) -> Field { return &v.placement; }},
    {ConfigKey::ToolBarShown, kInterface, "toolflag", Form::Int, ReadStage::Frame,
     [](ConfigValues& v) -> Field { return &v.toolBarShown; }},
    {ConfigKey::StatusBarShown, kInterface, "statusflag", Form::Int, ReadStage::Frame,
     [](ConfigValues& v) -> Field { return &v.statusBarShown; }},
    {ConfigKey::LibraryEntry, kInterface, "shukuflag", Form::Int, ReadStage::View,
     [](ConfigValues& v) -> Field { return &v.libraryEntry; }},
    {ConfigKey::CheckNet, "Check", "CheckNet", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.checkNet; }},
    {ConfigKey::ReturnToPlace, kReading, "ReturnFlag", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.returnToPlace; }},
    {ConfigKey::TurnAtPageEnd, kReading, "TurnFlag", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.turnAtPageEnd; }},
    // Not in the exit save: a Config.ini of a reader that never used them stays as it was.
    {ConfigKey::ConvertFlag, kStyle, "ConvertFlag", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.convertFlag; }},
    {ConfigKey::PageMargin, kStyle, "PageMargin", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.pageMargin; }},
    {ConfigKey::MaxLineChars, kStyle, "MaxLineChars", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.maxLineChars; }},
    {ConfigKey::SyncOn, "Sync", "Enabled", Form::ZeroOrOne, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.sync.on; }},
    {ConfigKey::SyncServer, "Sync", "Server", Form::String, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.sync.server; }},
    {ConfigKey::SyncUser, "Sync", "User", Form::String, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.sync.user; }},
    {ConfigKey::SyncFolder, "Sync", "Folder", Form::String, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.sync.folder; }},
    {ConfigKey::SyncComputer, "Sync", "Computer", Form::String, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.sync.computer; }},
    {ConfigKey::SyncTrusted, "Sync", "Trusted", Form::String, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.sync.trusted; }},
    {ConfigKey::SyncShelf, "Sync", "Shelf", Form::ZeroOrOne, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.sync.shelf; }},
    {ConfigKey::ReflowMode, kTypeset, "Reflow", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.reflowMode; }},
    {ConfigKey::IndentMode, kTypeset, "Indent", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.indentMode; }},
    {ConfigKey::CleanFlag, kTypeset, "Clean", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.cleanFlag; }},
    {ConfigKey::ParaSpacing, kTypeset, "ParaSpacing", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.paraSpacing; }},
    {ConfigKey::Justify, kTypeset, "Justify", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.justify; }},
    {ConfigKey::HeadingApart, kTypeset, "HeadingApart", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.headingApart; }},
    {ConfigKey::ImmersiveOn, kImmersive, "Active", Form::ZeroOrOne, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.immersive.on; }},
    {ConfigKey::ImmersiveTheme, kImmersive, "Theme", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.immersive.theme; }},
    {ConfigKey::ImmersiveColumns, kImmersive, "TwoColumns", Form::ZeroOrOne, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.immersive.twoColumns; }},
    {ConfigKey::ImmersiveFace, kImmersive, "Face", Form::String, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.immersive.face; }},
    {ConfigKey::ImmersiveFontSize, kImmersive, "FontSize", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.immersive.fontPoints; }},
    {ConfigKey::ImmersiveLineHeight, kImmersive, "LineHeight", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.immersive.lineHeight; }},
    {ConfigKey::ImmersiveParagraph, kImmersive, "ParagraphSpacing", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.immersive.paragraphSpacing; }},
    {ConfigKey::SpeechEngine, kSpeech, "Engine", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.speech.engine; }},
    {ConfigKey::SpeechVoice, kSpeech, "Voice", Form::String, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.speech.voice; }},
    {ConfigKey::SpeechRate, kSpeech, "Rate", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.speech.rate; }},
    {ConfigKey::SpeechPitch, kSpeech, "Pitch", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.speech.pitch; }},
    {ConfigKey::SpeechVolume, kSpeech, "Volume", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.speech.volume; }},
    {ConfigKey::SpeechHighlight, kSpeech, "Highlight", Form::Int, ReadStage::OnUse,
     [](ConfigValues& v) -> Field { return &v.speech.highlight; }},
}};

const Range* RangeOf(ConfigKey key) {
  for (const Range& range : kRanges) {
    if (range.key == key) return &range;
  }
  return nullptr;
}

const Entry& EntryOf(ConfigKey key) {
  for (const Entry& entry : kEntries) {
    if (entry.key == key) return entry;
  }
  return kEntries.front();  // unreachable: every key has an entry
}

}  // namespace

WindowPlacement SanePlacement(WindowPlacement placement) {
  const auto within = [](std::int64_t value, std::int64_t lowest, std::int64_t highest) {
    return static_cast<std::int32_t>(std::clamp(value, lowest, highest));
  };
  const std::int64_t width = std::int64_t{placement.right} - placement.left;
  const std::int64_t height = std::int64_t{placement.bottom} - placement.top;
  placement.left = within(placement.left, -kPlacementReach, kPlacementReach);
  placement.top = within(placement.top, -kPlacementReach, kPlacementReach);
  placement.right = placement.left + within(width, kMinWindowWidth, kPlacementReach);
  placement.bottom = placement.top + within(height, kMinWindowHeight, kPlacementReach);
  return placement;
}

const std::vector<ConfigKey>& ExitOrder() {
  static const std::vector<ConfigKey> order = [] {
    std::vector<ConfigKey> keys;
    for (const Entry& entry : kEntries) {
      if (entry.stage != ReadStage::OnUse) keys.push_back(entry.key);
    }
    return keys;
  }();
  return order;
}

std::string_view SectionOf(ConfigKey key) { return EntryOf(key).section; }
std::string_view NameOf(ConfigKey key) { return EntryOf(key).name; }
ReadStage StageOf(ConfigKey key) { return EntryOf(key).stage; }

void ReadKey(ConfigValues& values, ConfigKey key, const std::string& settingsPath) {
  const Entry& entry = EntryOf(key);
  static const ConfigValues kDefaults;
  ConfigValues defaults = kDefaults;
  const Field field = entry.field(values);
  const Field fallback = entry.field(defaults);
  if (int* const* number = std::get_if<int*>(&field)) {
    const Range* range = RangeOf(key);
    if (range == nullptr) {
      **number = profile::GetInt(entry.section, entry.name, *std::get<int*>(fallback), settingsPath);
      return;
    }
    // Read values never end in a blank, so this tells a missing key.
    const std::string stored = profile::GetString(entry.section, entry.name, " ", settingsPath);
    const int read = stored == " " ? *std::get<int*>(fallback) : profile::IntOfText(stored);
    **number = std::clamp(read, range->lowest, range->highest);
    if (**number != read) {
      values.held[key] = {**number, stored};
    } else {
      values.held.erase(key);
    }
  } else if (bool* const* flag = std::get_if<bool*>(&field)) {
    **flag = profile::GetInt(entry.section, entry.name, *std::get<bool*>(fallback) ? 1 : 0,
                             settingsPath) != 0;
  } else if (std::string* const* text = std::get_if<std::string*>(&field)) {
    **text = profile::GetString(entry.section, entry.name, *std::get<std::string*>(fallback),
                                settingsPath);
  } else if (WindowPlacement* const* placement = std::get_if<WindowPlacement*>(&field)) {
    WindowPlacement stored;
    // A zero or absurd length means the bytes were never a placement.
    const bool read = profile::GetStruct(entry.section, entry.name, &stored, sizeof stored,
                                         settingsPath);
    **placement = read && stored.length != 0 && stored.length <= 10000 ? SanePlacement(stored)
                                                                        : WindowPlacement{};
  }
}

bool WriteKey(const ConfigValues& values, ConfigKey key, const std::string& settingsPath) {
  const Entry& entry = EntryOf(key);
  // The accessors hand out pointers into the struct; nothing is written through them here.
  const Field field = entry.field(const_cast<ConfigValues&>(values));
  std::string text;
  if (int* const* number = std::get_if<int*>(&field)) {
    const auto held = values.held.find(key);
    if (held != values.held.end() && held->second.used == **number) {
      if (entry.form == Form::NonNegative && profile::IntOfText(held->second.stored) < 0) return true;
      return profile::WriteString(entry.section, entry.name, held->second.stored, settingsPath);
    }
    if (entry.form == Form::NonNegative && **number < 0) return true;
    text = std::to_string(entry.form == Form::ZeroOrOne ? (**number != 0 ? 1 : 0) : **number);
  } else if (bool* const* flag = std::get_if<bool*>(&field)) {
    text = std::to_string(**flag ? 1 : 0);
  } else if (std::string* const* value = std::get_if<std::string*>(&field)) {
    text = **value;
  } else if (WindowPlacement* const* placement = std::get_if<WindowPlacement*>(&field)) {
    return profile::WriteStruct(entry.section, entry.name, *placement, sizeof(WindowPlacement),
                                settingsPath);
  }
  return profile::WriteString(entry.section, entry.name, text, settingsPath);
}

void ReadStartupKeys(ConfigValues& values, ReadStage stage, const std::string& settingsPath) {
  for (const Entry& entry : kEntries) {
    if (entry.stage == stage) ReadKey(values, entry.key, settingsPath);
  }
}

bool WriteExitSettings(const ConfigValues& values, const std::string& settingsPath,
                       const ExitSteps& steps) {
  // One reading and one write of the file for the whole save, however large it is.
  profile::Session session(settingsPath, profile::Session::Writes::Deferred);
  bool ok = true;
  for (const Entry& entry : kEntries) {
    if (entry.stage == ReadStage::OnUse) continue;
    ok = WriteKey(values, entry.key, settingsPath) && ok;
    if (entry.key == ConfigKey::LineSpacing && steps.updateRecentFolders)
      ok = steps.updateRecentFolders() && ok;
    if (entry.key == ConfigKey::ReminderMinutes && steps.closeReadingPeriod)
      ok = steps.closeReadingPeriod() && ok;
  }
  return session.Commit() && ok;
}

}  // namespace varnelo
