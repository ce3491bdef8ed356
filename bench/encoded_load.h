// The whole load path (read, detect, transcode, normalise, paginate) of a UTF-8 book
// against the same book in GB18030, and the memory a load takes.
#pragma once

#include <cstddef>
#include <string>

namespace varnelo::bench {

// Prints "utf8-load: U ms; gb18030-load: G ms; ratio R" for the GB18030 `book`, then the
// peak and remaining memory of a UTF-8 load as multiples of the file's size, measured in a
// fresh process (`self` run with --load-memory).
void ReportEncodedLoad(const std::string& book, const std::string& self, int runs);

// The load of a GBK book of `megabytes` (`book` repeated) to its line pages, against mapping
// the file and counting its lines in the same run, and the peak memory of that load.
void ReportLargeLoad(const std::string& book, const std::string& self, std::size_t megabytes);

// The --load-memory child: loads `path` and prints "PEAK AFTER" in bytes above the
// process's size before the load.
int MeasureLoadMemory(const std::string& path);

}  // namespace varnelo::bench
