// Points a predefined registry key (HKEY_CURRENT_USER) at a fresh scratch key for one test and
// removes the scratch key afterwards, so tests never touch the user's own settings.
#pragma once

#include <windows.h>

#include <string>

namespace stdlookup::test {

class RegistryOverride {
 public:
  explicit RegistryOverride(HKEY predefined) : predefined_(predefined) {
    name_ = L"Software\\stdlookup-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64());
    RegCreateKeyExW(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &scratch_, nullptr);
    RegOverridePredefKey(predefined_, scratch_);
  }
  ~RegistryOverride() {
    RegOverridePredefKey(predefined_, nullptr);
    RegCloseKey(scratch_);
    RegDeleteTreeW(HKEY_CURRENT_USER, name_.c_str());
  }
  RegistryOverride(const RegistryOverride&) = delete;
  RegistryOverride& operator=(const RegistryOverride&) = delete;

  void set(const std::wstring& key, const std::wstring& value, DWORD type,
           const std::wstring& data) {
    RegSetKeyValueW(scratch_, key.empty() ? nullptr : key.c_str(), value.c_str(), type,
                    data.c_str(), static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  }
  void set_dword(const std::wstring& key, const std::wstring& value, DWORD data) {
    RegSetKeyValueW(scratch_, key.c_str(), value.c_str(), REG_DWORD, &data, sizeof data);
  }
  void remove(const std::wstring& key, const std::wstring& value) {
    RegDeleteKeyValueW(scratch_, key.empty() ? nullptr : key.c_str(), value.c_str());
  }

 private:
  HKEY predefined_;
  HKEY scratch_ = nullptr;
  std::wstring name_;
};

}  // namespace stdlookup::test
