#include "app/sync/sync_model.h"

#include <algorithm>
#include <charconv>
#include <cstdio>


namespace varnelo::sync {
namespace {

// Length of the character at `at`: a line end of any style is one character; a GB18030
// sequence is 1, 2 or 4 bytes; a stray byte stands alone.
std::size_t CharLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(at);
  if (lead == '\r') return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
  if (lead < 0x81 || lead == 0xFF) return 1;
  if (at + 1 >= text.size()) return 1;
  const unsigned char second = byte(at + 1);
  if (second >= 0x30 && second <= 0x39) return at + 3 < text.size() ? 4 : 1;
  return second >= 0x40 && second != 0x7F && second != 0xFF ? 2 : 1;
}

bool ParseInt(std::string_view text, std::int64_t& out) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size();
}

std::string Escape(std::string_view value) {
  std::string out;
  for (char c : value) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

std::optional<std::string> Unescape(std::string_view value) {
  std::string out;
  for (std::size_t k = 0; k < value.size(); ++k) {
    if (value[k] != '\\') {
      out += value[k];
      continue;
    }
    if (++k == value.size()) return std::nullopt;
    if (value[k] == 'n') out += '\n';
    else if (value[k] == 'r') out += '\r';
    else if (value[k] == '\\') out += '\\';
    else return std::nullopt;
  }
  return out;
}

constexpr char kHeader[] = "; varnelo sync 1";

}  // namespace

std::int64_t CharacterCount(std::string_view text) {
  std::int64_t count = 0;
  for (std::size_t at = 0; at < text.size(); at += CharLength(text, at)) ++count;
  return count;
}

std::int64_t CharacterIndexOf(std::string_view text, std::int64_t offset) {
  const std::size_t end = static_cast<std::size_t>(
      std::clamp<std::int64_t>(offset, 0, static_cast<std::int64_t>(text.size())));
  std::int64_t index = 0;
  std::size_t at = 0;
  while (at < end) {
    const std::size_t next = at + CharLength(text, at);
    if (next > end) break;  // inside a character: it is the one
    at = next;
    ++index;
  }
  return index;
}

std::int64_t ByteOffsetOf(std::string_view text, std::int64_t index) {
  std::size_t at = 0;
  for (std::int64_t k = 0; k < index && at < text.size(); ++k) at += CharLength(text, at);
  return static_cast<std::int64_t>(at);
}

std::string BookKey(std::string_view text) {
  std::uint64_t hash = 1469598103934665603ULL;  // FNV-1a
  const auto mix = [&hash](unsigned char c) {
    hash ^= c;
    hash *= 1099511628211ULL;
  };
  std::size_t at = 0;
  for (std::size_t k = 0; k < kKeyCharacters && at < text.size(); ++k) {
    const std::size_t length = CharLength(text, at);
    if (text[at] == '\r') {
      mix('\n');
    } else {
      for (std::size_t b = 0; b < length; ++b) mix(static_cast<unsigned char>(text[at + b]));
    }
    at += length;
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%016llx-%lld", static_cast<unsigned long long>(hash),
                static_cast<long long>(CharacterCount(text)));
  return buffer;
}

std::int64_t Document::TotalSeconds() const {
  std::int64_t total = 0;
  for (const auto& [id, seconds] : periods) total += seconds;
  return total;
}

Document Merge(const Document& a, const Document& b) {
  Document out = a;
  for (const auto& [name, item] : b.items) {
    auto found = out.items.find(name);
    if (found == out.items.end()) {
      out.items.emplace(name, item);
      continue;
    }
    const Item& mine = found->second;
    if (item.time > mine.time || (item.time == mine.time && item.host > mine.host) ||
        (item.time == mine.time && item.host == mine.host && item.value > mine.value)) {
      found->second = item;
    }
  }
  for (const auto& [id, seconds] : b.periods) {
    auto [at, added] = out.periods.emplace(id, seconds);
    if (!added) at->second = std::max(at->second, seconds);
  }
  return out;
}

bool Note(Document& doc, const std::string& name, const std::string& value, std::int64_t time,
          const std::string& host) {
  auto found = doc.items.find(name);
  if (found != doc.items.end() && found->second.value == value) return false;
  if (found == doc.items.end() && value.empty()) return false;  // nothing to remove
  doc.items[name] = Item{value, time, host};
  return true;
}

std::string CleanHost(std::string_view host) {
  std::string out;
  for (char c : host) {
    if (c == ',' || c == '=' || c == '\n' || c == '\r' || c == '[' || c == ']' || c == ';' ||
        c == '.') {
      out += '_';
    } else {
      out += c;
    }
  }
  return out.empty() ? std::string("computer") : out;
}

std::string Serialize(const Document& doc) {
  std::string out = std::string(kHeader) + "\n[Items]\n";
  for (const auto& [name, item] : doc.items) {
    out += name + "=" + std::to_string(item.time) + "," + item.host + "," + Escape(item.value) +
           "\n";
  }
  out += "[Periods]\n";
  for (const auto& [id, seconds] : doc.periods) {
    out += std::to_string(id.start) + "." + id.host + "=" + std::to_string(seconds) + "\n";
  }
  return out;
}

std::optional<Document> Parse(std::string_view text) {
  if (text.substr(0, sizeof kHeader - 1) != kHeader) return std::nullopt;
  Document doc;
  std::string section;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      if (line.back() != ']') return std::nullopt;
      section = line.substr(1, line.size() - 2);
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) return std::nullopt;
    const std::string_view name = line.substr(0, equals);
    const std::string_view rest = line.substr(equals + 1);
    if (section == "Items") {
      const std::size_t c1 = rest.find(',');
      const std::size_t c2 = c1 == std::string_view::npos ? c1 : rest.find(',', c1 + 1);
      if (c2 == std::string_view::npos) return std::nullopt;
      Item item;
      if (!ParseInt(rest.substr(0, c1), item.time) || item.time < 0) return std::nullopt;
      item.host = rest.substr(c1 + 1, c2 - c1 - 1);
      std::optional<std::string> value = Unescape(rest.substr(c2 + 1));
      if (!value || item.host.empty()) return std::nullopt;
      item.value = std::move(*value);
      doc.items[std::string(name)] = std::move(item);
    } else if (section == "Periods") {
      const std::size_t dot = name.find('.');
      PeriodId id;
      std::int64_t seconds = 0;
      if (dot == std::string_view::npos || !ParseInt(name.substr(0, dot), id.start) ||
          !ParseInt(rest, seconds) || seconds < 0 || seconds > (std::int64_t{1} << 40)) {
        return std::nullopt;
      }
      id.host = name.substr(dot + 1);
      if (id.host.empty()) return std::nullopt;
      doc.periods[id] = seconds;
    } else {
      return std::nullopt;
    }
  }
  return doc;
}

}  // namespace varnelo::sync
