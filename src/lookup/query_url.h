// The detail-page URL of a standard number, and opening URLs in the user's browser.
#pragma once

#include <string_view>

#include "runtime/types.h"

namespace stdlookup {

// "http://" + query host + "/gbquery.htm?SID=" + number + "&x=30&y=8"; the number goes in
// unchanged (not trimmed, not encoded). Thread-safe.
Text query_url(std::string_view number);

// Whether a link may reach the browser: an absolute http:// or https:// URL (scheme in any case)
// with a non-empty host. Anything else could make the desktop opener start a local program.
bool is_browser_link(std::string_view url);

// Hands an acceptable link to the desktop opener; anything else opens nothing. Nothing is
// reported either way. Thread-safe.
void open_in_browser(std::string_view url);

}  // namespace stdlookup
