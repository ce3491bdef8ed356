// The per-book place record in Config.ini, and the page that holds an offset.
#include "store/book_places.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "store/config_schema.h"
#include "tests/core/ini_file_fixture.h"
#include "text/chapter_index.h"

namespace varnelo {
namespace {

class BookPlacesTest : public testing::IniFileTest {};

TEST_F(BookPlacesTest, ValuesParseBackAndHandEditedOnesAreRefused) {
  const BookPlace place{7, 123456, 1, "/书/a,b >c.txt"};
  EXPECT_EQ(BookPlaceValue(place), "7,123456,1 >/书/a,b >c.txt");
  EXPECT_EQ(ParseBookPlace(BookPlaceValue(place)), place);
  for (const char* bad : {"", "7,1,0 >", "7,1 >/a", "x,1,0 >/a", "7,-1,0 >/a", "7,1,0/a", "7,,0 >/a",
                          "7,1,0, >/a", "7,1,0,x >/a", "7,1,0,-2 >/a", "7,1,0,3,4 >/a"})
    EXPECT_FALSE(ParseBookPlace(bad)) << bad;
}

TEST_F(BookPlacesTest, TheRuleIsKeptBesideTheModeAndOlderPlacesHaveNone) {
  const BookPlace ruled{8, 99, 1, "/书/a, 1 >b.txt", 1003};
  EXPECT_EQ(BookPlaceValue(ruled), "8,99,1,1003 >/书/a, 1 >b.txt");
  EXPECT_EQ(ParseBookPlace(BookPlaceValue(ruled)), ruled);
  // A place kept before rules were: its book takes the reader's rule.
  EXPECT_EQ(ParseBookPlace("8,99,1 >/书/a,1 b.txt")->rule, kNoRuleKept);
  BookPlaces places;
  places.SetSettingsPath(path_);
  ASSERT_TRUE(places.Keep("/b/x", 5, 1, 3));
  ASSERT_TRUE(places.Keep("/b/y", 6, 0));
  places.Load();
  EXPECT_EQ(places.Find("/b/x")->rule, 3);
  EXPECT_EQ(places.Find("/b/y")->rule, kNoRuleKept);
}

TEST_F(BookPlacesTest, KeepsAHundredBooksAndGivesUpTheOldest) {
  BookPlaces places;
  places.SetSettingsPath(path_);
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(places.Keep("/b/" + std::to_string(i), i * 10, i % 2));
  // Reading book 0 again makes it the newest; book 1 is then the oldest and goes first.
  ASSERT_TRUE(places.Keep("/b/0", 55, 1));
  ASSERT_TRUE(places.Keep("/b/new", 1, 0));
  BookPlaces back;
  back.SetSettingsPath(path_);
  back.Load();
  EXPECT_EQ(profile::GetInt(config_names::kBookPlace, config_names::kPlaceNum, 0, path_), 100);
  EXPECT_FALSE(back.Find("/b/1"));
  ASSERT_TRUE(back.Find("/b/0"));
  EXPECT_EQ(back.Find("/b/0")->offset, 55);
  EXPECT_EQ(back.Find("/b/2")->offset, 20);
  const std::vector<BookPlace> newest = back.Newest(kRecentBooksListed);
  ASSERT_EQ(newest.size(), 10u);
  EXPECT_EQ(newest[0].path, "/b/new");
  EXPECT_EQ(newest[1].path, "/b/0");
  EXPECT_EQ(newest[2].path, "/b/99");

  // A hand-edited count far too large reads as 100; a damaged entry is a free slot.
  profile::WriteString(config_names::kBookPlace, config_names::kPlaceNum, "100000", path_);
  profile::WriteString(config_names::kBookPlace, "5", "garbage", path_);
  back.Load();
  EXPECT_EQ(back.Newest(1000).size(), 99u);
  ASSERT_TRUE(back.Keep("/b/other", 3, 0));
  EXPECT_EQ(ParseBookPlace(profile::GetString(config_names::kBookPlace, "5", "", path_))->path, "/b/other");
}

// Serials edited up to the top of their range: the book read last is still the newest,
// with no overflow, and the others keep their order.
TEST_F(BookPlacesTest, HugeSerialsLeaveTheBookReadLastTheNewest) {
  const std::string top = std::to_string(INT64_MAX);
  const struct {
    const char* what;
    std::vector<std::string> serials;  // of /b/1, /b/2, ...
    const char* kept;                  // the book kept then
  } cases[] = {
      {"a new book after the largest serial", {top, "5"}, "/b/new"},
      {"the same book again", {"5", top}, "/b/2"},
      {"an older book again", {top, std::to_string(INT64_MAX - 1)}, "/b/2"},
      {"a full list", std::vector<std::string>(100, top), "/b/new"},
  };
  for (const auto& c : cases) {
    std::string file = "[BookPlace]\r\nPlaceNum=" + std::to_string(c.serials.size()) + "\r\n";
    for (std::size_t k = 0; k < c.serials.size(); ++k)
      file += std::to_string(k + 1) + "=" + c.serials[k] + ",10,0 >/b/" + std::to_string(k + 1) + "\r\n";
    Put(file);
    BookPlaces places;
    places.SetSettingsPath(path_);
    ASSERT_TRUE(places.Keep(c.kept, 7, 0)) << c.what;
    BookPlaces back;
    back.SetSettingsPath(path_);
    back.Load();
    const std::vector<BookPlace> newest = back.Newest(kRecentBooksListed);
    ASSERT_GE(newest.size(), 2u) << c.what;
    EXPECT_EQ(newest[0].path, c.kept) << c.what;
    EXPECT_LT(newest[0].serial, kHighestPlaceSerial) << c.what;
    if (c.serials.size() == 2) {
      EXPECT_EQ(newest[1].path, "/b/1") << c.what << ": the others keep their order";
    }
  }
}

// However many lines the section holds, reading the places is one read of the file and
// keeping one is one read and one write.
TEST_F(BookPlacesTest, TwentyThousandLinesCostOneReadPerStep) {
  std::string file = "[BookPlace]\r\nPlaceNum=100\r\n";
  for (int k = 1; k <= 20000; ++k)
    file += std::to_string(k) + "=" + std::to_string(k) + ",1,0 >/b/" + std::to_string(k) + "\r\n";
  Put(file);
  BookPlaces places;
  places.SetSettingsPath(path_);
  const profile::Traffic start = profile::TrafficSoFar();
  places.Load();
  const profile::Traffic loaded = profile::TrafficSoFar();
  EXPECT_EQ(loaded.fileReads - start.fileReads, 1u);
  EXPECT_LE(loaded.linesParsed - start.linesParsed, 20003u);
  ASSERT_TRUE(places.Keep("/b/new", 1, 0));
  const profile::Traffic kept = profile::TrafficSoFar();
  EXPECT_EQ(kept.fileReads - loaded.fileReads, 1u);
  EXPECT_EQ(kept.fileWrites - loaded.fileWrites, 1u);
  EXPECT_LE(kept.linesParsed - loaded.linesParsed, 20003u);
  EXPECT_EQ(places.Newest(1).front().path, "/b/new");
}

TEST(ChapterIndex, PageHoldingAnOffset) {
  // Line paging: pages start at 0, 100, 200 of a 250-byte text.
  Pagination lines;
  lines.mode = kLinePaging;
  lines.pageCount = 3;
  lines.starts = {0, 0, 100, 200};
  // Chapter paging with an empty page 0 (the text starts with a heading) and two headings
  // at the same offset would be one page; here chapters at 0, 40, 90.
  Pagination chapters;
  chapters.mode = kChapterPaging;
  chapters.pageCount = 3;
  chapters.starts = {0, 0, 40, 90};
  const struct {
    const Pagination* pages;
    std::int64_t offset;
    int page;
  } cases[] = {
      {&lines, 0, 1},    {&lines, 99, 1},    {&lines, 100, 2},  {&lines, 249, 3},
      {&lines, 5000, 3}, {&lines, -1, 1},    {&chapters, 0, 1}, {&chapters, 39, 1},
      {&chapters, 40, 2}, {&chapters, 95, 3},
  };
  for (const auto& c : cases) EXPECT_EQ(PageHolding(*c.pages, c.offset), c.page) << c.offset;
  Pagination front = chapters;
  front.starts = {0, 30, 40, 90};
  EXPECT_EQ(PageHolding(front, 10), 0) << "the front matter is page 0";
  EXPECT_EQ(PageHolding(Pagination{}, 10), 0);
}

}  // namespace
}  // namespace varnelo
