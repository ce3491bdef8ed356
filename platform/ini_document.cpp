#include "platform/ini_document.h"

#include <cstring>

namespace varnelo::profile {
namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

enum class Kind { kBlank, kComment, kSection, kEntry, kOther };

struct Parsed {
  Kind kind = Kind::kBlank;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // trimmed, quotes still on
};

Parsed Classify(std::string_view content) {
  const std::string_view t = TrimBlanks(content);
  Parsed p;
  if (t.empty()) return p;
  if (t.front() == ';') {
    p.kind = Kind::kComment;
    return p;
  }
  if (t.front() == '[') {
    p.kind = Kind::kSection;
    const std::size_t closing = t.find(']');
    p.name = TrimBlanks(t.substr(1, closing == std::string_view::npos ? closing : closing - 1));
    return p;
  }
  const std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) {
    p.kind = Kind::kOther;
    return p;
  }
  p.kind = Kind::kEntry;
  p.name = TrimBlanks(t.substr(0, eq));
  p.value = TrimBlanks(t.substr(eq + 1));
  return p;
}

// The line with a new value: everything up to '=' stays, and the blanks after it unless
// the value is empty.
std::string WithValue(std::string_view content, std::string_view value) {
  std::size_t start = content.find('=') + 1;
  if (!value.empty()) {
    while (start < content.size() && (content[start] == ' ' || content[start] == '\t')) ++start;
  }
  std::string line(content.substr(0, start));
  line.append(value);
  return line;
}

}  // namespace

