// The shell's "open" on Windows, bound by name. ShellExecuteA reads its text in the machine's
// ANSI code page, which is not GBK on an English Windows: a text with non-ASCII bytes goes to
// ShellExecuteW instead, converted through code page 936 (what ShellExecuteA does on a Chinese
// Windows).
#include <windows.h>

#include <algorithm>

#include "runtime/binding_win32.h"
#include "runtime/system_platform.h"
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

}  // namespace

bool desktop_open(const std::string& target, bool native_path) {
  return execute_open(target, native_path ? win32::utf8_to_wide : win32::gbk_to_wide);
}

}  // namespace stdlookup
