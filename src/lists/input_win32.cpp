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

Result<std::string> read_standard_input() {
  std::string bytes;
  _setmode(_fileno(stdin), _O_BINARY);
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
    if (bytes.size() + n > kListFileBytes)
      return workbook::failure(too_large_message(kListFileBytes));
    bytes.append(buffer, n);
  }
  if (std::ferror(stdin)) return workbook::failure(std::strerror(errno));
  return bytes;
}

}  // namespace stdlookup::lists
