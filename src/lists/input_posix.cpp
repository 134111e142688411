// Reading the batch input's bytes on POSIX systems.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "lists/input.h"
#include "runtime/bounded_file.h"
#include "runtime/i18n.h"
#include "runtime/system.h"

namespace stdlookup::lists {

std::string read_input_bytes(const std::string& file, std::string& bytes) {
  if (!file.empty() && file != "-")
    return read_bounded_file(native_path(file), kListFileBytes, bytes);
  // Standard input is what the shell gave: a terminal, a pipe or /dev/null, but no folder.
  struct stat info {};
  if (fstat(STDIN_FILENO, &info) != 0) return std::strerror(errno);
  if (S_ISDIR(info.st_mode)) return tr("is a folder");
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n == 0) return {};
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::strerror(errno);
    }
    if (bytes.size() + static_cast<std::size_t>(n) > kListFileBytes)
      return too_large_message(kListFileBytes);
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace stdlookup::lists
