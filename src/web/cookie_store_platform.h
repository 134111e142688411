// What the cookie store needs from the platform, one file per platform.
#pragma once

#include <string_view>

#include "runtime/types.h"

namespace stdlookup::detail {

// Creates the folder (and its parents) when missing; the folder itself is the user's alone.
bool make_private_folder(const Text& folder);

}  // namespace stdlookup::detail
