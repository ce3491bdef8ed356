// The reader's command line: at most one book, and the two questions answered without a
// window. Plain C++, so every form can be tried in the unit tests.
#pragma once

#include <string>
#include <vector>

namespace varnelo {

struct CommandLine {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  std::string book;   // empty: none
  std::string error;  // for Error: what was wrong, in Chinese
};

// `arguments` starts with the program name. --help and --version win wherever they stand
// (before "--"), so a Qt option such as -platform never hides them. Qt's own options
// (-platform NAME, -style NAME, ...) are passed over, so the line can be read before Qt
// starts.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

std::string HelpText();
std::string VersionText();  // "Varnelo 小说阅读器 <version>"

// The path as seen from the working folder, so a reader started elsewhere finds it too.
std::string AbsolutePath(const std::string& path);

}  // namespace varnelo
