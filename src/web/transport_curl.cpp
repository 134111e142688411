// The transport on libcurl: one easy handle per request, the whole exchange carried out by the
// send; reads then hand out the buffered body. The easy handles of a thread run in that thread's
// multi handle, whose connection cache keeps a kept-alive connection for the next request to the
// same host, as WinINet does within a process.
#include "web/transport_curl.h"

#include <curl/curl.h>

#include <atomic>
#include <cstring>
#include <map>
#include <variant>

#include "web/cookie_store.h"
#include "web/transport.h"
#include "web/url.h"

namespace stdlookup {
namespace curl_detail {
namespace {

bool is_control(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// A proxy server as libcurl wants it, with a scheme; nullopt when it cannot be one.
std::optional<std::string> proxy_server(std::string_view server, std::string_view scheme) {
  if (server.empty()) return std::nullopt;
  for (char c : server) {
    if (is_control(static_cast<unsigned char>(c)) || c == ' ') return std::nullopt;
  }
  if (server.find("://") != std::string_view::npos) return std::string(server);
  return std::string(scheme) + "://" + std::string(server);
}

}  // namespace

std::string escape_object_name(std::string_view object_name) {
  return percent_encode_controls(object_name, " #");
}

std::optional<std::string> proxy_for(std::string_view proxy_list, bool secure) {
  const std::string_view own_scheme = secure ? "https" : "http";
  std::optional<std::string_view> own, general, socks;
  std::size_t pos = 0;
  while (pos < proxy_list.size()) {
    std::size_t end = proxy_list.find_first_of(" ;", pos);
    if (end == std::string_view::npos) end = proxy_list.size();
    std::string_view entry = proxy_list.substr(pos, end - pos);
    pos = end + 1;
    if (entry.empty()) continue;
    std::size_t eq = entry.find('=');
    if (eq == std::string_view::npos) {
      if (!general) general = entry;
      continue;
    }
    std::string_view scheme = entry.substr(0, eq);
    if (equals_ignoring_case(scheme, own_scheme) && !own) own = entry.substr(eq + 1);
    if (equals_ignoring_case(scheme, "socks") && !socks) socks = entry.substr(eq + 1);
  }
  if (own) return proxy_server(*own, "http");
  if (general) return proxy_server(*general, "http");
  if (socks) return proxy_server(*socks, "socks4");
  return std::string();
}

std::vector<std::string> request_header_lines(std::string_view block) {
  std::vector<std::string> lines;
  while (true) {
    std::size_t end = block.find("\r\n");
    std::string line(block.substr(0, end));
    for (char& c : line) {
      if (c == '\r' || c == '\n') c = ' ';
    }
    if (!line.empty()) lines.push_back(std::move(line));
    if (end == std::string_view::npos) break;
    block.remove_prefix(end + 2);
  }
  return lines;
}

std::string agent_value(std::string_view agent) {
  std::size_t end = 0;
  while (end < agent.size() && !is_control(static_cast<unsigned char>(agent[end]))) ++end;
  return std::string(agent.substr(0, end));
}

const char* redirect_protocols(bool secure) {
  return secure ? "https" : "http,https";
}

}  // namespace curl_detail

namespace {

using namespace curl_detail;

constexpr curl_off_t kBodyCap = curl_off_t{16} << 20;
constexpr long kMaxRedirects = 10;

constexpr long kCancelCheckMs = 100;
constexpr long kCachedConnections = 8;

std::atomic<long> connect_timeout_ms{60'000};
std::atomic<long> idle_timeout_s{30};
std::atomic<long> overall_timeout_ms{120'000};

void initialise_curl() {
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  (void)initialised;
}

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using StringList = std::unique_ptr<curl_slist, ListDeleter>;

struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

// This thread's multi handle; null when libcurl could not make one.
CURLM* thread_multi() {
  thread_local MultiHandle multi = [] {
    MultiHandle m(curl_multi_init());
    if (m) curl_multi_setopt(m.get(), CURLMOPT_MAXCONNECTS, kCachedConnections);
    return m;
  }();
  return multi.get();
}

// An easy handle running in a multi handle, taken out again on every way out.
class Attached {
 public:
  Attached(CURLM* multi, CURL* easy)
      : multi_(multi), easy_(easy), ok_(curl_multi_add_handle(multi, easy) == CURLM_OK) {}
  ~Attached() {
    if (ok_) curl_multi_remove_handle(multi_, easy_);
  }
  Attached(const Attached&) = delete;
  Attached& operator=(const Attached&) = delete;
  bool ok() const { return ok_; }

 private:
  CURLM* multi_;
  CURL* easy_;
  bool ok_;
};

// Runs the transfer, looking at the cancel switch between waits of at most kCancelCheckMs.
CURLcode run_transfer(CURL* easy) {
  if (requests_cancelled()) return CURLE_ABORTED_BY_CALLBACK;
  CURLM* multi = thread_multi();
  if (multi == nullptr) return CURLE_OUT_OF_MEMORY;
  Attached attached(multi, easy);
  if (!attached.ok()) return CURLE_FAILED_INIT;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) return CURLE_FAILED_INIT;
    if (running == 0) break;
    if (requests_cancelled()) return CURLE_ABORTED_BY_CALLBACK;
    if (curl_multi_poll(multi, nullptr, 0, kCancelCheckMs, nullptr) != CURLM_OK) {
      return CURLE_FAILED_INIT;
    }
  }
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == easy) return message->data.result;
  }
  return CURLE_FAILED_INIT;
}

// Appends to a libcurl string list; false when libcurl could not (out of memory).
bool append(StringList& list, const char* text) {
  curl_slist* grown = curl_slist_append(list.get(), text);
  if (grown == nullptr) return false;
  (void)list.release();
  list.reset(grown);
  return true;
}

std::vector<std::string> lines_of(const StringList& list) {
  std::vector<std::string> lines;
  for (const curl_slist* item = list.get(); item != nullptr; item = item->next) {
    lines.emplace_back(item->data);
  }
  return lines;
}

CookieLines engine_cookies(CURL* easy) {
  curl_slist* cookies = nullptr;
  if (curl_easy_getinfo(easy, CURLINFO_COOKIELIST, &cookies) != CURLE_OK) return {};
  return lines_of(StringList(cookies));
}

class CurlTransport final : public Transport {
 public:
  TransportHandle open(std::string_view agent, int access_type,
                       std::optional<std::string_view> proxy_name,
                       std::optional<std::string_view>) override {
    Session session;
    session.agent = agent_value(agent);
    if (access_type == kOpenTypeProxy) {
      std::optional<std::string> proxy = proxy_for(proxy_name.value_or(""), false);
      std::optional<std::string> secure_proxy = proxy_for(proxy_name.value_or(""), true);
      if (!proxy || !secure_proxy) return 0;
      session.proxy = *proxy;
      session.secure_proxy = *secure_proxy;
    } else if (access_type != kOpenTypeDirect) {
      return 0;
    }
    return add(std::move(session));
  }

