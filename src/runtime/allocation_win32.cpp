#include <malloc.h>

#include "runtime/allocation_platform.h"

namespace stdlookup {

// The CRT's aligned blocks must go back through _aligned_free, never free().
void* aligned_allocate(std::size_t size, std::size_t alignment) {
  return _aligned_malloc(size, alignment);
}

void aligned_release(void* block) {
  _aligned_free(block);
}

}  // namespace stdlookup
