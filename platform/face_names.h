// Face names of Windows Chinese fonts, as users and their Config.ini files know them, and
// the faces of the same style that this system installs instead.
#pragma once

#include <string>
#include <vector>

namespace varnelo {

// The faces to try for `face`, best first: the face itself, then, for a known Windows
// face (Chinese or English name, letter case ignored), faces of the same style.
std::vector<std::string> FaceCandidates(const std::string& face);

}  // namespace varnelo
