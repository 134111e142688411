// Registry values through the wide functions, converted through code page 936: the "A" ones
// would give a folder name with Chinese characters in the machine's ANSI code page instead.
#include <windows.h>

#include <vector>

#include "runtime/registry_win32.h"
#include "runtime/win32_text.h"

namespace stdlookup {
namespace {

HKEY predefined_key(int root) {
  switch (root) {
    case kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case kCurrentConfig:
      return HKEY_CURRENT_CONFIG;
    case kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case kUsers:
      return HKEY_USERS;
    default:
      return HKEY_CURRENT_USER;
  }
}

class KeyHandle {
 public:
  explicit KeyHandle(HKEY key) : key_(key) {}
  ~KeyHandle() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_;
};

std::wstring expand_environment(const std::wstring& text) {
  DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (size == 0) return text;
  std::wstring out(size, L'\0');
  DWORD written = ExpandEnvironmentStringsW(text.c_str(), out.data(), size);
  if (written == 0 || written > size) return text;
  out.resize(written - 1);  // without the terminating zero
  return out;
}

}  // namespace

Text read_registry_text(int root, std::string_view path, std::string_view fallback) {
  const std::size_t backslash = path.rfind('\\');
  const std::wstring key_path = backslash == std::string_view::npos
                                    ? std::wstring()
                                    : win32::gbk_to_wide(path.substr(0, backslash));
  const std::wstring value_name =
      win32::gbk_to_wide(backslash == std::string_view::npos ? path : path.substr(backslash + 1));

  HKEY opened = nullptr;
  if (RegOpenKeyExW(predefined_key(root), key_path.c_str(), 0, KEY_READ, &opened) !=
      ERROR_SUCCESS) {
    return Text(fallback);
  }
  KeyHandle key(opened);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key.get(), value_name.c_str(), nullptr, &type, nullptr, &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return Text(fallback);
  }
  // The value may change between the two calls: grow and retry.
  std::vector<wchar_t> buffer;
  LONG result;
  do {
    buffer.assign(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    result = RegQueryValueExW(key.get(), value_name.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(buffer.data()), &size);
  } while (result == ERROR_MORE_DATA);
  if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return Text(fallback);
  // The stored data need not end with a zero: take it up to the first one or its size.
  std::wstring text(buffer.data(), size / sizeof(wchar_t));
  text.resize(std::min(text.find(L'\0'), text.size()));
  if (type == REG_EXPAND_SZ) text = expand_environment(text);
  return win32::wide_to_gbk(text);
}

}  // namespace stdlookup
