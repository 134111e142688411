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

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  bool close() {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool write_all(int fd, std::string_view content) {
  while (!content.empty()) {
    ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
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

bool write_private_file(const Text& folder, const Text& name, std::string_view content) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(folder).parent_path(), ec);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;

  std::string temporary = folder + "/.cookies-XXXXXX";
  FileDescriptor fd(::mkstemp(temporary.data()));  // created with mode 0600
  if (fd.get() < 0) return false;
  bool ok = write_all(fd.get(), content);
  ok = fd.close() && ok;
  const std::string target = folder + "/" + name;
  if (!ok || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace detail
}  // namespace stdlookup
