// The presenter of a Windows program with windows: real message boxes, the runtime error
// dialog, the common file dialog and the thread's message queue.
#pragma once

#include "runtime/window_services.h"

namespace stdlookup {

Presenter& windows_dialog_presenter();

// The window (HWND) the file dialogs belong to: they are modal to it. nullptr for none.
void set_dialog_owner(void* window);

}  // namespace stdlookup
