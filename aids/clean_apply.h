// "把净化规则应用到文件...": the enabled replace rules written into the book file itself,
// after a question that says how many places change. Every byte no rule touched stays as
// it is (the same atomic writer as a save, the book's own encoding), and the book's
// previous bytes are kept beside it under a name the library list does not show.
#pragma once

#include <string>
#include <vector>

namespace varnelo {

class CVarneloView;
class TextMatcher;

// Where the previous bytes of `book` go: "书.txt.bak", or "书.txt.2.bak", "书.txt.3.bak", ...
// when that is taken, so an older backup is never overwritten.
std::string CleanBackupPath(const std::string& book);

// Applies `rules` to the open book's file and reads the book again. The user is asked
// first and told the outcome.
void ApplyRulesToFile(CVarneloView& view, const std::vector<const TextMatcher*>& rules);

}  // namespace varnelo
