// The actions the window's buttons run.
#pragma once

#include "app/events.h"

namespace stdlookup {

// Every action the program has; themed_drawing is left to the front end.
Actions window_actions();

}  // namespace stdlookup
