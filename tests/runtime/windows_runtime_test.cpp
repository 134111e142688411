// What only the Windows runtime does: the real libraries behind the bound-function table, code
// page 936 whatever the ANSI code page, the registry, wide file names, and threads.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "runtime/atomic_file.h"
#include "runtime/binding_win32.h"
#include "runtime/gbk.h"
#include "runtime/registry_win32.h"
#include "runtime/system.h"
#include "runtime/win32_text.h"
#include "support/gbk_literals.h"
#include "support/temp_dir.h"
#include "support/windows_registry.h"

namespace stdlookup {
namespace {

using namespace literals;
using test::bytes;
using test::g;

TEST(WindowsBinding, SystemTableResolvesFromTheRealLibraries) {
  struct Case {
    int index;
    const char* library;
    const char* function;
  };
  for (const Case& c : {Case{kBoundShellExecuteA, "shell32.dll", "ShellExecuteA"},
                        Case{kBoundCreateThread, "kernel32.dll", "CreateThread"},
                        Case{kBoundInternetOpenA, "wininet.dll", "InternetOpenA"},
                        Case{kBoundHttpSendRequestBytesA, "wininet.dll", "HttpSendRequestA"},
                        Case{kBoundInternetSetOptionA, "wininet.dll", "InternetSetOptionA"}}) {
    HMODULE module = LoadLibraryA(c.library);
    ASSERT_NE(module, nullptr) << c.library;
    EXPECT_EQ(bind_function(c.index), reinterpret_cast<void*>(GetProcAddress(module, c.function)))
        << c.function;
    FreeLibrary(module);
  }
}

TEST(WindowsGbk, CodePage936IsCheckedNotTrusted) {
  struct Case {
    std::string gbk;
    std::string utf8;
  };
  for (const Case& c : {
           Case{bytes({0x80}), "?"},                // the system gives "€"
           Case{bytes({0xFF, 'a'}), "?a"},          // the system gives U+F8F5
           Case{bytes({0xAA, 0xA1, 'b'}), "?b"},    // user-defined area: private use
           Case{bytes({0xA1, 0xA1}), "\u3000"},     // ideographic space
           Case{bytes({0xCF, 0xD6, 0xB0}), "现?"},  // lone lead byte at the end
           Case{bytes({0x81, 0x20, 'c'}), "?c"},    // a lead byte with an invalid trail
           Case{bytes({'x', 0xD7, 0xF7, 0xB7, 0xCF}), "x作废"},
       }) {
    EXPECT_EQ(gbk_to_utf8(c.gbk), c.utf8);
  }
  // Nothing that is not GBK comes out as a best fit or a double question mark.
  EXPECT_EQ(utf8_to_gbk("é€😀\uE000"), bytes({0xA8, 0xA6, '?', '?', '?'}));
  EXPECT_EQ(win32::wide_to_gbk(std::wstring(1, wchar_t{0xD800}) + L"a"), "?a");
}

TEST(WindowsRegistry, ReadsTextValuesWithTheirRootsDefaultsAndExpansion) {
  test::RegistryOverride user(HKEY_CURRENT_USER);
  user.set(L"Software\\T", L"plain", REG_SZ, L"文件夹");
  user.set(L"Software\\T", L"expand", REG_EXPAND_SZ, L"%STDLOOKUP_TEST_VAR%\\x");
  user.set_dword(L"Software\\T", L"number", 7);
  user.set(L"", L"top", REG_SZ, L"at the root");
  SetEnvironmentVariableW(L"STDLOOKUP_TEST_VAR", L"C:\\展开");

  EXPECT_EQ(read_registry_text(kCurrentUser, "Software\\T\\plain"), g("文件夹"));
  EXPECT_EQ(read_registry_text(kCurrentUser, "Software\\T\\expand"), g("C:\\展开\\x"));
  EXPECT_EQ(read_registry_text(99, "Software\\T\\plain"), g("文件夹"));  // any other root: HKCU
  EXPECT_EQ(read_registry_text(kCurrentUser, "top"), "at the root");
  EXPECT_EQ(read_registry_text(kCurrentUser, "Software\\T\\number", "dflt"), "dflt");
  EXPECT_EQ(read_registry_text(kCurrentUser, "Software\\T\\missing", "dflt"), "dflt");
  EXPECT_EQ(read_registry_text(kCurrentUser, "Software\\Missing\\plain"), "");
  EXPECT_EQ(read_registry_text(kLocalMachine, "Software\\T\\plain", "dflt"), "dflt");
}

TEST(WindowsFiles, ChineseNamesAreFoundAndDeleted) {
  test::TempDir dir;
  const std::wstring folder = dir.path().wstring();
  for (const wchar_t* name : {L"标准1.txt", L"其他.txt", L"说明.dat"}) {
    HANDLE file = CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  }
  const Text gbk_folder = win32::wide_to_gbk(folder);
  std::vector<Text> names;
  FileSearch search;
  for (Text name = next_matching_file(gbk_folder + "\\*.txt", 0, true, search); !name.empty();
       name = next_matching_file({}, 0, true, search)) {
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<Text>{g("标准1.txt"), g("其他.txt")}));
  EXPECT_TRUE(remove_file(gbk_folder + "\\" + g("标准1.txt")));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / L"标准1.txt"));
  EXPECT_FALSE(remove_file(gbk_folder));  // a folder is not a file
}

// An existing file is replaced in place (ReplaceFileW); a read-only one is refused and stays as it
// was. Nothing of the temporary file remains either way. (That Windows keeps the replaced file's
// attributes and permissions Wine does not show: its ReplaceFileW is a plain rename.)
TEST(WindowsFiles, ReplacingAFileInPlaceOrLeavingAReadOnlyOneAlone) {
  test::TempDir dir;
  const std::wstring folder = dir.path().wstring() + L"\\导出";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring hidden = folder + L"\\隐藏.txt", locked = folder + L"\\只读.txt";
  const auto writes = [](std::string content) {
    return [content](const std::string& temp) {
      return write_whole_file(temp, content) ? Text("write failed") : Text();
    };
  };
  const auto utf8 = [](const std::wstring& path) { return win32::wide_to_utf8(path); };
  ASSERT_EQ(write_whole_file(utf8(hidden), "old"), 0);
  ASSERT_EQ(write_whole_file(utf8(locked), "old"), 0);
  SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY);

  EXPECT_TRUE(replace_file(utf8(hidden), writes("new")).ok());
  FileReplacement refused = replace_file(utf8(locked), writes("new"));
  EXPECT_EQ(gbk_to_utf8(failure_of(refused)), "没有写入目标文件夹的权限");
  SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);

  std::vector<std::wstring> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    names.push_back(entry.path().filename().wstring() + L"=" +
                    win32::utf8_to_wide(std::string(std::istreambuf_iterator<char>(in), {})));
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"只读.txt=old", L"隐藏.txt=new"}));
}

TEST(WindowsThreads, StartThreadRunsTheProcedureOnAnotherThread) {
  std::atomic<DWORD> worker{0};
  ASSERT_TRUE(start_thread([&] { worker = GetCurrentThreadId(); }));
  for (int i = 0; i < 500 && worker == 0; ++i) Sleep(10);
  EXPECT_NE(worker.load(), 0u);
  EXPECT_NE(worker.load(), GetCurrentThreadId());
}

}  // namespace
}  // namespace stdlookup
