// Replace rules made into matchers for the page's display pipeline. A regular expression
// runs through QRegularExpression (PCRE2 over UTF-16, the pane's own units, with Unicode
// classes and no recursion limit on long lines); plain text through the pure matcher.
#pragma once

#include <QString>

#include <memory>
#include <vector>

#include "text/display_text.h"

namespace varnelo {

// The rule as a matcher; nothing, with `error` saying why in Chinese, when its text is
// empty or its expression does not compile. Empty matches change nothing.
std::unique_ptr<TextMatcher> MakeMatcher(const RuleText& rule, QString* error = nullptr);

// Matchers kept alive together, with the plain pointers the pipeline takes.
struct MatcherSet {
  std::vector<std::unique_ptr<TextMatcher>> owned;
  std::vector<const TextMatcher*> Pointers() const;
};
// The rules that compile, in order; the ones that do not are left out.
MatcherSet MakeMatchers(const std::vector<RuleText>& rules);

// How many places `matcher` changes in `text`.
std::size_t CountMatches(const TextMatcher& matcher, std::u16string_view text);

}  // namespace varnelo
