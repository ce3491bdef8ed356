// The bookmark and reading-record values against golden strings, and reading them back,
// names with commas and '>' included.
#include <clocale>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "store/bookmark_format.h"
#include "store/read_record_format.h"

using namespace varnelo;

namespace {

std::time_t LocalMoment(int year, int month, int day, int hour, int minute) {
  std::tm t{};
  t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day;
  t.tm_hour = hour, t.tm_min = minute, t.tm_isdst = -1;
  return std::mktime(&t);
}

TEST(BookmarkFormat, ValuesAndTheirFields) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "zh_CN.UTF-8");  // our users' locale; the month stays English
  const std::string time = BookmarkTime(LocalMoment(2010, 12, 6, 14, 5));
  std::setlocale(LC_ALL, saved.c_str());
  ASSERT_EQ(time, "14:05,06/December");

  struct Case {
    const char *title, *path, *mode;
    int page, line;
    const char* value;
  } cases[] = {
      {"小说", "D:/书/小说.txt", "0", 12, 5, "小说,P12,0,L5,14:05,06/December >D:/书/小说.txt"},
      {"第一,二", "/书/第一,二.txt", "1", 7, 40, "第一,二,P7,1,L40,14:05,06/December >/书/第一,二.txt"},
      {"a>b,P1,1,L1", "/x/y >z/a>b,P1,1,L1.txt", "1", 0, 0,
       "a>b,P1,1,L1,P0,1,L0,14:05,06/December >/x/y >z/a>b,P1,1,L1.txt"},
  };
  for (const Case& c : cases) {
    const std::string value = BookmarkValue(c.title, c.page, c.mode, c.line, time, c.path);
    EXPECT_EQ(value, c.value);
    const BookmarkFields f = ParseBookmark(value, false);
    EXPECT_EQ(f.title, value.substr(0, value.find(" >") + 2)) << c.value;
    EXPECT_EQ(f.path, c.path);
    EXPECT_EQ(f.page + "," + f.mode + "," + f.line,
              std::to_string(c.page) + "," + c.mode + "," + std::to_string(c.line));
  }

  const std::string last = LastPositionValue("a,b.txt", 7, time, "/书/a,b.txt");
  EXPECT_EQ(last, "a,b.txt,P7,14:05,06/December >/书/a,b.txt");
  const BookmarkFields f = ParseBookmark(last, true);
  EXPECT_EQ(f.path + "|" + f.page + "|" + f.line, "/书/a,b.txt|7|");
}

TEST(BookmarkFormat, ValuesOfOtherFormsSplitAtTheirCommas) {
  struct Case {
    const char *value, *title, *path, *page, *mode, *line;
  } cases[] = {
      // an older form without the line
      {"书,P12,0,14:05,06/December >/a.txt", "书,P12,0,14:05,06/December >", "/a.txt", "12", "0", "0"},
      // edited by hand: no time, so no fourth comma to end the line
      {"x,P3,1,L2 >/a.txt", "x,P3,1,L2 >", "/a.txt", "3", "1", ""},
  };
  for (const Case& c : cases) {
    const BookmarkFields f = ParseBookmark(c.value, false);
    EXPECT_EQ(f.title + "|" + f.path + "|" + f.page + "|" + f.mode + "|" + f.line,
              std::string(c.title) + "|" + c.path + "|" + c.page + "|" + c.mode + "|" + c.line);
  }
  EXPECT_EQ(LeadingNumber("99999999999999999999999999"), 999'999'999'999'999'999);  // no overflow
}

TEST(ReadRecordFormat, ValuesFieldsAndDurations) {
  EXPECT_EQ(RecordTime(LocalMoment(2010, 5, 3, 14, 5)), "2010/5/3 14:05");
  EXPECT_EQ(RecordTime(LocalMoment(2010, 12, 31, 9, 7)), "2010/12/31 09:07");
  EXPECT_EQ(RecordValue("新.txt", kRecordBlank, "2010/5/3 14:05", kRecordBlank),
            "新.txt, ,2010/5/3 14:05, ");

  struct Case {
    const char *value, *fields;
  } cases[] = {
      {"小说.txt,3725,2010/5/3 14:05,2010/5/3 15:07", "小说.txt|3725|2010/5/3 14:05|2010/5/3 15:07"},
      {"a,b,c.txt,60,2010/5/3 14:05,", "a,b,c.txt|60|2010/5/3 14:05|"},
  };
  for (const Case& c : cases) {
    const RecordFields f = ParseRecord(c.value);
    EXPECT_EQ(f.name + "|" + f.total + "|" + f.first + "|" + f.last, c.fields);
  }

  const struct {
    std::int64_t seconds;
    const char* text;
  } durations[] = {{0, "0 小时 0 分 0 秒"}, {3599, "0 小时 59 分 59 秒"},
                   {3600, "1 小时 0 分 0 秒"}, {360125, "100 小时 2 分 5 秒"}};
  for (const auto& d : durations) EXPECT_EQ(DurationText(d.seconds), d.text) << d.seconds;
}

}  // namespace
