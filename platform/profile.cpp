#include "platform/profile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/atomic_file.h"

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

struct Location {
  std::vector<Line> lines;
  std::optional<std::size_t> keyLine;   // index into lines
  std::size_t equals = 0;               // offset of the key's '='
  std::string_view value;               // the key's trimmed value
  std::optional<std::size_t> header;    // first matching section header
  std::size_t insertAfter = 0;          // last non-comment line of that section
};

// Duplicate sections are searched in file order, so a read and a later write agree on
// which line they mean; new keys go to the first of them.
Location Locate(const std::string& text, std::string_view section, std::string_view key) {
  Location loc;
  loc.lines = SplitLines(text);
  bool inMatch = false;
  bool inFirst = false;
  for (std::size_t i = 0; i < loc.lines.size(); ++i) {
    const Parsed p = Classify(text, loc.lines[i]);
    if (p.kind == Kind::kSection) {
      inMatch = SameName(p.name, section);
      if (inMatch && !loc.header) {
        loc.header = i;
        loc.insertAfter = i;
      }
      inFirst = inMatch && loc.header == i;
      continue;
    }
    if (!inMatch) continue;
    if (inFirst && (p.kind == Kind::kEntry || p.kind == Kind::kOther)) loc.insertAfter = i;
    if (p.kind == Kind::kEntry && SameName(p.name, key)) {
      loc.keyLine = i;
      loc.equals = p.equals;
      loc.value = p.value;
      break;
    }
  }
  return loc;
}

enum class ReadStatus { kOk, kMissing, kError };

ReadStatus ReadFile(const std::string& path, std::string& out) {
  out.clear();
  if (path.empty()) return ReadStatus::kMissing;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadStatus::kMissing : ReadStatus::kError;
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return ReadStatus::kError;
    }
    if (n == 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return ReadStatus::kOk;
}

// The value as stored, trimmed and unquoted, or nothing when the key is absent.
std::optional<std::string> ReadValue(std::string_view section, std::string_view key,
                                     const std::string& path) {
  std::string text;
  if (ReadFile(path, text) != ReadStatus::kOk) return std::nullopt;
  const Location loc = Locate(text, Trim(section), Trim(key));
  if (!loc.keyLine) return std::nullopt;
  return std::string(Unquote(loc.value));
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
  const std::optional<std::string> value = ReadValue(section, key, path);
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

std::string GetString(std::string_view section, std::string_view key,
                      std::string_view defaultValue, const std::string& path) {
  const std::optional<std::string> value = ReadValue(section, key, path);
  if (!value) return std::string(defaultValue.substr(0, kMaxStringRead));
  return value->substr(0, kMaxStringRead);
}

bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                 const std::string& path) {
  section = Trim(section);
  key = Trim(key);
  // Anything that would not read back as the same section, key and value is refused.
  if (path.empty() || key.empty() || key.find('=') != std::string_view::npos ||
      key.front() == ';' || key.front() == '[' || section.find(']') != std::string_view::npos ||
      HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
    return false;
  }

  std::string text;
  const ReadStatus status = ReadFile(path, text);
  if (status == ReadStatus::kError) return false;  // never replace a file we could not read

  const std::size_t firstNewline = text.find('\n');
  const std::string eol =
      (firstNewline != std::string::npos && (firstNewline == 0 || text[firstNewline - 1] != '\r'))
          ? "\n"
          : "\r\n";

  const Location loc = Locate(text, section, key);
  std::string updated;
  if (loc.keyLine) {
    // Keep the key's spelling and the blanks after '='; only the value changes.
    const Line& line = loc.lines[*loc.keyLine];
    std::size_t valueStart = loc.equals + 1;
    if (!value.empty()) {
      while (valueStart < line.end && (text[valueStart] == ' ' || text[valueStart] == '\t')) {
        ++valueStart;
      }
    }
    updated.reserve(text.size() + value.size());
    updated.append(text, 0, valueStart);
    updated.append(value);
    updated.append(text, line.end, std::string::npos);
  } else if (loc.header) {
    const Line& after = loc.lines[loc.insertAfter];
    updated.append(text, 0, after.next);
    if (after.next == after.end) updated.append(eol);  // last line had no line break
    updated.append(key).append("=").append(value).append(eol);
    updated.append(text, after.next, std::string::npos);
  } else {
    updated = text;
    if (!updated.empty() && updated.back() != '\n') updated.append(eol);
    updated.append("[").append(section).append("]").append(eol);
    updated.append(key).append("=").append(value).append(eol);
  }

  if (status == ReadStatus::kOk && updated == text) return true;
  return WriteFileAtomically(path, updated);
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
