// Replacing a file so that no reader, crash or full disk ever sees it half written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

namespace varnelo {

// Asked with the bytes written so far and the whole; false stops the write.
using WriteProgress = std::function<bool(std::int64_t written, std::int64_t total)>;

// Writes `bytes` to a new file beside `path` and renames it over `path`. A symbolic link
// stays a link: the file it points to is the one replaced. The old file's permission bits
// carry over; a new file gets 0666 less the umask. On failure the old file is untouched,
// no temporary file is left, and `error` (when given) says why. `progress` is asked before
// every few megabytes; stopped by it, the write fails with operation_canceled.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         std::error_code* error = nullptr, const WriteProgress& progress = {});

// Removes the temporary files that writes to `path` left beside it when their process was
// killed mid-write: those named for a process that no longer runs. One whose process
// still runs may be a write in progress and stays. Every write calls this first.
void RemoveStaleTemporaries(const std::string& path);

}  // namespace varnelo
