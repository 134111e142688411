// The pieces of the libcurl transport that shape what goes on the wire, open to tests.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stdlookup::curl_detail {

// The object name as it goes into the request line: a space, control characters and "#" are
// percent-encoded; everything else, raw GBK bytes and existing "%xx" included, stays.
std::string escape_object_name(std::string_view object_name);

// The proxy for a request from a WinINet proxy list ("server", "http=server https=server",
// entries separated by blanks or ";"): a scheme's own entry first, then a general one, then a
// "socks=" one. Empty means a direct connection; nullopt a list naming an unusable server.
std::optional<std::string> proxy_for(std::string_view proxy_list, bool secure);

// The header block's lines for libcurl: split at CR LF, a bare CR or LF inside a line becomes a
// blank (it would otherwise end the line early), empty lines dropped.
std::vector<std::string> request_header_lines(std::string_view block);

// The agent up to its first control character, so it cannot end its header line early.
std::string agent_value(std::string_view agent);

// Protocols a redirect may lead to: never from https to plain http.
const char* redirect_protocols(bool secure);

}  // namespace stdlookup::curl_detail
