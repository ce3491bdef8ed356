// The exit write against a golden Config.ini (bytes and order), and the start-up reads:
// defaults, stages, and keys nobody changed coming back exactly as they were.
#include "store/config_schema.h"

#include <climits>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "tests/core/ini_file_fixture.h"

namespace varnelo {
namespace {

class ConfigSchemaTest : public testing::IniFileTest {};

std::string StoreFile(const char* name) {
  std::ifstream in(std::string(VARNELO_SOURCE_DIR) + "/store/testdata/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

ConfigValues Distinct() {
  ConfigValues v;
  v.lastPosition = "/书/三国演义.txt,P7,三国演义.txt >09:07,05/March";
  v.appearance = {"黑体", 320, 150, 0x112233, 0x445566, true};
  v.pagingMode = 1;
  v.markLine = 42;
  v.chapterRule = 3;
  v.sideBarHidden = 7;  // any non-zero hides, and is written as 1
  v.picturePath = "/图/p.jpg";
  v.quote = {2, 1, "/q.txt", 1, 2, 45, 20};
  v.placement.showCommand = 3;
  v.placement.left = -8;
  v.toolBarShown = 0;
  v.statusBarShown = 0;
  v.libraryEntry = 4;
  return v;
}

TEST_F(ConfigSchemaTest, ExitWriteMatchesTheGoldenFileAndReadsBack) {
  // The two list steps write where the exit sequence puts them.
  int step = 0;
  ExitSteps steps;
  steps.updateRecentFolders = [&] {
    EXPECT_EQ(step++, 0);
    return profile::WriteString(config_names::kFileDir, "1", "/books", path_);
  };
  steps.closeReadingPeriod = [&] {
    EXPECT_EQ(step++, 1);
    return profile::WriteString(config_names::kTimePad, config_names::kTimePadNum, "0", path_);
  };
  ASSERT_TRUE(WriteExitSettings(Distinct(), path_, steps));
  EXPECT_EQ(step, 2);
  EXPECT_EQ(Contents(), StoreFile("exit_config.ini"));

  ConfigValues back;
  for (ReadStage stage : {ReadStage::Frame, ReadStage::View, ReadStage::ScrollRestore})
    ReadStartupKeys(back, stage, path_);
  ConfigValues expected = Distinct();
  expected.sideBarHidden = 1;
  EXPECT_EQ(back.lastPosition, expected.lastPosition);
  EXPECT_EQ(back.appearance, expected.appearance);
  EXPECT_EQ(back.pagingMode, 1);
  EXPECT_EQ(back.markLine, 42);
  EXPECT_EQ(back.chapterRule, 3);
  EXPECT_EQ(back.sideBarHidden, 1);
  EXPECT_EQ(back.picturePath, expected.picturePath);
  EXPECT_EQ(back.quote.quotePath, "/q.txt");
  EXPECT_EQ(back.quote.scrollInterval, 45);
  EXPECT_EQ(back.quote.reminderMinutes, 20);
  EXPECT_EQ(back.placement.showCommand, 3u);
  EXPECT_EQ(back.placement.left, -8);
  EXPECT_EQ(back.libraryEntry, 4);
}

TEST_F(ConfigSchemaTest, StartupKeepsWhatItCannotUseAndStagesSplitTheKeys) {
  // A hand-edited file: unknown keys and sections, a negative size, no final newline.
  Put(StoreFile("hand_edited.ini"));
  ConfigValues values;
  ReadStartupKeys(values, ReadStage::View, path_);
  EXPECT_EQ(values.appearance.fontSize, 0) << "a size out of range is brought in";
  EXPECT_TRUE(values.appearance.night);
  EXPECT_EQ(values.toolBarShown, 1) << "a frame key is not read by the view";
  ReadStartupKeys(values, ReadStage::Frame, path_);
  EXPECT_EQ(values.toolBarShown, 0);
  EXPECT_EQ(values.placement.right, 900) << "a damaged placement gives the default";

  values.appearance.fontSize = -5;
  ASSERT_TRUE(WriteExitSettings(values, path_));
  const std::string after = Contents();
  EXPECT_NE(after.find("[Other]\r\nkeep=1\r\n"), std::string::npos);
  EXPECT_NE(after.find("mystery=x"), std::string::npos);
  EXPECT_EQ(profile::GetInt(SectionOf(ConfigKey::FontSize), NameOf(ConfigKey::FontSize), 0, path_), -5)
      << "a negative size is not written";
  EXPECT_EQ(profile::GetInt(SectionOf(ConfigKey::CheckNet), NameOf(ConfigKey::CheckNet), 0, path_), 2)
      << "the one-time offer is not undone by an exit";
  EXPECT_EQ(profile::GetInt(SectionOf(ConfigKey::Night), NameOf(ConfigKey::Night), -1, path_), 1);

  // Every key has one stage and one place in the exit order.
  std::set<std::string> names;
  for (ConfigKey key : ExitOrder())
    EXPECT_TRUE(names.insert(std::string(SectionOf(key)) + "/" + std::string(NameOf(key))).second);
  EXPECT_EQ(StageOf(ConfigKey::MarkLine), ReadStage::ScrollRestore);
}

// Hand-edited numbers come in within what the program's own commands could have set, so
// nothing computed from them overflows.
TEST_F(ConfigSchemaTest, NumbersAreBroughtIntoTheirRangeAsTheyAreRead) {
  const struct {
    ConfigKey key;
    const char* stored;
    int read;
  } cases[] = {
      {ConfigKey::FontSize, "2147483647", kHighestFontSize},
      {ConfigKey::FontSize, "-2147483648", 0},
      {ConfigKey::FontSize, "320", 320},
      {ConfigKey::LineSpacing, "2147483647", kHighestLineSpacing},
      {ConfigKey::LineSpacing, "-7", 0},
      {ConfigKey::LineSpacing, "150", 150},
      {ConfigKey::MarkLine, "-2147483648", 0},
      {ConfigKey::MarkLine, "2147483647", 2147483647},
      {ConfigKey::LibraryEntry, "-3", 0},
      {ConfigKey::PageMargin, "2147483647", 400},
      {ConfigKey::MaxLineChars, "-1", 0},
  };
  for (const auto& c : cases) {
    profile::WriteString(SectionOf(c.key), NameOf(c.key), c.stored, path_);
    ConfigValues values;
    ReadKey(values, c.key, path_);
    const int read = c.key == ConfigKey::FontSize      ? values.appearance.fontSize
                     : c.key == ConfigKey::LineSpacing ? values.appearance.lineSpacing
                     : c.key == ConfigKey::MarkLine    ? values.markLine
                     : c.key == ConfigKey::PageMargin  ? values.pageMargin
                     : c.key == ConfigKey::MaxLineChars ? values.maxLineChars
                                                       : values.libraryEntry;
    EXPECT_EQ(read, c.read) << NameOf(c.key) << "=" << c.stored;
  }

  // The placement: at least 200 x 150, corner and size within what a window system takes.
  const struct {
    WindowPlacement stored;
    int left, top, width, height;
  } places[] = {
      {{44, 0, 1, -1, -1, -1, -1, INT_MIN, INT_MIN, INT_MAX, INT_MAX}, -32767, -32767, 32767, 32767},
      {{44, 0, 1, -1, -1, -1, -1, INT_MAX, INT_MAX, INT_MIN, INT_MIN}, 32767, 32767, 200, 150},
      {{44, 0, 1, -1, -1, -1, -1, 10, 20, 78, 116}, 10, 20, 200, 150},
      {{44, 0, 3, -1, -1, -1, -1, -8, -8, 1928, 1088}, -8, -8, 1936, 1096},
  };
  for (const auto& p : places) {
    ASSERT_TRUE(profile::WriteStruct(SectionOf(ConfigKey::Placement), NameOf(ConfigKey::Placement),
                                     &p.stored, sizeof p.stored, path_));
    ConfigValues values;
    ReadKey(values, ConfigKey::Placement, path_);
    const WindowPlacement& got = values.placement;
    EXPECT_EQ(std::vector<std::int64_t>({got.left, got.top, std::int64_t{got.right} - got.left,
                                         std::int64_t{got.bottom} - got.top}),
              std::vector<std::int64_t>({p.left, p.top, p.width, p.height}))
        << p.stored.left << "," << p.stored.top << "," << p.stored.right << "," << p.stored.bottom;
    EXPECT_EQ(got.showCommand, p.stored.showCommand);
  }
}

// A number brought into range is used in range, yet the exit gives the user's text back
// while the value in use is the one it was read as; a value changed in the run is written.
TEST_F(ConfigSchemaTest, ClampedNumbersGoBackAsReadUnlessChanged) {
  const struct {
    ConfigKey key;
    const char* stored;
    int used;
    const char* afterExit;     // unchanged in the run
    const char* afterChange;   // the value in use set to 300 first
  } cases[] = {
      {ConfigKey::FontSize, "-5", 0, "-5", "300"},
      {ConfigKey::FontSize, "20000", kHighestFontSize, "20000", "300"},
      {ConfigKey::FontSize, "99999999999", kHighestFontSize, "99999999999", "300"},
      {ConfigKey::LineSpacing, "900", kHighestLineSpacing, "900", "300"},
      {ConfigKey::MarkLine, "-1", 0, "-1", "300"},
      {ConfigKey::LibraryEntry, "-2", 0, "-2", "300"},
      {ConfigKey::FontSize, "320", 320, "320", "300"},
  };
  const auto field = [](ConfigValues& v, ConfigKey key) -> int& {
    return key == ConfigKey::FontSize      ? v.appearance.fontSize
           : key == ConfigKey::LineSpacing ? v.appearance.lineSpacing
           : key == ConfigKey::MarkLine    ? v.markLine
                                           : v.libraryEntry;
  };
  for (const auto& c : cases) {
    for (const bool change : {false, true}) {
      profile::WriteString(SectionOf(c.key), NameOf(c.key), c.stored, path_);
      ConfigValues values;
      for (ReadStage stage : {ReadStage::Frame, ReadStage::View, ReadStage::ScrollRestore})
        ReadStartupKeys(values, stage, path_);
      EXPECT_EQ(field(values, c.key), c.used) << NameOf(c.key) << "=" << c.stored;
      if (change) field(values, c.key) = 300;
      ConfigValues mirror = values;  // the exit writes a copy of what the run holds
      ASSERT_TRUE(WriteExitSettings(mirror, path_));
      EXPECT_EQ(profile::GetString(SectionOf(c.key), NameOf(c.key), "", path_),
                change ? c.afterChange : c.afterExit)
          << NameOf(c.key) << "=" << c.stored << (change ? " changed" : "");
    }
  }
}

TEST_F(ConfigSchemaTest, FirstExitOnAFreshFileWritesEveryKeyAndReadsBackTheDefaults) {
  ASSERT_TRUE(WriteExitSettings(ConfigValues{}, path_));
  for (ConfigKey key : ExitOrder()) {
    EXPECT_NE(profile::GetString(SectionOf(key), NameOf(key), "<missing>", path_), "<missing>")
        << NameOf(key);
  }
  ConfigValues back;
  back.appearance.face.clear();
  back.chapterRule = 0;
  for (ReadStage stage : {ReadStage::Frame, ReadStage::View, ReadStage::ScrollRestore})
    ReadStartupKeys(back, stage, path_);
  EXPECT_EQ(back.appearance, TextAppearance{});
  EXPECT_EQ(back.chapterRule, 0);  // no rule stored: the automatic one
}

}  // namespace
}  // namespace varnelo
