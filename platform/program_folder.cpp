#include "platform/program_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace varnelo {

std::string ProgramFolder() {
  if (const char* home = std::getenv(kProgramFolderOverride); home != nullptr && *home != '\0') {
    std::string folder(home);
    if (folder.back() != '/') folder.push_back('/');
    return folder;
  }
  // readlink does not say whether it truncated, so grow until the path fits.
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return "./";
    if (static_cast<std::size_t>(n) < buffer.size()) {
      const std::string exe(buffer.data(), static_cast<std::size_t>(n));
      const std::size_t slash = exe.rfind('/');
      return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string SettingsPathIn(const std::string& programFolder) {
  return programFolder + "Config.ini";
}

}  // namespace varnelo
