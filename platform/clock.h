// Local time behind an injectable clock, so tests can stand at any second.
#pragma once

#include <ctime>
#include <string>

namespace varnelo {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::time_t Now() const = 0;
};

class SystemClock : public Clock {
 public:
  std::time_t Now() const override { return std::time(nullptr); }
};

// Broken-down local time of `moment`.
std::tm LocalTime(std::time_t moment);

// `moment` in local time, formatted as strftime does but always with the "C" locale's
// English names, whatever the user's locale is.
std::string FormatLocalTime(std::time_t moment, const char* format);

}  // namespace varnelo
