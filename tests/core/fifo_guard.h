// A FIFO for the tests of a reader that must never wait on one. Should the code under test
// block opening or reading it, the guard's thread opens the write end after a deadline and
// closes it at once, so the reader sees an empty file and the test fails instead of hanging.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace varnelo::testing {

class FifoGuard {
 public:
  explicit FifoGuard(std::string path, std::chrono::seconds deadline = std::chrono::seconds(10))
      : path_(std::move(path)) {
    made_ = ::mkfifo(path_.c_str(), 0600) == 0;
    watcher_ = std::thread([this, deadline] {
      const auto due = std::chrono::steady_clock::now() + deadline;
      while (!done_) {
        if (std::chrono::steady_clock::now() >= due) {
          // Succeeds only while a reader has the FIFO open, that is, waits on it.
          const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
          if (fd >= 0) {
            rescued_ = true;
            ::close(fd);
          }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
  }
  ~FifoGuard() {
    done_ = true;
    watcher_.join();
    ::unlink(path_.c_str());
  }
  FifoGuard(const FifoGuard&) = delete;
  FifoGuard& operator=(const FifoGuard&) = delete;

  bool Made() const { return made_; }
  // True when the code under test blocked on the FIFO and had to be freed.
  bool Rescued() const { return rescued_; }
  // Still a FIFO: nothing replaced it with a file.
  bool StillAFifo() const {
    struct stat info {};
    return ::lstat(path_.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  bool made_ = false;
  std::atomic<bool> done_{false};
  std::atomic<bool> rescued_{false};
  std::thread watcher_;
};

}  // namespace varnelo::testing
