// Atomic replacement on POSIX: mkstemp in the target's folder, fsync, rename, fsync the folder.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "runtime/atomic_file.h"
#include "runtime/conversion.h"
#include "runtime/gbk.h"

namespace stdlookup {

using namespace literals;

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  void release() { fd_ = -1; }
  bool close() {
    int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

std::string folder_of(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

mode_t mode_for(const std::string& target, bool private_file) {
  if (private_file) return 0600;
  struct stat st;
  if (::stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

bool sync_path(const std::string& path, int flags) {
  FileDescriptor fd(::open(path.c_str(), flags | O_CLOEXEC));
  return fd.get() >= 0 && ::fsync(fd.get()) == 0 && fd.close();
}

// ".stdlookup-XXXXXX.tmp", as mkstemps names our temporary files.
bool our_temporary_name(std::string_view name) {
  constexpr std::string_view kPrefix = ".stdlookup-", kSuffix = ".tmp";
  if (name.size() != kPrefix.size() + 6 + kSuffix.size() || !name.starts_with(kPrefix) ||
      !name.ends_with(kSuffix)) {
    return false;
  }
  for (char c : name.substr(kPrefix.size(), 6)) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  }
  return true;
}

// A temporary file of ours that a killed writer left behind is gone once it is a day old (a live
// writer's is minutes old at most). Regular files only; a link is never followed.
void remove_stale_temporaries(const std::string& folder) {
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) return;
  DIR* dir = ::fdopendir(fd.get());
  if (dir == nullptr) return;
  struct Closer {
    DIR* dir;
    ~Closer() { ::closedir(dir); }  // closes the descriptor too
  } closer{dir};
  const int dir_fd = fd.get();
  fd.release();
  const time_t stale_before = ::time(nullptr) - 24 * 60 * 60;
  while (const dirent* entry = ::readdir(dir)) {
    if (!our_temporary_name(entry->d_name)) continue;
    struct stat st;
    if (::fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        st.st_mtime < stale_before) {
      ::unlinkat(dir_fd, entry->d_name, 0);
    }
  }
}

}  // namespace

Text describe_file_error(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return "目标文件夹不存在"_gbk;
    case EACCES:
    case EPERM:
    case EROFS:
      return "没有写入目标文件夹的权限"_gbk;
    case ENOSPC:
    case EDQUOT:
      return "磁盘空间不足"_gbk;
    case EFBIG:
      return "文件超过了允许的大小"_gbk;
    case EISDIR:
      return "目标是一个文件夹"_gbk;
    default:
      return "写入文件失败（错误码 "_gbk + to_text(error) + "）"_gbk;
  }
}

int write_whole_file(const std::string& path, std::string_view content) {
  FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (fd.get() < 0) return errno;
  while (!content.empty()) {
    ssize_t written = ::write(fd.get(), content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : EIO;
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return fd.close() ? 0 : errno;
}

FileReplacement replace_file(const std::string& target,
                             const std::function<Text(const std::string&)>& write,
                             const std::function<Text(const std::string&)>& check,
                             ReplaceOptions options) {
  if (target.empty() || target.back() == '/') return {ENOENT, {}};
  const std::string folder = folder_of(target);
  remove_stale_temporaries(folder);
  std::string temp = folder + "/.stdlookup-XXXXXX.tmp";
  FileDescriptor fd(::mkstemps(temp.data(), 4));
  if (fd.get() < 0) return {errno, {}};
  fd.close();

  // From here on the temporary file goes, whatever happens.
  struct Cleanup {
    const std::string& path;
    bool keep = false;
    ~Cleanup() {
      if (!keep) ::unlink(path.c_str());
    }
  } cleanup{temp};

  if (Text failure = write(temp); !failure.empty()) return {0, failure};
  if (check) {
    if (Text failure = check(temp); !failure.empty()) return {0, failure};
  }
  if (::chmod(temp.c_str(), mode_for(target, options.private_file)) != 0) return {errno, {}};
  if (options.sync && !sync_path(temp, O_RDONLY)) return {errno, {}};
  if (::rename(temp.c_str(), target.c_str()) != 0) return {errno, {}};
  cleanup.keep = true;
  if (options.sync) sync_path(folder, O_RDONLY | O_DIRECTORY);  // the rename; the data is safe
  return {};
}

}  // namespace stdlookup
