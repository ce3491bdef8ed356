#pragma once

#include <string>

namespace varnelo::bench {

// `varnelo-bench --bare-window [--text]`: an empty QMainWindow (or one showing a line of
// Chinese) that prints the monotonic clock at its first paint and ends, the baseline of
// the start-up figures.
int RunBareWindow(int argc, char** argv);

// The reader's start to its first painted page against the bare window's, each started as
// a process of its own, best of `runs`: returning to `lastBook`, and with `namedBook` on
// the command line while `lastBook` is the last book.
void ReportStartup(const std::string& reader, const std::string& self, const std::string& lastBook,
                   const std::string& namedBook, int runs);

}  // namespace varnelo::bench
