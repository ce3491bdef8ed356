// An edited page written back into its book: random books and edits against a naive
// splice of the file's bytes, and the cases that protect a book.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "text/book_engine.h"
#include "text/page_write_back.h"

namespace varnelo {
namespace {

// Naive: where loading turned a CR and the byte after it into the two spaces of a blank
// line, found by walking the whole book from its start; true at the byte after each CR.
std::vector<bool> PairMiddles(std::string_view file, std::string_view buffer) {
  std::vector<bool> middle(file.size() + 1, false);
  for (std::size_t i = 0; i < file.size(); ++i)
    if (buffer[i] == ' ' && file[i] == '\r') middle[++i] = true;
  return middle;
}

// Naive: for each pane unit, the offset in the shown bytes where it begins, found as the
// one split whose two halves show exactly the two halves of the page; -1 inside a
// character or a line break. Splits inside a pair the pane shows as two spaces go to
// `inside` instead.
std::vector<long> Splits(const std::vector<bool>& middle, std::size_t start, std::string_view shown,
                         const std::u16string& units, std::vector<long>& inside) {
  std::vector<long> at(units.size() + 1, -1);
  inside.assign(units.size() + 1, -1);
  for (std::size_t b = 0; b <= shown.size(); ++b) {
    const std::u16string head = PaneUnits(shown.substr(0, b));
    if (head.size() > units.size() || units.compare(0, head.size(), head) != 0) continue;
    if (PaneUnits(shown.substr(b)) != units.substr(head.size())) continue;
    std::vector<long>& to = middle[start + b] ? inside : at;
    if (to[head.size()] < 0) to[head.size()] = static_cast<long>(b);
  }
  return at;
}

// Typed text as the file holds it; the line break style has its own cases below.
std::string Typed(const std::u16string& text, std::string_view file, std::size_t start) {
  std::string out;
  std::size_t from = 0;
  for (std::size_t stop; (stop = text.find(u'\n', from)) != std::u16string::npos; from = stop + 1)
    out += EncodeBookText(text.substr(from, stop - from)) + std::string(LineBreakOf(file, start));
  return out + EncodeBookText(text.substr(from));
}

// 第 一 章 的, four-byte characters, bytes that do not decode, line breaks of every kind,
// runs of blank lines and chapter headings.
const std::vector<std::string> kAtoms = {
    "a", "b", " ", "\xB5\xDA", "\xD2\xBB", "\xD5\xC2", "\xB5\xC4", EncodeBookText(u"\u0100"),
    EncodeBookText(u"\U00020000"), "\x80", "\xFF", "\x81", "\r\n", "\r\n", "\n", "\n", "\r",
    "\r\n\r\n\r\n", "\r\n\r\n", "\n\n\n", "\n\n", "\xB5\xDA\x39\xD5\xC2\r\n"};
// Nothing a book holds, so an edit cannot be read as another.
const std::u16string kTyped[] = {u"#", u"@x", u"中", u"한", u"\U0001F600", u"#\n@", u"中\n\n한"};

TEST(PageWriteBack, RandomEditsChangeOnlyTheEditedBytes) {
  std::mt19937 rng(8);
  const auto below = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
  };
  int checked = 0;
  for (int round = 0; round < 400; ++round) {
    std::string file;
    const std::size_t atoms = 150 + below(500);
    for (std::size_t i = 0; i < atoms; ++i) file += kAtoms[below(kAtoms.size())];
    std::string buffer = file;
    NormaliseBlankLines(buffer);
    Pagination pages = round % 2 ? PaginateByChapters(buffer, 1) : PaginateByLines(buffer);
    if (pages.pageCount < 1) pages = PaginateByLines(buffer);
    const int first = pages.HasPage(0) ? 0 : 1;
    const int choice[] = {first, pages.pageCount,
                          first + static_cast<int>(below(pages.pageCount + 1 - first))};
    const int page = choice[round % 3];
    const std::string shown = PageText(buffer, pages, page);
    const std::size_t start = static_cast<std::size_t>(pages.PageStart(page));
    std::u16string units = PaneUnits(shown);
    std::vector<long> inside;
    std::vector<long> at = Splits(PairMiddles(file, buffer), start, shown, units, inside);
    if (round % 5 == 4) {  // the pane's limit cut the page, never inside a character
      at.resize(1 + below(units.size() + 1));
      if (at.size() > 1 && units[at.size() - 2] >= 0xD800 && units[at.size() - 2] <= 0xDBFF)
        at.pop_back();
    }
    const std::u16string pane = units.substr(0, at.size() - 1);
    std::vector<std::size_t> cuts, middles;
    for (std::size_t u = 0; u < at.size(); ++u) {
      if (at[u] >= 0) cuts.push_back(u);
      if (inside[u] >= 0) middles.push_back(u);
    }

    // Start, middle or end of the page, or between the two spaces of a blank line (about
    // one in thirty random insertions lands there); insert, delete or replace.
    const bool between = round % 3 == 2 && !middles.empty();
    std::size_t from = round % 7 == 0 ? cuts.front() : cuts[below(cuts.size())];
    if (between) from = middles[below(middles.size())];
    std::size_t to = from;
    if (round % 4 != 0) to = round % 7 == 1 ? cuts.back() : cuts[below(cuts.size())];
    if (to < from) std::swap(from, to);
    const std::u16string typed = round % 4 == 1 ? u"" : kTyped[below(std::size(kTyped))];
    if (from == to && typed.empty()) continue;
    // A deletion between equal characters could be read one character later.
    if (typed.empty() && to < pane.size() && pane[from] == pane[to]) continue;
    if (from != to && typed.find(u'\n') != std::u16string::npos) continue;

    std::u16string edited = pane;
    edited.replace(from, to - from, typed);
    // A blank line's break stays whole unless both its halves go: what is typed inside it
    // goes after it, and an edit that keeps one half keeps it all.
    const auto byteAt = [&](std::size_t unit, long side) {
      return start + static_cast<std::size_t>(at[unit] >= 0 ? at[unit] : inside[unit] + side);
    };
    // Text only inserted where blank lines begin, or inside a blank line's break, goes after
    // those blank lines, as far as the pane's text reaches.
    const std::size_t paneEnd = byteAt(pane.size(), -1);
    const std::vector<bool> middle = PairMiddles(file, buffer);
    const auto insertAt = [&](std::size_t unit) {
      std::size_t byte = byteAt(unit, 1);
      while (byte + 2 <= paneEnd && middle[byte + 1]) byte += 2;
      return byte;
    };
    const std::size_t typedAt = from == to ? insertAt(from) : byteAt(from, 1);
    const std::string expected = file.substr(0, typedAt) + Typed(typed, file, start) +
                                 file.substr(from == to ? typedAt : byteAt(to, -1));
    ASSERT_TRUE(WriteBackPage(file, {start, shown, pane, edited}) == expected)  // too long to print
        << "round " << round << " page " << page << " units " << from << ".." << to;
    ++checked;

    // A second insertion further on: everything between the two stays as it is on disk.
    const auto next = std::upper_bound(cuts.begin(), cuts.end(), from);
    if (from == to && at[from] >= 0 && next != cuts.end() &&
        typed.find(u'\n') == std::u16string::npos) {
      const std::size_t later =
          *(next + static_cast<long>(below(static_cast<std::size_t>(cuts.end() - next))));
      std::u16string twice = pane;
      twice.insert(later, u"@");
      twice.insert(from, typed);
      const std::size_t one = insertAt(from);
      const std::size_t two = insertAt(later);
      const std::string both = file.substr(0, one) + Typed(typed, file, start) +
                               file.substr(one, two - one) + "@" + file.substr(two);
      ASSERT_TRUE(WriteBackPage(file, {start, shown, pane, twice}) == both)
          << "round " << round << " units " << from << " and " << later;
    }
  }
  EXPECT_GT(checked, 250);
}

TEST(PageWriteBack, CasesThatProtectABook) {
  const std::string head = "\xB5\xDA\xD2\xBB\xD5\xC2\r\n\r\n\r\n";  // a heading, two blank lines
  const std::string blank = head + "AAAA\r\n\r\nBBBB\r\n\r\n\r\nCC\r\nDD\r\n";
  const std::string nbsp = "x" + EncodeBookText(u"\u00A0") + "y\nzzzz";
  struct Insertion {
    std::u16string after;  // on the pane
    std::u16string typed;
  };
  struct Case {
    const char* what;
    std::string file;
    std::vector<Insertion> edits;
    std::string expected;
  } cases[] = {
      {"nothing changed", blank, {}, blank},
      {"two corrections, blank lines between", blank, {{u"AA", u"1"}, {u"C", u"2"}},
       head + "AA1AA\r\n\r\nBBBB\r\n\r\n\r\nC2C\r\nDD\r\n"},
      {"Enter in a CR LF book", blank, {{u"D", u"\n"}},
       head + "AAAA\r\n\r\nBBBB\r\n\r\n\r\nCC\r\nD\r\nD\r\n"},
      {"Enter in an LF book", "ab\ncd", {{u"a", u"\n"}}, "a\nb\ncd"},
      {"Enter in a CR book", "ab\rcd", {{u"cd", u"\n"}}, "ab\rcd\r"},
      {"the pane shows a no-break space as a space", nbsp, {{u"zzzz", u"!"}}, nbsp + "!"},
      {"typing between the spaces of a blank line keeps its line break", blank,
       {{u"A\n ", u"x"}}, head + "AAAA\r\n\r\nxBBBB\r\n\r\n\r\nCC\r\nDD\r\n"},
      {"typing before the spaces of a blank line leaves it blank", blank, {{u"A\n", u"y"}},
       head + "AAAA\r\n\r\nyBBBB\r\n\r\n\r\nCC\r\nDD\r\n"},
  };
  for (const Case& c : cases) {
    std::string buffer = c.file;
    NormaliseBlankLines(buffer);
    std::u16string pane = PaneUnits(buffer);
    for (char16_t& unit : pane) unit = unit == 0x00A0 ? u' ' : unit;  // as the pane shows it
    std::u16string edited = pane;
    for (const Insertion& e : c.edits) edited.insert(edited.find(e.after) + e.after.size(), e.typed);
    EXPECT_EQ(WriteBackPage(c.file, {0, buffer, pane, edited}), c.expected) << c.what;
  }
  // Text that is not the page, or a page outside the file, writes nothing.
  EXPECT_FALSE(WriteBackPage("abc", {0, "abc", u"abd", u"abd!"}).has_value());
  EXPECT_FALSE(WriteBackPage("abc", {2, "abc", u"abc", u"ab"}).has_value());
  // Half of a character left alone is refused and said so, never written as "?"; a byte
  // the pane kept (a lone U+DC80..U+DCFF) is no half.
  const std::string pair = "a" + EncodeBookText(u"\U0001F600") + "c\x80" "b";
  const std::u16string shown = PaneUnits(pair);
  struct Split {
    const char* what;
    std::u16string edited;
    bool refused;
  } splits[] = {
      {"typed between the halves", u"a\xD83D#\xDE00" u"c\xDC80" u"b", true},
      {"the high half deleted", u"a\xDE00" u"c\xDC80" u"b", true},
      {"the low half deleted", u"a\xD83D" u"c\xDC80" u"b", true},
      {"the kept byte moved", u"a\xDC80" u"\U0001F600" u"cb", false},
  };
  for (const Split& s : splits) {
    bool split = false;
    const std::optional<std::string> out = WriteBackPage(pair, {0, pair, shown, s.edited}, &split);
    EXPECT_EQ(split, s.refused) << s.what;
    EXPECT_EQ(out.has_value(), !s.refused) << s.what;
    if (out) {
      EXPECT_EQ(out->find('?'), std::string::npos) << s.what;
    }
  }
}

TEST(PageWriteBack, SaveAsPathChangesOnlyTheEndOfTheName) {
  const char* const cases[][2] = {
      {"/home/u/book", "/home/u/book.txt"},     {"/home/u/book.txt", "/home/u/book.txt"},
      {"/home/u/book.TXT", "/home/u/book.txt"}, {"/home/u/book.Txt", "/home/u/book.Txt.txt"},
      {"/home/u/a.txt.TXT  ", "/home/u/a.txt"}, {"/srv/old.txt/book", "/srv/old.txt/book.txt"},
      {"/srv/x.TXT/a.txt.b", "/srv/x.TXT/a.txt.b.txt"}, {"  ", ""}};
  for (const auto& c : cases) EXPECT_EQ(SaveAsPath(c[0]), c[1]) << c[0];
}

}  // namespace
}  // namespace varnelo
