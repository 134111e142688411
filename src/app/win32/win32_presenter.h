// The window program's presenter: message boxes, the file dialog (modal to the main window) and
// the runtime error dialog as the system's own, the export's pending-message pass with the
// window's dialog keys, and requests of the GUI thread run while the window keeps painting.
#pragma once

#include "runtime/window_services.h"

namespace stdlookup {

class Win32Window;

class Win32Presenter final : public Presenter {
 public:
  explicit Win32Presenter(Win32Window& window);
  ~Win32Presenter() override;
  Win32Presenter(const Win32Presenter&) = delete;
  Win32Presenter& operator=(const Win32Presenter&) = delete;

  MessageBoxButton show_message_box(const Text& message, const Text& title,
                                    unsigned flags) override;
  void process_pending_messages() override;
  bool show_common_dialog(CommonDialog& dialog) override;
  // On the GUI thread: `work` runs on a thread of its own while the GUI thread goes on
  // dispatching everything but keyboard, mouse and input-method input in the client area, under
  // a wait cursor.
  // The title bar stays live, so the window can still be moved and closed.
  void run_busy(const std::function<void()>& work) override;
  void show_runtime_error(const Text& text) override;

 private:
  Win32Window& window_;
};

}  // namespace stdlookup
