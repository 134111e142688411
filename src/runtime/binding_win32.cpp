// The system's function table on Windows: LoadLibrary, GetProcAddress and FreeLibrary under a
// table that binds each entry once.
#include "runtime/binding_win32.h"

#include <windows.h>

#include <array>
#include <string>

#include "runtime/runtime_error.h"

namespace stdlookup {
namespace {

constexpr std::array<BoundFunctionName, kBoundFunctionCount> kSystemTable = {{
    {nullptr, "ShellExecuteA"},
    {"wininet.dll", "InternetOpenA"},
    {"wininet.dll", "InternetCloseHandle"},
    {"wininet.dll", "InternetConnectA"},
    {"wininet.dll", "HttpOpenRequestA"},
    {"wininet.dll", "HttpSendRequestA"},
    {"wininet.dll", "HttpSendRequestA"},
    {"wininet.dll", "InternetReadFile"},
    {"wininet.dll", "HttpQueryInfoA"},
    {nullptr, "CreateThread"},
    {"wininet.dll", "InternetSetOptionA"},
    {"wininet.dll", "InternetGetCookieA"},
    {"wininet.dll", "InternetSetCookieA"},
    {nullptr, "ShellExecuteW"},
}};

constexpr std::array<const char*, 6> kDefaultLibraries = {
    "Kernel32.dll", "Gdi32.dll", "User32.dll", "Advapi32.dll", "Mpr.dll", "Shell32.dll",
};

}  // namespace

std::span<const BoundFunctionName> system_function_table() {
  return kSystemTable;
}

std::span<const char* const> default_libraries() {
  return kDefaultLibraries;
}

FunctionTable::FunctionTable(std::span<const BoundFunctionName> entries, LibraryLoader& loader)
    : entries_(entries), loader_(loader), slots_(new Slot[entries.size()]) {}

FunctionTable::~FunctionTable() {
  release_modules();
}

bool FunctionTable::is_bound(int index) const {
  return slots_[static_cast<std::size_t>(index)].address.load() != nullptr;
}

LibraryLoader::Address FunctionTable::lookup(LibraryLoader::Module module,
                                             std::string_view function) {
  if (function.empty() || function.front() != '#') return loader_.find(module, function);
  unsigned ordinal = 0;
  for (char c : function.substr(1)) {
    if (c < '0' || c > '9') break;
    ordinal = (ordinal * 10 + static_cast<unsigned>(c - '0')) % 65536;
  }
  return loader_.find_ordinal(module, static_cast<std::uint16_t>(ordinal));
}

void* FunctionTable::bind(int index) {
  Slot& slot = slots_[static_cast<std::size_t>(index)];
  if (void* address = slot.address.load(std::memory_order_acquire)) return address;

  // One binding at a time: a second thread that needs the same entry finds it bound.
  std::lock_guard lock(binding_);
  if (void* address = slot.address.load(std::memory_order_acquire)) return address;
  const BoundFunctionName& entry = entries_[static_cast<std::size_t>(index)];
  const std::string_view function = entry.function;

  LibraryLoader::Module module = nullptr;
  LibraryLoader::Address address = nullptr;
  if (entry.library != nullptr) {
    const std::string_view library = entry.library;
    if (library.find(':') == std::string_view::npos) {
      module = loader_.load_from_program_folder(library);
    }
    if (module == nullptr) module = loader_.load(library);
    if (module != nullptr) address = lookup(module, function);
  } else {
    for (const char* library : kDefaultLibraries) {
      module = loader_.load(library);
      if (module == nullptr) continue;
      address = lookup(module, function);
      if (address != nullptr) break;
      loader_.release(module);
      module = nullptr;
    }
  }

  if (address == nullptr) {
    if (module != nullptr) loader_.release(module);
    report_runtime_error(entry.library != nullptr ? binding_failure_message(entry.library, function)
                                                  : binding_failure_message(function));
  }
  slot.module = module;
  slot.address.store(address, std::memory_order_release);
  return address;
}

void FunctionTable::release_modules() {
  std::lock_guard lock(binding_);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    Slot& slot = slots_[i];
    if (slot.module != nullptr) loader_.release(slot.module);
    slot.module = nullptr;
    slot.address.store(nullptr);
  }
}

namespace {

class WindowsLoader final : public LibraryLoader {
 public:
  Module load_from_program_folder(std::string_view library) override {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (n == 0) return nullptr;
      if (n < path.size()) {
        path.resize(n);
        break;
      }
      path.resize(path.size() * 2);
    }
    std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return nullptr;
    path.resize(slash + 1);
    path.append(library.begin(), library.end());  // library names are ASCII
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return nullptr;
    return LoadLibraryW(path.c_str());
  }

  Module load(std::string_view library) override {
    return LoadLibraryA(std::string(library).c_str());
  }

  Address find(Module module, std::string_view function) override {
    return reinterpret_cast<Address>(
        GetProcAddress(static_cast<HMODULE>(module), std::string(function).c_str()));
  }

  Address find_ordinal(Module module, std::uint16_t ordinal) override {
    return reinterpret_cast<Address>(
        GetProcAddress(static_cast<HMODULE>(module), MAKEINTRESOURCEA(ordinal)));
  }

  void release(Module module) override { FreeLibrary(static_cast<HMODULE>(module)); }
};

}  // namespace

void* bind_function(int index) {
  static WindowsLoader loader;
  // Destroyed at the end of the program, which releases the modules of the bound entries.
  static FunctionTable table(system_function_table(), loader);
  return table.bind(index);
}

}  // namespace stdlookup
