#include "platform/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

namespace varnelo {
namespace {

constexpr const char* kBookCode = "GB18030";
constexpr const char* kUtf16 =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

constexpr char16_t kEscapeBase = 0xDC00;
constexpr char16_t kEscapeFirst = 0xDC80;
constexpr char16_t kEscapeLast = 0xDCFF;

// Decoding in slices keeps a failed round-trip check cheap to redo: only that slice is
// walked character by character.
constexpr std::size_t kSlice = 16 * 1024;
// Longest GB18030 sequence; an error this close to a slice end may just be the cut.
constexpr std::size_t kLongest = 4;

struct Result {
  std::size_t inUsed = 0;
  std::size_t outUsed = 0;
  int error = 0;  // 0, EILSEQ, EINVAL or E2BIG
};

// One iconv descriptor per direction and thread: iconv_open is far too slow per call and
// a descriptor must not be shared between threads.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  Result Run(const char* in, std::size_t inLen, char* out, std::size_t outLen) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* inPtr = const_cast<char*>(in);
    char* outPtr = out;
    std::size_t inLeft = inLen;
    std::size_t outLeft = outLen;
    Result r;
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
      r.error = errno;
    r.inUsed = inLen - inLeft;
    r.outUsed = outLen - outLeft;
    return r;
  }

 private:
  iconv_t cd_;
};

Converter& Decoder() {
  thread_local Converter c(kUtf16, kBookCode);
  return c;
}

Converter& Encoder() {
  thread_local Converter c(kBookCode, kUtf16);
  return c;
}

// Appends the GB18030 form of valid UTF-16 (no escapes) to out. False if iconv refused any
// of it.
bool EncodePlain(std::u16string_view text, std::string& out) {
  Converter& enc = Encoder();
  if (!enc.Ok()) {
    // Without a converter only ASCII is known for sure.
    if (std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x80; }))
      return false;
    for (char16_t c : text) out.push_back(static_cast<char>(c));
    return true;
  }
  const char* in = reinterpret_cast<const char*>(text.data());
  std::size_t inLeft = text.size() * 2;
  while (inLeft > 0) {
    const std::size_t start = out.size();
    out.resize(start + inLeft * 2 + 8);
    const Result r = enc.Run(in, inLeft, out.data() + start, out.size() - start);
    out.resize(start + r.outUsed);
    in += r.inUsed;
    inLeft -= r.inUsed;
    if (r.error != 0 && (r.error != E2BIG || r.inUsed == 0)) return false;
  }
  return true;
}

// Decodes the one character at the front of in. Nothing is used when it is not valid or
// does not come back to the same bytes when encoded (glibc maps a few 4-byte sequences
// onto the characters of 2-byte ones).
Result DecodeOne(std::string_view in, char16_t* out) {
  Converter& dec = Decoder();
  Result r;
  if (!dec.Ok()) return r;
  char* outBytes = reinterpret_cast<char*>(out);
  r = dec.Run(in.data(), in.size(), outBytes, 2);
  if (r.inUsed == 0 && r.error == E2BIG) r = dec.Run(in.data(), in.size(), outBytes, 4);
  r.outUsed /= 2;
  if (r.inUsed == 0 || r.outUsed == 0) return Result{};
  thread_local std::string check;
  check.clear();
  if (!EncodePlain(std::u16string_view(out, r.outUsed), check) ||
      check != in.substr(0, r.inUsed))
    return Result{};
  return r;
}

// Character by character from pos to at least end; returns where it stopped.
std::size_t DecodeSlowly(std::string_view bytes, std::size_t pos, std::size_t end,
                         std::u16string& out, std::size_t& units) {
  while (pos < end) {
    const Result r = DecodeOne(bytes.substr(pos), out.data() + units);
    if (r.outUsed == 0) {
      out[units++] = static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[pos]));
      ++pos;
    } else {
      pos += r.inUsed;
      units += r.outUsed;
    }
  }
  return pos;
}

}  // namespace

std::u16string DecodeBookBytes(std::string_view bytes) {
  // Every unit comes from at least one byte, so this never needs to grow.
  std::u16string out(bytes.size(), u'\0');
  std::size_t units = 0;
  std::size_t pos = 0;
  Converter& dec = Decoder();
  thread_local std::string check;

  while (pos < bytes.size()) {
    const std::size_t sliceEnd = std::min(bytes.size(), pos + kSlice);
    Result r;
    if (dec.Ok()) {
      r = dec.Run(bytes.data() + pos, sliceEnd - pos,
                  reinterpret_cast<char*>(out.data() + units), (out.size() - units) * 2);
      r.outUsed /= 2;
    } else if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
      // No converter: ASCII as is, every other byte escaped.
      out[units++] = static_cast<char16_t>(bytes[pos++]);
      continue;
    } else {
      r.error = EILSEQ;
    }

    if (r.inUsed > 0) {
      check.clear();
      const std::string_view done = bytes.substr(pos, r.inUsed);
      if (EncodePlain(std::u16string_view(out.data() + units, r.outUsed), check) &&
          check == done) {
        pos += r.inUsed;
        units += r.outUsed;
      } else {
        pos = DecodeSlowly(bytes, pos, pos + r.inUsed, out, units);
        continue;
      }
    }

    if (r.error == 0 || (r.error == E2BIG && r.inUsed > 0)) continue;
    // A sequence cut by the slice end is read again at the start of the next slice.
    if (sliceEnd < bytes.size() && pos + kLongest > sliceEnd) continue;
    out[units++] = static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[pos]));
    ++pos;
  }
  out.resize(units);
  return out;
}

std::string EncodeBookText(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  std::size_t pos = 0;
  while (pos < text.size()) {
    // Up to the next surrogate that is not half of a pair: iconv takes that run whole.
    std::size_t end = pos;
    while (end < text.size()) {
      const char16_t c = text[end];
      if (c >= 0xD800 && c <= 0xDBFF && end + 1 < text.size() && text[end + 1] >= 0xDC00 &&
          text[end + 1] <= 0xDFFF) {
        end += 2;
      } else if (c >= 0xD800 && c <= 0xDFFF) {
        break;
      } else {
        ++end;
      }
    }
    if (end > pos) {
      const std::size_t before = out.size();
      if (!EncodePlain(text.substr(pos, end - pos), out)) {
        // Something iconv refuses inside the run: redo it one character at a time.
        out.resize(before);
        for (std::size_t i = pos; i < end;) {
          const std::size_t len = (text[i] >= 0xD800 && text[i] <= 0xDBFF) ? 2 : 1;
          const std::size_t mark = out.size();
          if (!EncodePlain(text.substr(i, len), out)) {
            out.resize(mark);
            out.push_back('?');
          }
          i += len;
        }
      }
      pos = end;
    }
    if (pos < text.size()) {
      const char16_t c = text[pos];
      out.push_back(c >= kEscapeFirst && c <= kEscapeLast
                        ? static_cast<char>(static_cast<unsigned char>(c - kEscapeBase))
                        : '?');
      ++pos;
    }
  }
  return out;
}

}  // namespace varnelo
