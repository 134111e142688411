// What the cookie store needs from the platform, one file per platform.
#pragma once

#include <string_view>

#include "runtime/types.h"

namespace stdlookup::detail {

// Replaces folder/name with `content` at once (a temporary file renamed over it), creating the
// folder when missing; folder and file are readable by the user alone.
bool write_private_file(const Text& folder, const Text& name, std::string_view content);

}  // namespace stdlookup::detail
