// The scrapers' extraction tool and the user-agent fallback.
#pragma once

#include <string_view>

#include "runtime/types.h"

namespace stdlookup {

// The part of `text` between the first `left` and the next `right` after it, or empty. Every
// "#引号" in the markers stands for a double quote. Case-sensitive, character-stepped, untrimmed.
Text text_between(std::string_view text, std::string_view left, std::string_view right);

// The trimmed part of `text` after its first ":", or empty.
Text text_after_colon(std::string_view text);

}  // namespace stdlookup
