#include "text/byte_release.h"

#include <utility>

namespace varnelo {

namespace {
constexpr std::size_t kLargeBytes = std::size_t{16} << 20;
}  // namespace

void ByteRelease::Release(std::string bytes) {
  if (bytes.capacity() < kLargeBytes) return;
  Wait();
  thread_ = std::thread([held = std::move(bytes)]() mutable { std::string().swap(held); });
}

void ByteRelease::Wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace varnelo
