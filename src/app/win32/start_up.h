// Start-up of the window program on Windows: the main window from its layout, the presenter,
// then the message loop until the window is closed.
#pragma once

#include <functional>

#include "app/events.h"

namespace stdlookup {

// Runs the program and ends the process with exit code 0 once the main window is closed, also
// while a batch thread still runs. A window that cannot be created is the runtime error
// "载入启动窗口失败", reported through the presenter in force. `once_shown` (optional) runs
// when the window is on screen.
[[noreturn]] void start_up(Actions actions, std::function<void()> once_shown = {});

}  // namespace stdlookup
