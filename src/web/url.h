// Taking a URL apart for the connection: host, port and object path. Text rules only, no URL
// parser: "http://", "https://" or no scheme (plain HTTP). Odd inputs give odd but fixed results
// (user information is not recognised, a host found earlier in the URL shifts the path).
#pragma once

#include <functional>
#include <string_view>

#include "runtime/types.h"

namespace stdlookup {

// Lower-case host; with keep_port a ":port" suffix stays on it.
Text url_host(std::string_view url, bool keep_port = false);
// The explicit port, else 443 when the URL's first five bytes are "https" in any case, else 80.
int url_port(std::string_view url);
// Everything from the first "/" after the host, query and fragment included; "/" when none.
Text url_path(std::string_view url);

// A control character: below 0x20, or DEL.
bool is_control_byte(unsigned char c);

// Every byte that `keep` does not keep as %XX (upper-case hex); the kept ones unchanged.
Text percent_encode(std::string_view text, const std::function<bool(unsigned char)>& keep);

// Control characters (and every byte of `also`) as %XX; everything else, raw GBK bytes
// included, unchanged. Keeps a URL from ending a request or header line early.
Text percent_encode_controls(std::string_view text, std::string_view also = {});

// The HTTPS test shared with the request: the first five bytes, lower-cased, are "https".
bool url_is_https(std::string_view url);

}  // namespace stdlookup
