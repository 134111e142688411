// The global allocation functions: an allocation that cannot be satisfied is a runtime error
// naming the requested byte count, never an exception or a null pointer.
#include <cstdio>
#include <cstdlib>
#include <new>

#include "runtime/allocation_platform.h"
#include "runtime/runtime_error.h"

// Referenced by the linker (--undefined, see CMakeLists.txt) so that this object is always
// linked: otherwise a sanitizer runtime's operator new, seen first, would be taken instead.
extern "C" {
int stdlookup_allocation_anchor = 0;
}

namespace stdlookup {
namespace {

[[noreturn]] void allocation_failed(std::size_t size) {
  // Reporting allocates a little itself; should that fail too, give up without recursing.
  thread_local bool reporting = false;
  if (reporting) {
    std::fputs("out of memory\n", stderr);
    std::_Exit(-1);
  }
  reporting = true;
  if (AllocationFailureHandler handler = allocation_failure_handler()) handler(size);
  report_runtime_error(allocation_failure_message(size));
}

void* allocate(std::size_t size) {
  if (size == 0) size = 1;
  if (void* p = std::malloc(size)) return p;
  allocation_failed(size);
}

void* allocate_aligned(std::size_t size, std::align_val_t alignment) {
  auto align = static_cast<std::size_t>(alignment);
  if (align < sizeof(void*)) align = sizeof(void*);
  if (size == 0) size = 1;
  if (void* p = aligned_allocate(size, align)) return p;
  allocation_failed(size);
}

}  // namespace
}  // namespace stdlookup

void* operator new(std::size_t size) {
  return stdlookup::allocate(size);
}
void* operator new[](std::size_t size) {
  return stdlookup::allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return stdlookup::allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return stdlookup::allocate(size);
}
void* operator new(std::size_t size, std::align_val_t a) {
  return stdlookup::allocate_aligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return stdlookup::allocate_aligned(size, a);
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return stdlookup::allocate_aligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return stdlookup::allocate_aligned(size, a);
}

void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
  stdlookup::aligned_release(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  stdlookup::aligned_release(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  stdlookup::aligned_release(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  stdlookup::aligned_release(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  stdlookup::aligned_release(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  stdlookup::aligned_release(p);
}
