// The system's function table on Windows: LoadLibrary, GetProcAddress and FreeLibrary.
#include <windows.h>

#include <string>

#include "runtime/binding.h"

namespace stdlookup {
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
