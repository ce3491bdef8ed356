#pragma once

#include <string>

namespace varnelo::bench {

// The reader's start to its first painted page against the bare window's (the program
// `bareWindow`), each started as a process of its own, best of `runs`: returning to
// `lastBook`, and with `namedBook` on the command line while `lastBook` is the last book.
void ReportStartup(const std::string& reader, const std::string& bareWindow, const std::string& lastBook,
                   const std::string& namedBook, int runs);

}  // namespace varnelo::bench
