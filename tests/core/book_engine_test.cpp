// The byte engine against the reader's rules: loading refusals, blank-line normalisation,
// line and chapter paging and page text. The fast scans are also checked against plain
// step-by-step versions of the same rules on many random books.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>
#include <string>
#include <vector>

#include "text/book_encoding.h"
#include "text/book_engine.h"
#include "tests/core/scratch_folder.h"
#include "text/byte_scan.h"

namespace fs = std::filesystem;
using namespace varnelo;
using varnelo::testing::ScratchFile;

namespace {

const std::string kDi = "\xB5\xDA";     // 第
const std::string kZhang = "\xD5\xC2";  // 章
const std::string kHui = "\xBB\xD8";    // 回

std::string Lines(int count, const std::string& line = "x") {
  std::string out;
  for (int i = 0; i < count; ++i) out += line + "\n";
  return out;
}

// Every title the table reads back, page 0 to the last.
std::vector<std::string> Titles(const std::string& text, const Pagination& p) {
  std::vector<std::string> titles;
  for (int k = 0; k <= p.pageCount; ++k) titles.emplace_back(p.TitleOf(text, k));
  return titles;
}

// The chapter rule done the slow way, with every title copied out as the table once kept
// them: both searches restart at every step.
struct SlowPages {
  int pageCount = 0;
  std::vector<std::int64_t> starts;
  std::vector<std::string> titles;
};
SlowPages SlowChapters(const std::string& t, int rule) {
  const RuleCharacter rc = SelectRuleCharacter(rule);
  SlowPages p;
  std::vector<std::int64_t> starts{0};
  std::vector<std::string> titles{""};
  int count = 0;
  const std::size_t n = t.size();
  auto find = [&](std::size_t from, unsigned char b0, unsigned char b1) {
    for (std::size_t o = from; n >= 2 && o <= n - 2; ++o)
      if (static_cast<unsigned char>(t[o]) == b0 && static_cast<unsigned char>(t[o + 1]) == b1)
        return o;
    return std::string::npos;
  };
  std::size_t a = 0;
  while (a < n) {
    const std::size_t off = find(a, 0xB5, 0xDA);
    const std::size_t pos = find(a, rc.first, rc.second);
    if (off == std::string::npos || pos == std::string::npos) break;
    const long long d = static_cast<long long>(pos) - static_cast<long long>(off);
    if (d >= 1 && d <= 19) {
      ++count;
      starts.resize(count + 1);
      titles.resize(count + 1);
      starts[count] = static_cast<std::int64_t>(off);
      std::size_t end = off;
      while (end < n && t[end] != '\r' && t[end] != '\n') ++end;
      titles[count] = t.substr(off, end - off);
      if (titles[count].size() > 100) --count;
      else if (count > 1 && titles[count] == titles[count - 1]) --count;
      a = pos + 1;
    } else {
      a = std::min(off, pos) + 1;
    }
  }
  starts.resize(count + 1);
  titles.resize(count + 1);
  p.pageCount = count;
  p.starts = starts;
  p.titles = titles;
  return p;
}

std::string SlowNormalise(std::string b) {
  const long long n = static_cast<long long>(b.size());
  if (n <= 20) return b;
  for (long long q = 2; q <= n - 19; ++q) {
    if (b[q - 2] == '\r' && b[q - 1] == '\n' && b[q] == '\r') {
      b[q] = ' ';
      b[q + 1] = ' ';
      long long r = q + 2;
      while (r < n - 20 && b[r] == '\r' && b[r + 1] == '\n') {
        b[r] = ' ';
        b[r + 1] = ' ';
        r += 2;
      }
    }
  }
  return b;
}

// Random books built from the bytes the rules care about.
std::string RandomBook(std::mt19937& rng, std::size_t size) {
  static const std::vector<std::string> pieces = {
      kDi, kZhang, kHui, "\r\n", "\n", "\r", "a", " ", "\xD2\xBB", "\xB5", "\xDA", "\xC2",
      "\xB5\xDA\xD2\xBB\xD5\xC2", std::string(30, 'z'), std::string(101, 'y')};
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::string out;
  while (out.size() < size) out += pieces[pick(rng)];
  out.resize(size);
  return out;
}

}  // namespace

