// Where the settings file lives on POSIX systems: $XDG_CONFIG_HOME/stdlookup/stdlookup.conf,
// by default ~/.config/stdlookup/stdlookup.conf.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "runtime/settings.h"

namespace stdlookup {

std::filesystem::path settings_file_path() {
  // A relative XDG_CONFIG_HOME is invalid and ignored, as the base directory rules say.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') {
    return std::filesystem::path(config) / "stdlookup" / "stdlookup.conf";
  }
  std::filesystem::path home;
  if (const char* value = std::getenv("HOME"); value != nullptr && value[0] != '\0') {
    home = value;
  } else {
    passwd entry;
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr) {
      return {};
    }
    home = found->pw_dir;
  }
  return home / ".config" / "stdlookup" / "stdlookup.conf";
}

}  // namespace stdlookup
