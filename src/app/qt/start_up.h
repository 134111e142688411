// Start-up of the window program: application object, Qt presenter, the main window from its
// layout, then the message loop until the window is closed.
#pragma once

#include <functional>

#include "app/events.h"
#include "app/qt/themed_drawing.h"

namespace stdlookup {

// Runs the program and ends the process with exit code 0 once the main window is closed, at
// once, even while a batch thread still runs. `on_first_paint` (optional) runs after the
// window's first paint. Actions without themed_drawing get set_themed_drawing.
[[noreturn]] void start_up(int argc, char** argv, Actions actions,
                           std::function<void()> on_first_paint = {});

// Names the program to the desktop: the desktop entry's name and the window icon (the icon
// theme's, else the program's own). Needs the application object.
void set_application_identity();

// Runs the message loop of the existing application until the last window closes, then ends
// the process with the loop's exit code.
[[noreturn]] void run_message_loop();

}  // namespace stdlookup
