// The system's one HTTP exchange: fetch a URL with the default agent and header block, return
// the body bytes, and hand back the raw response headers and the cookies the response set.
#pragma once

#include <string_view>

#include "runtime/types.h"
#include "web/transport.h"

namespace stdlookup {

// One exchange, named field by field; what is left out is absent. method: 0 GET, 1 POST,
// 2 HEAD; anything else is GET. A given cookie_jar, even an empty one, switches the cookie store
// off for the request and receives the merged cookies afterwards. extra_headers is completed in
// place with the default header lines. A failed request gives the empty body; its
// response_headers then hold no status line (response_status gives 0). status_code receives the
// final response's status as the transport reports it, 0 for a failed request; unlike
// response_headers it does not depend on the header block fitting the 5000-byte buffer. failure
// receives why a request got no response (none when one came, whatever its status).
struct WebRequest {
  std::string_view url;
  int method = 0;
  std::string_view post_text = {};
  Text* cookie_jar = nullptr;
  Text* received_cookies = nullptr;
  Text* extra_headers = nullptr;
  Text* response_headers = nullptr;
  bool no_redirect = false;
  Bytes* post_bytes = nullptr;
  std::string_view proxy = {};
  int* status_code = nullptr;
  RequestFailure* failure = nullptr;
};

Bytes web_page_request(const WebRequest& request);
// The same exchange over the given transport.
Bytes web_page_request(Transport& transport, const WebRequest& request);

// The same, with the arguments in WebRequest's order.
Bytes web_page_request(std::string_view url, int method = 0, std::string_view post_text = {},
                       Text* cookie_jar = nullptr, Text* received_cookies = nullptr,
                       Text* extra_headers = nullptr, Text* response_headers = nullptr,
                       bool no_redirect = false, Bytes* post_bytes = nullptr,
                       std::string_view proxy = {}, int* status_code = nullptr);
Bytes web_page_request(Transport& transport, std::string_view url, int method = 0,
                       std::string_view post_text = {}, Text* cookie_jar = nullptr,
                       Text* received_cookies = nullptr, Text* extra_headers = nullptr,
                       Text* response_headers = nullptr, bool no_redirect = false,
                       Bytes* post_bytes = nullptr, std::string_view proxy = {},
                       int* status_code = nullptr);

// The status code of a raw header block's first line "HTTP/x NNN ...", or 0 when it has none.
int response_status(std::string_view response_headers);

}  // namespace stdlookup