std::string_view TrimBlanks(std::string_view s) {
  const std::size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

std::string LowerName(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = LowerAscii(c);
  return lower;
}

IniDocument::IniDocument(std::string text) : text_(std::move(text)) {
  const std::size_t firstNewline = text_.find('\n');
  eol_ = firstNewline != std::string::npos && (firstNewline == 0 || text_[firstNewline - 1] != '\r')
             ? "\n"
             : "\r\n";
  // Only the headers are parsed now; a section's lines wait until it is asked for.
  for (std::size_t pos = 0; pos < text_.size();) {
    const Line line = LineAt(pos);
    std::string_view content(text_.data() + line.begin, line.end - line.begin);
    // A file saved by a Unicode-aware editor may start with a UTF-8 byte order mark.
    if (line.begin == 0 && content.substr(0, kByteOrderMark.size()) == kByteOrderMark)
      content.remove_prefix(kByteOrderMark.size());
    const std::size_t first = content.find_first_not_of(kBlanks);
    if (first != std::string_view::npos && content[first] == '[') {
      ++linesParsed_;
      if (!parts_.empty()) parts_.back().bodyEnd = line.begin;
      parts_.push_back({line.begin, line.next, text_.size()});
      sections_[LowerName(Classify(content).name)].parts.push_back(parts_.size() - 1);
    }
    pos = line.next;
  }
}

IniDocument::Line IniDocument::LineAt(std::size_t begin) const {
  const void* found = std::memchr(text_.data() + begin, '\n', text_.size() - begin);
  if (found == nullptr) return {begin, text_.size(), text_.size()};
  const auto nl = static_cast<std::size_t>(static_cast<const char*>(found) - text_.data());
  const std::size_t end = (nl > begin && text_[nl - 1] == '\r') ? nl - 1 : nl;
  return {begin, end, nl + 1};
}

std::string_view IniDocument::Content(LineId id) const {
  if (id.added) return added_[id.at];
  if (const auto edited = edited_.find(id.at); edited != edited_.end()) return edited->second;
  const Line line = LineAt(id.at);
  return std::string_view(text_.data() + line.begin, line.end - line.begin);
}

IniDocument::SectionState* IniDocument::Find(std::string_view section) const {
  const auto found = sections_.find(LowerName(section));
  if (found == sections_.end()) return nullptr;
  Index(found->second);
  return &found->second;
}

// Duplicate sections are searched in file order, so a read and a later write agree on
// which line they mean; new keys go to the first of them.
void IniDocument::Index(SectionState& state) const {
  if (state.indexed) return;
  state.indexed = true;
  if (state.parts.empty()) return;
  state.anchor = parts_[state.parts.front()].header;
  for (const std::size_t index : state.parts) {
    const Part& part = parts_[index];
    for (std::size_t pos = part.bodyBegin; pos < part.bodyEnd;) {
      const Line line = LineAt(pos);
      ++linesParsed_;
      const Parsed p = Classify(std::string_view(text_.data() + line.begin, line.end - line.begin));
      if (p.kind == Kind::kEntry) state.keys.emplace(LowerName(p.name), LineId{false, line.begin});
      if (index == state.parts.front() && (p.kind == Kind::kEntry || p.kind == Kind::kOther))
        state.anchor = line.begin;
      pos = line.next;
    }
  }
}

std::optional<std::string> IniDocument::Value(std::string_view section, std::string_view key) const {
  const SectionState* state = Find(section);
  if (state == nullptr) return std::nullopt;
  const auto found = state->keys.find(LowerName(key));
  if (found == state->keys.end()) return std::nullopt;
  return std::string(Unquote(Classify(Content(found->second)).value));
}

std::unordered_map<std::string, std::string> IniDocument::Section(std::string_view section) const {
  std::unordered_map<std::string, std::string> values;
  if (const SectionState* state = Find(section)) {
    for (const auto& [name, id] : state->keys)
      values.emplace(name, std::string(Unquote(Classify(Content(id)).value)));
  }
  return values;
}

bool IniDocument::Set(std::string_view section, const std::vector<Change>& changes) {
  SectionState& state = sections_[LowerName(section)];
  Index(state);
  bool changed = false;
  std::vector<std::size_t> newLines;  // the keys the section does not have yet, in order
  for (const auto& [key, value] : changes) {
    const auto found = state.keys.find(LowerName(key));
    if (found != state.keys.end()) {
      const std::string_view content = Content(found->second);
      std::string line = WithValue(content, value);
      if (line == content) continue;
      changed = true;
      if (found->second.added) {
        added_[found->second.at] = std::move(line);
      } else {
        edited_[found->second.at] = std::move(line);
      }
      continue;
    }
    std::string line(key);
    line.append("=").append(value);
    added_.push_back(std::move(line));
    state.keys.emplace(LowerName(key), LineId{true, added_.size() - 1});
    newLines.push_back(added_.size() - 1);
  }
  if (newLines.empty()) return changed;
  std::vector<std::size_t>* lines = nullptr;
  if (!state.parts.empty()) {
    lines = &inserted_[state.anchor];
  } else {
    if (state.newSection < 0) {
      newSections_.push_back({"[" + std::string(section) + "]", {}});
      state.newSection = static_cast<int>(newSections_.size() - 1);
    }
    lines = &newSections_[static_cast<std::size_t>(state.newSection)].lines;
  }
  lines->insert(lines->end(), newLines.begin(), newLines.end());
  return true;
}

std::string IniDocument::Text() const {
  std::string out;
  out.reserve(text_.size() + 64 * (added_.size() + edited_.size()));
  std::size_t copied = 0;
  auto edited = edited_.begin();
  auto inserted = inserted_.begin();
  // The lines read that changed or have lines after them, in file order; the bytes between
  // them are copied as they are.
  while (edited != edited_.end() || inserted != inserted_.end()) {
    const std::size_t at = inserted == inserted_.end()                                 ? edited->first
                           : edited == edited_.end() || inserted->first < edited->first ? inserted->first
                                                                                        : edited->first;
    const Line line = LineAt(at);
    out.append(text_, copied, at - copied);
    if (edited != edited_.end() && edited->first == at) {
      out.append(edited->second);
      ++edited;
    } else {
      out.append(text_, line.begin, line.end - line.begin);
    }
    out.append(text_, line.end, line.next - line.end);
    if (inserted != inserted_.end() && inserted->first == at) {
      if (line.next == line.end) out.append(eol_);  // the last line had no line break
      for (const std::size_t k : inserted->second) out.append(added_[k]).append(eol_);
      ++inserted;
    }
    copied = line.next;
  }
  out.append(text_, copied, std::string::npos);
  for (const NewSection& section : newSections_) {
    if (!out.empty() && out.back() != '\n') out.append(eol_);
    out.append(section.header).append(eol_);
    for (const std::size_t k : section.lines) out.append(added_[k]).append(eol_);
  }
  return out;
}

}  // namespace varnelo::profile
