// Caller-held cookie jars: "name=value" items joined by "; ".
#pragma once

#include <string_view>

#include "runtime/types.h"

namespace stdlookup {

// The text before the first "=" (or the whole item), trimmed.
Text cookie_name(std::string_view item);

// Items split at `separator`; an item stays when no equal item stayed before it.
Text drop_duplicate_items(std::string_view text, std::string_view separator);

// Folds the received cookies into the jar: received items first, in their order, then the old
// items whose names were not received; "name=deleted" items drop out; duplicates go. Both
// arguments are rewritten (blanks removed from received_cookies); returns the new jar.
Text merge_cookies(Text& cookie_jar, Text& received_cookies);

}  // namespace stdlookup