TEST(PathNames, SplitOnTheSeparatorByBytes) {
  struct Case {
    const char* path;
    const char* fileName;
    const char* title;
    const char* folder;
  } cases[] = {
      {"/books/三国演义.txt", "三国演义.txt", "三国演义", "/books"},
      {"", "", "", ""},
      {"/a.b/readme", "readme", "", "/a.b"},   // the only dot is in a folder name
      {"/a/b.c.txt", "b.c.txt", "b.c", "/a"},
      {"/a/", "", "", "/a"},
      {"plain.txt", "plain.txt", "plain", ""},
      {"noext", "noext", "noext", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileNameOf(c.path), c.fileName) << c.path;
    EXPECT_EQ(TitleOf(c.path), c.title) << c.path;
    EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
  }
}

TEST(ReadBookFile, RefusesMissingEmptyAndUtf16) {
  std::string bytes = "stale";
  EXPECT_EQ(ReadBookFile("/no/such/book.txt", bytes), LoadStatus::Missing);
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(ReadBookFile(fs::temp_directory_path().string(), bytes), LoadStatus::Missing);
  EXPECT_EQ(ReadBookFile(ScratchFile("empty.txt", "").string(), bytes), LoadStatus::Empty);
  EXPECT_EQ(ReadBookFile(ScratchFile("u16.txt", std::string("\xFF\xFE" "a\0b", 5)).string(), bytes),
            LoadStatus::Unicode);
  EXPECT_EQ(ReadBookFile(ScratchFile("u16only.txt", "\xFF\xFE").string(), bytes), LoadStatus::Unicode);
  // A single FF is not a mark: the second byte is the terminator.
  EXPECT_EQ(ReadBookFile(ScratchFile("one.txt", "\xFF").string(), bytes), LoadStatus::Ok);
  EXPECT_EQ(bytes, "\xFF");
  // UTF-8 marks are read as ordinary bytes.
  EXPECT_EQ(ReadBookFile(ScratchFile("u8.txt", "\xEF\xBB\xBFxy").string(), bytes), LoadStatus::Ok);
  EXPECT_EQ(bytes.size(), 5u);
  // A file the system calls empty that holds bytes is read to its end, not called empty.
  EXPECT_EQ(ReadBookFile("/proc/self/status", bytes), LoadStatus::Ok);
  EXPECT_EQ(bytes.rfind("Name:", 0), 0u);
  EXPECT_EQ(bytes.back(), '\n');
}

TEST(ReadBookFile, ReadsAReadOnlyBookWithNulBytes) {
  const std::string content("ab\0cd\r\n", 7);
  const fs::path file = ScratchFile("ro.txt", content);
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  std::string bytes;
  EXPECT_EQ(ReadBookFile(file.string(), bytes), LoadStatus::Ok);
  EXPECT_EQ(bytes, content);
}

TEST(ReadBookFile, RefusesTwoGibibytesWithoutReadingThem) {
  const fs::path file = ScratchFile("huge.txt", "x");
  std::error_code error;
  fs::resize_file(file, static_cast<std::uintmax_t>(kMaxBookBytes) + 1, error);  // sparse
  if (error) GTEST_SKIP() << "cannot make a sparse file here";
  std::string bytes;
  EXPECT_EQ(ReadBookFile(file.string(), bytes), LoadStatus::TooLarge);
  EXPECT_TRUE(bytes.empty());
  fs::remove(file);
}

TEST(NormaliseBlankLines, KeepsTheFirstBreakOfEveryRunWithinTheBounds) {
  const std::string pad(20, '.');
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {std::string(20, '\r'), std::string(20, '\r')},  // 20 bytes: untouched
      {"A\r\n\r\n\r\nB" + pad, "A\r\n    B" + pad},   // three pairs: one kept, four spaces
      {"\r\n\r\n" + pad, "\r\n  " + pad},              // file starts with a blank line
      {"\r\n\rX" + pad, "\r\n  " + pad},               // CR then any byte: both become spaces
      {"\r\n\r\xD5\xC2" + pad, "\r\n  \xC2" + pad},    // can split a double-byte character
      {"A\n\n\n\nB" + pad, "A\n\n\n\nB" + pad},        // LF-only text is left alone
  };
  for (const Case& c : cases) {
    std::string bytes = c.in;
    NormaliseBlankLines(bytes);
    EXPECT_EQ(bytes, c.out);
  }
  // 21 bytes: only the triple at offsets 0..2 is examined.
  std::string b21 = "\r\n\r\n\r\n" + std::string(15, 'z');
  NormaliseBlankLines(b21);
  EXPECT_EQ(b21, "\r\n  \r\n" + std::string(15, 'z'));
  // A run reaching into the last 20 bytes keeps the pairs beyond the bound.
  std::string run;
  for (int i = 0; i < 12; ++i) run += "\r\n";
  std::string tail = "ab" + run;  // 26 bytes: the bound N - 20 stops the run at once
  NormaliseBlankLines(tail);
  EXPECT_EQ(tail, "ab\r\n  " + run.substr(4));
  std::string inside = std::string(20, 'a') + run + std::string(20, 'b');  // all but one go
  NormaliseBlankLines(inside);
  EXPECT_EQ(inside, std::string(20, 'a') + "\r\n" + std::string(22, ' ') + std::string(20, 'b'));
}

