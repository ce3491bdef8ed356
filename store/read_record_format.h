// The values of [TimePad]: one reading-time record per tracked book,
// "<file name>,<total seconds>,<first read>,<last read>".
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace varnelo {

// What a new record holds for its total and its last-read time until a period ends.
inline constexpr char kRecordBlank[] = " ";

// "2010/5/3 14:05": no leading zeros in the date.
std::string RecordTime(std::time_t moment);

std::string RecordValue(std::string_view name, std::string_view total, std::string_view first,
                        std::string_view last);

struct RecordFields {
  std::string name;
  std::string total;
  std::string first;
  std::string last;
};

// A file name may hold commas; the three fields after it never do, so they are taken from
// the end. A value with fewer than three commas fills the fields in order.
RecordFields ParseRecord(std::string_view value);

// "1 小时 2 分 5 秒"
std::string DurationText(std::int64_t seconds);

}  // namespace varnelo
