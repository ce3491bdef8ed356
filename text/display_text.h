// What the pane shows for a page once it is cleaned and typeset: replace rules, re-flow of
// hard-wrapped paragraphs and a uniform first-line indent. Plain C++ on the pane's UTF-16
// text; every shown unit keeps the byte offset (within the page) of the book character it
// came from, so the book, its pages and every stored place stay in the book's own bytes.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/file_splice.h"

namespace varnelo {

// ReflowMode of Config.ini: Auto re-flows only a book found hard-wrapped.
enum class ReflowMode { Off = 0, Auto = 1, On = 2 };
// Paragraph indent: as the file has it, two full-width spaces, or none.
enum class IndentMode { Keep = 0, TwoSpaces = 1, None = 2 };

// A page's text as shown, with offsets.size() == text.size() + 1: offsets[i] is where the
// bytes of the book character behind unit i begin, relative to the page (an inserted unit
// takes the offset of the character it stands before). Never decreasing.
struct DisplayText {
  std::u16string text;
  std::vector<std::size_t> offsets;
};

// The page's bytes as the pane shows them unchanged (every line break as one "\n").
DisplayText PlainDisplay(std::string_view pageBytes);

// One place a rule matched: units [start, start + length) become `replacement`.
struct TextEdit {
  std::size_t start = 0;
  std::size_t length = 0;
  std::u16string replacement;
};

// A replace rule's search. Regular expressions live above this layer (the pure layer has
// no Unicode-aware engine); plain text is here.
class TextMatcher {
 public:
  virtual ~TextMatcher() = default;
  // Appends the matches in `text`, in order and not overlapping.
  virtual void FindAll(std::u16string_view text, std::vector<TextEdit>& out) const = 0;
};

class PlainMatcher : public TextMatcher {
 public:
  PlainMatcher(std::u16string words, std::u16string replacement)
      : words_(std::move(words)), replacement_(std::move(replacement)) {}
  void FindAll(std::u16string_view text, std::vector<TextEdit>& out) const override;

 private:
  std::u16string words_;
  std::u16string replacement_;
};

// A replace rule as the user or the built-in set gives it.
struct RuleText {
  std::u16string pattern;
  std::u16string replacement;
  bool regex = false;
  std::u16string name;  // what the rules dialog calls a built-in rule
};
// The common junk of downloaded novels: HTML tags and entities, "next page" prompts,
// phone-reading and update-time lines, site addresses.
const std::vector<RuleText>& BuiltInRules();

// What a book's lines say about hard wrapping, measured once per book.
struct WrapEvidence {
  bool hardWrapped = false;
  std::size_t width = 0;   // the usual byte width of a wrapped line (GB18030: 2 a character)
  bool indented = false;   // paragraphs begin with an indent
};
// From the first lines of the book's GB18030 bytes.
WrapEvidence MeasureWrap(std::string_view bookBytes);

// A chapter heading line ("第十二回 …", "楔子", "正文 第一章 …"), kept as a line of its own.
bool IsHeadingLine(std::u16string_view line);

// Applies the matchers in turn, each over the text the ones before it made. A line the
// rules leave blank that had text goes with its line break; an edit that would split a
// surrogate pair is skipped.
void ApplyRules(DisplayText& shown, const std::vector<const TextMatcher*>& rules);
// The places the rules change in a book's GB18030 `bytes`, changed as a page shows them
// (a line they empty goes with its line break): in order and disjoint, each new stretch in
// GB18030 with `lineBreak` for a line break a replacement brings. The rules run over the
// whole decoded book, so a match may span any number of lines.
std::vector<TextSplice> RuleSplices(std::string_view bytes, const std::vector<const TextMatcher*>& rules,
                                    std::string_view lineBreak);
// How many places `matcher` finds in a book's GB18030 `bytes`.
std::size_t CountInBook(std::string_view bytes, const TextMatcher& matcher);
// The same for each of `matchers`, the book decoded once for all of them.
std::vector<std::size_t> CountEachInBook(std::string_view bytes, const std::vector<const TextMatcher*>& matchers);

// Joins the lines of each hard-wrapped paragraph; true paragraph breaks, headings, short
// lines (poems, dialogue) and blank lines stay. Off leaves the text as it is; Auto acts
// only on a book the evidence finds hard-wrapped.
void Reflow(DisplayText& shown, const WrapEvidence& evidence, ReflowMode mode);
// Every paragraph's leading blanks replaced by the mode's indent; headings take none.
void Indent(DisplayText& shown, IndentMode mode);

struct DisplayOptions {
  std::vector<const TextMatcher*> rules;
  ReflowMode reflow = ReflowMode::Off;
  IndentMode indent = IndentMode::Keep;
  WrapEvidence evidence;
  bool Plain() const { return rules.empty() && reflow == ReflowMode::Off && indent == IndentMode::Keep; }
};
// The whole pipeline: rules, then re-flow, then indent.
DisplayText ShowPageText(std::string_view pageBytes, const DisplayOptions& options);
void ShowPageText(DisplayText& shown, const DisplayOptions& options);

// The shown unit holding byte `offset` of the page (the last unit whose character starts at
// or before it); -1 before the first.
long UnitOfOffset(const DisplayText& shown, std::size_t offset);

}  // namespace varnelo
