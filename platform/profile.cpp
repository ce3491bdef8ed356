#include "platform/profile.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/ini_document.h"
#include "platform/regular_file.h"

namespace varnelo::profile {
namespace {

// Counted by every read, write and line scan below, so a test can see how the work grows.
struct Counters {
  std::atomic<std::uint64_t> fileReads{0};
  std::atomic<std::uint64_t> fileWrites{0};
  std::atomic<std::uint64_t> linesParsed{0};
};
Counters gCounters;

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

}  // namespace

struct Session::State {
  std::string path;
  Writes writes;
  bool loaded = false;
  ReadStatus status = ReadStatus::kMissing;
  IniDocument document;
  bool pending = false;  // deferred writes not yet in the file
};

namespace {

// The sessions open on this thread, outermost first.
thread_local std::vector<Session::State*> tSessions;

Session::State* SessionOn(const std::string& path) {
  for (Session::State* state : tSessions) {
    if (state->path == path) return state;
  }
  return nullptr;
}

void CountLines(const IniDocument& document) {
  gCounters.linesParsed.fetch_add(document.TakeLinesParsed(), std::memory_order_relaxed);
}

ReadStatus Load(const std::string& path, IniDocument& document) {
  std::string text;
  const ReadStatus status = ReadFile(path, text);
  document = IniDocument(status == ReadStatus::kOk ? std::move(text) : std::string());
  CountLines(document);
  return status;
}

// Calls `use(status, document)` with the file as the current operation sees it.
template <typename Use>
auto WithDocument(const std::string& path, Use use) {
  if (Session::State* session = SessionOn(path)) {
    if (!session->loaded) {
      session->status = Load(path, session->document);
      session->loaded = true;
    }
    return use(session->status, session->document);
  }
  IniDocument document;
  const ReadStatus status = Load(path, document);
  return use(status, document);
}

bool WriteDocument(const std::string& path, const IniDocument& document) {
  gCounters.fileWrites.fetch_add(1, std::memory_order_relaxed);
  return WriteFileAtomically(path, document.Text());
}

// The value as stored, trimmed and unquoted, or nothing when the key is absent.
std::optional<std::string> ReadValue(std::string_view section, std::string_view key,
                                     const std::string& path) {
  return WithDocument(path, [&](ReadStatus status, const IniDocument& document) {
    std::optional<std::string> value;
    if (status == ReadStatus::kOk) value = document.Value(TrimBlanks(section), TrimBlanks(key));
    CountLines(document);
    return value;
  });
}

int IntOf(const std::optional<std::string>& value, int defaultValue) {
  return value ? IntOfText(*value) : defaultValue;
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

int IntOfText(std::string_view value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
    negative = value[i] == '-';
    ++i;
  }
  // Unsigned arithmetic wraps like the 32-bit accumulator of the original, without UB.
  std::uint32_t accumulated = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    accumulated = accumulated * 10u + static_cast<std::uint32_t>(value[i] - '0');
  }
  if (negative) accumulated = 0u - accumulated;
  return static_cast<int>(accumulated);
}

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
  section = TrimBlanks(section);
  // Anything that would not read back as the same section, key and value is refused.
  if (path.empty() || section.find(']') != std::string_view::npos || HasLineBreak(section)) {
    return false;
  }
  // Each key once, in the order given; a repeated key takes its last value.
  std::vector<IniDocument::Change> changes;
  std::unordered_map<std::string, std::size_t> byName;
  for (const Entry& entry : entries) {
    const std::string_view key = TrimBlanks(entry.first);
    const std::string_view value = entry.second;
    if (key.empty() || key.find('=') != std::string_view::npos || key.front() == ';' ||
        key.front() == '[' || HasLineBreak(key) || HasLineBreak(value)) {
      return false;
    }
    const auto [at, added] = byName.emplace(LowerName(key), changes.size());
    if (added) {
      changes.emplace_back(key, value);
    } else {
      changes[at->second].second = value;
    }
  }

  Session::State* session = SessionOn(path);
  return WithDocument(path, [&](ReadStatus status, IniDocument& document) {
    if (status == ReadStatus::kError) return false;  // never replace a file we could not read
    const bool changed = document.Set(section, changes);
    CountLines(document);
    if (status == ReadStatus::kOk && !changed) return true;
    if (session != nullptr && session->writes == Session::Writes::Deferred) {
      session->pending = true;
      return true;
    }
    const bool written = WriteDocument(path, document);
    if (session != nullptr) {
      // The reading follows the file: what could not be written is read again.
      if (written) session->status = ReadStatus::kOk;
      session->loaded = written;
    }
    return written;
  });
}

Session::Session(const std::string& path, Writes writes) {
  if (SessionOn(path) != nullptr) return;
  state_ = std::make_unique<State>();
  state_->path = path;
  state_->writes = writes;
  tSessions.push_back(state_.get());
}

Session::~Session() {
  if (!state_) return;
  Commit();
  std::erase(tSessions, state_.get());
}

bool Session::Commit() {
  if (!state_ || !state_->pending) return true;
  if (state_->status == ReadStatus::kError) return false;
  state_->pending = false;
  const bool written = WriteDocument(state_->path, state_->document);
  if (written) state_->status = ReadStatus::kOk;
  state_->loaded = written;
  return written;
}

SectionReader::SectionReader(std::string_view section, const std::string& path) {
  WithDocument(path, [&](ReadStatus status, const IniDocument& document) {
    if (status == ReadStatus::kOk) values_ = document.Section(TrimBlanks(section));
    CountLines(document);
    return true;
  });
}

std::optional<std::string> SectionReader::Find(std::string_view key) const {
  const auto at = values_.find(LowerName(TrimBlanks(key)));
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
