// Where the settings file lives on Windows: %APPDATA%\stdlookup\stdlookup.conf.
#include <windows.h>

#include <string>

#include "runtime/settings.h"

namespace stdlookup {

std::filesystem::path settings_file_path() {
  // Wide, so that a profile folder named in any script is found.
  DWORD size = GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
  if (size == 0) return {};
  std::wstring folder(size, L'\0');
  DWORD written = GetEnvironmentVariableW(L"APPDATA", folder.data(), size);
  if (written == 0 || written >= size) return {};
  folder.resize(written);
  return std::filesystem::path(folder) / L"stdlookup" / L"stdlookup.conf";
}

}  // namespace stdlookup
