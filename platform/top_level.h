#pragma once

#include <QString>

namespace varnelo {

// Closes the first visible top-level window with exactly this title, as the reader does
// with its short notices. Returns whether one was found.
bool CloseTopLevelWindowTitled(const QString& title);

}  // namespace varnelo
