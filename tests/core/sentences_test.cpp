#include "text/sentences.h"

#include <gtest/gtest.h>

#include <string>

namespace varnelo {
namespace {

std::u16string Piece(std::u16string_view text, const Sentence& s) {
  return std::u16string(text.substr(static_cast<std::size_t>(s.begin),
                                    static_cast<std::size_t>(s.end - s.begin)));
}

std::vector<std::u16string> Pieces(std::u16string_view text, int longest = kLongestSentence) {
  std::vector<std::u16string> out;
  for (const Sentence& s : SplitSentences(text, longest)) out.push_back(Piece(text, s));
  return out;
}

TEST(Sentences, CutAtMarksAndLineEnds) {
  const struct {
    const char* name;
    std::u16string text;
    std::vector<std::u16string> want;
  } cases[] = {
      {"marks", u"天黑了。他走了！你呢？", {u"天黑了。", u"他走了！", u"你呢？"}},
      {"semicolon and ellipsis", u"一；二……三", {u"一；", u"二……", u"三"}},
      {"closing quote stays", u"他说：“走吧。”她笑了。", {u"他说：“走吧。”", u"她笑了。"}},
      {"marks run together", u"什么？！真的", {u"什么？！", u"真的"}},
      {"line ends, CR LF and indent", u"　　第一章 山居\r\n\r\n　　春天来了", {u"第一章 山居", u"春天来了"}},
      {"blank and space-only lines", u"\n \n　　\n甲\n\n", {u"甲"}},
      {"nothing", u"", {}},
      {"signs only say nothing", u"……\n——\n甲。", {u"甲。"}},
      {"paragraph separator", u"甲\u2029乙", {u"甲", u"乙"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Pieces(c.text), c.want) << c.name;
}

TEST(Sentences, OffsetsPointIntoTheText) {
  const std::u16string text = u"　　春天来了。\n　　花开了";
  const auto sentences = SplitSentences(text);
  ASSERT_EQ(sentences.size(), 2u);
  EXPECT_EQ(sentences[0].begin, 2);
  EXPECT_EQ(sentences[0].end, 7);
  EXPECT_EQ(sentences[1].begin, 10);
  EXPECT_EQ(sentences[1].end, 13);
  // Positions map to the sentence holding them; spaces between go to the next one.
  const struct { int position; std::size_t index; } at[] = {{0, 0}, {6, 0}, {7, 1}, {12, 1}, {13, 2}};
  for (const auto& a : at) EXPECT_EQ(SentenceAt(sentences, a.position), a.index) << a.position;
}

TEST(Sentences, LongRunsCutAtAPauseOrLengthNeverInsideACharacter) {
  // A pause in the second half of the allowance takes the cut.
  EXPECT_EQ(Pieces(u"一二三四五六，七八九十", 8), (std::vector<std::u16string>{u"一二三四五六，", u"七八九十"}));
  // No pause: cut at the length, every piece within it, nothing lost.
  const std::u16string plain(250, u'字');
  std::u16string joined;
  for (const auto& piece : Pieces(plain, 100)) {
    EXPECT_LE(piece.size(), 100u);
    joined += piece;
  }
  EXPECT_EQ(joined, plain);
  // A character outside the BMP straddling the length is not split.
  std::u16string pairs;
  for (int i = 0; i < 9; ++i) pairs += u"\U00020000";
  for (int longest : {3, 5, 7}) {
    for (const Sentence& s : SplitSentences(pairs, longest)) {
      EXPECT_FALSE(pairs[static_cast<std::size_t>(s.begin)] >= 0xDC00 &&
                   pairs[static_cast<std::size_t>(s.begin)] <= 0xDFFF)
          << longest;
      EXPECT_LE(s.end - s.begin, longest);
    }
  }
}

}  // namespace
}  // namespace varnelo
