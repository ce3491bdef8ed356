#include "platform/profile.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/regular_file.h"

namespace varnelo::profile {
namespace {

// Bytes 0x80 and up are GBK or UTF-8 lead/trail bytes, so only ASCII blanks count.
std::string_view Trim(std::string_view s) {
  constexpr std::string_view kBlanks = " \t\r\v\f";
  const std::size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

struct Line {
  std::size_t begin;    // first byte
  std::size_t end;      // end of content, before CR LF or LF
  std::size_t next;     // start of the following line
};

std::vector<Line> SplitLines(const std::string& text) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) {
      lines.push_back({pos, text.size(), text.size()});
      break;
    }
    const std::size_t end = (nl > pos && text[nl - 1] == '\r') ? nl - 1 : nl;
    lines.push_back({pos, end, nl + 1});
    pos = nl + 1;
  }
  return lines;
}

enum class Kind { kBlank, kComment, kSection, kEntry, kOther };

struct Parsed {
  Kind kind = Kind::kBlank;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // trimmed, quotes still on
  std::size_t equals = 0;  // file offset of the '=' of an entry
};

Parsed Classify(const std::string& text, const Line& line) {
  std::string_view content(text.data() + line.begin, line.end - line.begin);
  // A file saved by a Unicode-aware editor may start with a UTF-8 byte order mark.
  if (line.begin == 0 && content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
  const std::string_view t = Trim(content);
  Parsed p;
  if (t.empty()) return p;
  if (t.front() == ';') {
    p.kind = Kind::kComment;
    return p;
  }
  if (t.front() == '[') {
    p.kind = Kind::kSection;
    const std::size_t closing = t.find(']');
    p.name = Trim(t.substr(1, closing == std::string_view::npos ? closing : closing - 1));
    return p;
  }
  const std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) {
    p.kind = Kind::kOther;
    return p;
  }
  p.kind = Kind::kEntry;
  p.name = Trim(t.substr(0, eq));
  p.value = Trim(t.substr(eq + 1));
  p.equals = static_cast<std::size_t>(t.data() + eq - text.data());
  return p;
}

// Counted by every read, write and line scan below, so a test can see how the work grows.
struct Counters {
  std::atomic<std::uint64_t> fileReads{0};
  std::atomic<std::uint64_t> fileWrites{0};
  std::atomic<std::uint64_t> linesParsed{0};
};
Counters gCounters;

// Where a section's keys are: the first line of each wanted key, and where a new key of
// the section goes. Duplicate sections are searched in file order, so a read and a later
// write agree on which line they mean; new keys go to the first of them.
struct SectionScan {
  std::vector<Line> lines;
  std::optional<std::size_t> header;  // first matching section header
  std::size_t insertAfter = 0;        // last non-comment line of that section
};

// Calls `onEntry(lineIndex, parsed)` for every entry of the matching sections, in file
// order, until it returns false. The whole file is scanned once.
template <typename OnEntry>
SectionScan ScanSection(const std::string& text, std::string_view section, OnEntry onEntry) {
  SectionScan scan;
  scan.lines = SplitLines(text);
  gCounters.linesParsed.fetch_add(scan.lines.size(), std::memory_order_relaxed);
  bool inMatch = false;
  bool inFirst = false;
  for (std::size_t i = 0; i < scan.lines.size(); ++i) {
    const Parsed p = Classify(text, scan.lines[i]);
    if (p.kind == Kind::kSection) {
      inMatch = SameName(p.name, section);
      if (inMatch && !scan.header) {
        scan.header = i;
        scan.insertAfter = i;
      }
      inFirst = inMatch && scan.header == i;
      continue;
    }
    if (!inMatch) continue;
    if (inFirst && (p.kind == Kind::kEntry || p.kind == Kind::kOther)) scan.insertAfter = i;
    if (p.kind == Kind::kEntry && !onEntry(i, p)) break;
  }
  return scan;
}

std::string LowerName(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = LowerAscii(c);
  return lower;
}

enum class ReadStatus { kOk, kMissing, kError };

ReadStatus ReadFile(const std::string& path, std::string& out) {
  out.clear();
  gCounters.fileReads.fetch_add(1, std::memory_order_relaxed);
  RegularFile file = RegularFile::Open(path);
  switch (file.Status()) {
    case OpenStatus::Ok:
      break;
    case OpenStatus::Missing:
      return ReadStatus::kMissing;
    case OpenStatus::NotRegular:  // a FIFO would hang the reader, /dev/zero fill the memory
    case OpenStatus::Failed:
      return ReadStatus::kError;
  }
  if (!file.ReadInto(out, out.max_size())) {
    out.clear();
    return ReadStatus::kError;
  }
  return ReadStatus::kOk;
}

