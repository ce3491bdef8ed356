// The installed face that shows a face name: the name itself when a face of that name is
// installed, else an installed face of the same style (platform/face_names.h), else the
// name as given, for Qt's own fallback. Config.ini keeps the name; only the drawing uses this.
#pragma once

#include <QString>

#include <string>

namespace varnelo {

QString InstalledFace(const std::string& face);

}  // namespace varnelo
