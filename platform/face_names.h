// Face names of Windows Chinese fonts, as users and their Config.ini files know them, and
// the faces of the same style that this system installs instead.
#pragma once

#include <string>
#include <vector>

namespace varnelo {

// The faces to try for `face`, best first: the face itself, then, for a known Windows
// face (Chinese or English name, letter case ignored), faces of the same style.
std::vector<std::string> FaceCandidates(const std::string& face);

// A font's style name as the font dialog shows it: "Regular" is "常规", "Bold Italic" is
// "粗体 斜体". A name with a word not known here is shown as the font gives it.
std::string ChineseStyleName(const std::string& style);

}  // namespace varnelo
