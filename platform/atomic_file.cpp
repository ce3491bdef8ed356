#include "platform/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>

namespace varnelo {
namespace {

namespace fs = std::filesystem;

// The file a chain of links ends at, which need not exist yet.
bool FollowLinks(fs::path& path, std::error_code& ec) {
  for (int hops = 0; hops < 40; ++hops) {
    const fs::file_status status = fs::symlink_status(path, ec);
    if (ec && status.type() != fs::file_type::not_found) return false;
    ec.clear();
    if (status.type() != fs::file_type::symlink) return true;
    const fs::path target = fs::read_symlink(path, ec);
    if (ec) return false;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
  return false;
}

// False with errno set when the write fails or `progress` stops it (ECANCELED).
bool WriteAll(int fd, std::string_view bytes, const WriteProgress& progress) {
  // A piece at a time only so that a long write can say how far it is and be stopped.
  constexpr std::size_t kPiece = std::size_t{4} << 20;
  const auto total = static_cast<std::int64_t>(bytes.size());
  while (!bytes.empty()) {
    if (progress && !progress(total - static_cast<std::int64_t>(bytes.size()), total)) {
      errno = ECANCELED;
      return false;
    }
    std::string_view piece = bytes.substr(0, kPiece);
    while (!piece.empty()) {
      const ssize_t n = ::write(fd, piece.data(), piece.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      piece.remove_prefix(static_cast<std::size_t>(n));
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }
  return true;
}

// A long book name plus the suffix must still fit the 255-byte name limit.
std::string TempPrefix(const fs::path& target) {
  return target.filename().string().substr(0, 200) + ".~";
}

std::string TempName(const fs::path& target, unsigned serial) {
  return TempPrefix(target) + std::to_string(::getpid()) + "-" + std::to_string(serial);
}

// The process a temporary file name of `prefix` names ("<prefix><pid>-<serial>"); 0 for
// any other name.
pid_t WriterOf(std::string_view name, std::string_view prefix) {
  if (name.substr(0, prefix.size()) != prefix) return 0;
  name.remove_prefix(prefix.size());
  const std::size_t dash = name.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash > 9 || dash + 1 == name.size())
    return 0;
  const auto digits = [](std::string_view s) {
    return s.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (!digits(name.substr(0, dash)) || !digits(name.substr(dash + 1))) return 0;
  return static_cast<pid_t>(std::stol(std::string(name.substr(0, dash))));
}

bool Runs(pid_t pid) { return pid == ::getpid() || ::kill(pid, 0) == 0 || errno == EPERM; }

// The rename is only durable once the folder entry is on disk. Some file systems refuse
// to sync a folder; the new bytes are in place by then, so this cannot fail the write.
void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

}  // namespace

void RemoveStaleTemporaries(const std::string& requestedPath) {
  fs::path path = requestedPath;
  std::error_code ec;
  if (path.empty() || !FollowLinks(path, ec)) return;
  const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  const std::string prefix = TempPrefix(path);
  fs::directory_iterator entries(folder, ec);
  for (; !ec && entries != fs::directory_iterator(); entries.increment(ec)) {
    const pid_t writer = WriterOf(entries->path().filename().string(), prefix);
    if (writer <= 0 || Runs(writer)) continue;
    std::error_code ignored;
    if (entries->symlink_status(ignored).type() == fs::file_type::regular)
      fs::remove(entries->path(), ignored);
  }
}

bool WriteFileAtomically(const std::string& requestedPath, std::string_view bytes,
                         std::error_code* error, const WriteProgress& progress) {
  std::error_code ec;
  const auto fail = [&](int code) {
    if (error != nullptr) *error = ec ? ec : std::error_code(code, std::generic_category());
    return false;
  };

  // Renaming over a link would replace the link, not the file it points to.
  fs::path path = requestedPath;
  if (path.empty()) return fail(ENOENT);
  if (!FollowLinks(path, ec)) return fail(0);

  struct stat old {};
  bool existed = true;
  if (::stat(path.c_str(), &old) != 0) {
    if (errno != ENOENT) return fail(errno);
    existed = false;
  }

  RemoveStaleTemporaries(path.string());
  static std::atomic<unsigned> serial{0};
  const fs::path folder = path.parent_path();
  fs::path temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder / TempName(path, serial++);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return fail(errno);
  }
  if (fd < 0) return fail(EEXIST);

  // Permissions first, so the new bytes are never readable by more people than the old.
  int code = 0;
  if (existed && ::fchmod(fd, old.st_mode & 07777) != 0) code = errno;
  if (code == 0 && !WriteAll(fd, bytes, progress)) code = errno;
  if (code == 0 && ::fsync(fd) != 0) code = errno;
  if (::close(fd) != 0 && code == 0) code = errno;
  if (code == 0 && ::rename(temp.c_str(), path.c_str()) != 0) code = errno;
  if (code != 0) {
    ::unlink(temp.c_str());
    return fail(code);
  }
  SyncFolder(folder);
  if (error != nullptr) error->clear();
  return true;
}

}  // namespace varnelo