TEST(NormaliseBlankLines, MatchesTheStepByStepRuleOnRandomBooks) {
  std::mt19937 rng(7);
  for (int round = 0; round < 400; ++round) {
    std::string book = RandomBook(rng, 1 + rng() % 300);
    std::string fast = book;
    NormaliseBlankLines(fast);
    ASSERT_EQ(fast, SlowNormalise(book)) << "round " << round;
    ASSERT_EQ(fast.size(), book.size());
  }
}

TEST(LinePaging, OpensAPageAfterEveryFiftiethLineFeed) {
  struct Case {
    std::string text;
    int pages;
    std::vector<std::int64_t> starts;
  } cases[] = {
      {"", 1, {0, 0}},
      {"no line feed at all", 1, {0, 0}},
      {Lines(50), 1, {0, 0}},                   // the 50th LF is the last byte
      {Lines(50) + "z", 2, {0, 0, 100}},        // one byte after it: page 2 is that byte
      {Lines(100) + "z", 3, {0, 0, 100, 200}},
      {Lines(99), 2, {0, 0, 100}},
      {std::string(49, '\r') + Lines(50) + "z", 2, {0, 0, 149}},  // CR plays no part
  };
  for (const Case& c : cases) {
    const Pagination p = PaginateByLines(c.text);
    EXPECT_EQ(p.mode, kLinePaging);
    EXPECT_EQ(p.pageCount, c.pages) << c.text.size();
    EXPECT_EQ(p.starts, c.starts) << c.text.size();
    EXPECT_EQ(p.firstPage, 1);
  }
  EXPECT_EQ(PageText(Lines(50) + "z", PaginateByLines(Lines(50) + "z"), 2), "z");
  EXPECT_EQ(PageText("", PaginateByLines(""), 1), "");
  // A prefix of the page: LF LF still turns to CR LF inside it, and its last byte stays.
  const std::string lines = "ab\n\ncd\n\n";
  for (const auto& [limit, want] : {std::pair<std::size_t, std::string>{3, "ab\n"}, {5, "ab\r\nc"}, {100, "ab\r\ncd\r\n"}})
    EXPECT_EQ(PageText(lines, PaginateByLines(lines), 1, limit), want) << limit;
}

TEST(LinePaging, MatchesTheStepByStepRuleOnRandomBooks) {
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    std::string book(rng() % 3000, 'a');
    for (auto& c : book) c = "\n\xB5" "a\r"[rng() % 4];
    std::vector<std::int64_t> starts{0, 0};
    std::int64_t counter = 1, high = 0;
    for (std::size_t i = 0; i < book.size(); ++i) {
      if (book[i] == '\n' && i + 1 != book.size()) {
        if (counter % 50 == 0) starts.push_back(static_cast<std::int64_t>(i + 1));
        ++counter;
      }
      high += static_cast<unsigned char>(book[i]) >= 0x80;
    }
    const Pagination p = PaginateByLines(book);
    ASSERT_EQ(p.starts, starts) << "round " << round;
    ASSERT_EQ(p.pageCount, static_cast<int>(starts.size()) - 1);
    ASSERT_EQ(p.charCount, high / 2);
  }
}

