// The transport's exchange on WinINet, every WinINet function called through the bound-function
// table. The whole exchange (open, connect, request, send, read, headers, close) runs in one go
// on a helper thread, so that the caller can give up on it at the overall limit without closing
// a handle the helper still uses. What WinINet leaves to its caller is done here: redirects
// (WinINet under Wine follows a loop for ever), at most 10 and never from https to http;
// connect, send and receive timeouts are set explicitly; the body is capped.
#include "web/transport_wininet.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "runtime/binding_win32.h"
#include "runtime/text.h"
#include "web/cookie_store_win32.h"
#include "web/transport_core.h"
#include "web/url.h"

namespace stdlookup {
namespace wininet_detail {
namespace {

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
  return to_lower(text.substr(0, prefix.size())) == prefix;
}

std::string crlf_lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

}  // namespace

std::optional<Target> redirect_target(const Target& from, std::string_view location) {
  location = location.substr(0, location.find('#'));
  while (!location.empty() && (location.front() == ' ' || location.front() == '\t')) {
    location.remove_prefix(1);
  }
  Target to;
  if (starts_with_ignoring_case(location, "http://") ||
      starts_with_ignoring_case(location, "https://")) {
    to.secure = starts_with_ignoring_case(location, "https://");
    if (from.secure && !to.secure) return std::nullopt;
    std::string_view rest = location.substr(to.secure ? 8 : 7);
    std::string_view authority = rest.substr(0, rest.find_first_of("/?"));
    std::string_view path = rest.substr(authority.size());
    std::size_t colon = authority.rfind(':');
    to.host = std::string(authority.substr(0, colon));
    to.port = to.secure ? 443 : 80;
    if (colon != std::string_view::npos) {
      std::string_view digits = authority.substr(colon + 1);
      if (digits.empty() || digits.size() > 5) return std::nullopt;
      int port = 0;
      for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + (c - '0');
      }
      if (port == 0 || port > 65535) return std::nullopt;
      to.port = port;
    }
    if (!is_plain_host(to.host)) return std::nullopt;
    to.path = path.empty() || path.front() != '/' ? "/" + std::string(path) : std::string(path);
    return to;
  }
  // No scheme, but one of its own ("ftp:", "javascript:") before any "/", "?": not followed.
  std::size_t colon = location.find(':');
  if (colon != std::string_view::npos && colon < location.find_first_of("/?")) return std::nullopt;
  to = from;
  if (location.substr(0, 2) == "//") return std::nullopt;  // another host without a scheme
  if (!location.empty() && location.front() == '/') {
    to.path = std::string(location);
  } else {
    std::string base = from.path.substr(0, from.path.find('?'));
    base.resize(base.rfind('/') + 1);
    to.path = base + std::string(location);
  }
  return to;
}

std::string header_block(std::string_view block) {
  return crlf_lines(transport_core::request_header_lines(block));
}

}  // namespace wininet_detail

namespace {

using namespace wininet_detail;

constexpr int kMaxRedirects = 10;
constexpr DWORD kReadChunk = 16384;

// The bound WinINet functions, typed after their declarations.
template <typename Function>
Function api(int index) {
  return bound_function<Function>(index);
}
#define STDLOOKUP_WININET(name) api<decltype(&::name)>(kBound##name)

// An Internet handle closed through the bound InternetCloseHandle.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HINTERNET handle) : handle_(handle) {}
  ~Handle() { reset(); }
  Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  HINTERNET get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void reset() {
    if (handle_ != nullptr) STDLOOKUP_WININET(InternetCloseHandle)(handle_);
    handle_ = nullptr;
  }

 private:
  HINTERNET handle_ = nullptr;
};

// WinINet hands the path on in the machine's ANSI code page: raw GBK bytes survive only where
// that is code page 936; elsewhere they go percent-encoded, which the server decodes to the same
// bytes.
std::string ansi_path(const std::string& path) {
  if (GetACP() == 936) return path;
  return percent_encode(path, [](unsigned char b) { return b < 0x80; });
}

DWORD milliseconds(std::chrono::milliseconds duration) {
  return static_cast<DWORD>(duration.count());
}

// Shared by the caller and the helper thread; whichever finishes last frees it.
struct Shared {
  std::mutex mutex;
  std::condition_variable done_changed;
  bool done = false;
  std::atomic<bool> abandoned{false};
  ExchangeOutcome outcome;
};

