// The steps of atomic replacement on Windows: a uniquely named temporary file in the target's
// folder, flushed, then put in the target's place: ReplaceFileW over an existing file (which keeps
// that file's permissions, attributes and creation time, as the POSIX side keeps the mode),
// MoveFileExW (MOVEFILE_REPLACE_EXISTING | WRITE_THROUGH) for a new one. Native paths are UTF-8;
// error numbers are the system's (GetLastError).
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string_view>

#include "runtime/atomic_file_platform.h"
#include "runtime/conversion.h"
#include "runtime/gbk.h"
#include "runtime/win32_text.h"

namespace stdlookup {

using namespace literals;

namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() { close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  bool close() {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle == INVALID_HANDLE_VALUE || CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
};

// A name no other writer uses: process id, a counter and the tick count.
std::string temporary_name(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  std::string name = folder;
  if (name.back() != '/' && name.back() != '\\') name += '\\';
  name += ".stdlookup-" + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(counter.fetch_add(1)) + "-" + std::to_string(GetTickCount64()) + ".tmp";
  return name;
}

// ".stdlookup-PID-COUNTER-TICKS.tmp", as temporary_name makes them.
bool our_temporary_name(std::wstring_view name) {
  constexpr std::wstring_view kPrefix = L".stdlookup-", kSuffix = L".tmp";
  if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) return false;
  name = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  int numbers = 0;
  for (std::size_t start = 0; start <= name.size(); ++numbers) {
    std::size_t end = std::min(name.find(L'-', start), name.size());
    if (end == start || end - start > 20) return false;
    for (wchar_t c : name.substr(start, end - start)) {
      if (c < L'0' || c > L'9') return false;
    }
    start = end + 1;
  }
  return numbers == 3;
}

int last_error() {
  DWORD error = GetLastError();
  return error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE;
}

}  // namespace

Text describe_file_error(int error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
      return "目标文件夹不存在"_gbk;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
      return "没有写入目标文件夹的权限"_gbk;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "磁盘空间不足"_gbk;
    case ERROR_DIRECTORY:
      return "目标是一个文件夹"_gbk;
    default:
      return "写入文件失败（错误码 "_gbk + to_text(error) + "）"_gbk;
  }
}

int write_whole_file(const std::string& path, std::string_view content) {
  FileHandle file(CreateFileW(win32::utf8_to_wide(path).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return last_error();
  while (!content.empty()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file.get(), content.data(), chunk, &written, nullptr)) return last_error();
    if (written == 0) return ERROR_WRITE_FAULT;
    content.remove_prefix(written);
  }
  return file.close() ? 0 : last_error();
}

namespace replace_steps {

const char kSeparators[] = "/\\";
const int kNoFolder = ERROR_PATH_NOT_FOUND;
const int kIsFolder = ERROR_DIRECTORY;

bool is_folder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(win32::utf8_to_wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// GetFinalPathNameByHandleW's "\\?\C:\..." serves every later step as it is.
std::string resolve_links(const std::string& path) {
  const std::wstring wide = win32::utf8_to_wide(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return path;
  FileHandle file(CreateFileW(wide.c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) return path;
  std::wstring final_path(MAX_PATH, L'\0');
  for (int tries = 0; tries < 2; ++tries) {
    const DWORD length = GetFinalPathNameByHandleW(
        file.get(), final_path.data(), static_cast<DWORD>(final_path.size()), FILE_NAME_NORMALIZED);
    if (length == 0) return path;
    if (length < final_path.size()) {
      final_path.resize(length);
      return win32::wide_to_utf8(final_path);
    }
    final_path.resize(length);  // the size it needs, its terminating zero included
  }
  return path;
}

Text in_place_refusal(const std::string& path) {
  const std::wstring wide = win32::utf8_to_wide(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};
  if (attributes & FILE_ATTRIBUTE_READONLY) return "文件是只读的"_gbk;
  FileHandle file(CreateFileW(wide.c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (file.valid() && GetFileInformationByHandle(file.get(), &info) && info.nNumberOfLinks > 1)
    return "文件还有别的硬链接，替换它会使它们分开"_gbk;
  return {};
}

// Created here, exclusively, so that no other file is ever overwritten by mistake.
int create_temporary(const std::string& folder, std::string& temp) {
  temp = temporary_name(folder);
  FileHandle created(CreateFileW(win32::utf8_to_wide(temp).c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  return created.valid() ? 0 : last_error();
}

// A file in the user's profile is the user's alone already; elsewhere the folder's permissions
// are inherited, as for any new file: private_file has nothing to do. ReplaceFileW keeps the
// replaced file's owner and ACL, all in_place asks.
int put_in_place(const std::string& temp, const std::string& target,
                 const ReplaceOptions& options) {
  const std::wstring wide_temp = win32::utf8_to_wide(temp);
  const std::wstring wide_target = win32::utf8_to_wide(target);
  if (options.sync) {
    FileHandle file(CreateFileW(wide_temp.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid() || !FlushFileBuffers(file.get())) return last_error();
  }
  if (GetFileAttributesW(wide_target.c_str()) != INVALID_FILE_ATTRIBUTES) {
    if (ReplaceFileW(wide_target.c_str(), wide_temp.c_str(), nullptr,
                     REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                     nullptr)) {
      return 0;
    }
    // Only this failure has removed the target already (there is no backup name): the checked
    // file then takes its place as a new file. Every other one leaves the target as it was.
    if (GetLastError() != ERROR_UNABLE_TO_MOVE_REPLACEMENT) return last_error();
  }
  DWORD flags = MOVEFILE_REPLACE_EXISTING | (options.sync ? MOVEFILE_WRITE_THROUGH : 0);
  return MoveFileExW(wide_temp.c_str(), wide_target.c_str(), flags) ? 0 : last_error();
}

// Plain files only; a link (reparse point) is never followed.
void remove_temporaries(const std::string& folder, long long age_seconds) {
  std::wstring pattern = win32::utf8_to_wide(folder);
  if (pattern.back() != L'/' && pattern.back() != L'\\') pattern += L'\\';
  const std::wstring prefix = pattern;
  pattern += L".stdlookup-*.tmp";
  WIN32_FIND_DATAW found;
  HANDLE search =
      FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return;
  FILETIME now_time;
  GetSystemTimeAsFileTime(&now_time);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  const unsigned long long age =
      static_cast<unsigned long long>(age_seconds) * 10'000'000;  // in 100 ns
  const unsigned long long now = ticks(now_time);
  do {
    const DWORD skipped =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY;
    if ((found.dwFileAttributes & skipped) == 0 && our_temporary_name(found.cFileName) &&
        ticks(found.ftLastWriteTime) + age < now) {
      DeleteFileW((prefix + found.cFileName).c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace replace_steps
}  // namespace stdlookup
