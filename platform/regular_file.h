// Opening a file the reader reads (a book, Config.ini, the quotation file, the picture).
// A FIFO or a device would block the open or never end a read and freeze the window, so
// the open never waits and anything but a regular file is refused before a byte is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace varnelo {

enum class OpenStatus { Ok, Missing, NotRegular, Failed };

class RegularFile {
 public:
  // Read-only, without blocking; the descriptor is open only when the status is Ok.
  static RegularFile Open(const std::string& path);

  RegularFile() = default;
  RegularFile(RegularFile&& other) noexcept;
  RegularFile& operator=(RegularFile&& other) noexcept;
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;
  ~RegularFile();

  OpenStatus Status() const { return status_; }
  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
  std::int64_t Size() const { return size_; }  // when opened
  // Hands the descriptor over; the caller closes it.
  int Release();

  // Appends the rest of the file to `out`, at most `maxBytes`. `keep`, when given, sees each
  // chunk read and returns how many of its bytes to keep; keeping fewer ends the read.
  // False on a read error.
  bool ReadInto(std::string& out, std::size_t maxBytes,
                const std::function<std::size_t(std::string_view chunk)>& keep = {});

 private:
  int fd_ = -1;
  OpenStatus status_ = OpenStatus::Missing;
  std::int64_t size_ = 0;
};

}  // namespace varnelo
