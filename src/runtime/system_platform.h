// What the platform files give the portable system operations: the real opener and the real
// thread start, beneath the replaceable hooks of system.cpp.
#pragma once

#include <functional>
#include <string>

#include "runtime/system.h"

namespace stdlookup {

// Hands `target` to the desktop's opener: a GBK text, or a native (UTF-8) path.
bool desktop_open(const std::string& target, bool native_path);

// Runs `procedure` on a new detached thread; false when none could be created.
bool create_detached_thread(std::function<void()> procedure);

}  // namespace stdlookup
