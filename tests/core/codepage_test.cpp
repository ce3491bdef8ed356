#include "platform/codepage.h"

#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace varnelo {
namespace {

std::string Hex(std::string_view bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  for (unsigned char b : bytes) {
    s += digits[b >> 4];
    s += digits[b & 15];
    s += ' ';
  }
  return s;
}

std::string ReadCorpus(const char* name) {
  std::ifstream in(std::string(VARNELO_CORPUS_DIR) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ExpectRoundTrip(std::string_view bytes) {
  const std::string back = EncodeBookText(DecodeBookBytes(bytes));
  ASSERT_EQ(back, bytes) << Hex(bytes.substr(0, 64));
}

TEST(Codepage, DecodesKnownBytes) {
  struct Case {
    std::string_view bytes;
    std::u16string_view text;
  } const cases[] = {
      {"", u""},
      {"abc", u"abc"},
      {"\xB5\xDA\xD2\xBB\xD5\xC2", u"\u7B2C\u4E00\u7AE0"},  // 第一章
      {"\x80", u"\xDC80"},
      {"\xFF", u"\xDCFF"},
      {"a\x80" "b\xFF", u"a\xDC80" u"b\xDCFF"},
      {"\xB5", u"\xDCB5"},                                 // lead byte at the end
      {"\xB5\xDA\xB5", u"\u7B2C\xDCB5"},
      {"\xB5\x7F", u"\xDCB5\x7F"},                         // trail out of range
      {"\xB5\xFF" "a", u"\xDCB5\xDCFF" u"a"},
      {"\x81\x30\x81", u"\xDC81" u"0\xDC81"},              // four-byte form cut short
      {"\x81\x30\x81\x30", u"\u0080"},
      {"\x84\x31\x95\x33", u"\uFEFF"},                     // not eaten as a byte order mark
      {"\x90\x30\x81\x30", u"\U00010000"},
      {"\xAA\xA1", u"\uE000"},                             // user-defined area
      {"\r\n\xB5\xDA\r\n", u"\r\n\u7B2C\r\n"},
      {std::string_view("a\0\xB5\xDA\0", 5), std::u16string_view(u"a\0\u7B2C\0", 4)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeBookBytes(c.bytes), c.text) << Hex(c.bytes);
    EXPECT_EQ(EncodeBookText(c.text), c.bytes) << Hex(c.bytes);
  }
}

TEST(Codepage, EncodesSurrogatesWithoutFailing) {
  struct Case {
    std::u16string_view text;
    std::string_view bytes;
  } const cases[] = {
      {u"\xDC80", "\x80"},
      {u"a\xDCB5" u"b", "a\xB5" "b"},
      {u"\xDC7F", "?"},                 // below the escape range
      {u"\xD800", "?"},
      {u"\xD800" u"a", "?a"},
      {u"a\xD800", "a?"},
      {u"\xDFFF\xD800", "??"},          // low then high is no pair
      {u"\xD800\xDC00", "\x90\x30\x81\x30"},
      {u"\u7B2C\xD801" u"a\xDC81\u7B2C", "\xB5\xDA?a\x81\xB5\xDA"},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeBookText(c.text), c.bytes) << Hex(c.bytes);
}

TEST(Codepage, EveryDoubleByteComesBackExactly) {
  std::string all;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      const char pair[] = {static_cast<char>(lead), static_cast<char>(trail)};
      ExpectRoundTrip(std::string_view(pair, 2));
      all.append(pair, 2);
    }
  }
  // Whole, and shifted by a byte so that every pair is misread.
  ExpectRoundTrip(all);
  ExpectRoundTrip(all.substr(1));
}

TEST(Codepage, FourByteFormsComeBackExactly) {
  // glibc decodes a few of these to the same characters as FE51, FE52...; they must stay
  // distinct.
  const std::string_view tricky[] = {
      "\x95\x32\x90\x31", "\x95\x32\x90\x33", "\x95\x32\x97\x30", "\x95\x36\xB9\x37",
      "\x96\x30\xBA\x35", "\x96\x35\xB6\x30", "\xFE\x51",         "\xFE\x52",
      "\xFE\x53",         "\xFE\x6C",         "\xFE\x76",         "\xFE\x91",
      "\xA3\xA0",         "\x84\x31\xA4\x39", "\xE3\x32\x9A\x35", "\xE3\x32\x9A\x36",
      "\xFE\x39\xFE\x39", "\x84\x31\xA5\x30",
  };
  std::string joined;
  for (std::string_view t : tricky) {
    ExpectRoundTrip(t);
    joined += t;
    joined += "\xB5\xDA";
  }
  ExpectRoundTrip(joined);

  for (int a = 0x81; a <= 0xFE; ++a) {
    for (int c = 0x81; c <= 0xFE; c += 5) {
      std::string s;
      for (int b = 0x30; b <= 0x39; ++b)
        for (int d = 0x30; d <= 0x39; ++d) s += {char(a), char(b), char(c), char(d)};
      ExpectRoundTrip(s);
    }
  }
}

TEST(Codepage, CharactersAcrossLongTextsStayWhole) {
  // A character straddling any offset near the sizes a decoder may work in.
  const std::string_view pieces[] = {"\xB5\xDA", "\x81\x30\x81\x30", "\x90\x30\x81\x30"};
  const std::u16string_view decoded[] = {u"\u7B2C", u"\u0080", u"\U00010000"};
  for (std::size_t size = 4096; size <= 65536; size *= 2) {
    for (std::size_t prefix = size - 5; prefix <= size + 1; ++prefix) {
      for (std::size_t i = 0; i < std::size(pieces); ++i) {
        const std::string bytes = std::string(prefix, 'a') + std::string(pieces[i]) + "\x80";
        const std::u16string want = std::u16string(prefix, u'a') +
                                    std::u16string(decoded[i]) + u"\xDC80";
        ASSERT_EQ(DecodeBookBytes(bytes), want) << "prefix " << prefix << " piece " << i;
      }
    }
  }
}

TEST(Codepage, RandomBytesComeBackExactly) {
  std::mt19937 rng(20240607);
  std::uniform_int_distribution<int> anyByte(0, 255);
  std::uniform_int_distribution<int> high(0x81, 0xFE);
  std::uniform_int_distribution<int> digit(0x30, 0x39);
  for (int round = 0; round < 300; ++round) {
    const std::size_t length = round < 200 ? round : 40000;
    std::string s;
    while (s.size() < length) {
      switch (anyByte(rng) % 4) {
        case 0: s += static_cast<char>(anyByte(rng)); break;
        case 1: s += {char(high(rng)), char(anyByte(rng))}; break;
        case 2: s += {char(high(rng)), char(digit(rng)), char(high(rng)), char(digit(rng))}; break;
        default: s += static_cast<char>(anyByte(rng) & 0x7F); break;
      }
    }
    ExpectRoundTrip(s);
  }
}

TEST(Codepage, RealBooksComeBackExactly) {
  for (const char* name : {"三国演义.txt", "水浒传.txt"}) {
    const std::string bytes = ReadCorpus(name);
    ASSERT_GT(bytes.size(), 1000000u) << name;
    const std::u16string text = DecodeBookBytes(bytes);
    EXPECT_NE(text.find(u"\u7B2C"), std::u16string::npos) << name;  // 第
    // Well-formed GBK: nothing should have needed escaping.
    for (char16_t c : text) ASSERT_FALSE(c >= 0xDC80 && c <= 0xDCFF) << name;
    EXPECT_TRUE(EncodeBookText(text) == bytes) << name;
  }
}

}  // namespace
}  // namespace varnelo
