// The pieces of the libcurl transport that shape what goes on the wire, open to tests.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "web/transport_core.h"

namespace stdlookup::curl_detail {

// The request line's path, the header lines and the agent are shaped by the portable half.
using transport_core::agent_value;
using transport_core::escape_object_name;
using transport_core::request_header_lines;

// The proxy for a request from a WinINet proxy list ("server", "http=server https=server",
// entries separated by blanks or ";"): a scheme's own entry first, then a general one, then a
// "socks=" one. Empty means a direct connection; nullopt a list naming an unusable server.
std::optional<std::string> proxy_for(std::string_view proxy_list, bool secure);

// Protocols a redirect may lead to: never from https to plain http.
const char* redirect_protocols(bool secure);

}  // namespace stdlookup::curl_detail
