// The page's display pipeline: rules, re-flow and indent, and the map from shown units back
// to the page's bytes.
#include "text/display_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "platform/codepage.h"
#include "text/book_engine.h"
#include "text/page_write_back.h"

namespace varnelo {
namespace {

std::string Gb(std::u16string_view text) { return EncodeBookText(text); }

std::u16string Shown(std::u16string_view source, const DisplayOptions& options) {
  return ShowPageText(Gb(source), options).text;
}

// Every shown unit maps to the start of a character of the page, never going back.
void ExpectSoundMap(const std::string& bytes, const DisplayText& shown, const std::string& what) {
  std::vector<std::size_t> starts;
  PaneUnits(bytes, &starts);
  const std::set<std::size_t> characterStarts(starts.begin(), starts.end());
  ASSERT_EQ(shown.offsets.size(), shown.text.size() + 1) << what;
  EXPECT_EQ(shown.offsets.back(), bytes.size()) << what;
  for (std::size_t i = 0; i < shown.offsets.size(); ++i) {
    ASSERT_TRUE(characterStarts.count(shown.offsets[i])) << what << " unit " << i;
    if (i > 0) {
      ASSERT_LE(shown.offsets[i - 1], shown.offsets[i]) << what << " unit " << i;
    }
  }
}

TEST(DisplayText, ReflowJoinsWrappedLinesAndKeepsTrueBreaks) {
  const WrapEvidence wrapped{true, 20, true};   // ten characters a line, indented book
  const WrapEvidence bare{true, 20, false};     // the same without indents
  const WrapEvidence none{};
  const struct {
    const char* what;
    WrapEvidence evidence;
    ReflowMode mode;
    std::u16string in, out;
  } cases[] = {
      {"full lines join", wrapped, ReflowMode::Auto, u"　　一二三四五六七八\n九十一二三四五六七八\n九十。",
       u"　　一二三四五六七八九十一二三四五六七八九十。"},
      {"an indented line starts a paragraph", wrapped, ReflowMode::Auto,
       u"　　一二三四五六七八\n　　九十一二三四五六", u"　　一二三四五六七八\n　　九十一二三四五六"},
      {"a short line ends one", wrapped, ReflowMode::Auto, u"一二三。\n四五六七八九十一二三",
       u"一二三。\n四五六七八九十一二三"},
      {"headings stay lines", wrapped, ReflowMode::Auto,
       u"第十二回 一二三四五六\n七八九十一二三四五六", u"第十二回 一二三四五六\n七八九十一二三四五六"},
      {"blank lines stay", wrapped, ReflowMode::Auto, u"一二三四五六七八九十\n\n一二三四五六七八九十",
       u"一二三四五六七八九十\n\n一二三四五六七八九十"},
      {"trailing blanks go at a join", wrapped, ReflowMode::Auto, u"一二三四五六七八九十  \n一二",
       u"一二三四五六七八九十一二"},
      {"Latin words keep a space", wrapped, ReflowMode::Auto, u"一二三四五六七八九 ab\ncd",
       u"一二三四五六七八九 ab cd"},
      {"no indents: a sentence then a quote breaks", bare, ReflowMode::Auto,
       u"一二三四五六七八九。\n“十一二三四五六七八”", u"一二三四五六七八九。\n“十一二三四五六七八”"},
      {"indents: the same joins", wrapped, ReflowMode::Auto, u"一二三四五六七八九。\n“十一”",
       u"一二三四五六七八九。“十一”"},
      {"Auto leaves an unwrapped book", none, ReflowMode::Auto, u"一二三\n四五六", u"一二三\n四五六"},
      {"Off leaves a wrapped one", wrapped, ReflowMode::Off, u"一二三四五六七八九十\n四五六",
       u"一二三四五六七八九十\n四五六"},
      {"On without evidence joins until a sentence ends", none, ReflowMode::On,
       u"一二三\n四五六。\n七八\n“九十”", u"一二三四五六。\n七八\n“九十”"},
  };
  for (const auto& c : cases) {
    DisplayOptions options;
    options.reflow = c.mode;
    options.evidence = c.evidence;
    EXPECT_EQ(Shown(c.in, options), c.out) << c.what;
  }
}

TEST(DisplayText, IndentIsMadeUniformAndHeadingsTakeNone) {
  const struct {
    IndentMode mode;
    std::u16string in, out;
  } cases[] = {
      {IndentMode::TwoSpaces, u"    甲\n\t乙\n　丙\n丁", u"　　甲\n　　乙\n　　丙\n　　丁"},
      {IndentMode::TwoSpaces, u"  第三回 风雪\n 　\n正文", u"第三回 风雪\n 　\n　　正文"},
      {IndentMode::None, u"　　甲\n    乙", u"甲\n乙"},
      {IndentMode::Keep, u"    甲", u"    甲"},
  };
  for (const auto& c : cases) {
    DisplayOptions options;
    options.indent = c.mode;
    EXPECT_EQ(Shown(c.in, options), c.out) << static_cast<int>(c.mode);
  }
}

TEST(DisplayText, RulesReplaceAndLinesTheyEmptyGo) {
  const PlainMatcher ad(u"本章未完，请点击下一页继续阅读", u"");
  const PlainMatcher name(u"张三", u"李四五");
  const struct {
    const char* what;
    std::u16string in, out;
  } cases[] = {
      {"an ad line goes with its break", u"甲\n本章未完，请点击下一页继续阅读\n乙", u"甲\n乙"},
      {"an ad inside a line", u"甲本章未完，请点击下一页继续阅读乙", u"甲乙"},
      {"the last line an ad", u"甲\n本章未完，请点击下一页继续阅读", u"甲"},
      {"blank lines of the book stay", u"甲\n\n乙", u"甲\n\n乙"},
      {"a longer replacement", u"张三说：张三。", u"李四五说：李四五。"},
  };
  for (const auto& c : cases) {
    DisplayOptions options;
    options.rules = {&ad, &name};
    const std::string bytes = Gb(c.in);
    const DisplayText shown = ShowPageText(bytes, options);
    EXPECT_EQ(shown.text, c.out) << c.what;
    ExpectSoundMap(bytes, shown, c.what);
  }
}

TEST(DisplayText, HeadingLines) {
  const struct {
    std::u16string line;
    bool heading;
  } cases[] = {
      {u"第一回 宴桃园豪杰三结义", true}, {u"    正文 第一百二十回 降孙皓", true},
      {u"第01回", true},                   {u"楔子 张天师祈禳瘟疫", true},
      {u"第一", false},                    {u"第二天他又来了，说了很多很多话，一直说到天黑也没有停下来的意思呢", false},
      {u"次第回来", false},                {u"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsHeadingLine(c.line), c.heading) << EncodeBookText(c.line);
  }
}

// Random pages of every kind of character and break, under every option: the map stays
// a never-decreasing map onto character starts, and the offset lookup inverts it.
TEST(DisplayText, MapLandsOnCharacterStartsInOrder) {
  std::mt19937 random(23);
  const std::vector<std::string> pieces = {
      "\xB0\xA1", "\xA1\xA3", "\xA1\xA1", " ", "  ", "a", "\r\n", "\n", "\r", "\t",
      "\x81\x30\x81\x30",      // a four-byte character
      "\x95\x32\x82\x36",      // beyond the BMP: two units
      "\xB5\xDA\xD2\xBB\xBB\xD8",  // 第一回
      "<br />", "&nbsp;", "\xA1\xB0"};
  const PlainMatcher tag(u"<br />", u"");
  const PlainMatcher space(u"&nbsp;", u"  ");
  for (int round = 0; round < 400; ++round) {
    std::string bytes;
    const int length = static_cast<int>(random() % 60);
    for (int i = 0; i < length; ++i) bytes += pieces[random() % pieces.size()];
    DisplayOptions options;
    if (random() % 2) options.rules = {&tag, &space};
    options.reflow = static_cast<ReflowMode>(random() % 3);
    options.indent = static_cast<IndentMode>(random() % 3);
    options.evidence = {random() % 2 == 0, 4 + random() % 20, random() % 2 == 0};
    const DisplayText shown = ShowPageText(bytes, options);
    const std::string what = "round " + std::to_string(round);
    ExpectSoundMap(bytes, shown, what);
    for (std::size_t i = 0; i < shown.text.size(); ++i) {
      const long unit = UnitOfOffset(shown, shown.offsets[i]);
      ASSERT_GE(unit, 0) << what;
      ASSERT_EQ(shown.offsets[static_cast<std::size_t>(unit)], shown.offsets[i]) << what;
      ASSERT_LE(unit, static_cast<long>(i)) << what;
    }
  }
}

std::string ReadCorpus(const char* name) {
  std::ifstream in(std::string(VARNELO_CORPUS_DIR) + "/" + name, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The book's paragraphs: its lines with text, without their blanks.
std::vector<std::u16string> Paragraphs(std::u16string_view text) {
  std::vector<std::u16string> out;
  std::size_t from = 0;
  while (from <= text.size()) {
    const std::size_t stop = std::min(text.find(u'\n', from), text.size());
    std::u16string line(text.substr(from, stop - from));
    while (!line.empty() && (line.front() == u' ' || line.front() == 0x3000 || line.front() == u'\t'))
      line.erase(0, 1);
    while (!line.empty() && (line.back() == u' ' || line.back() == 0x3000 || line.back() == u'\r'))
      line.pop_back();
    if (!line.empty()) out.push_back(line);
    from = stop + 1;
  }
  return out;
}

// A real novel hard-wrapped at 40 characters with full-width indents, as old downloads
// are: re-flow gives back its paragraphs, and the untouched book is not taken as wrapped.
TEST(DisplayText, ReflowGivesBackTheParagraphsOfAWrappedNovel) {
  for (const char* name : {"水浒传.txt", "三国演义.txt"}) {
    std::string book = ReadCorpus(name);
    ASSERT_FALSE(book.empty()) << name;
    NormaliseBlankLines(book);
    EXPECT_FALSE(MeasureWrap(book).hardWrapped) << name;
    const std::vector<std::u16string> original = Paragraphs(DecodeBookBytes(book.substr(0, 200000)));
    std::u16string wrapped;
    for (const std::u16string& paragraph : original) {
      std::u16string line = u"　　";
      for (char16_t c : paragraph) {
        if (line.size() == 40) {
          wrapped += line + u"\r\n";
          line.clear();
        }
        line.push_back(c);
      }
      wrapped += line + u"\r\n";
    }
    std::string bytes = EncodeBookText(wrapped);
    NormaliseBlankLines(bytes);
    const WrapEvidence evidence = MeasureWrap(bytes);
    EXPECT_TRUE(evidence.hardWrapped) << name;
    EXPECT_EQ(evidence.width, 80u) << name;
    // Lines are lines whichever break ends them.
    for (const char* brk : {"\n", "\r"}) {
      std::string other;
      for (std::size_t at = 0, next; at < bytes.size(); at = next + 2) {
        next = std::min(bytes.find("\r\n", at), bytes.size());
        other += bytes.substr(at, next - at);
        if (next < bytes.size()) other += brk;
      }
      const WrapEvidence same = MeasureWrap(other);
      EXPECT_TRUE(same.hardWrapped == evidence.hardWrapped && same.width == evidence.width) << name << (brk[0] == '\n' ? " LF" : " CR");
    }
    DisplayOptions options;
    options.reflow = ReflowMode::Auto;
    options.evidence = evidence;
    const DisplayText shown = ShowPageText(bytes, options);
    const std::vector<std::u16string> back = Paragraphs(shown.text);
    // Poems set as short lines are kept as lines: all but a few paragraphs come back whole.
    const std::set<std::u16string> shownParagraphs(back.begin(), back.end());
    std::size_t same = 0;
    for (const std::u16string& paragraph : original) same += shownParagraphs.count(paragraph);
    EXPECT_GE(same * 100, original.size() * 98) << name << ": " << same << " of " << original.size();
    EXPECT_LE(back.size(), original.size() * 102 / 100) << name;
  }
}

}  // namespace
}  // namespace varnelo
