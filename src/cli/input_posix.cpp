// Reading the batch input's bytes on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "input.h"

namespace stdlookup::cli {
namespace {

// Reads the whole of `fd`. A named input must be a file or a pipe (a device such as /dev/zero
// would never end); standard input is what the shell gave, a terminal or /dev/null included.
std::string read_all(int fd, bool named, std::string& content) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return std::strerror(errno);
  if (S_ISDIR(info.st_mode)) return "is a folder";
  if (named && !S_ISREG(info.st_mode) && !S_ISFIFO(info.st_mode)) return "is not a file";
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) return {};
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::strerror(errno);
    }
    content.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

std::string read_input_bytes(const std::string& file, std::string& bytes) {
  if (file.empty() || file == "-") return read_all(STDIN_FILENO, false, bytes);
  // Non-blocking, so that opening a FIFO nobody writes to does not hang before the check.
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::strerror(errno);
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::string failure = read_all(fd, true, bytes);
  ::close(fd);
  return failure;
}

}  // namespace stdlookup::cli
