// Files on Windows: deletion and wildcard enumeration with FindFirstFileW / FindNextFileW.
// Patterns and names are GBK texts, handed to the wide functions through code page 936 so that
// Chinese names work whatever the machine's ANSI code page is.
#include <windows.h>

#include "runtime/system.h"
#include "runtime/win32_text.h"

namespace stdlookup {

struct FileSearch::State {
  HANDLE find = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW entry{};
  bool entry_pending = false;  // FindFirstFileW delivered an entry not yet looked at
  ~State() {
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
  }
};

FileSearch::FileSearch() = default;
FileSearch::~FileSearch() = default;
FileSearch::FileSearch(FileSearch&&) noexcept = default;
FileSearch& FileSearch::operator=(FileSearch&&) noexcept = default;

bool remove_file(const Text& path) {
  if (path.empty()) return false;
  const std::wstring wide = win32::gbk_to_wide(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  return DeleteFileW(wide.c_str()) != 0;
}

namespace {

bool accepted(DWORD entry_attributes, int attributes, bool files_only) {
  if (files_only) return !(entry_attributes & FILE_ATTRIBUTE_DIRECTORY);
  // FILE_ATTRIBUTE_NORMAL stands for "no attributes" and counts as 0.
  const DWORD entry = entry_attributes == FILE_ATTRIBUTE_NORMAL ? 0 : entry_attributes;
  const DWORD mask = static_cast<DWORD>(attributes) & 0x37;
  return mask == 0 ? entry == 0 : (entry & mask) != 0;
}

}  // namespace

Text next_matching_file(const Text& pattern, int attributes, bool files_only, FileSearch& search) {
  if (!pattern.empty()) {
    end_file_search(search);
    auto state = std::make_unique<FileSearch::State>();
    state->find = FindFirstFileW(win32::gbk_to_wide(pattern).c_str(), &state->entry);
    if (state->find == INVALID_HANDLE_VALUE) return {};
    state->entry_pending = true;
    search.state_ = std::move(state);
  }
  if (!search.state_) return {};
  FileSearch::State& state = *search.state_;
  for (;;) {
    if (!state.entry_pending && !FindNextFileW(state.find, &state.entry)) break;
    state.entry_pending = false;
    const std::wstring_view name = state.entry.cFileName;
    if (name == L"." || name == L"..") continue;
    if (accepted(state.entry.dwFileAttributes, attributes, files_only)) {
      return win32::wide_to_gbk(name);
    }
  }
  end_file_search(search);
  return {};
}

void end_file_search(FileSearch& search) {
  search.state_.reset();
}

}  // namespace stdlookup
