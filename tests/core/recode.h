// Test books in other encodings, made by the system's iconv.
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace varnelo::testing {

struct Recoded {
  std::string bytes;  // what iconv gave, up to where it stopped
  bool whole = false;  // every byte converted (with //IGNORE in `to`, never)
};

inline Recoded Recode(std::string_view in, const char* from, const char* to) {
  Recoded result;
  const iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return result;
  result.bytes.assign(in.size() * 4 + 16, '\0');
  char* source = const_cast<char*>(in.data());
  std::size_t left = in.size();
  char* target = result.bytes.data();
  std::size_t room = result.bytes.size();
  result.whole = iconv(cd, &source, &left, &target, &room) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  result.bytes.resize(result.bytes.size() - room);
  return result;
}

}  // namespace varnelo::testing
