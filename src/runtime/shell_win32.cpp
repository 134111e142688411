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

bool execute_open(const Text& target) {
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
    const std::wstring wide = win32::gbk_to_wide(target);
    result = bound_function<ShellExecuteWFunction>(kBoundShellExecuteW)(
        nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
  // Values above 32 mean the shell started something.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

std::mutex opener_mutex;
std::function<bool(const Text&)> custom_opener;

}  // namespace

bool shell_open(const Text& target) {
  std::function<bool(const Text&)> opener;
  {
    std::lock_guard lock(opener_mutex);
    opener = custom_opener;
  }
  return opener ? opener(target) : execute_open(target);
}

void set_shell_opener(std::function<bool(const Text&)> opener) {
  std::lock_guard lock(opener_mutex);
  custom_opener = std::move(opener);
}

}  // namespace stdlookup
