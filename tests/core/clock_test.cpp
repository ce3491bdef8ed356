#include "platform/clock.h"

#include <clocale>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

using namespace varnelo;

namespace {

std::time_t LocalMoment(int year, int month, int day, int hour, int minute) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

// Puts the program's locale back however the test ends.
struct LocaleGuard {
  std::string saved = std::setlocale(LC_ALL, nullptr);
  ~LocaleGuard() { std::setlocale(LC_ALL, saved.c_str()); }
};

// The status bar and saved records want English names even for a user in a Chinese locale.
TEST(ClockTest, FormatsWithEnglishNamesWhateverTheLocale) {
  std::string longFormat, longExpected;
  for (int i = 0; i < 100; ++i) {
    longFormat += "%B";
    longExpected += "March";
  }
  const std::time_t march = LocalMoment(2024, 3, 5, 9, 7);
  struct Case {
    std::time_t moment;
    std::string format;
    std::string expected;
  } cases[] = {
      {march, "%H:%M,%d/%B", "09:07,05/March"},
      {LocalMoment(2023, 12, 28, 21, 30), "%a %A %b %p %I", "Thu Thursday Dec PM 09"},
      {march, longFormat, longExpected},  // longer than the first buffer
      {march, "", ""},
  };
  const LocaleGuard guard;
  for (const char* name : {"zh_CN.UTF-8", "C.UTF-8", ""}) {
    SCOPED_TRACE(name);
    ASSERT_NE(std::setlocale(LC_ALL, name), nullptr) << "tools/setup.sh makes this locale";
    for (const Case& c : cases) {
      EXPECT_EQ(FormatLocalTime(c.moment, c.format.c_str()), c.expected) << c.format;
    }
  }
  // Only meaningful if the Chinese locale really names months differently.
  std::setlocale(LC_ALL, "zh_CN.UTF-8");
  char plain[64];
  const std::tm local = LocalTime(march);
  EXPECT_NE(std::string(plain, std::strftime(plain, sizeof plain, "%B", &local)), "March");
}

}  // namespace
