#include "store/chapter_rules.h"

#include <algorithm>
#include <charconv>

#include "platform/profile.h"
#include "store/config_schema.h"

namespace varnelo {

std::string UserRuleValue(const UserChapterRule& rule) {
  std::string name = rule.name;
  std::replace(name.begin(), name.end(), '\t', ' ');  // the tab ends the name
  return "\"" + std::to_string(rule.id) + "\t" + name + "\t" + rule.expression + "\"";
}

std::optional<UserChapterRule> ParseUserRule(std::string_view value) {
  const std::size_t first = value.find('\t');
  if (first == std::string_view::npos) return std::nullopt;
  const std::size_t second = value.find('\t', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  UserChapterRule rule;
  const auto [ptr, ec] = std::from_chars(value.data(), value.data() + first, rule.id);
  if (ec != std::errc() || ptr != value.data() + first || rule.id < 1) return std::nullopt;
  rule.name = std::string(value.substr(first + 1, second - first - 1));
  rule.expression = std::string(value.substr(second + 1));
  if (rule.expression.empty()) return std::nullopt;
  return rule;
}

void UserChapterRules::Load() {
  using namespace config_names;
  const profile::SectionReader section(kChapterRules, settingsPath_);
  keysOnDisk_ = std::clamp(section.GetInt(kRuleNum, 0), 0, kMaxUserRules);
  rules_.clear();
  for (int k = 1; k <= keysOnDisk_; ++k) {
    std::optional<UserChapterRule> rule = ParseUserRule(section.GetString(std::to_string(k), ""));
    if (rule && !Find(rule->id)) rules_.push_back(std::move(*rule));
  }
}

const UserChapterRule* UserChapterRules::Find(int id) const {
  const auto found = std::find_if(rules_.begin(), rules_.end(), [id](const auto& r) { return r.id == id; });
  return found == rules_.end() ? nullptr : &*found;
}

int UserChapterRules::NewId() const {
  int id = 0;
  for (const UserChapterRule& rule : rules_) id = std::max(id, rule.id);
  return id + 1;
}

bool UserChapterRules::Save(std::vector<UserChapterRule> rules) {
  using namespace config_names;
  if (rules.size() > static_cast<std::size_t>(kMaxUserRules)) rules.resize(kMaxUserRules);
  std::vector<profile::Entry> entries;
  entries.emplace_back(kRuleNum, std::to_string(rules.size()));
  for (std::size_t k = 0; k < rules.size(); ++k) entries.emplace_back(std::to_string(k + 1), UserRuleValue(rules[k]));
  for (int k = static_cast<int>(rules.size()) + 1; k <= keysOnDisk_; ++k) entries.emplace_back(std::to_string(k), "");
  if (!profile::WriteStrings(kChapterRules, entries, settingsPath_)) {
    Load();
    return false;
  }
  rules_ = std::move(rules);
  keysOnDisk_ = std::max(keysOnDisk_, static_cast<int>(rules_.size()));
  return true;
}

}  // namespace varnelo
