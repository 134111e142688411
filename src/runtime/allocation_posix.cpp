#include <cstdlib>

#include "runtime/allocation_platform.h"

namespace stdlookup {

void* aligned_allocate(std::size_t size, std::size_t alignment) {
  void* block = nullptr;
  return posix_memalign(&block, alignment, size) == 0 ? block : nullptr;
}

void aligned_release(void* block) {
  std::free(block);
}

}  // namespace stdlookup
