// What the platform files give the window services: the real opener, beneath the replaceable
// hook of window_services.cpp.
#pragma once

#include <string>

namespace stdlookup {

// Hands `target` to the desktop's opener: a GBK text, or a native (UTF-8) path.
bool desktop_open(const std::string& target, bool native_path);

}  // namespace stdlookup
