#include "store/config_store.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "platform/program_folder.h"
#include "tests/core/ini_file_fixture.h"

namespace fs = std::filesystem;
using namespace varnelo;

namespace {

class ConfigStoreTest : public varnelo::testing::IniFileTest {
 protected:
  void SetUp() override {
    IniFileTest::SetUp();
    store_.SetSettingsPath(path_);
  }

  CConfigStore store_;
};

// Bytes the store must write, kept with the store beside its schema.
std::string StoreGolden(const char* name) {
  std::ifstream in(std::string(VARNELO_SOURCE_DIR) + "/store/testdata/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Same(const WindowPlacement& a, const WindowPlacement& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST_F(ConfigStoreTest, PlacementTextAndFallbackToDefault) {
  WriteWindowPlacement(WindowPlacement{}, path_);
  // 44, 0, 1, -1 four times, 100, 100, 900, 700 little-endian; the bytes sum to 4650 = 0x122A.
  EXPECT_EQ(Contents(), StoreGolden("default_placement.ini"));

  WindowPlacement maximised;
  maximised.showCommand = 3;
  maximised.left = maximised.top = -8;
  maximised.right = 1928;
  struct Case {
    std::uint32_t length;
    bool kept;
  } cases[] = {{0, false}, {1, true}, {10000, true}, {10001, false}, {0xFFFFFFFF, false}};
  for (const Case& c : cases) {
    WindowPlacement stored = maximised;
    stored.length = c.length;
    WriteWindowPlacement(stored, path_);
    EXPECT_TRUE(Same(ReadWindowPlacement(path_), c.kept ? stored : WindowPlacement{})) << c.length;
  }

  EXPECT_TRUE(Same(ReadWindowPlacement((folder_ / "none.ini").string()), WindowPlacement{}));
  WriteWindowPlacement(maximised, path_);
  const std::string good = Contents();
  std::string badSum = good, shortText = good;
  badSum[good.size() - 3] = good[good.size() - 3] == '0' ? '1' : '0';  // last checksum digit
  shortText.erase(good.size() - 6, 2);  // one byte fewer, checksum still right for it
  for (const std::string& text : {badSum, shortText}) {
    Put(text);
    EXPECT_TRUE(Same(ReadWindowPlacement(path_), WindowPlacement{})) << text;
  }
}

TEST_F(ConfigStoreTest, StyleLoadsDefaultsAndSaveSkipsNegatives) {
  store_.LoadStyle();
  EXPECT_EQ(store_.Style().backgroundColour, 13625548);
  EXPECT_EQ(store_.Style().face, "宋体");
  EXPECT_EQ(store_.Style().fontSize, 270);
  EXPECT_EQ(store_.Style().lineSpacing, 100);

  store_.SaveStyle(TextAppearance{});
  EXPECT_EQ(Contents(), StoreGolden("default_style.ini"));
  struct Case {
    int size, spacing, expectedSize, expectedSpacing;
  } cases[] = {{-1, -1, 270, 100}, {300, -5, 300, 100}, {-1, 0, 300, 0}, {0, 40, 0, 40}};
  for (const Case& c : cases) {
    store_.SaveStyle({"黑体", c.size, c.spacing, 0x123456, -16777216, false});
    store_.LoadStyle();
    EXPECT_EQ(store_.Style().backgroundColour, -16777216);
    EXPECT_EQ(store_.Style().textColour, 0x123456);
    EXPECT_EQ(store_.Style().face, "黑体");
    EXPECT_EQ(store_.Style().fontSize, c.expectedSize) << c.size;
    EXPECT_EQ(store_.Style().lineSpacing, c.expectedSpacing) << c.spacing;
  }
}

TEST_F(ConfigStoreTest, BookmarkCountsAndTheLimitOfARead) {
  store_.SetClock([] { return std::time_t{0}; });
  const std::string time = BookmarkTime(0);
  Put("[BookMark]\r\n0=k.txt,P3," + time + " >/b/k.txt\r\nMarkNum=12\r\n");
  store_.LoadBookmarks();
  EXPECT_EQ(store_.BookmarkCount(), 9) << "a hand-edited count above the nine keys";
  EXPECT_EQ(store_.AddBookmark("/b/k.txt", "k", 10, "0", 0), CConfigStore::AddResult::Full);
  EXPECT_EQ(profile::GetString(config_names::kBookMark, "10", "<none>", path_), "<none>");

  EXPECT_TRUE(store_.DeleteBookmark(0));
  EXPECT_EQ(store_.BookmarkCount(), 0);
  EXPECT_EQ(store_.Bookmark(0).path, "/b/k.txt") << "the last position stays";

  // The longest value a read returns whole is kept; one byte more would lose its path's end.
  const std::string prefix = "k,P1,0,L0," + time + " >/";
  const std::string longest(profile::kMaxStringRead - prefix.size() - 4, 'x');
  EXPECT_EQ(store_.AddBookmark("/" + longest + ".txt", "k", 1, "0", 0),
            CConfigStore::AddResult::Added);
  EXPECT_EQ(store_.Bookmark(1).path, "/" + longest + ".txt");
  EXPECT_EQ(store_.AddBookmark("/" + longest + "y.txt", "k", 1, "0", 0),
            CConfigStore::AddResult::TooLong);
  EXPECT_EQ(store_.BookmarkCount(), 1);
}

TEST_F(ConfigStoreTest, RecordsGrowPastAHundredAndAHugeCountReadsOnlyWhatExists) {
  std::string file = "[TimePad]\r\nTimePadNum=2000000000\r\n";
  for (int i = 1; i <= 100; ++i) {
    file += std::to_string(i) + "=b" + std::to_string(i) + ".txt,60,2010/5/3 14:05,\r\n";
  }
  Put(file);
  store_.LoadReadRecords();
  ASSERT_EQ(store_.ReadRecordCount(), 100);
  ASSERT_TRUE(store_.SaveReadRecord(101, 101, "b,101.txt", kRecordBlank, "2010/5/3 14:05",
                                    kRecordBlank));
  store_.LoadReadRecords();
  ASSERT_EQ(store_.ReadRecordCount(), 101);
  EXPECT_EQ(store_.ReadRecord(100).name, "b,101.txt");
}

// Each step reads the file once and writes it at most once, however many records it
// holds: a key at a time made 20,000 records cost seconds at start and at exit.
TEST_F(ConfigStoreTest, TwentyThousandRecordsTakeOneReadAndOneWritePerStep) {
  constexpr int kRecords = 20000;
  std::string file = "[Style]\r\ntxtsize=270\r\n[TimePad]\r\nTimePadNum=20000\r\n";
  for (int i = 1; i <= kRecords; ++i) {
    file += std::to_string(i) + "=b" + std::to_string(i) + ".txt,60,2010/5/3 14:05, \r\n";
  }
  Put(file);
  const std::uint64_t lines = kRecords + 4;
  struct Step {
    const char* what;
    std::function<bool()> run;
    std::uint64_t writes;
  } steps[] = {
      {"load", [&] { store_.LoadReadRecords(); return store_.ReadRecordCount() == kRecords; }, 0},
      {"delete the first", [&] { return store_.DeleteReadRecord(0); }, 1},
      {"save the last", [&] {
         return store_.SaveReadRecord(kRecords - 1, kRecords - 1, "b20000.txt", "75",
                                      "2010/5/3 14:05", "2010/5/4 9:00");
       }, 1},
      {"reload", [&] { store_.LoadReadRecords(); return store_.ReadRecordCount() == kRecords - 1; }, 0},
  };
  for (const Step& step : steps) {
    const profile::Traffic before = profile::TrafficSoFar();
    ASSERT_TRUE(step.run()) << step.what;
    const profile::Traffic after = profile::TrafficSoFar();
    EXPECT_EQ(after.fileReads - before.fileReads, 1u) << step.what;
    EXPECT_EQ(after.fileWrites - before.fileWrites, step.writes) << step.what;
    EXPECT_LE(after.linesParsed - before.linesParsed, lines) << step.what;
  }
  EXPECT_EQ(store_.ReadRecord(0).name, "b2.txt");
  EXPECT_EQ(store_.ReadRecord(kRecords - 2).total, "75");
  EXPECT_EQ(store_.ReadRecord(kRecords - 2).last, "2010/5/4 9:00");
  // The file reads back as the key-by-key format: key 20000 left empty, the count lowered.
  EXPECT_EQ(profile::GetString(config_names::kTimePad, "20000", "none", path_), "");
  EXPECT_EQ(profile::GetString(config_names::kTimePad, "1", "", path_),
            "b2.txt,60,2010/5/3 14:05,");
  EXPECT_EQ(Contents().rfind("[Style]\r\ntxtsize=270\r\n[TimePad]\r\nTimePadNum=19999\r\n1=b2", 0), 0u);

  const profile::Traffic before = profile::TrafficSoFar();
  ASSERT_TRUE(store_.DeleteAllReadRecords());
  EXPECT_EQ(profile::TrafficSoFar().fileWrites - before.fileWrites, 1u);
  store_.LoadReadRecords();
  EXPECT_EQ(store_.ReadRecordCount(), 0);
}

TEST(ProgramFolder, OverrideOrExecutableFolder) {
  const char* saved = std::getenv(kProgramFolderOverride);
  const std::string restore = saved ? saved : "";
  for (const char* home : {"/tmp/vh", "/tmp/vh/"}) {
    setenv(kProgramFolderOverride, home, 1);
    EXPECT_EQ(ProgramFolder(), "/tmp/vh/");
  }
  setenv(kProgramFolderOverride, "", 1);  // empty counts as unset
  const std::string folder = ProgramFolder();
  EXPECT_EQ(folder, fs::canonical("/proc/self/exe").parent_path().string() + "/");
  EXPECT_EQ(SettingsPathIn(folder), folder + "Config.ini");
  if (saved) {
    setenv(kProgramFolderOverride, restore.c_str(), 1);
  } else {
    unsetenv(kProgramFolderOverride);
  }
}

}  // namespace
