// What the platform files give the portable system operations: the real thread start, beneath
// the replaceable hook of system.cpp.
#pragma once

#include <functional>

namespace stdlookup {

// Runs `procedure` on a new detached thread; false when none could be created.
bool create_detached_thread(std::function<void()> procedure);

}  // namespace stdlookup
