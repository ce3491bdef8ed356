#include "platform/clock.h"

#include <locale.h>
#include <time.h>

namespace varnelo {

std::tm LocalTime(std::time_t moment) {
  std::tm out{};
  localtime_r(&moment, &out);
  return out;
}

std::string FormatLocalTime(std::time_t moment, const char* format) {
  if (format == nullptr || *format == '\0') return {};
  // Made once and kept; whatever setlocale the program calls later cannot change it.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
  if (cLocale == locale_t{}) return {};
  const std::tm local = LocalTime(moment);
  // strftime gives 0 both for "too small" and for an empty result, so the buffer grows a
  // few times and then accepts the empty answer.
  std::string out(256, '\0');
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::size_t n = strftime_l(out.data(), out.size(), format, &local, cLocale);
    if (n > 0) {
      out.resize(n);
      return out;
    }
    out.resize(out.size() * 4);
  }
  return {};
}

}  // namespace varnelo
