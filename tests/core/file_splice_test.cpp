// Replace rules written into a book file: every byte no rule matched stays as it was, in
// GBK and in UTF-8, and the result reads as the page shows it cleaned.
#include "text/file_splice.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "text/display_text.h"
#include "text/page_write_back.h"
#include "text/utf8_text.h"

namespace varnelo {
namespace {

std::string Utf8(std::u16string_view text) { return Utf8OfUnits(text); }

// The file cleaned by `rules`, read in `encoding` as the reader reads it.
std::string Cleaned(const std::string& file, BookEncoding encoding, const std::vector<const TextMatcher*>& rules,
                    std::size_t* places = nullptr) {
  std::string text = file;
  DetectedEncoding detected{encoding, encoding == BookEncoding::Utf8 && file.starts_with("\xEF\xBB\xBF") ? 3u : 0u};
  const BookForm form = TranscodeBook(text, detected);
  const std::vector<TextSplice> splices = RuleSplices(text, rules, LineBreakOf(text, 0));
  if (places != nullptr) *places = splices.size();
  const EncodedEdit out = SpliceBook(file, form, text, splices);
  EXPECT_TRUE(out.file.has_value());
  return out.file.value_or(std::string());
}

TEST(FileSplice, OnlyMatchedBytesChangeInEveryEncoding) {
  const PlainMatcher tag(u"<br />", u"");
  const PlainMatcher ad(u"本章字数:4804", u"");
  const PlainMatcher space(u"&nbsp;", u" ");
  const PlainMatcher split(u"〖分〗", u"上\n下");
  const std::vector<const TextMatcher*> rules = {&tag, &ad, &space, &split};
  const struct {
    const char* what;
    BookEncoding encoding;
    std::string mark;
    std::string (*encode)(std::u16string_view);
    std::string raw;  // bytes no rule touches and no decoder would give back
  } books[] = {
      {"GBK", BookEncoding::Gbk, "", [](std::u16string_view t) { return EncodeBookText(t); }, "\xFF"},
      {"UTF-8", BookEncoding::Utf8, "\xEF\xBB\xBF", Utf8, "\xC3\x28"},
  };
  for (const auto& book : books) {
    const auto e = book.encode;
    // CR LF, a lone LF and a lone CR; an ad line that goes with its break; a character
    // outside the BMP beside a match.
    const std::string file = book.mark + e(u"甲<br />乙\r\n") + e(u"本章字数:4804\r\n") + e(u"丙&nbsp;丁𠀀<br />\n") +
                             book.raw + e(u"\r戊〖分〗己\r\n");
    const std::string expected = book.mark + e(u"甲乙\r\n") + e(u"丙 丁𠀀\n") + book.raw + e(u"\r戊上\r\n下己\r\n");
    std::size_t places = 0;
    EXPECT_EQ(Cleaned(file, book.encoding, rules, &places), expected) << book.what;
    EXPECT_EQ(places, 5u) << book.what;
    // Nothing matched: the very same bytes.
    EXPECT_EQ(Cleaned(book.mark + e(u"无事\r\n") + book.raw, book.encoding, rules), book.mark + e(u"无事\r\n") + book.raw)
        << book.what;
  }
}

// A large book: the file cleaned reads exactly as its text cleaned whole, wherever a match
// falls, across line breaks included.
TEST(FileSplice, ManyPiecesReadAsTheWholeTextCleaned) {
  const PlainMatcher ad(u"广告", u"");
  const PlainMatcher swap(u"甲乙", u"乙丙丁");
  const PlainMatcher across(u"。\n乙丙丁，第", u"。乙丙丁第");  // joins two lines
  const std::vector<const TextMatcher*> rules = {&ad, &swap, &across};
  std::u16string text;
  for (int i = 0; text.size() < 400000; ++i) {
    text += (i % 7 == 0) ? u"广告\r\n" : u"甲乙，第" + std::u16string(static_cast<std::size_t>(i % 50), u'字') + u"广告。\r\n";
  }
  for (BookEncoding encoding : {BookEncoding::Gbk, BookEncoding::Utf8}) {
    const std::string file = encoding == BookEncoding::Gbk ? EncodeBookText(text) : Utf8(text);
    std::string read = Cleaned(file, encoding, rules);
    if (encoding == BookEncoding::Utf8) TranscodeBook(read, {BookEncoding::Utf8, 0});
    DisplayOptions options;
    options.rules = rules;
    std::u16string whole = ShowPageText(EncodeBookText(text), options).text;
    std::u16string expected;
    for (char16_t c : whole) c == u'\n' ? expected += u"\r\n" : expected += c;
    EXPECT_TRUE(DecodeBookBytes(read) == expected) << static_cast<int>(encoding);
  }
}

TEST(FileSplice, SplicesOutOfOrderOrInsideACharacterWriteNothing) {
  const std::string text = EncodeBookText(u"甲乙丙");
  const BookForm gbk;
  EXPECT_FALSE(SpliceBook(text, gbk, text, {{4, 6, ""}, {0, 2, ""}}).file);
  EXPECT_FALSE(SpliceBook(text, gbk, text, {{2, 9, ""}}).file);
  std::string utf8 = Utf8(u"甲乙丙");
  const std::string file = utf8;
  const BookForm form = TranscodeBook(utf8, {BookEncoding::Utf8, 0});
  EXPECT_FALSE(SpliceBook(file, form, utf8, {{1, 2, ""}}).file) << "inside 甲";
  EXPECT_EQ(SpliceBook(file, form, utf8, {{2, 4, EncodeBookText(u"丁")}}).file, Utf8(u"甲丁丙"));
}

}  // namespace
}  // namespace varnelo