  TransportHandle connect(TransportHandle internet, std::string_view host, int port,
                          int service) override {
    if (find<Session>(internet) == nullptr || service != kServiceHttp) return 0;
    if (host.empty() || port < 0 || port > 65535) return 0;
    for (char c : host) {
      bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '.' || c == '-' || c == '_';
      if (!allowed) return 0;
    }
    return add(Connection{internet, std::string(host), port});
  }

  TransportHandle open_request(TransportHandle connection, std::string_view verb,
                               std::string_view object_name, std::string_view version,
                               std::uint32_t flags) override {
    if (find<Connection>(connection) == nullptr) return 0;
    if (verb != "GET" && verb != "POST" && verb != "HEAD") return 0;
    if (version != "HTTP/1.1" && version != "HTTP/1.0") return 0;
    std::string path = escape_object_name(object_name);
    if (path.empty() || path.front() != '/') path.insert(0, "/");
    Request request;
    request.connection = connection;
    request.verb = verb;
    request.path = std::move(path);
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
    request->ok = perform(*request, *connection, *session, headers, data);
    if (!request->ok) {
      request->body.clear();
      request->raw_headers.clear();
      request->status = 0;
    }
    return request->ok;
  }

  bool read(TransportHandle handle, char* buffer, std::uint32_t size,
            std::uint32_t& bytes_read) override {
    bytes_read = 0;
    Request* request = find<Request>(handle);
    if (request == nullptr || !request->ok) return false;
    std::size_t count = std::min<std::size_t>(size, request->body.size() - request->read_pos);
    std::memcpy(buffer, request->body.data() + request->read_pos, count);
    request->read_pos += count;
    bytes_read = static_cast<std::uint32_t>(count);
    return true;
  }

  bool query_raw_headers(TransportHandle handle, char* buffer, std::uint32_t& length) override {
    Request* request = find<Request>(handle);
    if (request == nullptr || !request->ok || request->raw_headers.empty()) return false;
    const std::string& raw = request->raw_headers;
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
    const Request* request = find<Request>(handle);
    return request != nullptr && request->ok ? request->status : 0;
  }

  bool close(TransportHandle handle) override { return objects_.erase(handle) == 1; }

