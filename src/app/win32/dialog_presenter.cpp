// Message boxes through MessageBoxW with the GBK texts converted through code page 936:
// MessageBoxA would read them in the machine's ANSI code page, which is not GBK on an English
// Windows. The file dialog's path is native (UTF-8).
#include "app/win32/dialog_presenter.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <atomic>
#include <vector>

#include "runtime/gbk.h"
#include "runtime/win32_text.h"

namespace stdlookup {

using namespace literals;

namespace {

// "text|pattern|text|pattern" as the dialog wants it: zero-separated, ending in two zeros.
std::wstring dialog_filter(const Text& filter) {
  std::wstring wide = win32::gbk_to_wide(filter);
  for (wchar_t& c : wide) {
    if (c == L'|') c = L'\0';
  }
  wide.push_back(L'\0');
  wide.push_back(L'\0');
  return wide;
}

std::atomic<void*> dialog_owner{nullptr};

class WindowsDialogPresenter final : public Presenter {
 public:
  MessageBoxButton show_message_box(const Text& message, const Text& title,
                                    unsigned flags) override {
    int pressed = MessageBoxW(nullptr, win32::gbk_to_wide(message).c_str(),
                              win32::gbk_to_wide(title).c_str(), flags);
    // IDOK 1 … IDNO 7 are the buttons' own numbers; a box that could not be shown counts as OK.
    return pressed >= IDOK && pressed <= IDNO ? static_cast<MessageBoxButton>(pressed)
                                              : MessageBoxButton::ok;
  }

  void process_pending_messages() override {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      if (message.message == WM_QUIT) break;  // stays queued for the message loop
      if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) break;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

  bool show_common_dialog(CommonDialog& dialog) override {
    std::vector<wchar_t> file(32768, L'\0');
    std::wstring initial = win32::utf8_to_wide(dialog.file_name);
    if (initial.size() < file.size()) std::copy(initial.begin(), initial.end(), file.begin());
    const std::wstring filter = dialog_filter(dialog.filter);
    const std::wstring extension = win32::gbk_to_wide(dialog.default_extension);
    const std::wstring title = win32::gbk_to_wide(dialog.title);
    const std::wstring folder = win32::gbk_to_wide(dialog.initial_directory);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = dialog.filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(dialog.initial_filter);
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    const bool save = dialog.type == 1;
    // "The file must exist" would make a save dialog refuse every new name.
    ofn.Flags = (save ? dialog.flags & ~DWORD{OFN_FILEMUSTEXIST} : dialog.flags) | OFN_EXPLORER;
    ofn.hwndOwner = static_cast<HWND>(dialog_owner.load());
    const bool confirmed = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!confirmed) return false;
    dialog.file_name = win32::wide_to_utf8(file.data());
    return true;
  }

  void show_runtime_error(const Text& text) override {
    MessageBoxW(nullptr, win32::gbk_to_wide(text).c_str(), win32::gbk_to_wide("错误"_gbk).c_str(),
                MB_OK | MB_ICONHAND);
  }
};

}  // namespace

void set_dialog_owner(void* window) {
  dialog_owner = window;
}

Presenter& windows_dialog_presenter() {
  static WindowsDialogPresenter presenter;
  return presenter;
}

}  // namespace stdlookup
