#include <io.h>

#include <csignal>
#include <cstdio>
#include <cwchar>

#include "cli_platform.h"

namespace stdlookup::cli {

std::FILE* open_new_file(const std::filesystem::path& path) {
  return _wfopen(path.c_str(), L"wbx");  // wide: a Chinese folder name must work
}

// Windows has no file-size limit signal: a write beyond a quota simply fails.
void treat_file_size_limit_as_error() {}

// Ctrl-C and Ctrl-Break; closing the console window ends the process without a signal.
void catch_stop_signals(void (*handler)(int)) {
  for (int signal : {SIGINT, SIGBREAK}) std::signal(signal, handler);
}

void release_stop_signals() {
  for (int signal : {SIGINT, SIGBREAK}) std::signal(signal, SIG_DFL);
}

bool stdout_is_terminal() {
  static const bool terminal = _isatty(_fileno(stdout)) != 0;
  return terminal;
}

bool stderr_is_terminal() {
  return _isatty(_fileno(stderr)) != 0;
}

}  // namespace stdlookup::cli
