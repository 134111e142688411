#include "app/win32/win32_presenter.h"

#include <windows.h>

#include <optional>

#include "app/front_end.h"
#include "app/win32/dialog_presenter.h"
#include "app/win32/win32_window.h"

namespace stdlookup {
namespace {

bool on_gui_thread(HWND window) {
  return window != nullptr && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

// Keyboard, mouse and input-method input meant for the controls, and files dropped on the
// window. Alt keys stay (Alt+F4 closes the window), and so does everything on the title bar.
bool is_control_input(UINT message) {
  if (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP || message == WM_SYSCHAR) return false;
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_IME_STARTCOMPOSITION && message <= WM_IME_KEYLAST) ||
         message == WM_IME_CHAR || message == WM_IME_KEYDOWN || message == WM_IME_KEYUP ||
         message == WM_DROPFILES;
}

class Event {
 public:
  Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Event() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

Win32Presenter::Win32Presenter(Win32Window& window) : window_(window) {
  set_dialog_owner(window.handle());
}

Win32Presenter::~Win32Presenter() {
  set_dialog_owner(nullptr);
}

MessageBoxButton Win32Presenter::show_message_box(const Text& message, const Text& title,
                                                  unsigned flags) {
  return windows_dialog_presenter().show_message_box(message, title, flags);
}

void Win32Presenter::process_pending_messages() {
  if (!on_gui_thread(window_.handle())) return;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
    if (message.message == WM_QUIT) break;  // stays queued for the message loop
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) break;
    window_.dispatch(message);
  }
}

bool Win32Presenter::show_common_dialog(CommonDialog& dialog) {
  return windows_dialog_presenter().show_common_dialog(dialog);
}

namespace {

// The toolkit's half of a request of the GUI thread.
class Win32BusyLoop final : public BusyLoop {
 public:
  explicit Win32BusyLoop(HWND window) : window_(window) {}

 protected:
  bool can_wait() override { return on_gui_thread(window_) && done_.get() != nullptr; }
  void wait() override {
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    HANDLE handle = done_.get();
    std::optional<int> quit;
    while (MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) !=
           WAIT_OBJECT_0) {
      MSG message;
      while (!quit && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
          quit = static_cast<int>(message.wParam);
        } else if (!is_control_input(message.message)) {
          TranslateMessage(&message);
          DispatchMessageW(&message);
        }
      }
      if (quit) WaitForSingleObject(handle, INFINITE);
    }
    SetCursor(previous);
    if (quit) PostQuitMessage(*quit);  // for the message loop
  }
  void finish() override { SetEvent(done_.get()); }

 private:
  HWND window_;
  Event done_;
};

}  // namespace

void Win32Presenter::run_busy(const std::function<void()>& work) {
  Win32BusyLoop(window_.handle()).run(work);
}

void Win32Presenter::show_runtime_error(const Text& text) {
  windows_dialog_presenter().show_runtime_error(text);
}

}  // namespace stdlookup
