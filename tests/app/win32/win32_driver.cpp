// The end-to-end tests' driver for the Win32 window: BM_CLICK on the real buttons, WM_CHAR into
// the real edit boxes, and a thread timer that answers message boxes and the save dialog from
// inside their own modal loops.
#include "app/win32/win32_driver.h"

#include <commctrl.h>

#include <chrono>
#include <map>

#include "app/layout.h"
#include "app/win32/win32_controls.h"
#include "runtime/system.h"
#include "runtime/win32_text.h"

namespace stdlookup::test {
namespace {

Win32Driver* active_driver = nullptr;

// The visible dialog (message box or file dialog) this thread shows, if any.
HWND find_modal() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM result) -> BOOL {
        if (!IsWindowVisible(window) || class_of(window) != L"#32770") return TRUE;
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The file name box of a file dialog (a combo box in newer templates, an edit box in older).
HWND file_name_box(HWND dialog) {
  for (int id : {0x47c, 0x480}) {
    if (HWND box = GetDlgItem(dialog, id)) return box;
  }
  return nullptr;
}

// A message box's text: its static control with text (the icon's has none).
std::string message_text(HWND box) {
  std::string text;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM result) -> BOOL {
        auto& found = *reinterpret_cast<std::string*>(result);
        if (class_of(child) != L"Static") return TRUE;
        found = text_of(child);
        return found.empty();
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

std::map<UINT_PTR, std::function<void()>>& tick_functions() {
  static std::map<UINT_PTR, std::function<void()>> functions;
  return functions;
}

void CALLBACK on_tick(HWND, UINT, UINT_PTR id, DWORD) {
  auto it = tick_functions().find(id);
  if (it != tick_functions().end()) it->second();
}

}  // namespace

std::string text_of(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return win32::wide_to_utf8(text);
}

std::wstring class_of(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

Win32Driver::Win32Driver(Actions actions) : window_(std::move(actions)), presenter_(window_) {
  previous_presenter_ = set_presenter(&presenter_);
  active_driver = this;
  modal_watch_ = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) {
    if (active_driver != nullptr) active_driver->answer_modal();
  });
}

Win32Driver::~Win32Driver() {
  KillTimer(nullptr, modal_watch_);
  stop_ticks();
  active_driver = nullptr;
  set_presenter(previous_presenter_);
}

Controls& Win32Driver::controls() {
  return window_.controls();
}

void Win32Driver::show() {
  ShowWindow(window_.handle(), SW_SHOWNORMAL);
  UpdateWindow(window_.handle());
}

void Win32Driver::type(std::string_view edit, std::string_view utf8) {
  HWND box = window_.control(edit);
  SetWindowTextW(box, L"");
  SetFocus(box);
  for (wchar_t c : win32::utf8_to_wide(utf8)) SendMessageW(box, WM_CHAR, c == L'\n' ? L'\r' : c, 1);
}

void Win32Driver::press(HWND target, UINT key) {
  auto dispatch = [this, target, key](UINT message, LPARAM l) {
    MSG msg{};
    msg.hwnd = target;
    msg.message = message;
    msg.wParam = key;
    msg.lParam = l;
    window_.dispatch(msg);
  };
  dispatch(WM_KEYDOWN, 1);
  // The characters the key down was translated into.
  MSG posted;
  while (PeekMessageW(&posted, nullptr, 0, 0, PM_REMOVE)) window_.dispatch(posted);
  dispatch(WM_KEYUP, static_cast<LPARAM>(0xC0000001));
}

void Win32Driver::click(std::string_view button) {
  SendMessageW(window_.control(button), BM_CLICK, 0, 0);
}

bool Win32Driver::wait_for(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) window_.dispatch(message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

void Win32Driver::start_ticks(int milliseconds, std::function<void()> tick) {
  stop_ticks();
  ticks_ = SetTimer(nullptr, 0, static_cast<UINT>(milliseconds), on_tick);
  tick_functions()[ticks_] = std::move(tick);
}

void Win32Driver::stop_ticks() {
  if (ticks_ == 0) return;
  KillTimer(nullptr, ticks_);
  tick_functions().erase(ticks_);
  ticks_ = 0;
}

void Win32Driver::close() {
  // Through the queue, as the close button's click or Alt+F4 reaches the window.
  PostMessageW(window_.handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool Win32Driver::wait_cursor() {
  return GetCursor() == LoadCursorW(nullptr, IDC_WAIT);
}

int Win32Driver::progress_position(std::string_view bar) {
  return static_cast<int>(SendMessageW(window_.control(bar), PBM_GETPOS, 0, 0));
}

int Win32Driver::progress_maximum(std::string_view bar) {
  return window_.controls().progress_maximum(bar);
}

namespace {

// A rectangle in the coordinates of `window`'s client area.
RECT rect_in(HWND control, HWND window) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace

std::optional<Placement> Win32Driver::placement(std::string_view control) {
  HWND handle = window_.control(control);
  if (handle == nullptr) return std::nullopt;
  // Every control is a child of the window itself: relative to its layout parent by hand.
  RECT rect = rect_in(handle, window_.handle());
  const ControlEntry* entry = find_control(control);
  if (HWND parent = entry ? window_.control(entry->parent) : nullptr) {
    const RECT frame = rect_in(parent, window_.handle());
    OffsetRect(&rect, -frame.left, -frame.top);
  }
  return Placement{rect.left,
                   rect.top,
                   rect.right - rect.left,
                   rect.bottom - rect.top,
                   IsWindowVisible(handle) != FALSE,
                   (GetWindowLongPtrW(handle, GWL_STYLE) & WS_TABSTOP) != 0,
                   IsWindowEnabled(handle) != FALSE};
}

Placement Win32Driver::client_area() {
  RECT client;
  GetClientRect(window_.handle(), &client);
  return {0, 0, client.right, client.bottom};
}

int Win32Driver::scaled(int layout_pixels) {
  return MulDiv(layout_pixels, window_.dpi(), 96);
}

void Win32Driver::run_message_loop() {
  end_process(window_.run_message_loop());
}

void Win32Driver::answer_modal() {
  if (answering_) return;
  HWND modal = find_modal();
  if (modal == nullptr) return;
  answering_ = true;
  if (HWND name = file_name_box(modal)) {
    const ModalAnswer reply = seen({true, {}});
    if (reply.file_name) {
      SetWindowTextW(name, win32::utf8_to_wide(*reply.file_name).c_str());
      SendMessageW(modal, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(modal, IDOK)));
    } else {
      SendMessageW(modal, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(modal, IDCANCEL)));
    }
  } else {
    const ModalAnswer reply = seen({false, message_text(modal)});
    const int id = static_cast<int>(reply.button);  // IDOK … IDNO
    SendMessageW(modal, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(modal, id)));
  }
  answering_ = false;
}

std::unique_ptr<WindowDriver> make_window_driver(Actions actions) {
  return std::make_unique<Win32Driver>(std::move(actions));
}

}  // namespace stdlookup::test
