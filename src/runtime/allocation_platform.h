// Aligned heap blocks, which the platforms allocate and release with different functions.
#pragma once

#include <cstddef>

namespace stdlookup {

// A block of `size` bytes aligned to `alignment` (a power of two, at least sizeof(void*)), or
// nullptr; released with aligned_release only.
void* aligned_allocate(std::size_t size, std::size_t alignment);
void aligned_release(void* block);

}  // namespace stdlookup
