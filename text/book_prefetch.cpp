#include "text/book_prefetch.h"

#include <chrono>
#include <utility>

namespace varnelo {

LoadedBook ReadAndNormalise(const std::string& path, std::optional<BookEncoding> choice,
                            const PassProgress& progress) {
  const auto half = [&progress](std::int64_t from) -> PassProgress {
    if (!progress) return {};
    return [&progress, from](std::int64_t done, std::int64_t total) {
      // In thousandths: half for the read, half for the rewrite.
      return progress(total > 0 ? from + std::min(done, total) * 500 / total : from, 1000);
    };
  };
  LoadedBook book;
  book.status = ReadBook(path, choice, book.bytes, book.form, nullptr, half(0));
  if (book.status != LoadStatus::Ok) return book;
  std::optional<Pagination> pages = NormaliseAndPaginateByLines(book.bytes, half(500));
  if (!pages) {
    book = LoadedBook{};  // Cancelled
    return book;
  }
  book.linePages = std::move(*pages);
  return book;
}

BookPrefetch::BookPrefetch(std::string path, std::optional<BookEncoding> choice)
    : path_(std::move(path)), choice_(choice), thread_([this] {
        LoadedBook book = ReadAndNormalise(path_, choice_, [this](std::int64_t done, std::int64_t total) {
          done_ = done;
          total_ = total;
          return !stop_.load();
        });
        std::lock_guard lock(mutex_);
        book_ = std::move(book);
        finished_ = true;
        ended_.notify_all();
      }) {}

BookPrefetch::~BookPrefetch() {
  stop_ = true;
  thread_.join();
}

std::optional<LoadedBook> BookPrefetch::Take(const std::string& path, std::optional<BookEncoding> choice,
                                             const PassProgress& progress) {
  std::unique_lock lock(mutex_);
  if (taken_ || path != path_ || choice != choice_) return std::nullopt;
  taken_ = true;
  // Asked now and then, so that the one waiting can show how far the read is and stop it.
  while (!ended_.wait_for(lock, std::chrono::milliseconds(20), [this] { return finished_; })) {
    if (progress && !progress(done_.load(), total_.load())) stop_ = true;
  }
  if (stop_) return LoadedBook{};  // Cancelled, whatever the read got to
  return std::move(book_);
}

}  // namespace varnelo