 private:
  struct Session {
    std::string agent;
    std::string proxy;  // for http URLs; empty for a direct connection
    std::string secure_proxy;
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
    bool ok = false;
    std::string body;
    std::size_t read_pos = 0;
    std::string raw_headers;  // of the latest response: status line and header lines
    int status = 0;           // of the final response
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

  static std::size_t on_body(char* data, std::size_t, std::size_t count, void* user) {
    auto& body = *static_cast<std::string*>(user);
    if (static_cast<curl_off_t>(body.size() + count) > kBodyCap) return 0;  // fails the transfer
    body.append(data, count);
    return count;
  }

  static std::size_t on_header(char* data, std::size_t, std::size_t count, void* user) {
    auto& raw = *static_cast<std::string*>(user);
    std::string_view line(data, count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    // Each response of a redirect chain (and an interim 1xx) starts over: the final one counts.
    if (line.substr(0, 5) == "HTTP/") raw.clear();
    if (!line.empty()) {
      raw.append(line);
      raw.append("\r\n");
    }
    return count;
  }

  bool perform(Request& request, const Connection& connection, const Session& session,
               std::string_view headers, std::optional<std::string_view> data) {
    initialise_curl();
    EasyHandle easy(curl_easy_init());
    if (!easy) return false;
    CURL* e = easy.get();
    const bool secure = (request.flags & kFlagSecure) != 0;
    std::string url = secure ? "https://" : "http://";
    url += connection.host;
    if (connection.port != 0) url += ":" + std::to_string(connection.port);
    url += request.path;

    StringList header_list;
    for (const std::string& line : request_header_lines(headers)) {
      if (!append(header_list, line.c_str())) return false;
    }
    if (!append(header_list, "Expect:")) return false;  // send a body at once, as WinINet does

    bool ok = curl_easy_setopt(e, CURLOPT_URL, url.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok &&
         curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, redirect_protocols(secure)) == CURLE_OK;
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION,
                     request.http_1_0 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION,
                     (request.flags & kFlagNoAutoRedirect) != 0 ? 0L : 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, connect_timeout_ms.load());
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, overall_timeout_ms.load());
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, idle_timeout_s.load());
    curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, kBodyCap);
    // The environment's proxy settings do not apply: the caller's proxy or none.
    ok =
        ok && curl_easy_setopt(e, CURLOPT_PROXY,
                               (secure ? session.secure_proxy : session.proxy).c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_NOPROXY, "") == CURLE_OK;
    if (!session.agent.empty()) {
      ok = ok && curl_easy_setopt(e, CURLOPT_USERAGENT, session.agent.c_str()) == CURLE_OK;
    }
    ok = ok && curl_easy_setopt(e, CURLOPT_HTTPHEADER, header_list.get()) == CURLE_OK;
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &CurlTransport::on_body);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &request.body);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &CurlTransport::on_header);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &request.raw_headers);

    if (request.verb == "POST") {
      std::string_view body = data.value_or(std::string_view());
      curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
      curl_easy_setopt(e, CURLOPT_POSTFIELDS, body.empty() ? "" : body.data());
    } else if (request.verb == "HEAD") {
      // Any body given is not sent: libcurl cannot send one with HEAD without then waiting for
      // a response body that never comes, and content in a HEAD request means nothing anyway.
      curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    } else {
      curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    }

    const bool use_store = (request.flags & kFlagNoCookies) == 0;
    CookieLines before;
    if (use_store) {
      ok = ok && curl_easy_setopt(e, CURLOPT_COOKIEFILE, "") == CURLE_OK;  // engine on, no file
      // Only the cookies this host may get: a redirect to another host does not carry that
      // host's stored cookies, only those its own responses set.
      for (const std::string& line : cookies_for_host(load_cookie_store(), connection.host)) {
        curl_easy_setopt(e, CURLOPT_COOKIELIST, line.c_str());
      }
      before = engine_cookies(e);
    }
    if (!ok) return false;

    CURLcode result = run_transfer(e);
    if (use_store) save_cookie_store_changes(before, engine_cookies(e));
    if (result != CURLE_OK) return false;
    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    request.status = static_cast<int>(status);
    return true;
  }

  std::map<TransportHandle, Object> objects_;
  TransportHandle next_handle_ = 1;
};

}  // namespace

std::unique_ptr<Transport> make_platform_transport() {
  return std::make_unique<CurlTransport>();
}

void set_transport_timeouts(std::chrono::milliseconds connect, std::chrono::seconds idle,
                            std::chrono::milliseconds overall) {
  connect_timeout_ms = static_cast<long>(connect.count());
  idle_timeout_s = static_cast<long>(idle.count());
  overall_timeout_ms = static_cast<long>(overall.count());
}

}  // namespace stdlookup
