// Why a file could not be written, told in Chinese: the system's own text follows the
// session's language, which need not be the reader's.
#pragma once

#include <string>

namespace varnelo {

// Our sentence for the common causes (no permission, disk full, read-only file system,
// file or folder missing); for any other errno our sentence and the system's text.
std::string WriteErrorReason(int errorNumber);

}  // namespace varnelo
