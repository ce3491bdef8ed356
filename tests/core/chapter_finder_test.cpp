// The automatic chapter rule on books made here in many heading styles and with the traps
// real downloads hold, on the corpus novels, and on random books.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "text/book_engine.h"
#include "text/chapter_finder.h"
#include "tests/core/recode.h"

using namespace varnelo;

namespace {

std::string Gb(const std::string& utf8) { return varnelo::testing::Recode(utf8, "UTF-8", "GB18030").bytes; }

std::string Utf8(std::string_view gb) { return varnelo::testing::Recode(gb, "GB18030", "UTF-8").bytes; }

const char* const kSentences[] = {
    "山风吹过竹林，沙沙作响，远处传来几声犬吠。",
    "他推开柴门，院子里积了一层薄雪，脚印一路通到井边。",
    "“明日一早便走，”老人放下茶碗，“莫要误了渡船。”",
    "街上的灯笼一盏盏亮起来，卖馄饨的担子冒着热气。",
    "她把信折好，压在砚台底下，又怔怔地看了半晌。",
    "众人听了，都不言语，只有檐下的风铃叮当作响。",
    "这一年雨水多，河水涨到了石桥的第三级台阶。",
    "先生说过，读书要读到字缝里去，方才算得明白。",
};

// Paragraphs of running text, indented with full-width spaces, each on its own line.
std::string Body(std::mt19937& rng, int paragraphs, const std::string& eol) {
  std::string out;
  for (int p = 0; p < paragraphs; ++p) {
    out += "　　";
    const int sentences = 2 + static_cast<int>(rng() % 4);
    for (int s = 0; s < sentences; ++s) out += kSentences[rng() % std::size(kSentences)];
    out += eol;
  }
  return out;
}

std::string ChineseNumber(int n) {
  static const char* const kDigits[] = {"零", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
  if (n < 10) return kDigits[n];
  if (n < 20) return std::string("十") + (n % 10 ? kDigits[n % 10] : "");
  if (n < 100) return std::string(kDigits[n / 10]) + "十" + (n % 10 ? kDigits[n % 10] : "");
  std::string out = std::string(kDigits[n / 100]) + "百";
  if (n % 100 == 0) return out;
  if (n % 100 < 10) return out + "零" + kDigits[n % 10];
  return out + kDigits[(n % 100) / 10] + "十" + (n % 10 ? kDigits[n % 10] : "");
}

// A heading line of the book and what the table should show for it.
struct Heading {
  std::string line;   // as written, indentation included
  std::string title;  // the title the table gives
  int level;
};

struct Found {
  std::string title;
  int level;
  bool operator==(const Found&) const = default;
};
void PrintTo(const Found& f, std::ostream* os) { *os << f.title << "@" << f.level; }

std::vector<Found> Want(const std::vector<Heading>& headings) {
  std::vector<Found> out;
  for (const Heading& h : headings)
    if (!h.title.empty()) out.push_back({h.title, h.level});
  return out;
}

// Whether `start` is the first text of its line: the line's start with its spaces and
// full-width spaces stepped over.
bool AtLineText(const std::string& text, std::size_t start) {
  const std::size_t nl = start == 0 ? std::string::npos : text.rfind('\n', start - 1);
  std::size_t i = nl == std::string::npos ? 0 : nl + 1;
  for (;;) {
    if (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
      ++i;
    } else if (text.compare(i, 2, "\xA1\xA1") == 0) {
      i += 2;
    } else {
      break;
    }
  }
  return i == start;
}

// The headings found, with each start checked against its line.
std::vector<Found> FoundIn(const std::string& text, std::string& fault) {
  std::vector<Found> out;
  const Pagination pages = PaginateByFoundChapters(text);
  for (int k = 1; k <= pages.pageCount; ++k) {
    if (!AtLineText(text, static_cast<std::size_t>(pages.PageStart(k))))
      fault += "chapter " + std::to_string(k) + " not at a line start; ";
    out.push_back({Utf8(pages.TitleOf(text, k)), pages.LevelOf(k)});
  }
  return out;
}

// A book: a banner, then each heading followed by a few paragraphs (none after a line
// whose title is empty: those are the traps, running text in the book).
std::string MakeBook(const std::vector<Heading>& headings, const std::string& eol, unsigned seed,
                     const std::string& front = "天涯书库\n\n") {
  std::mt19937 rng(seed);
  std::string out = front;
  for (const Heading& h : headings) {
    out += h.line + eol;
    if (!h.title.empty()) out += eol + Body(rng, 6 + static_cast<int>(rng() % 6), eol);
  }
  return Gb(out);
}

std::vector<Heading> Numbered(int count, const std::function<Heading(int)>& make) {
  std::vector<Heading> out;
  for (int n = 1; n <= count; ++n) out.push_back(make(n));
  return out;
}

const char* const kNames[] = {"风起青萍", "夜雨孤灯", "古道西风", "寒江独钓", "月落乌啼", "长亭送别"};
std::string Name(int n) { return kNames[n % std::size(kNames)]; }

TEST(ChapterFinder, FindsEachHeadingStyle) {
  struct Case {
    const char* what;
    std::vector<Heading> headings;
    const char* eol = "\n";
  };
  std::vector<Case> cases;
  cases.push_back({"第N章 with Chinese numerals", Numbered(30, [](int n) {
                     const std::string t = "第" + ChineseNumber(n) + "章 " + Name(n);
                     return Heading{t, t, 0};
                   })});
  cases.push_back({"a prefix before 第N回, indented, CR LF", Numbered(25, [](int n) {
                     const std::string t = "第" + ChineseNumber(n) + "回 " + Name(n) + " " + Name(n + 1);
                     return Heading{"    正文 " + t, t, 0};
                   }), "\r\n"});
  {
    std::vector<Heading> h{{" 楔子 张天师祈禳瘟疫", "楔子 张天师祈禳瘟疫", 0}};
    for (int n = 1; n <= 24; ++n) {
      const std::string t = "第" + std::string(n < 10 ? "0" : "") + std::to_string(n) + "回 " + Name(n);
      h.push_back({" " + t, t, 0});
    }
    cases.push_back({"zero-padded 第01回 after a 楔子", h});
  }
  {
    std::vector<Heading> h{{"序", "序", 0}};
    for (int n = 1; n <= 12; ++n) h.push_back({"第" + ChineseNumber(n) + "章", "第" + ChineseNumber(n) + "章", 0});
    h.push_back({"附录", "附录", 0});
    h.push_back({"后记", "后记", 0});
    cases.push_back({"bare 第N章 between 序 and 附录", h});
  }
  cases.push_back({"title and a number", Numbered(15, [](int n) {
                     const std::string t = "山居笔记" + std::to_string(n);
                     return Heading{t, t, 0};
                   })});
  cases.push_back({"title and a number in brackets", Numbered(12, [](int n) {
                     const std::string t = "某某自传（" + ChineseNumber(n) + "）";
                     return Heading{t, t, 0};
                   })});
  cases.push_back({"一、 lines", Numbered(14, [](int n) {
                     const std::string t = ChineseNumber(n) + "、" + Name(n);
                     return Heading{t, t, 0};
                   })});
  cases.push_back({"Chapter N", Numbered(10, [](int n) {
                     const std::string t = "Chapter " + std::to_string(n) + " " + Name(n);
                     return Heading{t, t, 0};
                   })});
  cases.push_back({"(N) lines", Numbered(10, [](int n) {
                     const std::string t = "(" + std::to_string(n) + ")";
                     return Heading{t, t, 0};
                   })});
  cases.push_back({"full-width and spaced Arabic numerals", Numbered(12, [](int n) {
                     std::string wide;
                     for (char c : std::to_string(n)) wide += std::string("０１２３４５６７８９").substr(3 * static_cast<std::size_t>(c - '0'), 3);
                     const std::string t = (n % 2 ? "第" + wide + "章"
                                                  : "第 " + std::to_string(n) + " 章") + " " + Name(n);
                     return Heading{t, t, 0};
                   })});
  {
    std::vector<Heading> h;
    int chapter = 0;
    for (int v = 1; v <= 3; ++v) {
      h.push_back({"第" + ChineseNumber(v) + "卷 " + Name(v), "第" + ChineseNumber(v) + "卷 " + Name(v), 0});
      for (int c = 1; c <= 5; ++c) {
        const std::string t = "第" + ChineseNumber(v == 2 ? c : ++chapter) + "章 " + Name(c);
        h.push_back({"　　" + t, t, 1});
      }
    }
    cases.push_back({"卷 over 章, numbers running on and restarting", h});
  }
  {
    std::vector<Heading> h;
    for (int part = 1; part <= 3; ++part) {
      h.push_back({"第" + ChineseNumber(part) + "部", "第" + ChineseNumber(part) + "部", 0});
      for (int c = 0; c < 4; ++c) h.push_back({Name(part + c) + "之" + ChineseNumber(part), Name(part + c) + "之" + ChineseNumber(part), 1});
    }
    cases.push_back({"unnumbered titles under 第N部", h});
  }
  {
    std::vector<Heading> h;
    for (int n = 1; n <= 12; ++n) {
      const std::string t = "第" + ChineseNumber(n) + "回　" + Name(n) + "　" + Name(n + 2);
      h.push_back({t + "　　" + kSentences[n % 8] + kSentences[(n + 1) % 8] + kSentences[(n + 3) % 8], t, 0});
    }
    cases.push_back({"a heading running on into its text", h});
  }
  {
    std::vector<Heading> h;
    for (int n = 1; n <= 10; ++n) {
      const std::string t = "第" + ChineseNumber(n) + "章 " + Name(n);
      h.push_back({"第一卷 " + t, "第一卷 " + t, 0});
    }
    h.push_back({"番外一 " + Name(1), "番外一 " + Name(1), 0});
    h.push_back({"尾声", "尾声", 0});
    cases.push_back({"卷 and 章 on one line, then 番外 and 尾声", h});
  }
  for (const Case& c : cases) {
    const std::string text = MakeBook(c.headings, c.eol, 7);
    std::string fault;
    EXPECT_EQ(FoundIn(text, fault), Want(c.headings)) << c.what;
    EXPECT_EQ(fault, "") << c.what;
  }
}

TEST(ChapterFinder, RejectsWhatIsNotATableOfContents) {
  struct Case {
    const char* what;
    std::string utf8;                 // the book as written
    std::vector<std::string> titles;  // the headings it holds
  };
  std::vector<Case> cases;
  std::mt19937 rng(11);
  {
    // Hard-wrapped at 24 characters: lines end in "第一" and begin with "章程" or "回家".
    std::string book = "山居小记\n\n";
    std::vector<std::string> titles;
    for (int n = 1; n <= 8; ++n) {
      titles.push_back("第" + ChineseNumber(n) + "章 " + Name(n));
      book += titles.back() + "\n\n";
      for (int l = 0; l < 20; ++l) {
        if (l == 5) book += "　　他在县里考了个第一\n章程里写明了赏银多少，众人都来道喜，\n";
        if (l == 9) book += "第二天一早他便动身，背着包袱出了城门。\n";
        if (l == 12) book += "那年他头一回进城，人人都说他是第\n" + ChineseNumber(n + 3) + "回来的秀才，\n";
        book += std::string(kSentences[(l + n) % 8]) + "\n";
      }
    }
    cases.push_back({"a hard-wrapped book", book, titles});
  }
  {
    std::string book = "目录\n";
    std::vector<std::string> titles;
    for (int n = 1; n <= 10; ++n) book += "第" + ChineseNumber(n) + "章 " + Name(n) + "\n";
    book += "\n";
    for (int n = 1; n <= 10; ++n) {
      titles.push_back("第" + ChineseNumber(n) + "章 " + Name(n));
      book += titles.back() + "\n" + Body(rng, 8, "\n");
    }
    cases.push_back({"a block of contents at the top", book, titles});
  }
  {
    std::string book;
    std::vector<std::string> titles;
    for (int n = 1; n <= 9; ++n) {
      titles.push_back(ChineseNumber(n) + "、" + Name(n));
      book += titles.back() + "\n" + Body(rng, 4, "\n");
      for (int i = 1; i <= 3; ++i) book += std::to_string(i) + ". " + kSentences[i] + "\n";
      book += Body(rng, 4, "\n");
    }
    cases.push_back({"numbered lists inside 一、 chapters", book, titles});
  }
  {
    std::string book;
    std::vector<std::string> titles;
    for (int n = 1; n <= 9; ++n) {
      titles.push_back("第" + ChineseNumber(n) + "回 " + Name(n));
      book += titles.back() + "\n" + Body(rng, 5, "\n");
      book += "第三回合，他终于败下阵来。\n第" + ChineseNumber(n + 5) + "回交手时，两人都已力竭。\n";
      book += Body(rng, 5, "\n");
    }
    cases.push_back({"mentions of 第N回 in running text", book, titles});
  }
  {
    std::string book;
    std::vector<std::string> titles;
    for (int n = 1; n <= 6; ++n) {
      titles.push_back("第" + ChineseNumber(n) + "章 " + Name(n));
      book += titles.back() + "\n" + Body(rng, 3, "\n") + titles.back() + "\n" + Body(rng, 6, "\n");
    }
    cases.push_back({"a heading printed twice", book, titles});
  }
  {
    std::string book = Body(rng, 40, "\n") + "“好。”\n序\n" + Body(rng, 10, "\n") + "1. 早起\n2. 读书\n3. 睡觉\n";
    book += "后记\n" + Body(rng, 30, "\n");
    cases.push_back({"a book with no chapters", book, {}});
  }
  for (const Case& c : cases) {
    const std::string text = Gb(c.utf8);
    std::string fault;
    std::vector<std::string> titles;
    for (const Found& f : FoundIn(text, fault)) titles.push_back(f.title);
    EXPECT_EQ(titles, c.titles) << c.what;
    EXPECT_EQ(fault, "") << c.what;
  }
}

std::string CorpusBook(const char* name) {
  std::ifstream in(std::filesystem::path(VARNELO_CORPUS_DIR) / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ChapterFinder, CorpusNovels) {
  {
    std::string text = CorpusBook("三国演义.txt");
    NormaliseBlankLines(text);
    const Pagination p = Paginate(text, kChapterPaging, kAutoChapterRule);
    ASSERT_EQ(p.pageCount, 120);
    // The page starts at the line's text, the title after "正文 ".
    EXPECT_EQ(Utf8(text.substr(static_cast<std::size_t>(p.PageStart(1)), 4)), "正文");
    EXPECT_EQ(Utf8(p.TitleOf(text, 1)), "第一回 宴桃园豪杰三结义 斩黄巾英雄首立功");
    EXPECT_EQ(Utf8(p.TitleOf(text, 120)).substr(0, 18), "第一百二十回");
  }
  {
    std::string text = CorpusBook("水浒传.txt");
    NormaliseBlankLines(text);
    const Pagination p = Paginate(text, kChapterPaging, kAutoChapterRule);
    ASSERT_EQ(p.pageCount, 121);
    EXPECT_EQ(Utf8(p.TitleOf(text, 1)), "楔子 张天师祈禳瘟疫 洪太尉误走妖魔");
    EXPECT_EQ(Utf8(p.TitleOf(text, 2)).substr(0, 8), "第01回");
    EXPECT_EQ(Utf8(p.TitleOf(text, 121)).substr(0, 9), "第120回");
    // The headings rule 3 finds at a line's start, the 楔子 before them; rule 3 also takes
    // a hard-wrapped line's "第一" that the next line's "件，径回" completes.
    const Pagination byHui = Paginate(text, kChapterPaging, 3);
    std::vector<std::int64_t> atLines{p.PageStart(1)};
    for (int k = 1; k <= byHui.pageCount; ++k)
      if (AtLineText(text, static_cast<std::size_t>(byHui.PageStart(k)))) atLines.push_back(byHui.PageStart(k));
    EXPECT_EQ(byHui.pageCount, 121);
    EXPECT_EQ(std::vector<std::int64_t>(p.starts.begin() + 1, p.starts.end()), atLines);
  }
}

// Random books of headings, prose, mentions and junk bytes: every start is a line's first
// text, the starts rise, and every title lies inside its heading's line.
TEST(ChapterFinder, RandomBooksStartAtLinesInOrder) {
  const char* const kPieces[] = {"第一章 风", "第2回", "第十卷", "楔子", "序", "一、风", "1. 风", "(3)",
                                 "Chapter 4", "某书5", "　　", "  ", "\r\n", "\n", "\r", "\xB5",
                                 "\xDA", "\x81\x30", "正文 第三回", "山风吹过竹林，", "。", "第"};
  std::mt19937 rng(5);
  int paged = 0;  // books with chapters: the property is about them
  for (int round = 0; round < 300; ++round) {
    const int pieces = 1 + static_cast<int>(rng() % 400);
    std::string raw;
    for (int i = 0; i < pieces; ++i) {
      const std::string piece = kPieces[rng() % std::size(kPieces)];
      raw += piece[0] & 0x80 && piece.size() <= 2 ? piece : Gb(piece);
      if (rng() % 3 == 0) raw += "\n";
    }
    const Pagination p = PaginateByFoundChapters(raw);
    if (p.pageCount >= 2) ++paged;
    std::int64_t previous = -1;
    for (int k = 1; k <= p.pageCount; ++k) {
      const std::int64_t s = p.PageStart(k);
      ASSERT_GT(s, previous) << round;
      ASSERT_TRUE(AtLineText(raw, static_cast<std::size_t>(s))) << round << " chapter " << k;
      const std::string_view title = p.TitleOf(raw, k);
      ASSERT_LE(title.size(), kMaxTitleBytes);
      ASSERT_EQ(title.find('\n'), std::string_view::npos) << round;
      previous = s;
    }
  }
  EXPECT_GT(paged, 100);
}

}  // namespace
