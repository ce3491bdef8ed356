#include "platform/codepage.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace varnelo {
namespace {

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (unsigned char b : bytes.substr(0, 32)) s += {kDigits[b >> 4], kDigits[b & 15]};
  return s;
}

void ExpectRoundTrip(std::string_view bytes) {
  ASSERT_EQ(EncodeBookText(DecodeBookBytes(bytes)), bytes) << Hex(bytes);
}

TEST(Codepage, DecodesAndEncodesKnownText) {
  struct Case {
    std::string_view bytes;
    std::u16string_view text;
  } const cases[] = {
      {"", u""},
      {"abc\r\n", u"abc\r\n"},
      {"\xB5\xDA\xD2\xBB\xD5\xC2", u"\u7B2C\u4E00\u7AE0"},  // 第一章
      {"a\x80" "b\xFF", u"a\xDC80" u"b\xDCFF"},             // stray bytes
      {"\xB5\xDA\xB5", u"\u7B2C\xDCB5"},                    // lead byte at the end
      {"\xB5\x7F\xB5\xFF", u"\xDCB5\x7F\xDCB5\xDCFF"},      // trails out of range
      {"\x81\x30\x81", u"\xDC81" u"0\xDC81"},               // four-byte form cut short
      {"\x81\x30\x81\x30\x90\x30\x81\x30", u"\u0080\U00010000"},
      {"\x84\x31\x95\x33", u"\uFEFF"},                      // not taken for a byte order mark
      {"\xAA\xA1", u"\uE000"},                              // user-defined area
      {std::string_view("\0\xB5\xDA\0", 4), std::u16string_view(u"\0\u7B2C\0", 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeBookBytes(c.bytes), c.text) << Hex(c.bytes);
    EXPECT_EQ(EncodeBookText(c.text), c.bytes) << Hex(c.bytes);
  }
}

TEST(Codepage, EncodesStraySurrogatesAsQuestionMarks) {
  struct Case {
    std::u16string_view text;
    std::string_view bytes;
  } const cases[] = {
      {u"\xDC7F", "?"},  // just below the escapes
      {u"\xD800" u"a", "?a"},
      {u"a\xD800", "a?"},
      {u"\xDFFF\xD800", "??"},
      {u"\xD801" u"a\xDC81", "?a\x81"},
      {u"\xD800\xDC00", "\x90\x30\x81\x30"},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeBookText(c.text), c.bytes) << Hex(c.bytes);
}

TEST(Codepage, EveryDoubleByteAndFourByteFormComesBack) {
  std::string all;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string pair{char(lead), char(trail)};
      ExpectRoundTrip(pair);
      all += pair;
    }
  }
  ExpectRoundTrip(all);
  ExpectRoundTrip(all.substr(1));  // every pair misaligned
  // glibc reads these four-byte forms as the characters of FE51, FE52, ...
  ExpectRoundTrip("\x95\x32\x90\x31\x95\x32\x90\x33\x95\x32\x97\x30\x95\x36\xB9\x37"
                  "\x96\x30\xBA\x35\x96\x35\xB6\x30\xFE\x51\xFE\x52\xFE\x91\xA3\xA0");
  // Next to one of them, the rest still decodes as it does alone.
  const std::string rest = "\xB5\xDA\xFE\x51\x81\x30\x81\x30";
  EXPECT_TRUE(DecodeBookBytes("\x95\x32\x90\x31" + rest).ends_with(DecodeBookBytes(rest)));
  for (int a = 0x81; a <= 0xFE; ++a) {
    std::string s;
    for (int b = 0x30; b <= 0x39; ++b)
      for (int c = 0x81; c <= 0xFE; c += 3) s += {char(a), char(b), char(c), char(0x30 + c % 10)};
    ExpectRoundTrip(s);
  }
}

TEST(Codepage, CharacterAcrossLongTextStaysWhole) {
  for (std::size_t size = 4096; size <= 65536; size *= 2) {
    for (std::size_t prefix = size - 5; prefix <= size + 1; ++prefix) {
      const std::string bytes = std::string(prefix, 'a') + "\x90\x30\x81\x30\xB5\xDA\x80";
      ASSERT_EQ(DecodeBookBytes(bytes), std::u16string(prefix, u'a') + u"\U00010000\u7B2C\xDC80")
          << prefix;
    }
  }
}

TEST(Codepage, RandomBytesComeBack) {
  std::mt19937 rng(20240607);
  auto byte = [&] { return static_cast<char>(rng() & 0xFF); };
  auto digit = [&] { return static_cast<char>(0x30 + rng() % 10); };
  for (int round = 0; round < 300; ++round) {
    std::string s;
    while (s.size() < (round < 250 ? std::size_t(round) : 40000u)) {
      const char lead = static_cast<char>(0x81 + rng() % 0x7E);
      switch (rng() % 4) {
        case 0: s += byte(); break;
        case 1: s += {lead, byte()}; break;
        case 2: s += {lead, digit(), static_cast<char>(0x81 + rng() % 0x7E), digit()}; break;
        default: s += static_cast<char>(rng() & 0x7F);
      }
    }
    ExpectRoundTrip(s);
  }
}

TEST(Codepage, RealBooksComeBack) {
  for (const char* name : {"三国演义.txt", "水浒传.txt"}) {
    std::ifstream in(std::string(VARNELO_CORPUS_DIR) + "/" + name, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GT(bytes.size(), 1000000u) << name;
    const std::u16string text = DecodeBookBytes(bytes);
    // Well-formed GBK: nothing needs escaping.
    auto escaped = [](char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; };
    EXPECT_EQ(std::count_if(text.begin(), text.end(), escaped), 0) << name;
    EXPECT_TRUE(EncodeBookText(text) == bytes) << name;
  }
}

}  // namespace
}  // namespace varnelo
