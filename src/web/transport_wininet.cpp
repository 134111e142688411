// The transport on WinINet. Every WinINet function is called through the bound-function table.
// The handles the caller sees are the transport's own; the real exchange (open, connect,
// request, send, read, headers, close) runs in one go on a helper thread when the request is
// sent, so that the caller can give up on it at the overall limit without closing a handle the
// helper still uses. What WinINet leaves to its caller is done here: redirects (WinINet under
// Wine follows a loop for ever) are followed by the transport, at most 10 and never from https
// to http; connect, send and receive timeouts are set explicitly; the body is capped at 16 MiB.
#include "web/transport_wininet.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "runtime/binding.h"
#include "web/cookie_store_win32.h"
#include "web/transport.h"
#include "web/url.h"

namespace stdlookup {
namespace wininet_detail {
namespace {

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (lower(text[i]) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

bool is_plain_host(std::string_view host) {
  if (host.empty()) return false;
  for (char c : host) {
    bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '.' || c == '-' || c == '_';
    if (!allowed) return false;
  }
  return true;
}

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
  std::string out;
  while (true) {
    std::size_t end = block.find("\r\n");
    std::string line(block.substr(0, end));
    for (char& c : line) {
      if (c == '\r' || c == '\n') c = ' ';
    }
    if (!line.empty()) out += line + "\r\n";
    if (end == std::string_view::npos) break;
    block.remove_prefix(end + 2);
  }
  return out;
}

}  // namespace wininet_detail

namespace {

using namespace wininet_detail;

constexpr std::size_t kBodyCap = std::size_t{16} << 20;
constexpr int kMaxRedirects = 10;
constexpr DWORD kReadChunk = 16384;

std::atomic<DWORD> connect_timeout_ms{60'000};
std::atomic<DWORD> idle_timeout_ms{30'000};
std::atomic<long long> overall_limit_ms{120'000};

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

std::string raw_path(std::string_view object_name) {
  // WinINet hands the path on in the machine's ANSI code page: raw GBK bytes survive only where
  // that is code page 936; elsewhere they go percent-encoded, which the server decodes to the
  // same bytes.
  std::string also = " #";
  std::string path = percent_encode_controls(object_name, also);
  if (GetACP() != 936) {
    std::string encoded;
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (char c : path) {
      auto b = static_cast<unsigned char>(c);
      if (b >= 0x80) {
        encoded += '%';
        encoded += kHex[b >> 4];
        encoded += kHex[b & 0xF];
      } else {
        encoded += c;
      }
    }
    path = std::move(encoded);
  }
  if (path.empty() || path.front() != '/') path.insert(0, "/");
  return path;
}

// What one request needs, copied for the helper thread.
struct Exchange {
  std::string agent;
  int access_type = INTERNET_OPEN_TYPE_DIRECT;
  std::optional<std::string> proxy;
  std::optional<std::string> bypass;
  Target target;
  std::string verb;
  bool http_1_0 = false;
  std::uint32_t flags = 0;
  std::string headers;
  std::optional<std::string> data;
  DWORD connect_timeout = 0;
  DWORD idle_timeout = 0;
};

struct Outcome {
  bool ok = false;
  std::string body;
  std::string raw_headers;
  int status = 0;
};

// Shared by the caller and the helper thread; whichever finishes last frees it.
struct Shared {
  std::mutex mutex;
  std::condition_variable done_changed;
  bool done = false;
  std::atomic<bool> abandoned{false};
  Outcome outcome;
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

void set_timeout(HINTERNET internet, DWORD option, DWORD milliseconds) {
  STDLOOKUP_WININET(InternetSetOptionA)(internet, option, &milliseconds, sizeof milliseconds);
}

Outcome run_exchange(Exchange x, const std::atomic<bool>& abandoned) {
  Outcome outcome;
  Handle internet(STDLOOKUP_WININET(InternetOpenA)(
      x.agent.c_str(), static_cast<DWORD>(x.access_type), x.proxy ? x.proxy->c_str() : nullptr,
      x.bypass ? x.bypass->c_str() : nullptr, 0));
  if (!internet) return outcome;
  set_timeout(internet.get(), INTERNET_OPTION_CONNECT_TIMEOUT, x.connect_timeout);
  set_timeout(internet.get(), INTERNET_OPTION_SEND_TIMEOUT, x.idle_timeout);
  set_timeout(internet.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, x.idle_timeout);

  // Redirects are the transport's: WinINet returns each response as it is.
  const bool follow = (x.flags & kFlagNoAutoRedirect) == 0;
  const DWORD flags = x.flags | INTERNET_FLAG_NO_AUTO_REDIRECT;
  Handle connection;
  std::string connected_host;
  int connected_port = -1;
  Handle request;
  for (int redirects = 0;; ++redirects) {
    if (abandoned) return outcome;
    if (!connection || connected_host != x.target.host || connected_port != x.target.port) {
      request.reset();
      connection = Handle(STDLOOKUP_WININET(InternetConnectA)(
          internet.get(), x.target.host.c_str(), static_cast<INTERNET_PORT>(x.target.port), nullptr,
          nullptr, INTERNET_SERVICE_HTTP, 0, 0));
      if (!connection) return outcome;
      connected_host = x.target.host;
      connected_port = x.target.port;
    }
    DWORD request_flags = flags;
    if (x.target.secure) {
      request_flags = (request_flags | INTERNET_FLAG_SECURE) & ~kFlagIgnoreRedirectToHttps;
    } else {
      request_flags &= ~INTERNET_FLAG_SECURE;
    }
    request = Handle(STDLOOKUP_WININET(HttpOpenRequestA)(
        connection.get(), x.verb.c_str(), x.target.path.c_str(),
        x.http_1_0 ? "HTTP/1.0" : "HTTP/1.1", nullptr, nullptr, request_flags, 0));
    if (!request) return outcome;
    // Wine takes the receive timeout from the request handle only.
    set_timeout(request.get(), INTERNET_OPTION_SEND_TIMEOUT, x.idle_timeout);
    set_timeout(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, x.idle_timeout);

    const bool has_data = x.data && !x.data->empty();
    // A byte body goes through the table's second entry for the same function.
    auto send = api<decltype(&::HttpSendRequestA)>(has_data ? kBoundHttpSendRequestBytesA
                                                            : kBoundHttpSendRequestA);
    if (!send(request.get(), x.headers.empty() ? nullptr : x.headers.c_str(),
              static_cast<DWORD>(x.headers.size()), has_data ? x.data->data() : nullptr,
              has_data ? static_cast<DWORD>(x.data->size()) : 0)) {
      return outcome;
    }
    // Whatever follows, this response may have put cookies into WinINet's store.
    if ((x.flags & kFlagNoCookies) == 0) {
      remember_cookie_url((x.target.secure ? "https://" : "http://") + x.target.host + ":" +
                          std::to_string(x.target.port) + x.target.path);
    }

    const int status = query_status(request.get());
    std::string location;
    if (!follow || !is_redirect(status) ||
        !query_text(request.get(), HTTP_QUERY_LOCATION, location)) {
      outcome.status = status;
      break;
    }
    if (redirects == kMaxRedirects) return outcome;
    std::optional<Target> next = redirect_target(x.target, location);
    if (!next) return outcome;
    x.target = std::move(*next);
    if (status == 303 || ((status == 301 || status == 302) && x.verb == "POST")) {
      x.verb = "GET";
      x.data.reset();
    }
  }

  std::vector<char> buffer(kReadChunk);
  for (;;) {
    if (abandoned) return outcome;
    DWORD read = 0;
    if (!STDLOOKUP_WININET(InternetReadFile)(request.get(), buffer.data(), kReadChunk, &read)) {
      return outcome;
    }
    if (read == 0) break;
    if (outcome.body.size() + read > kBodyCap) {
      outcome.body.clear();
      return outcome;
    }
    outcome.body.append(buffer.data(), read);
  }

  std::string raw;
  if (query_text(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, raw)) {
    // WinINet ends the block with the empty line; the transport's block ends with its last header.
    while (raw.size() >= 4 && raw.compare(raw.size() - 4, 4, "\r\n\r\n") == 0)
      raw.resize(raw.size() - 2);
    outcome.raw_headers = std::move(raw);
  }
  outcome.ok = true;
  return outcome;
}

class WinInetTransport final : public Transport {
 public:
  TransportHandle open(std::string_view agent, int access_type,
                       std::optional<std::string_view> proxy_name,
                       std::optional<std::string_view> proxy_bypass) override {
    if (access_type != kOpenTypeDirect && access_type != kOpenTypeProxy) return 0;
    Session session;
    // The agent up to its first control character, so it cannot end its header line early.
    std::size_t end = 0;
    while (end < agent.size() && static_cast<unsigned char>(agent[end]) >= 0x20 &&
           agent[end] != 0x7F) {
      ++end;
    }
    session.agent = std::string(agent.substr(0, end));
    session.access_type = access_type;
    if (proxy_name) session.proxy = std::string(*proxy_name);
    if (proxy_bypass) session.bypass = std::string(*proxy_bypass);
    return add(std::move(session));
  }

  TransportHandle connect(TransportHandle internet, std::string_view host, int port,
                          int service) override {
    if (find<Session>(internet) == nullptr || service != kServiceHttp) return 0;
    if (!is_plain_host(host) || port < 0 || port > 65535) return 0;
    return add(Connection{internet, std::string(host), port});
  }

  TransportHandle open_request(TransportHandle connection, std::string_view verb,
                               std::string_view object_name, std::string_view version,
                               std::uint32_t flags) override {
    if (find<Connection>(connection) == nullptr) return 0;
    if (verb != "GET" && verb != "POST" && verb != "HEAD") return 0;
    if (version != "HTTP/1.1" && version != "HTTP/1.0") return 0;
    Request request;
    request.connection = connection;
    request.verb = verb;
    request.path = raw_path(object_name);
    request.http_1_0 = version == "HTTP/1.0";
    request.flags = flags;
    return add(std::move(request));
  }

  bool send_request(TransportHandle handle, std::string_view headers,
                    std::optional<std::string_view> data) override {
    Request* request = find<Request>(handle);
    if (request == nullptr || request->sent) return false;
    request->sent = true;
    const Connection* connection = find<Connection>(request->connection);
    const Session* session = connection != nullptr ? find<Session>(connection->internet) : nullptr;
    if (session == nullptr) return false;

    Exchange x;
    x.agent = session->agent;
    x.access_type = session->access_type;
    x.proxy = session->proxy;
    x.bypass = session->bypass;
    x.target.secure = (request->flags & kFlagSecure) != 0;
    x.target.host = connection->host;
    x.target.port = connection->port;
    x.target.path = request->path;
    x.verb = request->verb;
    x.http_1_0 = request->http_1_0;
    x.flags = request->flags;
    x.headers = header_block(headers);
    if (data) x.data = std::string(*data);
    x.connect_timeout = connect_timeout_ms.load();
    x.idle_timeout = idle_timeout_ms.load();

    request->outcome = perform(std::move(x));
    if (!request->outcome.ok) request->outcome = Outcome{};
    return request->outcome.ok;
  }

  bool read(TransportHandle handle, char* buffer, std::uint32_t size,
            std::uint32_t& bytes_read) override {
    bytes_read = 0;
    Request* request = find<Request>(handle);
    if (request == nullptr || !request->outcome.ok) return false;
    const std::string& body = request->outcome.body;
    std::size_t count = std::min<std::size_t>(size, body.size() - request->read_pos);
    std::memcpy(buffer, body.data() + request->read_pos, count);
    request->read_pos += count;
    bytes_read = static_cast<std::uint32_t>(count);
    return true;
  }

  bool query_raw_headers(TransportHandle handle, char* buffer, std::uint32_t& length) override {
    Request* request = find<Request>(handle);
    if (request == nullptr || !request->outcome.ok || request->outcome.raw_headers.empty()) {
      return false;
    }
    const std::string& raw = request->outcome.raw_headers;
    if (raw.size() + 1 > length) {
      length = static_cast<std::uint32_t>(raw.size() + 1);
      return false;
    }
    std::memcpy(buffer, raw.data(), raw.size());
    buffer[raw.size()] = '\0';
    length = static_cast<std::uint32_t>(raw.size());
    return true;
  }

  int status_code(TransportHandle handle) override {
    Request* request = find<Request>(handle);
    return request != nullptr && request->outcome.ok ? request->outcome.status : 0;
  }

  bool close(TransportHandle handle) override { return objects_.erase(handle) == 1; }

 private:
  struct Session {
    std::string agent;
    int access_type = kOpenTypeDirect;
    std::optional<std::string> proxy;
    std::optional<std::string> bypass;
  };
  struct Connection {
    TransportHandle internet;
    std::string host;
    int port;
  };
  struct Request {
    TransportHandle connection = 0;
    std::string verb;
    std::string path;
    bool http_1_0 = false;
    std::uint32_t flags = 0;
    bool sent = false;
    Outcome outcome;
    std::size_t read_pos = 0;
  };
  using Object = std::variant<Session, Connection, Request>;

  template <typename T>
  T* find(TransportHandle handle) {
    auto it = objects_.find(handle);
    return it == objects_.end() ? nullptr : std::get_if<T>(&it->second);
  }

  TransportHandle add(Object object) {
    TransportHandle handle = next_handle_++;
    objects_.emplace(handle, std::move(object));
    return handle;
  }

  // Runs the exchange on a helper thread and waits for it at most the overall limit. A helper
  // given up on notices it between WinINet calls and closes its own handles; no handle is ever
  // closed under it.
  static Outcome perform(Exchange x) {
    if (requests_cancelled()) return {};
    auto shared = std::make_shared<Shared>();
    try {
      std::thread([shared, x = std::move(x)]() mutable {
        // A helper given up on may still be inside WinINet when the program ends and releases
        // its bound modules: it keeps WinINet loaded for itself until it is done.
        HMODULE wininet = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCWSTR>(bind_function(kBoundInternetOpenA)), &wininet);
        Outcome outcome = run_exchange(std::move(x), shared->abandoned);
        if (wininet != nullptr) FreeLibrary(wininet);
        std::lock_guard lock(shared->mutex);
        shared->outcome = std::move(outcome);
        shared->done = true;
        shared->done_changed.notify_all();
      }).detach();
    } catch (const std::system_error&) {
      return {};
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(overall_limit_ms.load());
    std::unique_lock lock(shared->mutex);
    // Woken every 100 ms to see whether requests were cancelled (Ctrl-C, the window closing).
    while (!shared->done) {
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline || requests_cancelled()) {
        shared->abandoned = true;
        return {};
      }
      shared->done_changed.wait_until(lock,
                                      std::min(deadline, now + std::chrono::milliseconds(100)));
    }
    return std::move(shared->outcome);
  }

  std::map<TransportHandle, Object> objects_;
  TransportHandle next_handle_ = 1;
};

}  // namespace

std::unique_ptr<Transport> make_platform_transport() {
  return std::make_unique<WinInetTransport>();
}

void set_transport_timeouts(std::chrono::milliseconds connect, std::chrono::seconds idle,
                            std::chrono::milliseconds overall) {
  connect_timeout_ms = static_cast<DWORD>(connect.count());
  idle_timeout_ms = static_cast<DWORD>(std::chrono::milliseconds(idle).count());
  overall_limit_ms = overall.count();
}

}  // namespace stdlookup
