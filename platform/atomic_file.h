// Replacing a file so that no reader, crash or full disk ever sees it half written.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace varnelo {

// Writes `bytes` to a new file beside `path` and renames it over `path`. A symbolic link
// stays a link: the file it points to is the one replaced. The old file's permission bits
// carry over; a new file gets 0666 less the umask. On failure the old file is untouched,
// no temporary file is left, and `error` (when given) says why.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         std::error_code* error = nullptr);

// Removes the temporary files that writes to `path` left beside it when their process was
// killed mid-write: those named for a process that no longer runs. One whose process
// still runs may be a write in progress and stays. Every write calls this first.
void RemoveStaleTemporaries(const std::string& path);

}  // namespace varnelo
