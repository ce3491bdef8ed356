// The encodings the user chose for books ([Encoding] of Config.ini): path and encoding
// name, oldest first, at most 100 books. Readers that do not know the section ignore it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnelo {

inline constexpr int kMaxEncodingChoices = 100;

struct EncodingChoice {
  std::string path;
  std::string name;  // as the text engine names encodings
};

// The stored choices; entries that cannot be read are skipped.
std::vector<EncodingChoice> ReadEncodingChoices(const std::string& settingsPath);
// The choice for `path`, if one is stored.
std::optional<std::string> EncodingChoiceOf(const std::string& path,
                                            const std::string& settingsPath);
// Keeps `name` for `path` as the newest choice (an empty name forgets it), dropping the
// oldest beyond 100. False when Config.ini could not be written.
bool StoreEncodingChoice(const std::string& path, const std::string& name,
                         const std::string& settingsPath);

// The list with the change made: pure, for the store and its tests.
void ChooseEncoding(std::vector<EncodingChoice>& choices, const std::string& path,
                    const std::string& name);

}  // namespace varnelo
