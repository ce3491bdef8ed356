// The program folder: the running executable's folder, ending with the path separator.
// VARNELO_HOME overrides it, so tests and trials never touch a real Config.ini.
#pragma once

#include <string>

namespace varnelo {

inline constexpr char kProgramFolderOverride[] = "VARNELO_HOME";

std::string ProgramFolder();
std::string SettingsPathIn(const std::string& programFolder);  // folder + "Config.ini"

}  // namespace varnelo
