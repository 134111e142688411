// The cookie store's folder and file writing on POSIX systems.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "web/cookie_store.h"
#include "web/cookie_store_platform.h"

namespace stdlookup {
namespace {

Text environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? Text(value) : Text();
}

Text home_folder() {
  Text home = environment("HOME");
  if (!home.empty()) return home;
  passwd entry;
  passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return {};
}

}  // namespace

Text cookie_folder_path() {
  // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
  Text data = environment("XDG_DATA_HOME");
  if (data.empty() || data.front() != '/') {
    Text home = home_folder();
    if (home.empty()) return {};
    data = home + "/.local/share";
  }
  return data + "/stdlookup/Cookies";
}

namespace detail {

bool make_private_folder(const Text& folder) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(folder).parent_path(), ec);
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace detail
}  // namespace stdlookup
