#include "app/win32/win32_controls.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/win32/win32_window.h"
#include "runtime/win32_text.h"

namespace stdlookup {
namespace {

std::wstring window_text(HWND control) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  const int length = GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(std::max(length, 0)));
  return text;
}

// A control's kind comes from the layout, not from asking the system each time: a batch of
// thousands of rows makes hundreds of thousands of these calls.
bool is(std::string_view name, ControlClass control_class) {
  const ControlEntry* entry = find_control(name);
  return entry != nullptr && entry->control_class == control_class;
}

int column_count(std::string_view name) {
  const ControlEntry* entry = find_control(name);
  return entry == nullptr ? 0 : static_cast<int>(entry->columns.size());
}

int row_count(HWND list) {
  return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

}  // namespace

Win32Controls::Win32Controls(Win32Window& window) : window_(window) {}

HWND Win32Controls::handle(std::string_view name) const {
  return name == kMainWindow ? window_.handle() : window_.control(name);
}

void Win32Controls::on_gui_thread(const std::function<void()>& work) {
  if (GetWindowThreadProcessId(window_.handle(), nullptr) == GetCurrentThreadId()) {
    work();
    return;
  }
  SendMessageW(window_.handle(), kRunMessage, 0, reinterpret_cast<LPARAM>(&work));
}

void Win32Controls::together(const std::function<void()>& writes) {
  on_gui_thread([&] {
    std::vector<HWND> lists;
    if (together_depth_++ == 0) {
      for (const ControlEntry& entry : main_window_layout()) {
        HWND list = entry.control_class == ControlClass::list_view ? handle(entry.name) : nullptr;
        if (list == nullptr) continue;
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
        lists.push_back(list);
      }
    }
    writes();
    --together_depth_;
    for (HWND list : lists) {
      SendMessageW(list, WM_SETREDRAW, TRUE, 0);
      InvalidateRect(list, nullptr, FALSE);  // the list paints its own background
    }
  });
}

Text Win32Controls::edit_text(std::string_view name) {
  Text text;
  on_gui_thread([&] {
    HWND control = handle(name);
    if (control != nullptr && is(name, ControlClass::edit_box)) {
      text = win32::wide_to_gbk(window_text(control));
    }
  });
  return text;
}

void Win32Controls::set_edit_text(std::string_view name, std::string_view text) {
  on_gui_thread([&] {
    HWND control = handle(name);
    if (control == nullptr || !is(name, ControlClass::edit_box)) return;
    SetWindowTextW(control, win32::gbk_to_wide(text).c_str());
    // The start of a long text in view, not its end.
    SendMessageW(control, EM_SETSEL, 0, 0);
    SendMessageW(control, EM_SCROLLCARET, 0, 0);
  });
}

Text Win32Controls::caption(std::string_view name) {
  Text text;
  on_gui_thread([&] {
    HWND control = handle(name);
    if (control != nullptr && !is(name, ControlClass::edit_box)) {
      text = win32::wide_to_gbk(window_text(control));
    }
  });
  return text;
}

void Win32Controls::set_caption(std::string_view name, std::string_view text) {
  on_gui_thread([&] {
    HWND control = handle(name);
    if (control == nullptr || is(name, ControlClass::edit_box) ||
        is(name, ControlClass::list_view)) {
      return;
    }
    SetWindowTextW(control, win32::gbk_to_wide(text).c_str());
  });
}

bool Win32Controls::disabled(std::string_view name) {
  bool result = false;
  on_gui_thread([&] {
    if (HWND control = handle(name)) result = IsWindowEnabled(control) == FALSE;
  });
  return result;
}

void Win32Controls::set_disabled(std::string_view name, bool disabled) {
  on_gui_thread([&] {
    if (HWND control = handle(name)) EnableWindow(control, disabled ? FALSE : TRUE);
  });
}

// The 32-bit range messages: nothing is clamped at 32767.
void Win32Controls::set_progress_maximum(std::string_view name, int maximum) {
  on_gui_thread([&] {
    HWND bar = handle(name);
    if (bar == nullptr || !is(name, ControlClass::process_bar)) return;
    ProgressModel& model = progress_[std::string(name)];
    model.set_maximum(maximum);
    SendMessageW(bar, PBM_SETRANGE32, 0, model.range());
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(model.position()), 0);
  });
}

void Win32Controls::set_progress_position(std::string_view name, int position) {
  on_gui_thread([&] {
    HWND bar = handle(name);
    if (bar == nullptr || !is(name, ControlClass::process_bar)) return;
    ProgressModel& model = progress_[std::string(name)];
    model.set_position(position);
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(model.position()), 0);
  });
}

int Win32Controls::progress_maximum(std::string_view name) {
  int maximum = 0;
  on_gui_thread([&] { maximum = progress_[std::string(name)].maximum(); });
  return maximum;
}

int Win32Controls::list_insert_row(std::string_view name, std::string_view caption) {
  int row = -1;
  on_gui_thread([&] {
    HWND list = handle(name);
    if (list == nullptr || !is(name, ControlClass::list_view)) return;
    std::wstring text = win32::gbk_to_wide(caption);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row_count(list);
    item.pszText = text.data();
    row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  });
  return row;
}

void Win32Controls::list_set_cell(std::string_view name, int row, int column,
                                  std::string_view text) {
  on_gui_thread([&] {
    HWND list = handle(name);
    if (list == nullptr || !is(name, ControlClass::list_view) || row < 0 ||
        row >= row_count(list) || column < 0 || column >= column_count(name)) {
      return;
    }
    std::wstring wide = win32::gbk_to_wide(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  });
}

Text Win32Controls::list_cell(std::string_view name, int row, int column) {
  Text text;
  on_gui_thread([&] {
    HWND list = handle(name);
    if (list == nullptr || !is(name, ControlClass::list_view) || row < 0 ||
        row >= row_count(list) || column < 0 || column >= column_count(name)) {
      return;
    }
    // The message tells only how much it copied: grow until the text fits with room to spare.
    std::wstring buffer(256, L'\0');
    for (;;) {
      LVITEMW item{};
      item.iSubItem = column;
      item.pszText = buffer.data();
      item.cchTextMax = static_cast<int>(buffer.size());
      const auto copied = static_cast<std::size_t>(SendMessageW(
          list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
      if (copied + 1 < buffer.size()) {
        buffer.resize(copied);
        break;
      }
      buffer.assign(buffer.size() * 2, L'\0');
    }
    text = win32::wide_to_gbk(buffer);
  });
  return text;
}

int Win32Controls::list_row_count(std::string_view name) {
  int count = 0;
  on_gui_thread([&] {
    HWND list = handle(name);
    if (list != nullptr && is(name, ControlClass::list_view)) count = row_count(list);
  });
  return count;
}

}  // namespace stdlookup
