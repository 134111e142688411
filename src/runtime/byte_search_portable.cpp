#include <cstring>

#include "runtime/byte_search.h"

namespace stdlookup {

// Where the C library has no memmem: memchr finds the candidates of the first byte (vectorised
// in every C library), memcmp confirms them.
std::size_t find_bytes(std::string_view haystack, std::string_view needle) {
  if (needle.size() > haystack.size()) return std::string_view::npos;
  const char* begin = haystack.data();
  const char* last = begin + (haystack.size() - needle.size());
  for (const char* p = begin; p <= last;) {
    const void* hit = std::memchr(p, needle[0], static_cast<std::size_t>(last - p) + 1);
    if (hit == nullptr) break;
    p = static_cast<const char*>(hit);
    if (std::memcmp(p + 1, needle.data() + 1, needle.size() - 1) == 0)
      return static_cast<std::size_t>(p - begin);
    ++p;
  }
  return std::string_view::npos;
}

}  // namespace stdlookup