TEST(LinePaging, LoadPassMatchesNormalisingThenPaging) {
  // Dense line breaks make runs start and end on every alignment, across 64-byte blocks
  // and into the last 20 bytes; the sizes straddle the bounds of the rewrite and the blocks.
  std::mt19937 rng(11);
  const std::size_t edges[] = {0, 1, 2, 20, 21, 22, 23, 65, 66, 67, 85, 86, 87, 130, 131, 4100, 9000};
  for (int round = 0; round < 600; ++round) {
    const std::size_t size = round < 200 ? edges[round % std::size(edges)] : rng() % 5000;
    std::string book(size, 'a');
    for (auto& c : book) c = "\r\n\r\n\xB5" "a\n"[rng() % 7];
    std::string fused = book;
    const Pagination p = NormaliseAndPaginateByLines(fused);
    const std::string slow = SlowNormalise(book);
    ASSERT_EQ(fused, slow) << "round " << round << ", " << size << " bytes";
    const Pagination q = PaginateByLines(slow);
    ASSERT_EQ(p.starts, q.starts) << "round " << round;
    ASSERT_EQ(p.pageCount, q.pageCount) << "round " << round;
    ASSERT_EQ(p.charCount, q.charCount) << "round " << round;
  }
}

// Reading and normalising a book of several progress steps (the last one asked by the
// byte-by-byte tail): told to go on, each pass gives what it gives unasked and reports
// rising counts; told to stop, it stops at its first report and says so.
TEST(LongPasses, ReportProgressAndStopWhenTold) {
  std::mt19937 rng(3);
  std::string book(2 * kPassProgressStep + 65, 'a');
  for (auto& c : book) c = "\r\n\r\n\xB5" "a\n"[rng() % 7];
  const std::string path = ScratchFile("long.txt", book).string();
  std::string plainText, plainLines;
  BookForm form;
  ASSERT_EQ(ReadBook(path, BookEncoding::Gbk, plainText, form), LoadStatus::Ok);
  plainLines = plainText;
  const Pagination plainPages = NormaliseAndPaginateByLines(plainLines);
  for (const bool stop : {false, true}) {
    std::vector<std::int64_t> reports;
    const PassProgress progress = [&](std::int64_t done, std::int64_t total) {
      EXPECT_TRUE(reports.empty() || done > reports.back()) << "stop " << stop;
      EXPECT_LE(done, total) << "stop " << stop;
      reports.push_back(done);
      return !stop;
    };
    std::string text;
    const LoadStatus status = ReadBook(path, BookEncoding::Gbk, text, form, nullptr, progress);
    EXPECT_EQ(status, stop ? LoadStatus::Cancelled : LoadStatus::Ok);
    EXPECT_EQ(reports.size(), stop ? 1u : 3u) << "read";
    EXPECT_TRUE(stop ? text.empty() : text == plainText);

    reports.clear();
    std::string lines = plainText;
    const std::optional<Pagination> pages = NormaliseAndPaginateByLines(lines, progress);
    EXPECT_EQ(reports.size(), stop ? 1u : 2u) << "normalise and page";
    EXPECT_EQ(pages.has_value(), !stop);
    if (pages) {
      EXPECT_TRUE(lines == plainLines && pages->starts == plainPages.starts);
    }
  }
}

TEST(LinePaging, GrowsPastEightThousandPages) {
  const std::string book = Lines(50 * 9000) + "end";
  const Pagination p = PaginateByLines(book);
  ASSERT_EQ(p.pageCount, 9001);
  EXPECT_EQ(p.starts[9001], 2 * 50 * 9000);
  EXPECT_EQ(PageText(book, p, 9001), "end");
  EXPECT_EQ(PageText(book, p, 9002), "");  // outside the table: nothing is read
}

TEST(CountHighBytes, CountsEveryByteFromEightyUp) {
  std::mt19937 rng(3);
  for (std::size_t size : {0u, 1u, 15u, 16u, 17u, 4095u, 4096u + 7u, 70000u}) {
    std::string s(size, '\0');
    std::int64_t expected = 0;
    for (auto& c : s) {
      c = static_cast<char>(rng());
      expected += static_cast<unsigned char>(c) >= 0x80;
    }
    EXPECT_EQ(CountHighBytes(reinterpret_cast<const unsigned char*>(s.data()), s.size()), expected);
    const Pagination lines = PaginateByLines(s);
    EXPECT_EQ(lines.charCount, expected / 2);
    EXPECT_EQ(PaginateByChapters(s, 1).charCount, expected / 2);
  }
}