bool query_text(HINTERNET request, DWORD info, std::string& out) {
  auto query = STDLOOKUP_WININET(HttpQueryInfoA);
  DWORD length = 1024;
  for (int attempt = 0; attempt < 4; ++attempt) {
    out.assign(length + 1, '\0');
    DWORD size = length;
    if (query(request, info, out.data(), &size, nullptr)) {
      out.resize(std::min<std::size_t>(size, std::strlen(out.c_str())));
      return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    length = size + 1;
  }
  return false;
}

int query_status(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!STDLOOKUP_WININET(HttpQueryInfoA)(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                                         &status, &size, nullptr)) {
    return 0;
  }
  return static_cast<int>(status);
}

bool is_redirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Why a WinINet call failed, from its last error. Through a proxy, what cannot be reached or
// resolved is the proxy: the proxy resolves the server's name itself.
RequestFailure failure_of(DWORD error, bool via_proxy) {
  switch (error) {
    case ERROR_INTERNET_CANNOT_CONNECT:
    case ERROR_INTERNET_SERVER_UNREACHABLE:
      return via_proxy ? RequestFailure::proxy_refused : RequestFailure::refused;
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
      return via_proxy ? RequestFailure::proxy_refused : RequestFailure::not_resolved;
    case ERROR_INTERNET_PROXY_SERVER_UNREACHABLE:
      return RequestFailure::proxy_refused;
    case ERROR_INTERNET_TIMEOUT:
      return RequestFailure::timed_out;
    default:
      return RequestFailure::other;
  }
}

void set_timeout(HINTERNET internet, DWORD option, DWORD milliseconds) {
  STDLOOKUP_WININET(InternetSetOptionA)(internet, option, &milliseconds, sizeof milliseconds);
}

Handle open_internet(const Exchange& x) {
  Handle internet(
      STDLOOKUP_WININET(InternetOpenA)(x.agent.c_str(), static_cast<DWORD>(x.access_type),
                                       x.proxy_name ? x.proxy_name->c_str() : nullptr,
                                       x.proxy_bypass ? x.proxy_bypass->c_str() : nullptr, 0));
  if (internet) {
    set_timeout(internet.get(), INTERNET_OPTION_CONNECT_TIMEOUT, milliseconds(x.connect_timeout));
    set_timeout(internet.get(), INTERNET_OPTION_SEND_TIMEOUT, milliseconds(x.idle_timeout));
    set_timeout(internet.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, milliseconds(x.idle_timeout));
  }
  return internet;
}

// The final response's body (capped) and header block; false when a read failed, the body was
// too large or the caller gave up, with outcome.failure saying which.
bool read_response(HINTERNET request, const std::atomic<bool>& abandoned, bool via_proxy,
                   ExchangeOutcome& outcome) {
  std::vector<char> buffer(kReadChunk);
  for (;;) {
    if (abandoned) return false;
    DWORD read = 0;
    if (!STDLOOKUP_WININET(InternetReadFile)(request, buffer.data(), kReadChunk, &read)) {
      outcome.failure = failure_of(GetLastError(), via_proxy);
      return false;
    }
    if (read == 0) break;
    if (outcome.body.size() + read > kTransportBodyCap) {
      outcome.failure = RequestFailure::too_large;
      return false;
    }
    outcome.body.append(buffer.data(), read);
  }
  std::string raw;
  if (query_text(request, HTTP_QUERY_RAW_HEADERS_CRLF, raw)) {
    // WinINet ends the block with the empty line; the transport's block ends with its last header.
    while (raw.size() >= 4 && raw.compare(raw.size() - 4, 4, "\r\n\r\n") == 0)
      raw.resize(raw.size() - 2);
    outcome.raw_headers = std::move(raw);
  }
  return true;
}

