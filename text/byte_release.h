// Giving a large book's memory back is the kernel unmapping it: about 50 ms for 1 GB, on
// whichever thread frees it. The bytes of a book leaving the window go to a thread of their
// own; the next hand-over and the owner's end wait for the one before.
#pragma once

#include <string>
#include <thread>

namespace varnelo {

class ByteRelease {
 public:
  ByteRelease() = default;
  ~ByteRelease() { Wait(); }
  ByteRelease(const ByteRelease&) = delete;
  ByteRelease& operator=(const ByteRelease&) = delete;

  // A small buffer is freed here and now: a thread would cost more than the free.
  void Release(std::string bytes);
  void Wait();

 private:
  std::thread thread_;
};

}  // namespace varnelo
