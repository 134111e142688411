// Bounded reading on Windows: the attributes before the open (a folder), the file type of the
// opened handle after it (a pipe or a device such as CON or NUL is not a file).
#include <windows.h>

#include "runtime/bounded_file.h"

namespace stdlookup {
namespace {

std::string system_message(DWORD code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<char*>(&text),
      0, nullptr);
  std::string message = length > 0 ? std::string(text, length) : "error " + std::to_string(code);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == '.' || message.back() == ' '))
    message.pop_back();
  return message;
}

HANDLE handle_of(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

BoundedFile::~BoundedFile() {
  if (handle_ != -1) CloseHandle(handle_of(handle_));
}

std::string BoundedFile::open(const std::filesystem::path& path, std::uint64_t limit) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return system_message(GetLastError());
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "is a folder";
  // Opening a named pipe's client end does not wait for its server; the type check refuses it.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return system_message(GetLastError());
  handle_ = reinterpret_cast<std::intptr_t>(file);
  if (GetFileType(file) != FILE_TYPE_DISK) return "is not a file";
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return system_message(GetLastError());
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return "is a folder";
  const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  if (size > limit) return too_large_message(limit);
  limit_ = limit;
  size_ = size;
  return {};
}

std::ptrdiff_t BoundedFile::read(char* buffer, std::size_t size) {
  if (handle_ == -1) {
    failure_ = "not open";
    return -1;
  }
  DWORD n = 0;
  const DWORD wanted = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  if (!ReadFile(handle_of(handle_), buffer, wanted, &n, nullptr)) {
    failure_ = system_message(GetLastError());
    return -1;
  }
  read_ += n;
  if (read_ > limit_) {
    failure_ = too_large_message(limit_);
    return -1;
  }
  return static_cast<std::ptrdiff_t>(n);
}

}  // namespace stdlookup
