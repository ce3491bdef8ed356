// Variables Qt reads as it starts, set for the reader alone. The session's values go back
// once nothing else reads the environment (a change under another thread's getenv is
// unsafe), so that the programs the reader starts get the session's own.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace varnelo {

class StartEnvironment {
 public:
  StartEnvironment() = default;
  StartEnvironment(const StartEnvironment&) = delete;
  StartEnvironment& operator=(const StartEnvironment&) = delete;
  ~StartEnvironment() { Restore(); }

  // Sets `name` to `value`, remembering the session's value (or its absence) the first time.
  void Set(const char* name, const char* value);
  void Restore();

 private:
  struct Saved {
    std::string name;
    std::optional<std::string> value;
  };
  std::vector<Saved> saved_;
};

// The reader's choice of how the window's pixels reach an X server: through the connection,
// not shared memory. Auto-scroll moves the page a pixel 33 times a second; with shared
// memory Qt waits for the server before every such step may paint over what it sent last
// (a round trip and two thread wake-ups), which costs a step almost half again. A whole page
// costs the reader the same either way. Nothing changes on other platforms.
void ChooseXImageUpload(StartEnvironment& environment);

}  // namespace varnelo
