#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace varnelo {

RegularFile RegularFile::Open(const std::string& path) {
  RegularFile file;
  if (path.empty()) return file;
  // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one forever.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    file.status_ = errno == ENOENT || errno == ENOTDIR ? OpenStatus::Missing : OpenStatus::Failed;
    return file;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    file.status_ = OpenStatus::NotRegular;
    ::close(fd);
    return file;
  }
  // Reads of a regular file never block anyway; the flag goes so later users see a plain file.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  file.fd_ = fd;
  file.status_ = OpenStatus::Ok;
  file.size_ = static_cast<std::int64_t>(info.st_size);
  return file;
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), status_(other.status_), size_(other.size_) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    status_ = other.status_;
    size_ = other.size_;
  }
  return *this;
}

RegularFile::~RegularFile() {
  if (fd_ >= 0) ::close(fd_);
}

int RegularFile::Release() { return std::exchange(fd_, -1); }

bool RegularFile::ReadInto(std::string& out, std::size_t maxBytes,
                           const std::function<std::size_t(std::string_view)>& keep) {
  if (fd_ < 0) return false;
  char buffer[65536];
  std::size_t taken = 0;
  while (taken < maxBytes) {
    const std::size_t want = std::min(sizeof buffer, maxBytes - taken);
    const ssize_t got = ::read(fd_, buffer, want);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) break;
    const std::string_view chunk(buffer, static_cast<std::size_t>(got));
    const std::size_t kept = keep ? std::min(keep(chunk), chunk.size()) : chunk.size();
    out.append(buffer, kept);
    taken += kept;
    if (kept < chunk.size()) break;
  }
  return true;
}

}  // namespace varnelo
