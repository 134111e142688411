// The pieces of the WinINet transport that decide where a redirect goes and what reaches the
// wire, open to tests.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "web/transport_core.h"

namespace stdlookup::wininet_detail {

struct Target {
  bool secure = false;
  std::string host;
  int port = 0;
  std::string path;  // from the first "/", query included, fragment dropped
};

// Where a Location header leads from `from`: an absolute http(s) URL, a path on the same
// server, or a path relative to the current one. nullopt for any other scheme, for a host
// that cannot be one, and from https to plain http.
std::optional<Target> redirect_target(const Target& from, std::string_view location);

// The header block with every line ended by CR LF; a bare CR or LF inside a line becomes a
// blank, so a caller's text cannot start a header line of its own; empty lines go.
std::string header_block(std::string_view block);

using transport_core::is_plain_host;

}  // namespace stdlookup::wininet_detail
