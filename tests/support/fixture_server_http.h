// What both platforms' fixture servers share: request heads in, canned responses out.
#pragma once

#include <string>
#include <string_view>

#include "support/fixture_server.h"

namespace stdlookup::test::detail {

// Header names compare without regard to ASCII letter case.
bool same_name(std::string_view a, std::string_view b);
// Parses the head (request line and header lines); false when it is not an HTTP request.
bool parse_head(RecordedRequest& request);
// The response as it goes on the wire; a HEAD request gets the head alone.
std::string serialise(const CannedResponse& response, bool head_request);

}  // namespace stdlookup::test::detail
