#include "platform/clock.h"

#include <clocale>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

using namespace varnelo;

namespace {

// Status texts and saved records keep English names for a user in a Chinese locale.
TEST(ClockTest, FormatsWithEnglishNamesWhateverTheLocale) {
  struct LocaleGuard {
    std::string saved = std::setlocale(LC_ALL, nullptr);
    ~LocaleGuard() { std::setlocale(LC_ALL, saved.c_str()); }
  } guard;
  std::tm moment{};  // Tuesday 5 March 2024, 09:07 local time
  moment.tm_year = 124;
  moment.tm_mon = 2;
  moment.tm_mday = 5;
  moment.tm_hour = 9;
  moment.tm_min = 7;
  moment.tm_isdst = -1;
  const std::time_t march = std::mktime(&moment);
  std::string longFormat, longMonths;  // longer than the first buffer
  for (int i = 0; i < 100; ++i) {
    longFormat += "%B";
    longMonths += "March";
  }
  const struct {
    std::string format, expected;
  } cases[] = {
      {"%H:%M,%d/%B", "09:07,05/March"},
      {"%a %A %b %p %I", "Tue Tuesday Mar AM 09"},
      {longFormat, longMonths},
      {"", ""},
  };
  for (const char* name : {"zh_CN.UTF-8", "C.UTF-8", ""}) {
    ASSERT_NE(std::setlocale(LC_ALL, name), nullptr) << name << ": tools/setup.sh makes it";
    for (const auto& c : cases) {
      EXPECT_EQ(FormatLocalTime(march, c.format.c_str()), c.expected) << name << c.format;
    }
  }
  // Proves the Chinese locale really names months otherwise.
  std::setlocale(LC_ALL, "zh_CN.UTF-8");
  char plain[64];
  const std::tm local = LocalTime(march);
  EXPECT_NE(std::string(plain, std::strftime(plain, sizeof plain, "%B", &local)), "March");
}

}  // namespace
