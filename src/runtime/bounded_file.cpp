#include "runtime/bounded_file.h"

namespace stdlookup {

std::string too_large_message(std::uint64_t limit) {
  const std::uint64_t mib = limit >> 20;
  return mib > 0 ? "is larger than " + std::to_string(mib) + " MiB"
                 : "is larger than " + std::to_string(limit) + " bytes";
}

std::string read_bounded_file(const std::filesystem::path& path, std::uint64_t limit,
                              std::string& bytes) {
  BoundedFile file;
  if (std::string failure = file.open(path, limit); !failure.empty()) return failure;
  bytes.reserve(bytes.size() + static_cast<std::size_t>(file.size()));
  char buffer[65536];
  for (;;) {
    const std::ptrdiff_t n = file.read(buffer, sizeof buffer);
    if (n == 0) return {};
    if (n < 0) return file.failure();
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace stdlookup
