#include <libintl.h>
#include <unistd.h>

#include <csignal>

#include "cli_platform.h"

namespace stdlookup::cli {

std::FILE* open_new_file(const std::filesystem::path& path) {
  return std::fopen(path.c_str(), "wx");
}

void treat_file_size_limit_as_error() {
  std::signal(SIGXFSZ, SIG_IGN);
}

void catch_stop_signals(void (*handler)(int)) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, handler);
}

void release_stop_signals() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, SIG_DFL);
}

bool stdout_is_terminal() {
  static const bool terminal = isatty(STDOUT_FILENO) == 1;
  return terminal;
}

bool stderr_is_terminal() {
  return isatty(STDERR_FILENO) == 1;
}

std::filesystem::path program_folder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : program.parent_path();
}

void bind_catalogues(const char* domain, const std::filesystem::path& folder) {
  bindtextdomain(domain, folder.c_str());
}

void choose_language() {}

}  // namespace stdlookup::cli
