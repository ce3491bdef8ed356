#include "app/sync/sync_local.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/profile.h"
#include "res/command_ids.h"
#include "store/book_encodings.h"
#include "store/book_places.h"
#include "store/chapter_rules.h"
#include "store/config_schema.h"
#include "store/config_store.h"
#include "store/replace_rules.h"
#include "text/book_engine.h"

namespace varnelo::sync {
namespace {

constexpr char kLocalMark[] = "\n[Local]\n";
// Stamp of a value this computer kept before it synced: older than anything synced.
constexpr std::int64_t kBeforeSync = 1;

std::int64_t ToInt(std::string_view text, std::int64_t fallback = 0) {
  std::int64_t out = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size() ? out : fallback;
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (true) {
    const std::size_t next = text.find(separator, at);
    parts.emplace_back(text.substr(at, next == std::string_view::npos ? next : next - at));
    if (next == std::string_view::npos) return parts;
    at = next + 1;
  }
}

// Notes a local value: news only when it differs from the value seen last; a value seen for
// the first time is stamped as kept before syncing.
bool NoteLocal(LocalState& state, const std::string& name, const std::string& value,
               const BookContext& book) {
  const auto seen = state.seen.find(name);
  if (seen != state.seen.end() && seen->second == value) return false;
  const std::int64_t time = seen == state.seen.end() && !state.captured ? kBeforeSync : book.now;
  state.seen[name] = value;
  if (time == kBeforeSync && state.doc.items.count(name) != 0) return false;
  return Note(state.doc, name, value, time, book.host);
}

// The book's bookmarks here, by item name: "<page>\t<mode>\t<line>\t<prompt>", and their
// index in the store.
std::map<std::string, std::pair<std::string, int>> LocalMarks(CConfigStore& store,
                                                               const BookContext& book) {
  std::map<std::string, std::pair<std::string, int>> marks;
  for (int k = 1; k <= store.BookmarkCount(); ++k) {
    const BookmarkFields& mark = store.Bookmark(k);
    if (mark.path != book.path || !mark.offset) continue;
    const std::string name =
        kMarkPrefix + std::to_string(CharacterIndexOf(book.text, *mark.offset));
    std::string prompt = mark.prompt;
    for (char& c : prompt) {
      if (c == '\t') c = ' ';
    }
    marks[name] = {mark.page + "\t" + mark.mode + "\t" + mark.line + "\t" + prompt, k};
  }
  return marks;
}

bool SeenIs(const LocalState& state, const std::string& name, const std::string& value) {
  const auto seen = state.seen.find(name);
  return seen != state.seen.end() && seen->second == value;
}

std::string RecordName(const BookContext& book) { return FileNameOf(book.path); }

std::string RulesValue(const std::vector<UserChapterRule>& rules) {
  std::string out;
  for (const UserChapterRule& rule : rules) out += UserRuleValue(rule) + "\n";
  return out;
}

// The user's replace rules as items: "<place in the list>\t<entry>" under a name that stays
// with the rule through edits of its replacement, its switch and its place.
std::map<std::string, std::string> CleanItems(const std::vector<StoredRule>& rules) {
  std::map<std::string, std::string> items;
  for (std::size_t k = 0; k < rules.size(); ++k) {
    const StoredRule& rule = rules[k];
    std::uint64_t hash = 1469598103934665603ULL;  // FNV-1a
    for (char c : std::string(rule.regex ? "r" : "p") + '\0' + rule.book + '\0' + rule.pattern) {
      hash ^= static_cast<unsigned char>(c);
      hash *= 1099511628211ULL;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    std::string name = kCleanPrefix + std::string(hex);
    for (int copy = 2; items.count(name) != 0; ++copy) name = kCleanPrefix + std::string(hex) + "-" + std::to_string(copy);
    items[name] = std::to_string(k) + "\t" + RuleEntry(rule);
  }
  return items;
}

bool IsCleanRule(const std::string& name) {
  return name.rfind(kCleanPrefix, 0) == 0 && name != kCleanBuiltIn;
}

std::string BuiltInOff(const std::string& settingsPath) {
  return profile::GetString(config_names::kCleanRules, config_names::kBuiltInOff, "", settingsPath);
}

}  // namespace

std::string SerializeLocal(const LocalState& state) {
  std::string out = Serialize(state.doc);
  out += std::string(kLocalMark + 1);
  out += "known=" + std::to_string(state.knownSeconds) + "\n";
  out += "pending=" + std::string(state.pending ? "1" : "0") + "\n";
  out += "captured=" + std::string(state.captured ? "1" : "0") + "\n";
  for (const auto& [name, value] : state.seen) {
    std::string escaped;
    for (char c : value) escaped += c == '\n' ? std::string("\\n") : c == '\\' ? std::string("\\\\") : std::string(1, c);
    out += "seen." + name + "=" + escaped + "\n";
  }
  return out;
}

std::optional<LocalState> ParseLocal(std::string_view text) {
  const std::size_t mark = text.find(kLocalMark);
  if (mark == std::string_view::npos) return std::nullopt;
  std::optional<Document> doc = Parse(text.substr(0, mark + 1));
  if (!doc) return std::nullopt;
  LocalState state;
  state.doc = std::move(*doc);
  for (const std::string& line : Split(text.substr(mark + sizeof kLocalMark - 1), '\n')) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string name = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (name == "known") {
      state.knownSeconds = ToInt(value);
    } else if (name == "pending") {
      state.pending = value == "1";
    } else if (name == "captured") {
      state.captured = value == "1";
    } else if (name.rfind("seen.", 0) == 0) {
      std::string plain;
      for (std::size_t k = 0; k < value.size(); ++k) {
        if (value[k] == '\\' && k + 1 < value.size()) {
          plain += value[k + 1] == 'n' ? '\n' : value[k + 1];
          ++k;
        } else {
          plain += value[k];
        }
      }
      state.seen[name.substr(5)] = plain;
    }
  }
  return state;
}

LocalState LoadLocal(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  std::stringstream text;
  text << in.rdbuf();
  return ParseLocal(text.str()).value_or(LocalState{});
}

bool SaveLocal(const LocalState& state, const std::string& file) {
  return WriteFileAtomically(file, SerializeLocal(state));
}

bool CaptureBook(LocalState& state, const BookContext& book) {
  bool changed = false;
  BookPlaces places;
  places.SetSettingsPath(book.settingsPath);
  places.Load();
  if (const std::optional<BookPlace> place = places.Find(book.path); place && book.placeMoved) {
    // The paging is stamped with the place, so the two travel together.
    const std::string index = std::to_string(CharacterIndexOf(book.text, place->offset));
    const bool placeNew = NoteLocal(state, kPlace, index, book);
    changed |= placeNew;
    for (const auto& [name, value] :
         {std::pair<std::string, std::string>{kMode, std::to_string(place->mode)},
          {kRule, std::to_string(place->rule)}}) {
      if (placeNew) {
        state.seen[name] = value;
        changed |= Note(state.doc, name, value, state.doc.items[kPlace].time, book.host);
      } else {
        changed |= NoteLocal(state, name, value, book);
      }
    }
  }
  if (std::optional<std::string> encoding = EncodingChoiceOf(book.path, book.settingsPath)) {
    changed |= NoteLocal(state, kEncoding, *encoding, book);
  }

  CConfigStore store;
  store.SetSettingsPath(book.settingsPath);
  store.LoadBookmarks();
  const auto marks = LocalMarks(store, book);
  for (const auto& [name, mark] : marks) {
    if (state.seen.count(name) != 0) continue;
    state.seen[name] = mark.first;
    changed |= Note(state.doc, name, mark.first, book.now, book.host);
  }
  // A bookmark seen before and gone now was deleted here.
  for (auto it = state.seen.begin(); it != state.seen.end();) {
    if (it->first.rfind(kMarkPrefix, 0) == 0 && marks.count(it->first) == 0) {
      changed |= Note(state.doc, it->first, "", book.now, book.host);
      it = state.seen.erase(it);
    } else {
      ++it;
    }
  }

  store.LoadReadRecords();
  for (int i = 0; i < store.ReadRecordCount(); ++i) {
    if (store.ReadRecord(i).name != RecordName(book)) continue;
    changed |= Note(state.doc, kRecordName, "1", book.now, book.host);
    const std::int64_t total = LeadingNumber(store.ReadRecord(i).total);
    if (total > state.knownSeconds) {
      state.doc.periods[PeriodId{book.host, book.now}] += total - state.knownSeconds;
      changed = true;
    }
    // A total set back here (records deleted) takes nothing off elsewhere.
    state.knownSeconds = total;
    break;
  }
  state.pending |= changed;
  changed |= !state.captured;  // the first look is kept, so later values count as news
  state.captured = true;
  return changed;
}

bool ApplyBook(LocalState& state, const BookContext& book) {
  bool ok = true;
  if (auto item = state.doc.items.find(kEncoding);
      item != state.doc.items.end() && !SeenIs(state, kEncoding, item->second.value)) {
    if (StoreEncodingChoice(book.path, item->second.value, book.settingsPath)) {
      state.seen[kEncoding] = item->second.value;
    } else {
      ok = false;
    }
  }

  CConfigStore store;
  store.SetSettingsPath(book.settingsPath);
  store.SetClock([&book] { return static_cast<std::time_t>(book.now); });
  store.LoadBookmarks();
  auto marks = LocalMarks(store, book);
  // Removals first, from the last key down, so the earlier keys stay where they are.
  std::vector<int> removed;
  for (const auto& [name, item] : state.doc.items) {
    if (name.rfind(kMarkPrefix, 0) != 0 || !item.value.empty()) continue;
    if (auto mark = marks.find(name); mark != marks.end()) removed.push_back(mark->second.second);
  }
  std::sort(removed.rbegin(), removed.rend());
  for (int k : removed) ok &= store.DeleteBookmark(cmd::kDeleteBookmarkFirst - 1 + k);
  marks = LocalMarks(store, book);
  for (const auto& [name, item] : state.doc.items) {
    if (name.rfind(kMarkPrefix, 0) != 0 || item.value.empty() || marks.count(name) != 0) continue;
    const std::vector<std::string> fields = Split(item.value, '\t');
    if (fields.size() != 4) continue;
    const std::int64_t offset =
        ByteOffsetOf(book.text, ToInt(std::string_view(name).substr(sizeof kMarkPrefix - 1)));
    const auto result = store.AddBookmark(book.path, TitleOf(book.path),
                                          static_cast<int>(ToInt(fields[0])), fields[1],
                                          static_cast<int>(ToInt(fields[2])), offset, fields[3]);
    if (result == CConfigStore::AddResult::NotWritten) ok = false;
    // A full list leaves the bookmark in the document for when there is room.
  }
  if (ok) {
    for (auto it = state.seen.begin(); it != state.seen.end();) {
      it = it->first.rfind(kMarkPrefix, 0) == 0 ? state.seen.erase(it) : std::next(it);
    }
    for (const auto& [name, mark] : LocalMarks(store, book)) state.seen[name] = mark.first;
  }

  // The reading time: every period counted once, whichever computer read it.
  const std::int64_t total = state.doc.TotalSeconds();
  if (state.doc.items.count(kRecordName) != 0 && total > state.knownSeconds) {
    store.LoadReadRecords();
    int number = 0;
    for (int i = 0; i < store.ReadRecordCount(); ++i) {
      if (store.ReadRecord(i).name == RecordName(book)) number = i + 1;
    }
    const int count = store.ReadRecordCount();
    bool written = false;
    if (number != 0) {
      const RecordFields record = store.ReadRecord(number - 1);
      const std::int64_t mine = LeadingNumber(record.total);
      const std::int64_t updated = mine + (total - state.knownSeconds);
      written = store.SaveReadRecord(count, number, record.name, std::to_string(updated),
                                     record.first, record.last);
      if (written) state.knownSeconds = updated;
    } else {
      std::int64_t first = 0;
      std::int64_t last = 0;
      for (const auto& [id, seconds] : state.doc.periods) {
        first = first == 0 ? id.start : std::min(first, id.start);
        last = std::max(last, id.start);
      }
      written = store.SaveReadRecord(count + 1, count + 1, RecordName(book), std::to_string(total),
                                     RecordTime(static_cast<std::time_t>(first)),
                                     RecordTime(static_cast<std::time_t>(last)));
      if (written) state.knownSeconds = total;
    }
    ok &= written;
  }
  return ok;
}

std::optional<PlaceOffer> OfferedPlace(const LocalState& state, const BookContext& book) {
  const auto place = state.doc.items.find(kPlace);
  if (place == state.doc.items.end() || place->second.host == book.host) return std::nullopt;
  const auto seen = state.seen.find(kPlace);
  if (seen != state.seen.end() && seen->second == place->second.value) return std::nullopt;
  const auto offered = state.seen.find("offered");
  if (offered != state.seen.end() &&
      offered->second == std::to_string(place->second.time) + "," + place->second.host) {
    return std::nullopt;
  }
  PlaceOffer offer;
  offer.offset = ByteOffsetOf(book.text, ToInt(place->second.value));
  offer.time = place->second.time;
  offer.host = place->second.host;
  const auto number = [&state](const char* name, int fallback) {
    const auto item = state.doc.items.find(name);
    return item == state.doc.items.end() ? fallback
                                         : static_cast<int>(ToInt(item->second.value, fallback));
  };
  offer.mode = number(kMode, 0);
  offer.rule = number(kRule, kNoRuleKept);
  return offer;
}

bool CaptureRules(LocalState& state, const std::string& settingsPath, std::int64_t now,
                  const std::string& host) {
  UserChapterRules rules;
  rules.SetSettingsPath(settingsPath);
  rules.Load();
  BookContext context;
  context.now = now;
  context.host = host;
  bool changed = NoteLocal(state, kRules, RulesValue(rules.Rules()), context);
  changed |= NoteLocal(state, kCleanBuiltIn, BuiltInOff(settingsPath), context);
  const std::map<std::string, std::string> clean = CleanItems(ReadReplaceRules(settingsPath));
  for (const auto& [name, value] : clean) changed |= NoteLocal(state, name, value, context);
  // A rule seen here before and gone now was deleted here: a tombstone with its time.
  for (auto it = state.seen.begin(); it != state.seen.end();) {
    if (IsCleanRule(it->first) && clean.count(it->first) == 0) {
      changed |= Note(state.doc, it->first, "", now, host);
      it = state.seen.erase(it);
    } else {
      ++it;
    }
  }
  state.pending |= changed;
  const bool first = !state.captured;
  state.captured = true;
  return changed || first;
}

bool ApplyRules(LocalState& state, const std::string& settingsPath, bool* changed) {
  bool ok = true;
  bool wrote = false;
  const auto item = state.doc.items.find(kRules);
  if (item != state.doc.items.end() && !SeenIs(state, kRules, item->second.value)) {
    std::vector<UserChapterRule> list;
    bool readable = true;
    for (std::string_view line : Split(item->second.value, '\n')) {
      if (line.empty()) continue;
      // Each line is a rule as Config.ini keeps it, in its double quotes.
      if (line.size() >= 2 && line.front() == '"' && line.back() == '"') line = line.substr(1, line.size() - 2);
      std::optional<UserChapterRule> rule = ParseUserRule(line);
      readable &= rule.has_value();
      if (rule) list.push_back(*rule);
    }
    UserChapterRules rules;
    rules.SetSettingsPath(settingsPath);
    rules.Load();
    if (!readable) {
      ok = false;  // a list this reader cannot read never replaces the user's rules
    } else if (rules.Save(list)) {
      state.seen[kRules] = item->second.value;
      wrote = true;
    } else {
      ok = false;
    }
  }

  const auto off = state.doc.items.find(kCleanBuiltIn);
  if (off != state.doc.items.end() && !SeenIs(state, kCleanBuiltIn, off->second.value)) {
    if (profile::WriteString(config_names::kCleanRules, config_names::kBuiltInOff, off->second.value, settingsPath)) {
      state.seen[kCleanBuiltIn] = off->second.value;
      wrote = true;
    } else {
      ok = false;
    }
  }

  // The replace rules the document holds, in their places; ties in the order of names, so
  // every computer lists them alike.
  std::vector<std::pair<std::pair<std::int64_t, std::string>, StoredRule>> listed;
  std::map<std::string, std::string> wanted;
  for (const auto& [name, rule] : state.doc.items) {
    if (!IsCleanRule(name) || rule.value.empty()) continue;
    const std::size_t tab = rule.value.find('\t');
    StoredRule stored;
    if (tab == std::string::npos || !ParseRuleEntry(rule.value.substr(tab + 1), stored)) continue;
    listed.push_back({{ToInt(std::string_view(rule.value).substr(0, tab), 0), name}, stored});
    wanted[name] = rule.value;
  }
  std::sort(listed.begin(), listed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<StoredRule> list;
  for (const auto& [order, rule] : listed) list.push_back(rule);
  if (list.size() > static_cast<std::size_t>(kMaxReplaceRules)) list.resize(kMaxReplaceRules);
  const std::vector<StoredRule> local = ReadReplaceRules(settingsPath);
  if (list != local) {
    if (WriteReplaceRules(list, settingsPath)) {
      wrote = true;
    } else {
      ok = false;
    }
  }
  if (ok) {
    // What Config.ini holds now is seen: only a later change here is news.
    for (auto it = state.seen.begin(); it != state.seen.end();) {
      it = IsCleanRule(it->first) ? state.seen.erase(it) : std::next(it);
    }
    for (const auto& [name, value] : CleanItems(list)) state.seen[name] = value;
  }
  if (changed) *changed = wrote;
  return ok;
}

}  // namespace varnelo::sync
