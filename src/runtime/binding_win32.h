// Binding system functions by name: the web access, thread start and browser launch call their
// system functions through a fixed table of library and function names, resolved on first use
// and kept until the program ends. A function that cannot be resolved is a runtime error.
//
// After a call through the table the stack pointer would be compared with its value before the
// call (runtime error 6). On x64 Windows there is one calling convention and the caller cleans
// up, so a mismatch cannot occur and there is nothing to check; the error stays in the table.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>

namespace stdlookup {

// One table entry: a library (nullptr: search the default libraries) and a function name; a
// name "#n" names the export with ordinal n (mod 65536).
struct BoundFunctionName {
  const char* library;
  const char* function;
};

// The indexes of the system's table. The first ten are the fixed table; the entries after them
// are what the Windows build needs on top: WinINet's timeouts and cookie store, and the wide
// shell call for texts the machine's ANSI code page cannot hold.
enum BoundFunction : int {
  kBoundShellExecuteA = 0,
  kBoundInternetOpenA = 1,
  kBoundInternetCloseHandle = 2,
  kBoundInternetConnectA = 3,
  kBoundHttpOpenRequestA = 4,
  kBoundHttpSendRequestA = 5,       // request with a text body
  kBoundHttpSendRequestBytesA = 6,  // request with a byte body: the same function, bound apart
  kBoundInternetReadFile = 7,
  kBoundHttpQueryInfoA = 8,
  kBoundCreateThread = 9,
  kBoundInternetSetOptionA = 10,
  kBoundInternetGetCookieA = 11,
  kBoundInternetSetCookieA = 12,
  kBoundShellExecuteW = 13,
  kBoundFunctionCount
};

// The system's table, indexed by BoundFunction.
std::span<const BoundFunctionName> system_function_table();
// Searched in this order for an entry without a library.
std::span<const char* const> default_libraries();

// What binding asks of the system; replaced in tests to watch it.
class LibraryLoader {
 public:
  using Module = void*;
  using Address = void*;
  virtual ~LibraryLoader() = default;
  // The library from the folder that holds the program file; null when it is not there.
  virtual Module load_from_program_folder(std::string_view library) = 0;
  // The library by name, through the system's search order.
  virtual Module load(std::string_view library) = 0;
  virtual Address find(Module module, std::string_view function) = 0;
  virtual Address find_ordinal(Module module, std::uint16_t ordinal) = 0;
  virtual void release(Module module) = 0;
};

// A table of entries, each bound at most once from whichever thread needs it first.
class FunctionTable {
 public:
  FunctionTable(std::span<const BoundFunctionName> entries, LibraryLoader& loader);
  ~FunctionTable();  // releases the modules of bound entries
  FunctionTable(const FunctionTable&) = delete;
  FunctionTable& operator=(const FunctionTable&) = delete;

  // The entry's function; a runtime error (the program ends) when it cannot be bound.
  void* bind(int index);
  bool is_bound(int index) const;
  // Releases the modules of bound entries and empties their slots.
  void release_modules();

 private:
  struct Slot {
    std::atomic<void*> address{nullptr};
    LibraryLoader::Module module = nullptr;
  };
  LibraryLoader::Address lookup(LibraryLoader::Module module, std::string_view function);

  std::span<const BoundFunctionName> entries_;
  LibraryLoader& loader_;
  std::unique_ptr<Slot[]> slots_;
  std::mutex binding_;
};

// The entry of the system's table, bound through LoadLibrary and GetProcAddress.
void* bind_function(int index);

template <typename Function>
Function bound_function(int index) {
  return reinterpret_cast<Function>(bind_function(index));
}

}  // namespace stdlookup
