// The program folder: the folder that holds Config.ini, ending with the path separator.
// VARNELO_HOME comes first, so tests and trials never touch a real Config.ini; then the
// executable's own folder when the user may write there (a build or a portable copy);
// else the user's configuration folder, $XDG_CONFIG_HOME/varnelo/ or ~/.config/varnelo/.
#pragma once

#include <string>

namespace varnelo {

inline constexpr char kProgramFolderOverride[] = "VARNELO_HOME";

// Everything the choice depends on, so each case can be tried without changing the process.
struct SettingsPlace {
  std::string override;            // VARNELO_HOME
  std::string executableFolder;    // ends with the separator
  bool executableFolderWritable = false;
  std::string xdgConfigHome;       // XDG_CONFIG_HOME
  std::string home;                // the user's home folder
};

std::string SettingsFolderOf(const SettingsPlace& place);

std::string ExecutableFolder();
bool FolderWritable(const std::string& folder);
// Creates the folder and any missing parents (private to the user, as the XDG rules ask);
// true when it exists.
bool CreateFolders(const std::string& folder);

// SettingsFolderOf this process's environment and executable.
std::string ProgramFolder();
std::string SettingsPathIn(const std::string& programFolder);  // folder + "Config.ini"

}  // namespace varnelo
