// The Windows program carries the icon and version information that Explorer, the Start menu and
// the list of installed programs show.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "runtime/win32_text.h"

namespace stdlookup {
namespace {

std::wstring version_text(const std::vector<char>& info, const wchar_t* name) {
  wchar_t* value = nullptr;
  UINT length = 0;
  const std::wstring key = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
  if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) {
    return L"(none)";
  }
  return std::wstring(value, length > 0 ? length - 1 : 0);
}

TEST(ProgramResources, IconAndVersionInformation) {
  const std::wstring program = win32::utf8_to_wide(STDLOOKUP_CLI_PATH);
  EXPECT_EQ(ExtractIconExW(program.c_str(), -1, nullptr, nullptr, 0), 1u);  // one icon
  HICON large = nullptr;
  ASSERT_EQ(ExtractIconExW(program.c_str(), 0, &large, nullptr, 1), 1u);
  DestroyIcon(large);

  DWORD handle = 0;
  std::vector<char> info(GetFileVersionInfoSizeW(program.c_str(), &handle));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(
      GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
  EXPECT_EQ(win32::wide_to_utf8(version_text(info, L"FileVersion")), STDLOOKUP_VERSION);
  EXPECT_EQ(win32::wide_to_utf8(version_text(info, L"ProductName")), "标准查询 stdlookup");
  EXPECT_EQ(version_text(info, L"OriginalFilename"), L"stdlookup-cli.exe");
}

}  // namespace
}  // namespace stdlookup
