#include "text/sentences.h"
#include "platform/utf16.h"

#include <algorithm>

namespace varnelo {
namespace {

bool IsLineEnd(char16_t c) { return c == u'\n' || c == u'\r' || c == 0x2029 || c == 0x2028; }

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == 0x3000 || c == 0x00A0 || c == 0xFEFF || IsLineEnd(c);
}

bool EndsSentence(char16_t c) {
  return c == u'。' || c == u'！' || c == u'？' || c == u'…' || c == u'；' || c == u'!' ||
         c == u'?' || c == u';';
}

// What may follow the end mark and still belong to the sentence: closing quotes and
// brackets, and more end marks (“……”, ！？).
bool Closes(char16_t c) {
  return EndsSentence(c) || c == u'”' || c == u'’' || c == u'」' || c == u'』' || c == u'）' ||
         c == u')' || c == u'】' || c == u'》';
}

bool IsPause(char16_t c) { return c == u'，' || c == u'、' || c == u'：' || c == u',' || c == u':'; }

// Something a voice can say: a letter or digit, not only signs (a line of "……").
bool Sayable(std::u16string_view text, int begin, int end) {
  for (int i = begin; i < end; ++i) {
    const char16_t c = text[static_cast<std::size_t>(i)];
    if ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
        (c >= 0x00C0 && c <= 0x024F) || (c >= 0x3040 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x9FFF) ||
        (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF10 && c <= 0xFF19) || (c >= 0xFF21 && c <= 0xFF3A) ||
        (c >= 0xFF41 && c <= 0xFF5A) || (c >= 0xD800 && c <= 0xDBFF) || c == u'〇')
      return true;
  }
  return false;
}

// Adds [begin, end) trimmed of spaces, cut into pieces no longer than `longest`.
void Add(std::u16string_view text, int begin, int end, int longest, std::vector<Sentence>& out) {
  while (begin < end && IsSpace(text[static_cast<std::size_t>(begin)])) ++begin;
  while (end > begin && IsSpace(text[static_cast<std::size_t>(end - 1)])) --end;
  while (end - begin > longest) {
    // The last pause in the second half of the allowance, else the allowance itself.
    int cut = begin + longest;
    for (int i = begin + longest; i > begin + longest / 2; --i) {
      if (IsPause(text[static_cast<std::size_t>(i - 1)])) {
        cut = i;
        break;
      }
    }
    if (IsLowSurrogate(text[static_cast<std::size_t>(cut)])) --cut;  // keep a pair whole
    Add(text, begin, cut, longest, out);
    begin = cut;
    while (begin < end && IsSpace(text[static_cast<std::size_t>(begin)])) ++begin;
  }
  if (begin < end && Sayable(text, begin, end)) out.push_back({begin, end});
}

}  // namespace

std::vector<Sentence> SplitSentences(std::u16string_view text, int longest) {
  longest = std::max(longest, 2);
  std::vector<Sentence> out;
  const int size = static_cast<int>(text.size());
  int start = 0;
  int i = 0;
  while (i < size) {
    const char16_t c = text[static_cast<std::size_t>(i)];
    if (IsLineEnd(c)) {
      Add(text, start, i, longest, out);
      start = ++i;
    } else if (EndsSentence(c)) {
      ++i;
      while (i < size && Closes(text[static_cast<std::size_t>(i)])) ++i;
      Add(text, start, i, longest, out);
      start = i;
    } else {
      ++i;
    }
  }
  Add(text, start, size, longest, out);
  return out;
}

std::size_t SentenceAt(const std::vector<Sentence>& sentences, int position) {
  const auto it = std::upper_bound(sentences.begin(), sentences.end(), position,
                                   [](int p, const Sentence& s) { return p < s.end; });
  return static_cast<std::size_t>(it - sentences.begin());
}

}  // namespace varnelo
