// The first occurrence of a byte string in another, as fast as the platform allows: the text
// operations' searches lean on it.
#pragma once

#include <cstddef>
#include <string_view>

namespace stdlookup {

// Offset of the first `needle` (non-empty) in `haystack`, or npos.
std::size_t find_bytes(std::string_view haystack, std::string_view needle);

}  // namespace stdlookup
