// The steps of atomic replacement on POSIX: mkstemps in the target's folder, the target's mode,
// fsync, rename, fsync the folder.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "runtime/atomic_file_platform.h"
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

namespace replace_steps {

const char kSeparators[] = "/";
const int kNoFolder = ENOENT;
const int kIsFolder = EISDIR;

bool is_folder(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int create_temporary(const std::string& folder, std::string& temp) {
  temp = folder + (folder.back() == '/' ? "" : "/") + ".stdlookup-XXXXXX.tmp";
  FileDescriptor fd(::mkstemps(temp.data(), 4));
  return fd.get() < 0 ? errno : 0;
}

std::string resolve_links(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

Text in_place_refusal(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {};
  // No write bit at all is the user's word too, even to a user whom access() lets write.
  if (::access(path.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0) return "文件是只读的"_gbk;
  if (S_ISREG(st.st_mode) && st.st_nlink > 1) return "文件还有别的硬链接，替换它会使它们分开"_gbk;
  return {};
}

// The target's mode (or the user's alone), fsync, rename, then fsync the folder for the rename.
int put_in_place(const std::string& temp, const std::string& target,
                 const ReplaceOptions& options) {
  struct stat st;
  // The owner and group first: changing them may clear the mode's set-id bits.
  if (options.in_place && ::stat(target.c_str(), &st) == 0 &&
      ::chown(temp.c_str(), st.st_uid, st.st_gid) != 0) {
    [[maybe_unused]] int group_only = ::chown(temp.c_str(), static_cast<uid_t>(-1), st.st_gid);
  }
  if (::chmod(temp.c_str(), mode_for(target, options.private_file)) != 0) return errno;
  if (options.sync && !sync_path(temp, O_RDONLY)) return errno;
  if (::rename(temp.c_str(), target.c_str()) != 0) return errno;
  const std::size_t slash = temp.rfind('/');  // the temporary file's name has a folder
  if (options.sync) sync_path(slash == 0 ? "/" : temp.substr(0, slash), O_RDONLY | O_DIRECTORY);
  return 0;
}

// Regular files only, their names checked (a link is never followed): a descriptor of the folder
// keeps every step in the folder that was listed.
void remove_temporaries(const std::string& folder, long long age_seconds) {
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
  const time_t stale_before = ::time(nullptr) - age_seconds;
  while (const dirent* entry = ::readdir(dir)) {
    if (!our_temporary_name(entry->d_name)) continue;
    struct stat st;
    if (::fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        st.st_mtime < stale_before) {
      ::unlinkat(dir_fd, entry->d_name, 0);
    }
  }
}

}  // namespace replace_steps
}  // namespace stdlookup