// The value as stored, trimmed and unquoted, or nothing when the key is absent.
std::optional<std::string> ReadValue(std::string_view section, std::string_view key,
                                     const std::string& path) {
  std::string text;
  if (ReadFile(path, text) != ReadStatus::kOk) return std::nullopt;
  key = Trim(key);
  std::optional<std::string> value;
  ScanSection(text, Trim(section), [&](std::size_t, const Parsed& p) {
    if (!SameName(p.name, key)) return true;
    value = std::string(Unquote(p.value));
    return false;
  });
  return value;
}

int IntOf(const std::optional<std::string>& value, int defaultValue) {
  if (!value) return defaultValue;
  std::size_t i = 0;
  bool negative = false;
  if (i < value->size() && ((*value)[i] == '+' || (*value)[i] == '-')) {
    negative = (*value)[i] == '-';
    ++i;
  }
  // Unsigned arithmetic wraps like the 32-bit accumulator of the original, without UB.
  std::uint32_t accumulated = 0;
  for (; i < value->size() && (*value)[i] >= '0' && (*value)[i] <= '9'; ++i) {
    accumulated = accumulated * 10u + static_cast<std::uint32_t>((*value)[i] - '0');
  }
  if (negative) accumulated = 0u - accumulated;
  return static_cast<int>(accumulated);
}

std::string StringOf(const std::optional<std::string>& value, std::string_view defaultValue) {
  if (!value) return std::string(defaultValue.substr(0, kMaxStringRead));
  return value->substr(0, kMaxStringRead);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

int GetInt(std::string_view section, std::string_view key, int defaultValue,
           const std::string& path) {
  return IntOf(ReadValue(section, key, path), defaultValue);
}

std::string GetString(std::string_view section, std::string_view key,
                      std::string_view defaultValue, const std::string& path) {
  return StringOf(ReadValue(section, key, path), defaultValue);
}

bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                 const std::string& path) {
  return WriteStrings(section, {{std::string(key), std::string(value)}}, path);
}

bool WriteStrings(std::string_view section, const std::vector<Entry>& entries,
                  const std::string& path) {
  section = Trim(section);
  // Anything that would not read back as the same section, key and value is refused.
  if (path.empty() || section.find(']') != std::string_view::npos || HasLineBreak(section)) {
    return false;
  }
  // Each key once, in the order given; a repeated key takes its last value.
  struct Wanted {
    std::string_view key;
    std::string_view value;
    std::optional<std::size_t> line;  // its line in the file
    std::size_t equals = 0;           // offset of its '='
  };
  std::vector<Wanted> wanted;
  std::unordered_map<std::string, std::size_t> byName;
  for (const Entry& entry : entries) {
    const std::string_view key = Trim(entry.first);
    const std::string_view value = entry.second;
    if (key.empty() || key.find('=') != std::string_view::npos || key.front() == ';' ||
        key.front() == '[' || HasLineBreak(key) || HasLineBreak(value)) {
      return false;
    }
    const auto [at, added] = byName.emplace(LowerName(key), wanted.size());
    if (added) {
      wanted.push_back({key, value, std::nullopt, 0});
    } else {
      wanted[at->second].value = value;
    }
  }

  std::string text;
  const ReadStatus status = ReadFile(path, text);
  if (status == ReadStatus::kError) return false;  // never replace a file we could not read

  const std::size_t firstNewline = text.find('\n');
  const std::string eol =
      (firstNewline != std::string::npos && (firstNewline == 0 || text[firstNewline - 1] != '\r'))
          ? "\n"
          : "\r\n";

  std::size_t found = 0;
  const SectionScan scan = ScanSection(text, section, [&](std::size_t i, const Parsed& p) {
    const auto match = byName.find(LowerName(p.name));
    if (match != byName.end() && !wanted[match->second].line) {
      wanted[match->second].line = i;
      wanted[match->second].equals = p.equals;
      ++found;
    }
    return true;
  });
  std::vector<const Wanted*> onLine(scan.lines.size(), nullptr);
  for (const Wanted& w : wanted) {
    if (w.line) onLine[*w.line] = &w;
  }

  std::string added;  // the keys the section does not have yet, in the order given
  if (found < wanted.size()) {
    const bool openLastLine = scan.header && scan.lines[scan.insertAfter].next ==
                                                 scan.lines[scan.insertAfter].end;
    if (!scan.header) {
      if (!text.empty() && text.back() != '\n') added.append(eol);
      added.append("[").append(section).append("]").append(eol);
    } else if (openLastLine) {
      added.append(eol);  // last line had no line break
    }
    for (const Wanted& w : wanted) {
      if (!w.line) added.append(w.key).append("=").append(w.value).append(eol);
    }
  }

  std::string updated;
  updated.reserve(text.size() + added.size());
  for (std::size_t i = 0; i < scan.lines.size(); ++i) {
    const Line& line = scan.lines[i];
    if (const Wanted* w = onLine[i]) {
      // Keep the key's spelling and the blanks after '='; only the value changes.
      std::size_t valueStart = w->equals + 1;
      if (!w->value.empty()) {
        while (valueStart < line.end && (text[valueStart] == ' ' || text[valueStart] == '\t')) {
          ++valueStart;
        }
      }
      updated.append(text, line.begin, valueStart - line.begin);
      updated.append(w->value);
      updated.append(text, line.end, line.next - line.end);
    } else {
      updated.append(text, line.begin, line.next - line.begin);
    }
    if (scan.header && i == scan.insertAfter) updated.append(added);
  }
  if (!scan.header) updated.append(added);

  if (status == ReadStatus::kOk && updated == text) return true;
  gCounters.fileWrites.fetch_add(1, std::memory_order_relaxed);
  return WriteFileAtomically(path, updated);
}

