// The HTTP transport under web_page_request, shaped like the WinINet calls it was written for:
// an Internet handle (agent, proxy), a connection (host, port), a request (verb, path, flags),
// then send, read in chunks, query the raw response headers, close. Constants carry WinINet's
// values so that a WinINet transport passes them through unchanged.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace stdlookup {

// 0 is the null handle: the call that should have opened it failed.
using TransportHandle = std::uintptr_t;

enum TransportAccessType : int {
  kOpenTypeDirect = 1,
  kOpenTypeProxy = 3,
};

enum TransportService : int {
  kServiceHttp = 3,
};

enum TransportRequestFlags : std::uint32_t {
  kFlagNeedFile = 0x00000010,
  kFlagIgnoreRedirectToHttps = 0x00004000,
  kFlagNoCookies = 0x00080000,
  kFlagNoAutoRedirect = 0x00200000,
  kFlagSecure = 0x00800000,
  kFlagReload = 0x80000000,
};

// Why a request got no response, as far as the transport can tell; none when one came (whatever
// its status).
enum class RequestFailure : std::uint8_t {
  none,
  refused,        // nothing listens at the host's port
  not_resolved,   // the host name does not resolve
  proxy_refused,  // the proxy could not be reached, or refused to connect onwards
  timed_out,
  too_large,  // the body was over the cap
  other,      // cancelled, reset, a broken answer, too many redirects, ...
};

class Transport {
 public:
  virtual ~Transport() = default;

  // A null proxy name or bypass list is "none", distinct from the empty text.
  virtual TransportHandle open(std::string_view agent, int access_type,
                               std::optional<std::string_view> proxy_name,
                               std::optional<std::string_view> proxy_bypass) = 0;
  virtual TransportHandle connect(TransportHandle internet, std::string_view host, int port,
                                  int service) = 0;
  virtual TransportHandle open_request(TransportHandle connection, std::string_view verb,
                                       std::string_view object_name, std::string_view version,
                                       std::uint32_t flags) = 0;
  // `headers` are lines joined by "\r\n"; null data sends no body.
  virtual bool send_request(TransportHandle request, std::string_view headers,
                            std::optional<std::string_view> data) = 0;
  // Copies up to `size` body bytes; 0 bytes read means the body is over (or the read failed).
  virtual bool read(TransportHandle request, char* buffer, std::uint32_t size,
                    std::uint32_t& bytes_read) = 0;
  // The final response's status line and header lines, each ended by "\r\n", written with a
  // terminating zero byte when they fit into `length` bytes; otherwise nothing is written, the
  // result is false and `length` is set to the size needed.
  virtual bool query_raw_headers(TransportHandle request, char* buffer, std::uint32_t& length) = 0;
  // The final response's status code (WinINet: HTTP_QUERY_STATUS_CODE as a number), whatever the
  // size of its header block; 0 when the request got no complete response.
  virtual int status_code(TransportHandle request) = 0;
  // Why the request got no response (WinINet: GetLastError after the send, mapped).
  virtual RequestFailure failure(TransportHandle) { return RequestFailure::other; }
  virtual bool close(TransportHandle handle) = 0;
};

// The platform's transport (libcurl on Linux); a new one for each request.
std::unique_ptr<Transport> make_platform_transport();

// How long the platform transport waits for a connection, for data on an open one, and for a
// whole request (a server trickling a byte now and then never trips the idle limit). The
// defaults are 60 s, 30 s and 120 s; tests shorten them. Applies to requests started afterwards.
void set_transport_timeouts(std::chrono::milliseconds connect, std::chrono::seconds idle,
                            std::chrono::milliseconds overall = std::chrono::seconds(120));

// Ends every running request and fails every later one at once, until allow_requests(). Only an
// atomic store, so a signal handler may call it. A transport checks requests_cancelled() at
// least every 100 ms while it waits, and a cancelled request fails like one that timed out.
void cancel_requests() noexcept;
void allow_requests() noexcept;
bool requests_cancelled() noexcept;

}  // namespace stdlookup