TEST(FindPair, FindsPairsAtEveryAlignmentAndNeverPastTheEnd) {
  for (std::size_t size = 0; size < 70; ++size) {
    for (std::size_t at = 0; at + 1 < size; ++at) {
      std::string s(size, 'a');
      s[at] = '\xB5';
      s[at + 1] = '\xDA';
      const auto* d = reinterpret_cast<const unsigned char*>(s.data());
      EXPECT_EQ(FindPair(d, size, 0, 0xB5, 0xDA), at);
      EXPECT_EQ(FindPair(d, size, at + 1, 0xB5, 0xDA), size);
    }
    std::string lone(size, 'a');
    if (size > 0) lone[size - 1] = '\xB5';  // a first byte at the very end is no pair
    EXPECT_EQ(FindPair(reinterpret_cast<const unsigned char*>(lone.data()), size, 0, 0xB5, 0xDA), size);
  }
}

TEST(ChapterPaging, AcceptsHeadingsByTheByteRule) {
  const std::string body = "\r\n" + std::string(30, 'p') + "\r\n";
  auto chapters = [&](const std::string& heading, int n) {
    std::string out = "front matter\r\n";
    for (int i = 0; i < n; ++i) out += heading + static_cast<char>('A' + i) + body;
    return out;
  };
  struct Case {
    std::string book;
    int rule;
    int pages;  // before any fallback
  } cases[] = {
      {chapters(kDi + kZhang, 10), 1, 10},                      // distance 2
      {chapters(kDi + std::string(17, '1') + kZhang, 10), 1, 10},  // distance 19
      {chapters(kDi + std::string(18, '1') + kZhang, 10), 1, 0},   // distance 20
      {chapters(kDi + "12" + kHui, 12), 3, 12},
      {chapters(kDi + "12" + kHui, 12), 1, 0},
      {chapters(kDi + "1" + kZhang + std::string(94, 't'), 10), 1, 10},  // 100-byte title
      {chapters(kDi + "1" + kZhang + std::string(95, 't'), 10), 1, 0},   // 101 bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PaginateByChapters(c.book, c.rule).pageCount, c.pages) << c.book.substr(14, 30);
  }
}

TEST(ChapterPaging, TitlesDropsAndTheOpeningPage) {
  // Two identical consecutive headings make one chapter starting at the first.
  std::string book = kDi + "1" + kZhang + "\r\n" + kDi + "1" + kZhang + "\r\ntext\r\n";
  for (int i = 2; i <= 11; ++i) book += kDi + std::to_string(i) + kZhang + "\r\nbody\r\n";
  book += kDi + "12" + kZhang;  // last line, no line break
  const Pagination p = PaginateByChapters(book, 1);
  ASSERT_EQ(p.pageCount, 12);
  EXPECT_EQ(p.starts[1], 0);
  EXPECT_EQ(p.TitleOf(book, 1), kDi + "1" + kZhang);
  EXPECT_EQ(p.TitleOf(book, 12), kDi + "12" + kZhang);
  EXPECT_EQ(p.firstPage, 1);  // the book begins with a heading
  EXPECT_EQ(PageText(book, p, 0), "");
  EXPECT_EQ(PageText(book, p, 12), kDi + "12" + kZhang);

  // A marker formed across two characters counts: ...B5 | DA... .
  const std::string straddle = "\xD2\xB5\xDA" + kZhang + "\n";
  EXPECT_EQ(PaginateByChapters(straddle, 1).pageCount, 1);
  // A second heading later on the same line makes another chapter.
  const std::string twoOnALine = kDi + "1" + kZhang + " " + kDi + "2" + kZhang + "\n";
  const Pagination two = PaginateByChapters(twoOnALine, 1);
  ASSERT_EQ(two.pageCount, 2);
  EXPECT_EQ(two.TitleOf(twoOnALine, 2), kDi + "2" + kZhang);
}

TEST(ChapterPaging, FallsBackToLinesBelowTenChapters) {
  std::string nine = "intro\n";
  for (int i = 1; i <= 9; ++i) nine += kDi + std::to_string(i) + kZhang + "\nbody\n";
  Pagination p = Paginate(nine, kChapterPaging, 1);
  EXPECT_TRUE(p.fellBack);
  EXPECT_EQ(p.mode, kLinePaging);
  EXPECT_EQ(p.firstPage, 1);
  const std::string ten = nine + kDi + "10" + kZhang + "\nbody\n";
  p = Paginate(ten, kChapterPaging, 1);
  EXPECT_FALSE(p.fellBack);
  EXPECT_EQ(p.mode, kChapterPaging);
  EXPECT_EQ(p.pageCount, 10);
  EXPECT_EQ(p.firstPage, 0);  // front matter first
  EXPECT_TRUE(Paginate("", kChapterPaging, 1).fellBack);
}

