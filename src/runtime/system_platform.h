// What the platform files give the portable system operations and window services: the real
// thread start and the real opener, beneath the replaceable hooks of system.cpp and
// window_services.cpp.
#pragma once

#include <functional>
#include <string>

namespace stdlookup {

// Runs `procedure` on a new detached thread; false when none could be created.
bool create_detached_thread(std::function<void()> procedure);

// Hands `target` to the desktop's opener: a GBK text, or a native (UTF-8) path.
bool desktop_open(const std::string& target, bool native_path);

}  // namespace stdlookup
