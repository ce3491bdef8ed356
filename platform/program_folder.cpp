#include "platform/program_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace varnelo {

namespace {

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder.push_back('/');
  return folder;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// An installed reader lives in the system's folders; even root must not keep settings there.
bool SystemFolder(std::string_view folder) {
  return folder.starts_with("/usr/") || folder == "/bin/" || folder == "/sbin/";
}

std::string UserHome() {
  std::string home = Environment("HOME");
  if (!home.empty()) return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr) {
    home = found->pw_dir;
  }
  return home;
}

}  // namespace

std::string SettingsFolderOf(const SettingsPlace& place) {
  if (!place.override.empty()) return WithSeparator(place.override);
  if (place.executableFolderWritable && !SystemFolder(place.executableFolder)) {
    return WithSeparator(place.executableFolder);
  }
  // A relative XDG_CONFIG_HOME is invalid and ignored, as the XDG rules say.
  if (place.xdgConfigHome.starts_with('/')) return WithSeparator(place.xdgConfigHome) + "varnelo/";
  // No home at all: the working folder, rather than the root of the file system.
  if (place.home.empty()) return "./.config/varnelo/";
  return WithSeparator(place.home) + ".config/varnelo/";
}

std::string ExecutableFolder() {
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

bool FolderWritable(const std::string& folder) {
  return !folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool CreateFolders(const std::string& folder) {
  struct stat info {};
  if (folder.empty()) return false;
  if (::stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  std::size_t end = folder.size();
  while (end > 1 && folder[end - 1] == '/') --end;
  const std::size_t slash = folder.rfind('/', end - 1);
  if (slash != std::string::npos && slash > 0 && !CreateFolders(folder.substr(0, slash))) {
    return false;
  }
  return ::mkdir(folder.substr(0, end).c_str(), 0700) == 0 || errno == EEXIST;
}

std::string ProgramFolder() {
  SettingsPlace place;
  place.override = Environment(kProgramFolderOverride);
  if (place.override.empty()) {
    place.executableFolder = ExecutableFolder();
    place.executableFolderWritable = FolderWritable(place.executableFolder);
    place.xdgConfigHome = Environment("XDG_CONFIG_HOME");
    place.home = UserHome();
  }
  return SettingsFolderOf(place);
}

std::string SettingsPathIn(const std::string& programFolder) {
  return programFolder + "Config.ini";
}

}  // namespace varnelo
