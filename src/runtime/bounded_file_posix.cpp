// Bounded reading on POSIX: stat before the open, O_NONBLOCK for the open, fstat after it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "runtime/bounded_file.h"

namespace stdlookup {
namespace {

std::string kind_problem(const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return "is a folder";
  if (!S_ISREG(info.st_mode)) return "is not a file";
  return {};
}

}  // namespace

BoundedFile::~BoundedFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

std::string BoundedFile::open(const std::filesystem::path& path, std::uint64_t limit) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::strerror(errno);
  if (std::string problem = kind_problem(info); !problem.empty()) return problem;
  // Swapped for a FIFO since the stat, the open must still not wait for a writer; the fstat of
  // what was opened decides.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::strerror(errno);
  handle_ = fd;
  if (::fstat(fd, &info) != 0) return std::strerror(errno);
  if (std::string problem = kind_problem(info); !problem.empty()) return problem;
  if (static_cast<std::uint64_t>(info.st_size) > limit) return too_large_message(limit);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  limit_ = limit;
  size_ = static_cast<std::uint64_t>(info.st_size);
  return {};
}

std::ptrdiff_t BoundedFile::read(char* buffer, std::size_t size) {
  if (handle_ < 0) {
    failure_ = "not open";
    return -1;
  }
  for (;;) {
    const ssize_t n = ::read(static_cast<int>(handle_), buffer, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      failure_ = std::strerror(errno);
      return -1;
    }
    read_ += static_cast<std::uint64_t>(n);
    if (read_ > limit_) {
      failure_ = too_large_message(limit_);
      return -1;
    }
    return n;
  }
}

}  // namespace stdlookup