ExchangeOutcome run_exchange(Exchange x, const std::atomic<bool>& abandoned) {
  ExchangeOutcome outcome;
  Target target{(x.flags & kFlagSecure) != 0, x.host, x.port, ansi_path(x.path)};
  const std::string headers = crlf_lines(x.header_lines);
  const DWORD idle_timeout = milliseconds(x.idle_timeout);
  const bool via_proxy = x.access_type == kOpenTypeProxy && x.proxy_name && !x.proxy_name->empty();
  Handle internet = open_internet(x);
  if (!internet) return outcome;

  // Redirects are the transport's: WinINet returns each response as it is.
  const bool follow = (x.flags & kFlagNoAutoRedirect) == 0;
  const DWORD flags = x.flags | INTERNET_FLAG_NO_AUTO_REDIRECT;
  Handle connection;
  std::string connected_host;
  int connected_port = -1;
  Handle request;
  for (int redirects = 0;; ++redirects) {
    if (abandoned) return outcome;
    if (!connection || connected_host != target.host || connected_port != target.port) {
      request.reset();
      connection = Handle(STDLOOKUP_WININET(InternetConnectA)(
          internet.get(), target.host.c_str(), static_cast<INTERNET_PORT>(target.port), nullptr,
          nullptr, INTERNET_SERVICE_HTTP, 0, 0));
      if (!connection) {
        outcome.failure = failure_of(GetLastError(), via_proxy);
        return outcome;
      }
      connected_host = target.host;
      connected_port = target.port;
    }
    DWORD request_flags = flags;
    if (target.secure) {
      request_flags = (request_flags | INTERNET_FLAG_SECURE) & ~kFlagIgnoreRedirectToHttps;
    } else {
      request_flags &= ~INTERNET_FLAG_SECURE;
    }
    request = Handle(STDLOOKUP_WININET(HttpOpenRequestA)(
        connection.get(), x.verb.c_str(), target.path.c_str(), x.http_1_0 ? "HTTP/1.0" : "HTTP/1.1",
        nullptr, nullptr, request_flags, 0));
    if (!request) return outcome;
    // Wine takes the receive timeout from the request handle only.
    set_timeout(request.get(), INTERNET_OPTION_SEND_TIMEOUT, idle_timeout);
    set_timeout(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, idle_timeout);

    const bool has_data = x.data && !x.data->empty();
    // A byte body goes through the table's second entry for the same function.
    auto send = api<decltype(&::HttpSendRequestA)>(has_data ? kBoundHttpSendRequestBytesA
                                                            : kBoundHttpSendRequestA);
    if (!send(request.get(), headers.empty() ? nullptr : headers.c_str(),
              static_cast<DWORD>(headers.size()), has_data ? x.data->data() : nullptr,
              has_data ? static_cast<DWORD>(x.data->size()) : 0)) {
      outcome.failure = failure_of(GetLastError(), via_proxy);
      return outcome;
    }
    // Whatever follows, this response may have put cookies into WinINet's store.
    if ((x.flags & kFlagNoCookies) == 0) {
      remember_cookie_url((target.secure ? "https://" : "http://") + target.host + ":" +
                          std::to_string(target.port) + target.path);
    }

    const int status = query_status(request.get());
    std::string location;
    if (!follow || !is_redirect(status) ||
        !query_text(request.get(), HTTP_QUERY_LOCATION, location)) {
      outcome.status = status;
      break;
    }
    if (redirects == kMaxRedirects) return outcome;
    std::optional<Target> next = redirect_target(target, location);
    if (!next) return outcome;
    target = std::move(*next);
    if (status == 303 || ((status == 301 || status == 302) && x.verb == "POST")) {
      x.verb = "GET";
      x.data.reset();
    }
  }

  outcome.ok = read_response(request.get(), abandoned, via_proxy, outcome);
  return outcome;
}

class WinInetBackend final : public TransportBackend {
 public:
  // Runs the exchange on a helper thread and waits for it at most the overall limit. A helper
  // given up on notices it between WinINet calls and closes its own handles; no handle is ever
  // closed under it.
  ExchangeOutcome exchange(Exchange x) const override {
    const auto deadline = std::chrono::steady_clock::now() + x.overall_timeout;
    auto shared = std::make_shared<Shared>();
    try {
      std::thread([shared, x = std::move(x)]() mutable {
        // A helper given up on may still be inside WinINet when the program ends and releases
        // its bound modules: it keeps WinINet loaded for itself until it is done.
        HMODULE wininet = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCWSTR>(bind_function(kBoundInternetOpenA)), &wininet);
        ExchangeOutcome outcome = run_exchange(std::move(x), shared->abandoned);
        if (wininet != nullptr) FreeLibrary(wininet);
        std::lock_guard lock(shared->mutex);
        shared->outcome = std::move(outcome);
        shared->done = true;
        shared->done_changed.notify_all();
      }).detach();
    } catch (const std::system_error&) {
      return {};
    }
    std::unique_lock lock(shared->mutex);
    // Woken every 100 ms to see whether requests were cancelled (Ctrl-C, the window closing).
    while (!shared->done) {
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline || requests_cancelled()) {
        shared->abandoned = true;
        ExchangeOutcome given_up;
        if (now >= deadline) given_up.failure = RequestFailure::timed_out;
        return given_up;
      }
      shared->done_changed.wait_until(lock,
                                      std::min(deadline, now + std::chrono::milliseconds(100)));
    }
    return std::move(shared->outcome);
  }
};

}  // namespace

std::unique_ptr<Transport> make_platform_transport() {
  static const WinInetBackend backend;
  return make_transport(backend);
}

}  // namespace stdlookup
