// Whole-book find against a naive reference: decode the whole book, search the decoded
// text, and map each hit back to bytes by encoding what comes before it.
#include "text/book_search.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace varnelo {
namespace {

std::u16string FoldAscii(std::u16string text) {
  for (char16_t& c : text) {
    if ((c >= u'A' && c <= u'Z') || (c >= u'Ａ' && c <= u'Ｚ')) c = static_cast<char16_t>(c + 32);
  }
  return text;
}

// Every match start (not overlapping, as the list has them), found in decoded text.
std::vector<std::size_t> Reference(const std::string& book, const BookQuery& query) {
  std::u16string text = DecodeBookBytes(book);
  std::u16string what = DecodeBookBytes(query.bytes);
  if (!query.matchCase) {
    text = FoldAscii(text);
    what = FoldAscii(what);
  }
  std::vector<std::size_t> starts;
  const std::u16string original = DecodeBookBytes(book);
  for (std::size_t at = text.find(what); !what.empty() && at != std::u16string::npos;
       at = text.find(what, at + what.size())) {
    starts.push_back(EncodeBookText(original.substr(0, at)).size());
  }
  return starts;
}

// Random GBK text: Han characters, characters whose second byte is an ASCII letter, ASCII
// words, line breaks and now and then a lone lead byte.
std::string RandomBook(std::mt19937& random, std::size_t characters) {
  std::string book;
  std::uniform_int_distribution<int> pick(0, 99);
  const char* const pieces[] = {"\xC1\xD6", "\xB3\xE5", "\xC1\xB3", "\x81\x41", "\x81\x61", "\xB5\xDA",
                                "a", "A", "b", "B", "\r\n", " ", "1", "\xA3\xC1", "\xA3\xE1", "z"};
  for (std::size_t i = 0; i < characters; ++i) {
    const int p = pick(random);
    if (p < 2) {
      book.push_back('\x81');  // a lead byte with nothing valid after it is one byte
    } else {
      book += pieces[static_cast<std::size_t>(p) % std::size(pieces)];
    }
  }
  return book;
}

TEST(BookSearch, MatchesTheDecodedReferenceOnRandomText) {
  std::mt19937 random(14);
  // Queries that straddle characters in the random text (C1 D6 B3 E5 holds D6 B3), a
  // character whose second byte is a letter, letters in either case, mixed.
  const std::vector<std::string> queries = {"\xC1\xD6", "\xD6\xB3", "\xB3\xE5\xC1", "\x41", "a", "aB",
                                            "\x81\x41", "\xC1\xD6\xB3\xE5", "A\xC1\xB3", "1\r\n",
                                            "Ab 1", "zA", "\xA3\xC1", "a\xA3\xE1" "B"};
  for (int round = 0; round < 40; ++round) {
    const std::string book = RandomBook(random, 300 + static_cast<std::size_t>(round) * 7);
    for (const std::string& q : queries) {
      for (bool matchCase : {true, false}) {
        const BookQuery query{q, matchCase};
        const std::vector<std::size_t> expected = Reference(book, query);
        const MatchList all = FindAllMatches(book, query);
        ASSERT_EQ(all.starts, expected) << "round " << round << " query " << q << " case " << matchCase;
        // Forward from every 13th byte reaches the first reference match at or after it,
        // and backward the last before it (none of these queries can overlap itself).
        for (std::size_t from = 0; from <= book.size(); from += 13) {
          const auto next = std::lower_bound(expected.begin(), expected.end(), from);
          EXPECT_EQ(FindForward(book, query, from), next == expected.end() ? kNoMatch : *next);
          const auto before = std::lower_bound(expected.begin(), expected.end(), from);
          EXPECT_EQ(FindBackward(book, query, from),
                    before == expected.begin() ? kNoMatch : *std::prev(before));
        }
      }
    }
  }
}

TEST(BookSearch, EdgesOfTheBookAndOfTheQuery) {
  const std::string book = "\xB5\xDA" "abc" "\xC1\xD6";  // 第abc林
  struct Case {
    std::string query;
    bool matchCase;
    std::size_t forward;  // from 0
  };
  const Case cases[] = {
      {"\xB5\xDA", true, 0},   // the first byte of the book
      {"\xC1\xD6", true, 5},   // the last bytes
      {"ABC", false, 2},       // case folds for letters of their own
      {"ABC", true, kNoMatch},
      {"\xDA" "a", true, kNoMatch},  // the second half of 第 with the next letter
      {"", true, kNoMatch},
      {"\xC1\xD6\xC1\xD6", true, kNoMatch},  // longer than what is left
  };
  for (const Case& c : cases) {
    const BookQuery query{c.query, c.matchCase};
    EXPECT_EQ(FindForward(book, query, 0), c.forward) << c.query;
    EXPECT_EQ(FindBackward(book, query, book.size()), c.forward) << c.query;
  }
  EXPECT_EQ(FindBackward(book, BookQuery{"\xB5\xDA", true}, 0), kNoMatch);
  EXPECT_EQ(FindForward(book, BookQuery{"\xB5\xDA", true}, 1), kNoMatch);
  // A letter that is the second byte of a double-byte character is never a match, in any case.
  EXPECT_EQ(FindForward("\x81\x41", BookQuery{"a", false}, 0), kNoMatch);
  EXPECT_EQ(FindForward("\x81\x41" "A", BookQuery{"a", false}, 0), 2u);
}

TEST(BookSearch, TheListStopsAtItsLimit) {
  std::string book;
  for (int i = 0; i < 12; ++i) book += "\xC1\xD6\xB3\xE5";
  const MatchList list = FindAllMatches(book, BookQuery{"\xB3\xE5", true}, 10);
  EXPECT_EQ(list.starts.size(), 10u);
  EXPECT_TRUE(list.capped);
  EXPECT_EQ(list.starts[9], 38u);
  const MatchList whole = FindAllMatches(book, BookQuery{"\xB3\xE5", true}, 12);
  EXPECT_FALSE(whole.capped);
  EXPECT_EQ(whole.starts.size(), 12u);
}

}  // namespace
}  // namespace varnelo
