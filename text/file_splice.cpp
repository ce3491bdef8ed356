#include "text/file_splice.h"

#include "platform/codepage.h"

namespace varnelo {

namespace {

std::u32string CodePoints(std::u16string_view units) {
  std::u32string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      out.push_back(0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

EncodedEdit SpliceBook(std::string_view fileNow, const BookForm& form, std::string_view textNow,
                       const std::vector<TextSplice>& splices) {
  EncodedEdit result;
  std::size_t previous = 0;
  for (const TextSplice& splice : splices) {
    if (splice.begin < previous || splice.end < splice.begin || splice.end > textNow.size()) return result;
    previous = splice.end;
  }
  std::string file;
  file.reserve(fileNow.size() + fileNow.size() / 16);
  std::size_t copied = 0;  // file bytes written so far
  for (const TextSplice& splice : splices) {
    const BookPosition from = form.Locate(fileNow, static_cast<std::int64_t>(splice.begin));
    const BookPosition to = form.Locate(fileNow, static_cast<std::int64_t>(splice.end), true);
    // A splice that starts or ends inside a character would take part of it along.
    if (from.text != static_cast<std::int64_t>(splice.begin) || to.text != static_cast<std::int64_t>(splice.end) ||
        static_cast<std::size_t>(from.file) < copied || to.file < from.file)
      return result;
    file.append(fileNow.substr(copied, static_cast<std::size_t>(from.file) - copied));
    if (form.encoding == BookEncoding::Gbk) {
      file += splice.bytes;
    } else {
      const std::optional<std::string> encoded =
          EncodeText(CodePoints(DecodeBookBytes(splice.bytes)), form.encoding, &result.refused);
      if (!encoded) return result;
      file += *encoded;
    }
    copied = static_cast<std::size_t>(to.file);
  }
  file.append(fileNow.substr(copied));
  result.file = std::move(file);
  return result;
}

}  // namespace varnelo
