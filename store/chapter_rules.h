// The user's own chapter rules: a name and a regular expression for a heading line each,
// in [ChapterRules] as RuleNum and keys "1" to RuleNum in the user's order. A value is
// "<id><tab><name><tab><expression>" in double quotes, so blanks at either end survive the
// profile read. The id stays with a rule through edits and moves, so a book paged by it
// keeps it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnelo {

inline constexpr int kMaxUserRules = 30;

struct UserChapterRule {
  int id = 0;  // 1 and up
  std::string name;
  std::string expression;  // UTF-8, as the user typed it
  bool operator==(const UserChapterRule&) const = default;
};

std::string UserRuleValue(const UserChapterRule& rule);
// Nothing for a value this program would not have written.
std::optional<UserChapterRule> ParseUserRule(std::string_view value);

class UserChapterRules {
 public:
  void SetSettingsPath(std::string path) { settingsPath_ = std::move(path); }
  // Reads RuleNum (at most kMaxUserRules) and its keys; unreadable ones and repeated ids
  // are left out.
  void Load();
  const std::vector<UserChapterRule>& Rules() const { return rules_; }
  const UserChapterRule* Find(int id) const;
  // An id no rule has.
  int NewId() const;
  // Writes the whole list, all or nothing; keys beyond it are emptied. False when it could
  // not be written (the list in memory is then the one on disk).
  bool Save(std::vector<UserChapterRule> rules);

 private:
  std::string settingsPath_;
  std::vector<UserChapterRule> rules_;
  int keysOnDisk_ = 0;
};

}  // namespace varnelo
