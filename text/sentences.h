// Cuts a page's text into the sentences read aloud: at 。！？…； and at line ends, a
// closing quote or bracket staying with its sentence; a long run without such a mark is cut
// at a comma or, failing that, at a fixed length, never inside a character. Blank lines and
// runs of nothing but spaces or signs ("……") give no sentence. Offsets are in UTF-16 units of the text, so
// they are positions in the page pane.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnelo {

struct Sentence {
  int begin = 0;  // first unit that is not a space
  int end = 0;    // one past the last unit that is not a space
};

// The longest sentence, in UTF-16 units, before a run is cut.
inline constexpr int kLongestSentence = 120;

std::vector<Sentence> SplitSentences(std::u16string_view text, int longest = kLongestSentence);

// The first sentence ending after `position` (the one holding it, or the next); the count
// when none does.
std::size_t SentenceAt(const std::vector<Sentence>& sentences, int position);

}  // namespace varnelo
