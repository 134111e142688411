#include "app/win32/start_up.h"

#include "app/win32/win32_presenter.h"
#include "app/win32/win32_window.h"
#include "runtime/runtime_error.h"
#include "runtime/system.h"

namespace stdlookup {

void start_up(Actions actions, std::function<void()> once_shown) {
  Win32Window window(std::move(actions));
  if (!window.valid()) report_runtime_error(main_window_load_failure_message());
  Win32Presenter presenter(window);
  set_presenter(&presenter);
  ShowWindow(window.handle(), SW_SHOWDEFAULT);
  UpdateWindow(window.handle());
  if (once_shown) once_shown();
  end_process(window.run_message_loop());
}

}  // namespace stdlookup
