#include "app/window_options.h"

#include <cstdio>
#include <string_view>

#include "lookup/hosts.h"
#include "runtime/gbk.h"
#include "runtime/settings.h"
#include "runtime/window_services.h"

namespace stdlookup {
namespace {

// The layout the manual page is made from (help2man).
constexpr const char* kHelp =
    "Usage: stdlookup [OPTION]...\n"
    "Looks Chinese national and food standards up by their number, in a window.\n"
    "\n"
    "Options:\n"
    "  -h, --help     print this help and exit\n"
    "  -V, --version  print the version and exit\n"
    "\n"
    "The service hosts and the proxy come from the built-in values, then\n"
    "$XDG_CONFIG_HOME/stdlookup/stdlookup.conf (default ~/.config/stdlookup/stdlookup.conf),\n"
    "then the environment variables STDLOOKUP_QUERY_HOST, STDLOOKUP_DOWNLOAD_HOST and\n"
    "STDLOOKUP_PROXY; `stdlookup-cli config` shows the values in effect.\n";

}  // namespace

std::optional<int> window_command_line(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--") break;
    if (argument == "-h" || argument == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (argument == "-V" || argument == "--version") {
      std::fputs("stdlookup " STDLOOKUP_VERSION "\n", stdout);
      return 0;
    }
  }
  return std::nullopt;
}

std::string use_window_settings() {
  LoadedSettings loaded = load_settings();
  use_settings(loaded.problem.empty() ? loaded.settings : built_in_settings());
  return loaded.problem;
}

void report_settings_problem(const std::string& problem) {
  if (problem.empty()) return;
  // Paths are UTF-8 here; the message box takes GBK.
  message_box(utf8_to_gbk(problem + "\n\n设置有误，本次使用内置设置。"), kMbOk | kMbIconExclamation,
              utf8_to_gbk("stdlookup 设置"));
}

}  // namespace stdlookup
