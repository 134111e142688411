#include <cstring>

#include "runtime/byte_search.h"

namespace stdlookup {

// glibc's memmem (two-way, vectorised) is as fast as byte searching gets here.
std::size_t find_bytes(std::string_view haystack, std::string_view needle) {
  const void* hit = memmem(haystack.data(), haystack.size(), needle.data(), needle.size());
  return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - haystack.data())
             : std::string_view::npos;
}

}  // namespace stdlookup
