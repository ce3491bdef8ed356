#include "text/book_engine.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/regular_file.h"
#include "text/byte_scan.h"
#include "text/chapter_finder.h"

namespace varnelo {

namespace {

const unsigned char* Bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace

std::string FileNameOf(std::string_view path) {
  const std::size_t sep = path.rfind(kPathSeparator);
  return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string TitleOf(std::string_view path) {
  const std::size_t sep = path.rfind(kPathSeparator);
  const std::size_t nameStart = sep == std::string_view::npos ? 0 : sep + 1;
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return std::string(path.substr(nameStart));
  if (sep != std::string_view::npos && dot < sep) return std::string();
  return std::string(path.substr(nameStart, dot - nameStart));
}

std::string FolderOf(std::string_view path) {
  const std::size_t sep = path.rfind(kPathSeparator);
  return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep));
}

const char* LoadMessage(LoadStatus status) {
  switch (status) {
    case LoadStatus::Ok:
      return "";
    case LoadStatus::Missing:
      return "文件不存在或编码方式不是ANSI ！";
    case LoadStatus::Unreadable:
      return "警告！文件读取失败！请检查文件是否可读。";
    case LoadStatus::TooLarge:
      return "警告！文件太大（2 GB 或以上），无法打开！";
    case LoadStatus::Empty:
      return "警告！空文档！";
    case LoadStatus::Unicode:
      return "警告！此文本编码为unicode！请用记事本另存为ANSI编码即可打开！";
    case LoadStatus::Cancelled:
      return "";
  }
  return "";
}

namespace {

// Faulting a large book in 4 KB at a time costs more than reading it: memory the kernel may
// back with 2 MB pages takes a five-hundredth of the faults. Advice only; nothing depends on it.
void AdviseHugePages(char* data, std::size_t size) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  const auto from = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t begin = (from + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t end = (from + size) & ~(kHuge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

}  // namespace

LoadStatus ReadBookFile(const std::string& path, std::string& bytes, bool keepUnicodeMark,
                        const PassProgress& progress) {
  bytes.clear();
  // Read-only: a book on a read-only medium must still open; only saving needs write access.
  // A FIFO or a device is refused as a missing file is, and never waited for.
  RegularFile file = RegularFile::Open(path);
  if (file.Status() != OpenStatus::Ok) return LoadStatus::Missing;
  if (file.Size() > kMaxBookBytes) return LoadStatus::TooLarge;

  std::string buffer;
  buffer.reserve(static_cast<std::size_t>(file.Size()));
  AdviseHugePages(buffer.data(), buffer.capacity());
  // Appended through a small buffer the cache holds: growing the string first would write
  // a zero over every byte of the book before the read writes it again. Past the size the
  // file gave, read on to its end: the system reports some files as empty (/proc), and a
  // book may still be downloading.
  constexpr std::size_t kChunk = 256 * 1024;
  const std::unique_ptr<char[]> chunk(new char[kChunk]);
  const std::size_t most = static_cast<std::size_t>(kMaxBookBytes) + 1;
  std::size_t nextReport = kPassProgressStep;
  while (buffer.size() < most) {
    const ssize_t got = ::read(file.Descriptor(), chunk.get(), std::min(kChunk, most - buffer.size()));
    if (got < 0) {
      if (errno == EINTR) continue;
      return LoadStatus::Unreadable;
    }
    if (got == 0) break;
    buffer.append(chunk.get(), static_cast<std::size_t>(got));
    if (progress && buffer.size() >= nextReport) {
      if (!progress(static_cast<std::int64_t>(buffer.size()), file.Size())) return LoadStatus::Cancelled;
      nextReport = buffer.size() + kPassProgressStep;
    }
  }
  if (buffer.size() > static_cast<std::size_t>(kMaxBookBytes)) return LoadStatus::TooLarge;

  if (buffer.empty()) return LoadStatus::Empty;
  if (!keepUnicodeMark && buffer.size() >= 2 && static_cast<unsigned char>(buffer[0]) == 0xFF &&
      static_cast<unsigned char>(buffer[1]) == 0xFE) {
    return LoadStatus::Unicode;
  }
  bytes = std::move(buffer);
  return LoadStatus::Ok;
}

void NormaliseBlankLines(std::string& bytes) {
  const std::int64_t n = static_cast<std::int64_t>(bytes.size());
  if (n <= 20) return;
  char* b = bytes.data();
  const std::int64_t lastQ = n - 19;   // last position of the triple's final CR
  const std::int64_t pairBound = n - 20;
  std::int64_t start = 0;              // where the next triple may begin (q - 2)
  while (start + 2 <= lastQ) {
    const void* hit = std::memchr(b + start, '\r', static_cast<std::size_t>(lastQ - 2 - start + 1));
    if (hit == nullptr) return;
    const std::int64_t c = static_cast<const char*>(hit) - b;
    const std::int64_t q = c + 2;
    if (b[c + 1] == '\n' && b[q] == '\r') {
      b[q] = ' ';
      b[q + 1] = ' ';  // whatever it was: the pair is rewritten as a whole
      for (std::int64_t r = q + 2; r < pairBound && b[r] == '\r' && b[r + 1] == '\n'; r += 2) {
        b[r] = ' ';
        b[r + 1] = ' ';
      }
    }
    start = c + 1;
  }
}

RuleCharacter SelectRuleCharacter(int rule) {
  static constexpr RuleCharacter kRules[] = {
      {0xD5, 0xC2},  // 章
      {0xBE, 0xED},  // 卷
      {0xBB, 0xD8},  // 回
      {0xB2, 0xBF},  // 部
      {0xBD, 0xDA},  // 节
      {0xBC, 0xAF},  // 集
  };
  return kRules[ValidChapterRule(rule) - 1];
}

int ValidChapterRule(int rule) { return rule >= 1 && rule <= 6 ? rule : 1; }

bool IsUserChapterRule(int rule) { return rule >= kFirstUserRule && rule <= kLastUserRule; }

int StoredChapterRule(int stored) {
  return (stored >= 1 && stored <= 6) || IsUserChapterRule(stored) ? stored : kAutoChapterRule;
}

std::int64_t Pagination::PageStart(int page) const {
  return HasPage(page) ? starts[static_cast<std::size_t>(page)] : 0;
}

std::int64_t Pagination::PageEnd(int page, std::int64_t textLength) const {
  if (!HasPage(page)) return 0;
  return page >= pageCount ? textLength : starts[static_cast<std::size_t>(page) + 1];
}

bool Pagination::HasPage(int page) const {
  return page >= 0 && page <= pageCount && static_cast<std::size_t>(page) < starts.size();
}

std::string_view Pagination::TitleOf(std::string_view text, int page) const {
  if (page < 0 || static_cast<std::size_t>(page) >= titleLengths.size() ||
      static_cast<std::size_t>(page) >= starts.size()) {
    return {};
  }
  const std::size_t skip = static_cast<std::size_t>(page) < titleSkips.size() ? titleSkips[static_cast<std::size_t>(page)] : 0;
  const std::int64_t start = starts[static_cast<std::size_t>(page)] + static_cast<std::int64_t>(skip);
  if (start < 0 || static_cast<std::uint64_t>(start) >= text.size()) return {};
  return text.substr(static_cast<std::size_t>(start), titleLengths[static_cast<std::size_t>(page)]);
}

int Pagination::LevelOf(int page) const {
  return page >= 0 && static_cast<std::size_t>(page) < levels.size() ? levels[static_cast<std::size_t>(page)] : 0;
}

std::size_t Pagination::StorageBytes() const {
  return starts.capacity() * sizeof(starts[0]) + titleLengths.capacity() * sizeof(titleLengths[0]) +
         titleSkips.capacity() + levels.capacity();
}

namespace {

std::optional<Pagination> LinePages(unsigned char* data, std::size_t size, bool normalise,
                                    const PassProgress* progress = nullptr) {
  Pagination pages;
  pages.mode = kLinePaging;
  pages.starts = {0, 0};
  pages.firstPage = 1;
  const std::int64_t high =
      normalise ? NormaliseAndScanPageBreaks(data, size, kLinesPerPage, pages.starts, progress)
                : ScanPageBreaks(data, size, kLinesPerPage, pages.starts);
  if (high < 0) return std::nullopt;
  pages.pageCount = static_cast<int>(pages.starts.size()) - 1;
  pages.charCount = high / 2;
  return pages;
}

}  // namespace

Pagination PaginateByLines(std::string_view text) {
  // Only read: the rewrite is not asked for.
  return *LinePages(const_cast<unsigned char*>(Bytes(text)), text.size(), false);
}

Pagination NormaliseAndPaginateByLines(std::string& bytes) {
  return *LinePages(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), true);
}

std::optional<Pagination> NormaliseAndPaginateByLines(std::string& bytes, const PassProgress& progress) {
  return LinePages(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), true,
                   progress ? &progress : nullptr);
}

Pagination PaginateByChapters(std::string_view text, int rule) {
  Pagination pages;
  pages.mode = kChapterPaging;
  pages.pageCount = 0;
  const unsigned char* data = Bytes(text);
  const std::size_t length = text.size();
  const RuleCharacter ruleChar = SelectRuleCharacter(rule);

  // Each pattern's next occurrence is remembered and searched again only once the scan
  // has passed it, so the whole pass stays linear whatever the book holds.
  std::size_t marker = 0, ruleAt = 0;
  bool markerKnown = false, ruleKnown = false;
  std::size_t a = 0;
  while (a < length) {
    if (!markerKnown || marker < a) {
      marker = FindPair(data, length, a, kChapterMarker[0], kChapterMarker[1]);
      markerKnown = true;
    }
    if (!ruleKnown || ruleAt < a) {
      ruleAt = FindPair(data, length, a, ruleChar.first, ruleChar.second);
      ruleKnown = true;
    }
    if (marker >= length || ruleAt >= length) break;

    if (ruleAt > marker && ruleAt - marker <= kMaxHeadingSpan) {
      // The title runs to the line's end; a line longer than the limit is dropped, so
      // looking one byte past the limit is enough.
      const std::size_t window = std::min(length - marker, kMaxTitleBytes + 1);
      std::size_t titleLength = window;
      for (std::size_t j = 0; j < window; ++j) {
        const unsigned char c = data[marker + j];
        if (c == '\r' || c == '\n') {
          titleLength = j;
          break;
        }
      }
      if (titleLength <= kMaxTitleBytes) {
        const std::string_view title = text.substr(marker, titleLength);
        if (pages.pageCount == 0 || title != pages.TitleOf(text, pages.pageCount)) {
          pages.starts.push_back(static_cast<std::int64_t>(marker));
          pages.titleLengths.push_back(static_cast<std::uint8_t>(titleLength));
          ++pages.pageCount;
        }
      }
      a = ruleAt + 1;
    } else {
      a = std::min(marker, ruleAt) + 1;
    }
  }

  // Growth leaves up to twice the room needed; a book of millions of headings keeps it all.
  pages.starts.shrink_to_fit();
  pages.titleLengths.shrink_to_fit();
  pages.charCount = CountHighBytes(data, length) / 2;
  pages.firstPage = (pages.pageCount >= 1 && pages.starts[1] == 0) ? 1 : 0;
  return pages;
}

Pagination PaginateByRule(std::string_view text, int rule) {
  const bool found = rule == kAutoChapterRule || IsUserChapterRule(rule);
  return found ? PaginateByFoundChapters(text) : PaginateByChapters(text, rule);
}

int MinChaptersOf(int rule) {
  return rule == kAutoChapterRule || IsUserChapterRule(rule) ? kMinFoundChapters : kMinChapters;
}

Pagination Paginate(std::string_view text, int mode, int rule) {
  if (mode == kChapterPaging) {
    Pagination chapters = PaginateByRule(text, rule);
    if (chapters.pageCount >= MinChaptersOf(rule)) return chapters;
    Pagination lines = PaginateByLines(text);
    lines.fellBack = true;
    return lines;
  }
  return PaginateByLines(text);
}

std::string PageText(std::string_view text, const Pagination& pages, int page, std::size_t limit) {
  if (!pages.HasPage(page)) return std::string();
  const std::int64_t length = static_cast<std::int64_t>(text.size());
  const std::int64_t s = std::clamp<std::int64_t>(pages.PageStart(page), 0, length);
  const std::int64_t e = std::clamp<std::int64_t>(pages.PageEnd(page, length), s, length);
  std::string out(text.substr(static_cast<std::size_t>(s), std::min(static_cast<std::size_t>(e - s), limit)));
  // LF LF reaches the pane as CR LF; the last byte is emitted unchanged.
  const std::size_t n = out.size();
  for (std::size_t i = 0; n >= 2 && i + 1 < n;) {
    const void* hit = std::memchr(out.data() + i, '\n', n - 1 - i);
    if (hit == nullptr) break;
    i = static_cast<std::size_t>(static_cast<const char*>(hit) - out.data());
    if (text[static_cast<std::size_t>(s) + i + 1] == '\n') out[i] = '\r';
    ++i;
  }
  return out;
}

}  // namespace varnelo
