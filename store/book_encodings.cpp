#include "store/book_encodings.h"

#include <algorithm>

#include "platform/profile.h"
#include "store/config_schema.h"

namespace varnelo {

std::vector<EncodingChoice> ReadEncodingChoices(const std::string& settingsPath) {
  using namespace config_names;
  // One reading of the section, however many choices it lists.
  const profile::SectionReader section(kEncoding, settingsPath);
  const int count = std::clamp(section.GetInt(kEncodingNum, 0), 0, kMaxEncodingChoices);
  std::vector<EncodingChoice> choices;
  for (int k = 1; k <= count; ++k) {
    const std::string entry = section.GetString(std::to_string(k), "");
    const std::size_t bar = entry.find('|');
    if (bar == std::string::npos || bar == 0 || bar + 1 == entry.size()) continue;
    choices.push_back({entry.substr(bar + 1), entry.substr(0, bar)});
  }
  return choices;
}

std::optional<std::string> EncodingChoiceOf(const std::string& path,
                                            const std::string& settingsPath) {
  const std::vector<EncodingChoice> choices = ReadEncodingChoices(settingsPath);
  for (auto it = choices.rbegin(); it != choices.rend(); ++it) {
    if (it->path == path) return it->name;
  }
  return std::nullopt;
}

void ChooseEncoding(std::vector<EncodingChoice>& choices, const std::string& path,
                    const std::string& name) {
  std::erase_if(choices, [&](const EncodingChoice& c) { return c.path == path; });
  if (!name.empty()) choices.push_back({path, name});
  if (choices.size() > static_cast<std::size_t>(kMaxEncodingChoices))
    choices.erase(choices.begin(), choices.end() - kMaxEncodingChoices);
}

bool StoreEncodingChoice(const std::string& path, const std::string& name,
                         const std::string& settingsPath) {
  using namespace config_names;
  const std::vector<EncodingChoice> before = ReadEncodingChoices(settingsPath);
  std::vector<EncodingChoice> choices = before;
  ChooseEncoding(choices, path, name);
  // Only the entries that changed, in one write: a choice is one key or a few.
  std::vector<profile::Entry> entries;
  for (std::size_t k = 0; k < choices.size(); ++k) {
    if (k < before.size() && before[k].path == choices[k].path && before[k].name == choices[k].name)
      continue;
    entries.emplace_back(std::to_string(k + 1), choices[k].name + "|" + choices[k].path);
  }
  for (std::size_t k = choices.size(); k < before.size(); ++k) entries.emplace_back(std::to_string(k + 1), "");
  entries.emplace_back(kEncodingNum, std::to_string(choices.size()));
  return profile::WriteStrings(kEncoding, entries, settingsPath);
}

}  // namespace varnelo
