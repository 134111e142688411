// The half of a transport that does not depend on the HTTP library: the handle table, the checks
// on what the caller asks for, and the buffered response it reads back. A backend carries out
// only the exchange itself, in one call when the request is sent.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "web/transport.h"

namespace stdlookup {

// A response body larger than this fails the request.
inline constexpr std::size_t kTransportBodyCap = std::size_t{16} << 20;

// One request, checked and cleaned, as a backend carries it out.
struct Exchange {
  std::string agent;  // up to its first control character
  int access_type = kOpenTypeDirect;
  std::optional<std::string> proxy_name;  // as given to open, whatever the access type
  std::optional<std::string> proxy_bypass;
  std::string host;  // a plain host name, see transport_core::is_plain_host
  int port = 0;
  std::string verb;  // "GET", "POST" or "HEAD"
  std::string path;  // escaped, starting with "/"
  bool http_1_0 = false;
  std::uint32_t flags = 0;
  std::vector<std::string> header_lines;  // none empty, none holding CR or LF
  std::optional<std::string> data;        // nullopt: no body
  std::chrono::milliseconds connect_timeout{0};
  std::chrono::seconds idle_timeout{0};
  std::chrono::milliseconds overall_timeout{0};
};

// What came back: the final response's body, its status line and header lines (each ended by
// CR LF, no empty line after them) and its status. A failed exchange keeps nothing of it.
struct ExchangeOutcome {
  bool ok = false;
  std::string body;
  std::string raw_headers;
  int status = 0;
  RequestFailure failure = RequestFailure::other;  // why it failed, when it did
};

class TransportBackend {
 public:
  virtual ~TransportBackend() = default;
  // Whether a proxy list can be used at all; one that cannot fails open().
  virtual bool accepts_proxy(std::string_view) const { return true; }
  // Runs the whole exchange; never called once requests are cancelled.
  virtual ExchangeOutcome exchange(Exchange exchange) const = 0;
};

// A transport whose exchanges `backend` carries out; the backend must outlive it.
std::unique_ptr<Transport> make_transport(const TransportBackend& backend);

namespace transport_core {

// The object name as it goes into the request line: a space, control characters and "#" are
// percent-encoded; everything else, raw GBK bytes and existing "%xx" included, stays.
std::string escape_object_name(std::string_view object_name);

// The header block's lines: split at CR LF, a bare CR or LF inside a line becomes a blank (it
// would otherwise end the line early and start one of the caller's choosing), empty lines go.
std::vector<std::string> request_header_lines(std::string_view block);

// The agent up to its first control character, so it cannot end its header line early.
std::string agent_value(std::string_view agent);

// A host as it may go into a connection: letters, digits, ".", "-" and "_" only.
bool is_plain_host(std::string_view host);

}  // namespace transport_core
}  // namespace stdlookup