TEST(ChapterPaging, MatchesTheStepByStepRuleOnRandomBooks) {
  std::mt19937 rng(11);
  for (int round = 0; round < 600; ++round) {
    const std::string book = RandomBook(rng, 1 + rng() % 400);
    for (int rule : {1, 3}) {
      const Pagination fast = PaginateByChapters(book, rule);
      const SlowPages slow = SlowChapters(book, rule);
      ASSERT_EQ(fast.pageCount, slow.pageCount) << "round " << round;
      ASSERT_EQ(fast.starts, slow.starts) << "round " << round;
      ASSERT_EQ(Titles(book, fast), slow.titles) << "round " << round;
    }
  }
}

TEST(ChapterPaging, GrowsPastEightThousandChapters) {
  std::string book;
  for (int i = 0; i < 8500; ++i) book += kDi + std::to_string(i) + kZhang + "\n";
  const Pagination p = PaginateByChapters(book, 1);
  EXPECT_EQ(p.pageCount, 8500);
  EXPECT_EQ(p.titleLengths.size(), 8501u);
}

// A book of nothing but headings: the table holds a start and a length per chapter, the
// titles stay in the book.
TEST(ChapterPaging, ABookOfHeadingsCostsAtMostSixteenBytesAChapter) {
  const std::string pair = kDi + kHui + "\n" + kDi + "a" + kHui + "\n";  // 第回 第a回
  std::string book;
  while (book.size() < (std::size_t{4} << 20)) book += pair;
  const Pagination p = PaginateByChapters(book, 3);
  ASSERT_EQ(p.pageCount, static_cast<int>(book.size() / pair.size() * 2));
  EXPECT_LE(p.StorageBytes(), std::size_t{16} * static_cast<std::size_t>(p.pageCount + 1));
  EXPECT_EQ(p.TitleOf(book, 1), kDi + kHui);
  EXPECT_EQ(p.TitleOf(book, p.pageCount), kDi + "a" + kHui);
  for (int k : {-1, p.pageCount + 1}) EXPECT_EQ(p.TitleOf(book, k), "") << k;
  // A table read against a shorter text never reads past its end.
  EXPECT_EQ(p.TitleOf(std::string_view(book).substr(0, 5), 2), "");
  EXPECT_EQ(PaginateByLines(book).TitleOf(book, 1), "");
}

TEST(ChapterPaging, RulesOutsideOneToSixReadAsRuleOne) {
  for (int rule : {0, 7, -3}) {
    EXPECT_EQ(SelectRuleCharacter(rule).first, 0xD5);
    EXPECT_EQ(SelectRuleCharacter(rule).second, 0xC2);
  }
  EXPECT_EQ(SelectRuleCharacter(6).first, 0xBC);
}

TEST(PageText, TurnsLineFeedPairsIntoCarriageReturnLineFeed) {
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {"a\n\n\nb", "a\r\r\nb"},
      {"\n\n", "\r\n"},
      {"a\n\n", "a\r\n"},
      {"\n", "\n"},
      {"a\r\n\r\nb", "a\r\n\r\nb"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PageText(c.in, PaginateByLines(c.in), 1), c.out);
  }
}

TEST(Corpus, RealNovelsPageByTheirHeadings) {
  std::string text;
  ASSERT_EQ(ReadBookFile(std::string(VARNELO_CORPUS_DIR) + "/三国演义.txt", text), LoadStatus::Ok);
  NormaliseBlankLines(text);
  const Pagination byHui = Paginate(text, kChapterPaging, 3);
  EXPECT_EQ(byHui.pageCount, 120);
  EXPECT_EQ(byHui.firstPage, 0);
  EXPECT_EQ(byHui.TitleOf(text, 1).substr(0, 6), kDi + "\xD2\xBB" + kHui);  // 第一回
  // Every title reads as the copied-out titles of the step-by-step rule.
  const SlowPages slow = SlowChapters(text, 3);
  EXPECT_EQ(byHui.starts, slow.starts);
  EXPECT_EQ(Titles(text, byHui), slow.titles);
  const Pagination byZhang = Paginate(text, kChapterPaging, 1);
  EXPECT_TRUE(byZhang.fellBack);
  // Every page's text put together is the book (apart from the LF LF rewrite).
  std::string joined;
  for (int k = 0; k <= byHui.pageCount; ++k) joined += PageText(text, byHui, k);
  EXPECT_EQ(joined.size(), text.size());
}
