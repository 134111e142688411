// The shell's "open" on Windows, bound by name. ShellExecuteA reads its text in the machine's
// ANSI code page, which is not GBK on an English Windows: a text with non-ASCII bytes goes to
// ShellExecuteW instead, converted through code page 936 (what ShellExecuteA does on a Chinese
// Windows).
#include <windows.h>

#include <algorithm>
#include <mutex>

#include "runtime/binding.h"
#include "runtime/system.h"
#include "runtime/win32_text.h"

namespace stdlookup {
namespace {

// `wide` is the target for ShellExecuteW when the text is not ASCII.
bool execute_open(const std::string& target, std::wstring (*to_wide)(std::string_view)) {
  if (target.empty()) return false;
  const bool ascii =
      std::all_of(target.begin(), target.end(), [](char c) { return (c & 0x80) == 0; });
  HINSTANCE result;
  if (ascii) {
    using ShellExecuteAFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    result = bound_function<ShellExecuteAFunction>(kBoundShellExecuteA)(
        nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  } else {
    using ShellExecuteWFunction = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
    const std::wstring wide = to_wide(target);
    result = bound_function<ShellExecuteWFunction>(kBoundShellExecuteW)(
        nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
  // Values above 32 mean the shell started something.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

std::mutex opener_mutex;
std::function<bool(const Text&)> custom_opener;

std::function<bool(const Text&)> current_opener() {
  std::lock_guard lock(opener_mutex);
  return custom_opener;
}

}  // namespace

bool shell_open(const Text& target) {
  auto opener = current_opener();
  return opener ? opener(target) : execute_open(target, win32::gbk_to_wide);
}

bool shell_open_path(const std::string& native_path) {
  auto opener = current_opener();
  return opener ? opener(native_path) : execute_open(native_path, win32::utf8_to_wide);
}

void set_shell_opener(std::function<bool(const Text&)> opener) {
  std::lock_guard lock(opener_mutex);
  custom_opener = std::move(opener);
}

}  // namespace stdlookup
