#include "store/replace_rules.h"

#include <algorithm>

#include "platform/profile.h"
#include "store/config_schema.h"

namespace varnelo {

namespace {

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '%': out += "%25"; break;
      case '|': out += "%7C"; break;
      case '\r': out += "%0D"; break;
      case '\n': out += "%0A"; break;
      case ' ': out += "%20"; break;  // the profile functions trim blanks at the ends
      case '\t': out += "%09"; break;
      default: out += c;
    }
  }
  return out;
}

bool Unescape(std::string_view text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    const std::string_view code = text.substr(i + 1, 2);
    if (code == "25") out += '%';
    else if (code == "7C" || code == "7c") out += '|';
    else if (code == "0D" || code == "0d") out += '\r';
    else if (code == "0A" || code == "0a") out += '\n';
    else if (code == "20") out += ' ';
    else if (code == "09") out += '\t';
    else return false;
    i += 2;
  }
  return true;
}

}  // namespace

std::string RuleEntry(const StoredRule& rule) {
  return std::string(rule.enabled ? "1" : "0") + (rule.regex ? "r" : "p") + "|" + Escape(rule.book) +
         "|" + Escape(rule.pattern) + "|" + Escape(rule.replacement);
}

bool ParseRuleEntry(const std::string& entry, StoredRule& rule) {
  std::vector<std::string_view> fields;
  std::size_t from = 0;
  while (true) {
    const std::size_t bar = entry.find('|', from);
    fields.push_back(std::string_view(entry).substr(from, bar == std::string::npos ? bar : bar - from));
    if (bar == std::string::npos) break;
    from = bar + 1;
  }
  if (fields.size() != 4 || fields[0].size() != 2) return false;
  if ((fields[0][0] != '0' && fields[0][0] != '1') || (fields[0][1] != 'r' && fields[0][1] != 'p'))
    return false;
  StoredRule read;
  read.enabled = fields[0][0] == '1';
  read.regex = fields[0][1] == 'r';
  if (!Unescape(fields[1], read.book) || !Unescape(fields[2], read.pattern) ||
      !Unescape(fields[3], read.replacement) || read.pattern.empty())
    return false;
  rule = std::move(read);
  return true;
}

std::vector<bool> ReadBuiltInOn(std::size_t count, const std::string& settingsPath) {
  std::vector<bool> on(count, true);
  const std::string off = profile::GetString(config_names::kCleanRules, config_names::kBuiltInOff, "", settingsPath);
  std::size_t from = 0;
  while (from < off.size()) {
    std::size_t stop = off.find(',', from);
    if (stop == std::string::npos) stop = off.size();
    std::size_t number = 0;
    bool digits = stop > from && stop - from <= 4;
    for (std::size_t i = from; digits && i < stop; ++i) {
      digits = off[i] >= '0' && off[i] <= '9';
      number = number * 10 + static_cast<std::size_t>(off[i] - '0');
    }
    if (digits && number >= 1 && number <= count) on[number - 1] = false;
    from = stop + 1;
  }
  return on;
}

bool WriteBuiltInOn(const std::vector<bool>& on, const std::string& settingsPath) {
  std::string off;
  for (std::size_t i = 0; i < on.size(); ++i) {
    if (on[i]) continue;
    if (!off.empty()) off += ',';
    off += std::to_string(i + 1);
  }
  return profile::WriteString(config_names::kCleanRules, config_names::kBuiltInOff, off, settingsPath);
}

std::vector<StoredRule> ReadReplaceRules(const std::string& settingsPath) {
  using namespace config_names;
  const profile::SectionReader section(kCleanRules, settingsPath);
  const int count = std::clamp(section.GetInt(kRuleNum, 0), 0, kMaxReplaceRules);
  std::vector<StoredRule> rules;
  for (int k = 1; k <= count; ++k) {
    StoredRule rule;
    if (ParseRuleEntry(section.GetString(std::to_string(k), ""), rule)) rules.push_back(std::move(rule));
  }
  return rules;
}

bool WriteReplaceRules(const std::vector<StoredRule>& rules, const std::string& settingsPath) {
  using namespace config_names;
  const int before = std::clamp(profile::GetInt(kCleanRules, kRuleNum, 0, settingsPath), 0, kMaxReplaceRules);
  const std::size_t count = std::min<std::size_t>(rules.size(), kMaxReplaceRules);
  std::vector<profile::Entry> entries;
  for (std::size_t k = 0; k < count; ++k) entries.push_back({std::to_string(k + 1), RuleEntry(rules[k])});
  for (std::size_t k = count; k < static_cast<std::size_t>(before); ++k) entries.push_back({std::to_string(k + 1), ""});
  entries.push_back({kRuleNum, std::to_string(count)});
  return profile::WriteStrings(kCleanRules, entries, settingsPath);
}

}  // namespace varnelo
