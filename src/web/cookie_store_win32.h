// WinINet keeps the cookies of requests without a caller-held jar in its own store. Clearing
// the cookie folder's files alone does not empty that store on current Windows (nor within the
// running process anywhere), so the clearing also ends WinINet's session and expires the
// stored cookies of the places requests went to.
#pragma once

#include <string>

namespace stdlookup {

// Notes a URL ("http://host:port/path") whose response may have set cookies in WinINet's store.
void remember_cookie_url(const std::string& url);

}  // namespace stdlookup
