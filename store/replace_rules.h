// The user's replace rules (净化) in [CleanRules] of Config.ini: RuleNum entries "1".. as
// "flags|book|pattern|replacement", each field with '%', '|', CR, LF, space and tab
// escaped as %25, %7C, %0D, %0A, %20, %09. Flags: "1" or "0" for on, then "r" for a regular expression, "p" for
// plain text. An empty book means every book. Readers that do not know the section ignore it.
#pragma once

#include <string>
#include <vector>

namespace varnelo {

inline constexpr int kMaxReplaceRules = 200;

struct StoredRule {
  bool enabled = true;
  bool regex = false;
  std::string book;         // the book's path; empty for all books
  std::string pattern;      // UTF-8
  std::string replacement;  // UTF-8
  bool operator==(const StoredRule&) const = default;
};

// The entry's text and back; nothing (false) for an entry that cannot be read.
std::string RuleEntry(const StoredRule& rule);
bool ParseRuleEntry(const std::string& entry, StoredRule& rule);

// Which of `count` built-in rules are on (all unless listed in BuiltInOff), and back.
std::vector<bool> ReadBuiltInOn(std::size_t count, const std::string& settingsPath);
bool WriteBuiltInOn(const std::vector<bool>& on, const std::string& settingsPath);

std::vector<StoredRule> ReadReplaceRules(const std::string& settingsPath);
// Writes the whole list; entries beyond it are emptied. False when Config.ini could not
// be written.
bool WriteReplaceRules(const std::vector<StoredRule>& rules, const std::string& settingsPath);

}  // namespace varnelo
