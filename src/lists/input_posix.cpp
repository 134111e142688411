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

Result<std::string> read_standard_input() {
  std::string bytes;
  // Standard input is what the shell gave: a terminal, a pipe or /dev/null, but no folder.
  struct stat info {};
  if (fstat(STDIN_FILENO, &info) != 0) return workbook::failure(std::strerror(errno));
  if (S_ISDIR(info.st_mode)) return workbook::failure(tr("is a folder"));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n == 0) return bytes;
    if (n < 0) {
      if (errno == EINTR) continue;
      return workbook::failure(std::strerror(errno));
    }
    if (bytes.size() + static_cast<std::size_t>(n) > kListFileBytes)
      return workbook::failure(too_large_message(kListFileBytes));
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace stdlookup::lists