SectionReader::SectionReader(std::string_view section, const std::string& path) {
  std::string text;
  if (ReadFile(path, text) != ReadStatus::kOk) return;
  ScanSection(text, Trim(section), [&](std::size_t, const Parsed& p) {
    values_.emplace(LowerName(p.name), std::string(Unquote(p.value)));  // the first one counts
    return true;
  });
}

std::optional<std::string> SectionReader::Find(std::string_view key) const {
  const auto at = values_.find(LowerName(Trim(key)));
  if (at == values_.end()) return std::nullopt;
  return at->second;
}

int SectionReader::GetInt(std::string_view key, int defaultValue) const {
  return IntOf(Find(key), defaultValue);
}

std::string SectionReader::GetString(std::string_view key, std::string_view defaultValue) const {
  return StringOf(Find(key), defaultValue);
}

bool FileReadable(const std::string& path) {
  const OpenStatus status = RegularFile::Open(path).Status();
  return status == OpenStatus::Ok || status == OpenStatus::Missing;
}

Traffic TrafficSoFar() {
  return {gCounters.fileReads.load(std::memory_order_relaxed),
          gCounters.fileWrites.load(std::memory_order_relaxed),
          gCounters.linesParsed.load(std::memory_order_relaxed)};
}

bool GetStruct(std::string_view section, std::string_view key, void* data, std::size_t size,
               const std::string& path) {
  if (data == nullptr && size > 0) return false;
  const std::optional<std::string> value = ReadValue(section, key, path);
  if (!value || value->size() != 2 * size + 2) return false;
  std::vector<unsigned char> bytes(size + 1);
  for (std::size_t i = 0; i <= size; ++i) {
    const int high = HexDigit((*value)[2 * i]);
    const int low = HexDigit((*value)[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    bytes[i] = static_cast<unsigned char>(high * 16 + low);
  }
  unsigned sum = 0;
  for (std::size_t i = 0; i < size; ++i) sum += bytes[i];
  if ((sum & 0xFFu) != bytes[size]) return false;
  if (size > 0) std::memcpy(data, bytes.data(), size);
  return true;
}

bool WriteStruct(std::string_view section, std::string_view key, const void* data,
                 std::size_t size, const std::string& path) {
  if (data == nullptr && size > 0) return false;
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::string text;
  text.reserve(2 * size + 2);
  unsigned sum = 0;
  for (std::size_t i = 0; i <= size; ++i) {
    const unsigned b = i < size ? bytes[i] : (sum & 0xFFu);
    if (i < size) sum += b;
    text.push_back(kHex[b >> 4]);
    text.push_back(kHex[b & 0xFu]);
  }
  return WriteString(section, key, text, path);
}

}  // namespace varnelo::profile
