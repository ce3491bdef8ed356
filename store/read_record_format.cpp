#include "store/read_record_format.h"

#include "platform/clock.h"

namespace varnelo {

std::string RecordTime(std::time_t moment) {
  const std::tm local = LocalTime(moment);
  return std::to_string(local.tm_year + 1900) + "/" + std::to_string(local.tm_mon + 1) + "/" +
         std::to_string(local.tm_mday) + " " + FormatLocalTime(moment, "%H:%M");
}

std::string RecordValue(std::string_view name, std::string_view total, std::string_view first,
                        std::string_view last) {
  std::string value(name);
  value.append(",").append(total).append(",").append(first).append(",").append(last);
  return value;
}

RecordFields ParseRecord(std::string_view value) {
  RecordFields fields;
  const std::size_t third = value.rfind(',');
  const std::size_t second =
      third == std::string_view::npos || third == 0 ? std::string_view::npos
                                                    : value.rfind(',', third - 1);
  const std::size_t first =
      second == std::string_view::npos || second == 0 ? std::string_view::npos
                                                      : value.rfind(',', second - 1);
  if (first != std::string_view::npos) {
    fields.name = std::string(value.substr(0, first));
    fields.total = std::string(value.substr(first + 1, second - first - 1));
    fields.first = std::string(value.substr(second + 1, third - second - 1));
    fields.last = std::string(value.substr(third + 1));
    return fields;
  }
  std::string* const parts[] = {&fields.name, &fields.total, &fields.first, &fields.last};
  std::size_t start = 0;
  for (std::string* part : parts) {
    const std::size_t comma = value.find(',', start);
    *part = std::string(value.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

std::string DurationText(std::int64_t seconds) {
  const std::int64_t rest = seconds % 3600;
  return std::to_string(seconds / 3600) + " 小时 " + std::to_string(rest / 60) + " 分 " +
         std::to_string(rest % 60) + " 秒";
}

}  // namespace varnelo
