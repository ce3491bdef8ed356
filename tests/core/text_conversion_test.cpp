#include "aids/text_conversion.h"

#include <gtest/gtest.h>

#include "platform/text_column.h"
#include "store/config_schema.h"

namespace varnelo {
namespace {

using Mode = ConvertMode;

TEST(TextConversion, KnownPhrasesBothWaysThroughOpenCC) {
  ChineseConverter converter;
  const struct {
    Mode mode;
    std::u16string in, out;
  } cases[] = {
      {Mode::Traditional, u"滚滚长江东逝水，浪花淘尽英雄。是非成败转头空。",
       u"滾滾長江東逝水，浪花淘盡英雄。是非成敗轉頭空。"},
      {Mode::Simplified, u"滾滾長江東逝水，浪花淘盡英雄。是非成敗轉頭空。",
       u"滚滚长江东逝水，浪花淘尽英雄。是非成败转头空。"},
      // Phrase by phrase: the same character goes two ways by the word it is in.
      {Mode::Traditional, u"头发和发展", u"頭髮和發展"},
      {Mode::Simplified, u"乾燥的乾隆年间", u"干燥的乾隆年间"},
      {Mode::None, u"頭髮", u"頭髮"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(converter.Ready(c.mode)) << converter.Error();
    EXPECT_EQ(converter.Convert(c.mode, c.in), c.out) << static_cast<int>(c.mode);
  }
}

// Every place of the pane must stay the place of the same book byte: line breaks, an
// undecodable byte's lone surrogate and a pair from beyond the BMP keep their units.
TEST(TextConversion, ConvertedTextLinesUpUnitForUnit) {
  ChineseConverter converter;
  const std::u16string text = std::u16string(u"长江\r\n") + char16_t(0xDC81) + u"东逝水\n\n𠀀后来\r\nabc" +
                              char16_t(0xDCFE);
  for (Mode mode : {Mode::Traditional, Mode::Simplified}) {
    const std::u16string out = converter.Convert(mode, text);
    ASSERT_EQ(out.size(), text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char16_t c = text[i];
      if (c == u'\r' || c == u'\n' || (c >= 0xDC80 && c <= 0xDCFF) || c == u'a') {
        EXPECT_EQ(out[i], c) << i;
      }
    }
  }
  EXPECT_EQ(converter.Convert(Mode::Traditional, text).substr(0, 2), u"長江");
}

TEST(TextConversion, FlagsAndTheWayBack) {
  const struct {
    int flag;
    Mode mode, back;
  } cases[] = {{0, Mode::None, Mode::None},
               {1, Mode::Simplified, Mode::Traditional},
               {2, Mode::Traditional, Mode::Simplified},
               {3, Mode::None, Mode::None},
               {-1, Mode::None, Mode::None}};
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertModeOf(c.flag), c.mode) << c.flag;
    EXPECT_EQ(OppositeOf(c.mode), c.back) << c.flag;
  }
  // Chosen, not saved at exit: a described reader's Config.ini never gains them.
  for (ConfigKey key : {ConfigKey::ConvertFlag, ConfigKey::PageMargin, ConfigKey::MaxLineChars}) {
    EXPECT_EQ(SectionOf(key), "Style");
    EXPECT_EQ(StageOf(key), ReadStage::OnUse);
  }
}

TEST(TextColumn, MarginsAndLineWidthCentred) {
  const struct {
    int width, margin, chars;
    double charWidth;
    TextColumn column;
  } cases[] = {
      {1000, 0, 0, 20, {0, 0}},            // the whole width, as always
      {1000, 100, 0, 20, {100, 100}},
      {1000, 0, 40, 20, {99, 100}},        // 801 pixels: 40 characters and one to spare
      {1000, 300, 40, 20, {300, 300}},     // the margins leave less than 40 characters
      {1000, 999, 0, 20, {400, 400}},      // the margin is at most 400
      {300, 400, 0, 20, {140, 140}},       // one character always fits
      {1000, 0, 40, 20.5, {89, 90}},       // 821: characters of fractional width
      {0, 100, 40, 20, {0, 0}},
      {1000, -5, -3, 20, {0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ColumnOf(c.width, c.margin, c.chars, c.charWidth), c.column)
        << c.width << " " << c.margin << " " << c.chars;
  }
}

}  // namespace
}  // namespace varnelo
