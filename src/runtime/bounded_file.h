// Opening a file we read (a list, a compared export, the settings, a cookie file): only a
// regular file is opened, and only so much of it is read. A FIFO nobody writes to, a folder or a
// device such as /dev/zero is refused before any open that could block or read without end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace stdlookup {

class BoundedFile {
 public:
  BoundedFile() = default;
  ~BoundedFile();
  BoundedFile(const BoundedFile&) = delete;
  BoundedFile& operator=(const BoundedFile&) = delete;

  // Opens `path` for reading. "" when opened; otherwise why not: "is a folder", "is not a file",
  // "is larger than N MiB" (its size over `limit` bytes) or the system's reason.
  std::string open(const std::filesystem::path& path, std::uint64_t limit);

  // Reads up to `size` bytes; 0 at the end, -1 on an error (`failure` then says which). More than
  // the limit (a file that grew since it was opened) is an error too.
  std::ptrdiff_t read(char* buffer, std::size_t size);
  const std::string& failure() const { return failure_; }
  // The size the file had when it was opened.
  std::uint64_t size() const { return size_; }

 private:
  std::intptr_t handle_ = -1;  // a descriptor on POSIX, a HANDLE on Windows
  std::uint64_t limit_ = 0;
  std::uint64_t read_ = 0;
  std::uint64_t size_ = 0;
  std::string failure_;
};

// "is larger than N MiB" for a limit of `limit` bytes.
std::string too_large_message(std::uint64_t limit);

// The whole of `path` into `bytes`; returns why it could not be read, or "".
std::string read_bounded_file(const std::filesystem::path& path, std::uint64_t limit,
                              std::string& bytes);

}  // namespace stdlookup
