#include <csignal>

#include "cli_platform.h"

namespace stdlookup::cli {

std::FILE* open_new_file(const std::filesystem::path& path) {
  return std::fopen(path.c_str(), "wx");
}

void treat_file_size_limit_as_error() {
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace stdlookup::cli
