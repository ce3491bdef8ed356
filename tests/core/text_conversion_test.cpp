#include "aids/text_conversion.h"

#include <gtest/gtest.h>
#include <opencc/opencc.h>


#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/codepage.h"

#include "platform/text_column.h"
#include "store/config_schema.h"
#include "tests/core/scratch_folder.h"
#include "tests/core/recode.h"

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

// Bytes from one encoding to another by the system's iconv.
std::string Recode(const char* from, const char* to, const std::string& in) {
  testing::Recoded out = testing::Recode(in, from, to);
  EXPECT_TRUE(out.whole) << from << " to " << to;
  return std::move(out.bytes);
}

// OpenCC given the whole text as it is, through its plain C interface.
std::u16string PlainOpenCC(const char* config, const std::u16string& text) {
  const opencc_t handle = opencc_open(config);
  EXPECT_NE(handle, reinterpret_cast<opencc_t>(-1));
  const std::string in = Recode("UTF-16LE", "UTF-8", std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
  char* out = opencc_convert_utf8(handle, in.data(), in.size());
  const std::string units = Recode("UTF-8", "UTF-16LE", out);
  std::u16string result(units.size() / 2, u'\0');
  std::memcpy(result.data(), units.data(), units.size());
  opencc_convert_utf8_free(out);
  opencc_close(handle);
  return result;
}

// The runs of characters no dictionary holds go to OpenCC as one stand-in each: a real
// novel must come out exactly as OpenCC makes it of the whole text, both ways.
TEST(TextConversion, SameAsOpenCCOverTheWholeTextOfANovel) {
  std::stringstream bytes;
  bytes << std::ifstream(std::string(VARNELO_CORPUS_DIR) + "/三国演义.txt", std::ios::binary).rdbuf();
  std::u16string simplified = DecodeBookBytes(bytes.str().substr(0, 300000));
  simplified.resize(simplified.rfind(u'\n') + 1);
  ChineseConverter converter;
  const std::u16string traditional = converter.Convert(Mode::Traditional, simplified);
  EXPECT_TRUE(traditional == PlainOpenCC("s2t.json", simplified));
  EXPECT_TRUE(converter.Convert(Mode::Simplified, traditional) == PlainOpenCC("t2s.json", traditional));
  EXPECT_NE(traditional, simplified);
}

// Files named like OpenCC's own, planted in the folder the reader starts from: a
// configuration that would change the words, dictionaries cut short. Neither is read.
TEST(TextConversion, PlantedFilesInTheWorkingFolderAreNeverRead) {
  namespace fs = std::filesystem;
  const fs::path planted = testing::ScratchFolder() / "planted";
  fs::create_directories(planted);
  const std::string spoof = R"({"name":"x","segmentation":{"type":"mmseg","dict":{"type":"text","file":"spoof.txt"}},
      "conversion_chain":[{"dict":{"type":"text","file":"spoof.txt"}}]})";
  std::ofstream(planted / "t2s.json") << spoof;
  std::ofstream(planted / "s2t.json") << spoof;
  std::ofstream(planted / "spoof.txt") << "長\t假\n长\t假\n";
  for (const char* name : {"TSPhrases.ocd2", "TSCharacters.ocd2", "STPhrases.ocd2", "STCharacters.ocd2"}) {
    std::ifstream whole(fs::path(OpenCCDataFolder()) / name, std::ios::binary);
    std::string head(600, '\0');
    whole.read(head.data(), static_cast<std::streamsize>(head.size()));
    std::ofstream(planted / name, std::ios::binary) << head;
  }
  const fs::path before = fs::current_path();
  fs::current_path(planted);
  ChineseConverter converter;
  const std::u16string simplified = converter.Convert(Mode::Simplified, u"長江東逝水");
  const std::u16string traditional = converter.Convert(Mode::Traditional, u"长江东逝水");
  fs::current_path(before);
  EXPECT_EQ(simplified, u"长江东逝水") << converter.Error();
  EXPECT_EQ(traditional, u"長江東逝水") << converter.Error();
}

// A damaged dictionary where OpenCC's data lives turns the conversion off with a reason,
// whatever the library throws (marisa's exceptions are not OpenCC's).
TEST(TextConversion, DamagedDataTurnsTheConversionOff) {
  namespace fs = std::filesystem;
  const struct {
    const char* what;
    std::size_t keep;  // bytes of each dictionary kept; 0 = none there
  } cases[] = {{"cut short", 600}, {"empty", 1}, {"missing", 0}};
  for (const auto& c : cases) {
    const fs::path folder = testing::ScratchFolder() / (std::string("data-") + std::to_string(c.keep));
    fs::create_directories(folder);
    fs::copy_file(fs::path(OpenCCDataFolder()) / "t2s.json", folder / "t2s.json",
                  fs::copy_options::overwrite_existing);
    for (const char* name : {"TSPhrases.ocd2", "TSCharacters.ocd2"}) {
      if (c.keep == 0) continue;
      std::ifstream whole(fs::path(OpenCCDataFolder()) / name, std::ios::binary);
      std::string head(c.keep, '\0');
      whole.read(head.data(), static_cast<std::streamsize>(head.size()));
      std::ofstream(folder / name, std::ios::binary) << head;
    }
    ChineseConverter converter(folder.string());
    EXPECT_FALSE(converter.Ready(Mode::Simplified)) << c.what;
    EXPECT_FALSE(converter.Error().empty()) << c.what;
    EXPECT_EQ(converter.Convert(Mode::Simplified, u"長江"), u"長江") << c.what;
    EXPECT_FALSE(converter.Ready(Mode::Traditional)) << c.what << ": no s2t.json there";
  }
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
