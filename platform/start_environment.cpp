#include "platform/start_environment.h"

#include <algorithm>
#include <cstdlib>

namespace varnelo {

void StartEnvironment::Set(const char* name, const char* value) {
  const bool known = std::any_of(saved_.begin(), saved_.end(), [&](const Saved& s) { return s.name == name; });
  if (!known) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old != nullptr ? std::optional<std::string>(old) : std::nullopt});
  }
  setenv(name, value, 1);
}

void StartEnvironment::Restore() {
  for (const Saved& saved : saved_) {
    if (saved.value) {
      setenv(saved.name.c_str(), saved.value->c_str(), 1);
    } else {
      unsetenv(saved.name.c_str());
    }
  }
  saved_.clear();
}

void ChooseXImageUpload(StartEnvironment& environment) { environment.Set("QT_XCB_NO_MITSHM", "1"); }

}  // namespace varnelo
