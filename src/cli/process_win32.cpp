#include <io.h>
#include <libintl.h>
#include <windows.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "cli_platform.h"

namespace stdlookup::cli {

std::FILE* open_new_file(const std::filesystem::path& path) {
  return _wfopen(path.c_str(), L"wbx");  // wide: a Chinese folder name must work
}

// Windows has no file-size limit signal: a write beyond a quota simply fails.
void treat_file_size_limit_as_error() {}

// Ctrl-C and Ctrl-Break; closing the console window ends the process without a signal.
void catch_stop_signals(void (*handler)(int)) {
  for (int signal : {SIGINT, SIGBREAK}) std::signal(signal, handler);
}

void release_stop_signals() {
  for (int signal : {SIGINT, SIGBREAK}) std::signal(signal, SIG_DFL);
}

bool stdout_is_terminal() {
  static const bool terminal = _isatty(_fileno(stdout)) != 0;
  return terminal;
}

bool stderr_is_terminal() {
  return _isatty(_fileno(stderr)) != 0;
}

std::filesystem::path program_folder() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      name.resize(length);
      return std::filesystem::path(name).parent_path();
    }
    name.resize(name.size() * 2);  // truncated: a long path
  }
}

// Wide: the folder may hold characters outside the ANSI code page.
void bind_catalogues(const char* domain, const std::filesystem::path& folder) {
  wbindtextdomain(domain, folder.c_str());
}

void choose_language() {
  for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return;
  }
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  const LCID ui = MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT);
  if (LCIDToLocaleName(ui, name, LOCALE_NAME_MAX_LENGTH, 0) == 0) return;
  // "zh-CN" → "zh_CN", the catalogue's folder name; ASCII only.
  std::string language;
  for (const wchar_t* c = name; *c != L'\0' && *c < 0x80; ++c)
    language += *c == L'-' ? '_' : static_cast<char>(*c);
  if (!language.empty()) _putenv_s("LANGUAGE", language.c_str());
}

}  // namespace stdlookup::cli
