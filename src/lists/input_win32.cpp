// Reading the batch input's bytes on Windows: wide file names, binary mode.
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "lists/input.h"
#include "runtime/bounded_file.h"
#include "runtime/system.h"

namespace stdlookup::lists {

std::string read_input_bytes(const std::string& file, std::string& bytes) {
  if (!file.empty() && file != "-")
    return read_bounded_file(native_path(file), kListFileBytes, bytes);
  _setmode(_fileno(stdin), _O_BINARY);
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
    if (bytes.size() + n > kListFileBytes) return too_large_message(kListFileBytes);
    bytes.append(buffer, n);
  }
  return std::ferror(stdin) ? std::string(std::strerror(errno)) : std::string();
}

}  // namespace stdlookup::lists
