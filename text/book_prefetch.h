// A book read and normalised as a load does it, on a thread of its own: the start reads the
// last book while the window is being built, and the load then takes what was read.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "text/book_encoding.h"
#include "text/book_engine.h"
#include "text/pass_progress.h"

namespace varnelo {

struct LoadedBook {
  LoadStatus status = LoadStatus::Cancelled;
  std::string bytes;  // normalised
  BookForm form;
  Pagination linePages;  // the page table by lines, which the blank-line pass gives for nothing
};

// Reads `path` (the user's `choice` of encoding first) and rewrites its blank lines. Stopped
// by `progress`: Cancelled, and nothing else to use. The read is the first half of the
// progress, the rewrite the second.
LoadedBook ReadAndNormalise(const std::string& path, std::optional<BookEncoding> choice,
                            const PassProgress& progress = {});

class BookPrefetch {
 public:
  BookPrefetch(std::string path, std::optional<BookEncoding> choice);
  // Stops the read if it still runs.
  ~BookPrefetch();
  BookPrefetch(const BookPrefetch&) = delete;
  BookPrefetch& operator=(const BookPrefetch&) = delete;

  // What was read, when it was `path` with `choice`; waits for the read to end, passing its
  // progress on. `progress` saying stop stops the read: Cancelled. Once only.
  std::optional<LoadedBook> Take(const std::string& path, std::optional<BookEncoding> choice,
                                 const PassProgress& progress = {});

 private:
  const std::string path_;
  const std::optional<BookEncoding> choice_;
  std::atomic<bool> stop_{false};
  std::atomic<std::int64_t> done_{0};
  std::atomic<std::int64_t> total_{0};
  std::mutex mutex_;
  std::condition_variable ended_;
  bool finished_ = false;
  bool taken_ = false;
  LoadedBook book_;
  std::thread thread_;  // last: it starts once everything above is made
};

}  // namespace varnelo
