// stdlookup-cli config: the hosts and the proxy in effect, and where each came from.
#include "cli.h"
#include "cli_platform.h"
#include "emit.h"

namespace stdlookup::cli {

int config_command(const Options& options, const Settings& settings) {
  make_emitter(options.format, print, stdout_is_terminal())->config(settings, settings_file_path());
  return kAllAnswered;
}

}  // namespace stdlookup::cli
