// The library list's plain logic: which files of a folder it lists and in what order, and
// the texts of its tool tip. No widgets here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnelo {

// The books of a folder: the names of its plain files ending in ".txt", whatever the
// letter case, hidden files and folders left out, sorted as the list shows them. A folder
// that cannot be read lists nothing.
std::vector<std::string> ListBooks(const std::string& folder);

// The list's order: letters compared without regard to case, then the bytes.
bool ComesBeforeInLibrary(const std::string& a, const std::string& b);

// "1023 B", "1.5 KB", "1.00 MB": bytes below 1024, kilobytes below 1048576, megabytes.
std::string SizeText(std::uint64_t bytes);

// The size line of a listed file as it is now: its size, or why there is none.
std::string FileSizeText(const std::string& path);

// The tip's three lines.
std::string LibraryTipText(const std::string& name, const std::string& folder,
                           const std::string& sizeText);

}  // namespace varnelo
