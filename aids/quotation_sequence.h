// What the quotation line shows next: the built-in maxims in a ring, or the user's
// quotation file line by line or as a band of 18 characters moving two at a time. Bytes
// in, bytes out: the file's text is never decoded here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text/book_engine.h"

namespace varnelo {

inline constexpr int kMaximCount = 31;
// A file line is shown only while it is shorter than this, its line break included.
inline constexpr std::size_t kLongQuoteLineBytes = 150;
// A file with this many line feeds is refused.
inline constexpr int kTooManyQuoteLineFeeds = 10000;
inline constexpr int kBandCharacters = 18;
// Past this the band would take weeks to show anything; a longer file is read this far.
inline constexpr std::size_t kMaxQuoteFileBytes = 16 << 20;

// Reads the quotation file as the line needs it: up to its 10,000th line feed (which is
// enough to refuse it) and at most kMaxQuoteFileBytes, never what lies beyond. Refuses as a
// book is refused: a missing or non-regular file, an empty file, a UTF-16 LE mark.
LoadStatus ReadQuotationFile(const std::string& path, std::string& bytes);

// Entry 0 is empty and never shown; 1 to 31 are the maxims (UTF-8).
std::string_view BuiltInMaxim(int index);
// The entry after `index`: 1, 2, ..., 31, 1, ...
int NextMaximIndex(int index);

class QuotationFile {
 public:
  enum class Start { Empty, TooManyLines, Lines, Band };

  // The whole file; `band` replaces its line breaks by blanks and shows it as a band.
  Start Begin(std::string bytes, bool band);

  struct Step {
    std::string text;     // what the line shows now
    bool stop = false;    // the end was reached without looping: keep showing `text`
    bool tooLong = false; // a file line too long to show: switch to the band
  };
  Step NextLine(bool loop);
  Step NextBandWindow(bool loop);

  bool Started() const { return started_; }

 private:
  std::size_t CharacterEnd(std::size_t at) const;

  bool started_ = false;
  std::string text_;
  std::vector<std::size_t> lineStarts_;  // entry k: where line k starts
  int index_ = 0;                        // next line, or the band's step count
  std::size_t bandStart_ = 0;
  std::size_t bandEnd_ = 0;
};

}  // namespace varnelo
