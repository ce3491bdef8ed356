// Places that follow the text: the changed stretch of a book read again, bookmarks' text
// places beside their described values, and the user's own chapter rules in Config.ini.
#include <string>

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "store/chapter_rules.h"
#include "store/config_schema.h"
#include "store/config_store.h"
#include "tests/core/ini_file_fixture.h"
#include "text/text_shift.h"

namespace varnelo {
namespace {

TEST(TextShift, TheChangedStretchAndWherePlacesGo) {
  struct Case {
    const char* before;
    const char* after;
    TextShift shift;
  } cases[] = {
      {"abcdef", "abXYcdef", {2, 0, 2}},  // typed in
      {"abcdef", "abef", {2, 2, 0}},      // deleted
      {"abcdef", "abZZf", {2, 3, 2}},     // replaced
      {"aaaa", "aaaaa", {4, 0, 1}},       // a repeated letter: head first, the tail never overlaps it
      {"", "ab", {0, 0, 2}},
      {"ab", "", {0, 2, 0}},
  };
  for (const Case& c : cases) {
    const std::optional<TextShift> found = FindTextShift(c.before, c.after);
    ASSERT_TRUE(found) << c.before << " -> " << c.after;
    EXPECT_EQ(*found, c.shift) << c.before << " -> " << c.after;
  }
  EXPECT_FALSE(FindTextShift("same", "same"));
  const std::string big(10000, 'x');
  EXPECT_EQ(FindTextShift(big, big.substr(0, 9000) + "y" + big.substr(9000)), (TextShift{9000, 0, 1}));

  const TextShift typed{10, 0, 3}, cut{10, 5, 0}, replaced{10, 5, 2};
  struct Move {
    std::int64_t offset;
    TextShift shift;
    std::int64_t moved;
  } moves[] = {
      {9, typed, 9},  {10, typed, 13}, {20, typed, 23},   // typed at 10: a place at 10 moves along
      {12, cut, 10},  {15, cut, 10},   {16, cut, 11},     // cut 10..15: places inside go to its start
      {11, replaced, 11}, {13, replaced, 12}, {30, replaced, 27},
  };
  for (const Move& m : moves) EXPECT_EQ(ShiftedOffset(m.offset, m.shift), m.moved) << m.offset;

  // Several stretches: each moves the places after it by its own change, no more.
  const std::vector<TextShift> several = {{10, 5, 0}, {20, 0, 3}, {30, 4, 1}};
  const struct {
    std::int64_t offset, moved;
  } throughSeveral[] = {{5, 5}, {12, 10}, {17, 12}, {20, 18}, {25, 23}, {31, 29}, {40, 35}};
  for (const auto& m : throughSeveral) EXPECT_EQ(ShiftedOffset(m.offset, several), m.moved) << m.offset;
  EXPECT_TRUE(ShiftsFit(several, 50, 45));
  EXPECT_FALSE(ShiftsFit(several, 50, 44)) << "another length";
  EXPECT_FALSE(ShiftsFit({{20, 0, 3}, {10, 5, 0}}, 50, 48)) << "out of order";
  EXPECT_FALSE(ShiftsFit({{48, 5, 0}}, 50, 45)) << "past the end";
}

class BookmarkPlacesTest : public testing::IniFileTest {
 protected:
  void SetUp() override {
    IniFileTest::SetUp();
    store_.SetSettingsPath(path_);
    store_.SetClock([] { return std::time_t{1262304000}; });
  }
  CConfigStore store_;
};

TEST_F(BookmarkPlacesTest, PlacesFollowTheirBookmarksAndIgnoreOthers) {
  for (int k = 1; k <= 4; ++k)
    ASSERT_EQ(store_.AddBookmark("/b/" + std::to_string(k) + ".txt", "t", k, "1", 0, k * 100, "第" + std::to_string(k) + "章：话说"),
              CConfigStore::AddResult::Added);
  ASSERT_EQ(store_.AddBookmark("/b/plain.txt", "p", 1, "0", 0), CConfigStore::AddResult::Added);
  // The described value is untouched: the place is in a section of its own.
  EXPECT_EQ(profile::GetString(config_names::kBookMark, "2", "", path_).substr(0, 10), "t,P2,1,L0,");
  EXPECT_EQ(*store_.Bookmark(2).offset, 200);
  EXPECT_EQ(store_.Bookmark(2).prompt, "第2章：话说");
  EXPECT_FALSE(store_.Bookmark(5).offset);

  ASSERT_TRUE(store_.DeleteBookmark(61203 + 2));
  EXPECT_EQ(*store_.Bookmark(2).offset, 300);  // the third moved up with its place
  EXPECT_EQ(*store_.Bookmark(3).offset, 400);
  EXPECT_FALSE(store_.Bookmark(4).offset);

  // Another reader moved the values without the places: no bookmark takes another's place.
  profile::WriteString(config_names::kBookMark, "1", profile::GetString(config_names::kBookMark, "3", "", path_), path_);
  store_.LoadBookmarks();
  EXPECT_FALSE(store_.Bookmark(1).offset);
  EXPECT_EQ(*store_.Bookmark(3).offset, 400);

  ASSERT_TRUE(store_.MoveBookmarkPlaces("/b/4.txt", [](std::int64_t o) { return o + 7; }));
  EXPECT_EQ(*store_.Bookmark(3).offset, 407);
  EXPECT_EQ(*store_.Bookmark(2).offset, 300);
  EXPECT_EQ(store_.Bookmark(3).prompt, "第4章：话说");

  ASSERT_TRUE(store_.DeleteBookmark(0));
  ASSERT_EQ(store_.AddBookmark("/b/new.txt", "n", 1, "0", 0), CConfigStore::AddResult::Added);
  EXPECT_FALSE(store_.Bookmark(1).offset);  // a cleared place is not inherited
}

class UserRulesTest : public testing::IniFileTest {};

TEST_F(UserRulesTest, RulesComeBackAsTypedInTheirOrder) {
  UserChapterRules rules;
  rules.SetSettingsPath(path_);
  const std::vector<UserChapterRule> typed = {
      {3, "正文 章", "^第[0-9]+章 "},            // a blank at the end survives the read
      {1, " 引号\"名\"", "\"^(序|楔子)$\""},     // quotes at both ends too
      {7, "tab", "a\tb"},
  };
  ASSERT_TRUE(rules.Save(typed));
  UserChapterRules back;
  back.SetSettingsPath(path_);
  back.Load();
  ASSERT_EQ(back.Rules().size(), 3u);
  EXPECT_EQ(back.Rules()[0], typed[0]);
  EXPECT_EQ(back.Rules()[1].expression, typed[1].expression);
  EXPECT_EQ(back.Rules()[2], typed[2]);
  EXPECT_EQ(back.NewId(), 8);
  EXPECT_EQ(back.Find(1)->name, typed[1].name);

  // A shorter list empties the keys it no longer uses; damaged or repeated entries are left out.
  ASSERT_TRUE(back.Save({typed[2]}));
  EXPECT_EQ(profile::GetString(config_names::kChapterRules, "2", "<none>", path_), "");
  profile::WriteStrings(config_names::kChapterRules,
                        {{"RuleNum", "9999"}, {"2", "x\tno id"}, {"3", "7\tsame id\tx"}, {"4", "2\tok\t^a"}}, path_);
  back.Load();
  ASSERT_EQ(back.Rules().size(), 2u);
  EXPECT_EQ(back.Rules()[1].name, "ok");
  for (const char* bad : {"", "1", "1\tname", "0\tn\tx", "-1\tn\tx", "1\tn\t"}) EXPECT_FALSE(ParseUserRule(bad)) << bad;
}

}  // namespace
}  // namespace varnelo
