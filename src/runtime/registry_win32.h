// Reading text values from the Windows registry.
#pragma once

#include <string_view>

#include "runtime/types.h"

namespace stdlookup {

enum RegistryRoot : int {
  kClassesRoot = 1,
  kCurrentConfig = 2,
  kCurrentUser = 3,
  kLocalMachine = 4,
  kUsers = 5,  // any other number is HKEY_CURRENT_USER
};

// `path` is the key path and, after its last backslash, the value name (no backslash: a value
// directly under the root). A REG_SZ value as stored, a REG_EXPAND_SZ value with its
// environment references expanded; `fallback` when the key or value is missing or has another
// type. Texts are GBK.
Text read_registry_text(int root, std::string_view path, std::string_view fallback = {});

}  // namespace stdlookup
