// The transport's exchange on libcurl: one easy handle per request. The easy handles of a thread
// run in that thread's multi handle, whose connection cache keeps a kept-alive connection for the
// next request to the same host, as WinINet does within a process.
#include "web/transport_curl.h"

#include <curl/curl.h>

#include "runtime/text.h"
#include "web/cookie_store.h"
#include "web/transport_core.h"
#include "web/url.h"

namespace stdlookup {
namespace curl_detail {
namespace {

// A proxy server as libcurl wants it, with a scheme; nullopt when it cannot be one.
std::optional<std::string> proxy_server(std::string_view server, std::string_view scheme) {
  if (server.empty()) return std::nullopt;
  for (char c : server) {
    if (is_control_byte(static_cast<unsigned char>(c)) || c == ' ') return std::nullopt;
  }
  if (server.find("://") != std::string_view::npos) return std::string(server);
  return std::string(scheme) + "://" + std::string(server);
}

}  // namespace

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
    const Text scheme = to_lower(entry.substr(0, eq));
    if (scheme == own_scheme && !own) own = entry.substr(eq + 1);
    if (scheme == "socks" && !socks) socks = entry.substr(eq + 1);
  }
  if (own) return proxy_server(*own, "http");
  if (general) return proxy_server(*general, "http");
  if (socks) return proxy_server(*socks, "socks4");
  return std::string();
}

const char* redirect_protocols(bool secure) {
  return secure ? "https" : "http,https";
}

}  // namespace curl_detail

namespace {

using namespace curl_detail;

constexpr long kMaxRedirects = 10;
constexpr long kCancelCheckMs = 100;
constexpr long kCachedConnections = 8;

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

// libcurl's callbacks, writing into the outcome's body and header block.
std::size_t on_body(char* data, std::size_t, std::size_t count, void* user) {
  auto& body = *static_cast<std::string*>(user);
  if (body.size() + count > kTransportBodyCap) return 0;  // fails the transfer
  body.append(data, count);
  return count;
}

std::size_t on_header(char* data, std::size_t, std::size_t count, void* user) {
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

// Why a transfer failed, in the transport's words. Through a proxy, what cannot be reached is the
// proxy: libcurl's connect and resolve errors then concern it, as does a refused tunnel.
RequestFailure failure_of(CURL* easy, CURLcode result, bool via_proxy) {
  long tunnel_status = 0;
  curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &tunnel_status);
  if (via_proxy && (result == CURLE_COULDNT_CONNECT || result == CURLE_COULDNT_RESOLVE_PROXY ||
                    result == CURLE_PROXY || tunnel_status >= 300)) {
    return RequestFailure::proxy_refused;
  }
  switch (result) {
    case CURLE_COULDNT_CONNECT:
      return RequestFailure::refused;
    case CURLE_COULDNT_RESOLVE_HOST:
      return RequestFailure::not_resolved;
    case CURLE_OPERATION_TIMEDOUT:
      return RequestFailure::timed_out;
    case CURLE_FILESIZE_EXCEEDED:
    case CURLE_WRITE_ERROR:  // only on_body refuses to write, at the cap
      return RequestFailure::too_large;
    default:
      return RequestFailure::other;
  }
}

class CurlBackend final : public TransportBackend {
 public:
  bool accepts_proxy(std::string_view proxy_name) const override {
    return proxy_for(proxy_name, false) && proxy_for(proxy_name, true);
  }

  ExchangeOutcome exchange(Exchange x) const override {
    ExchangeOutcome outcome;
    outcome.ok = perform(x, outcome);
    return outcome;
  }

 private:
  static bool perform(const Exchange& x, ExchangeOutcome& outcome) {
    initialise_curl();
    EasyHandle easy(curl_easy_init());
    if (!easy) return false;
    CURL* e = easy.get();
    const bool secure = (x.flags & kFlagSecure) != 0;
    std::string url = secure ? "https://" : "http://";
    url += x.host;
    if (x.port != 0) url += ":" + std::to_string(x.port);
    url += x.path;
    // The environment's proxy settings do not apply: the caller's proxy or none.
    const std::string proxy = x.access_type == kOpenTypeProxy
                                  ? proxy_for(x.proxy_name.value_or(""), secure).value_or("")
                                  : std::string();

    StringList header_list;
    for (const std::string& line : x.header_lines) {
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
                     x.http_1_0 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, (x.flags & kFlagNoAutoRedirect) != 0 ? 0L : 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(x.connect_timeout.count()));
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(x.overall_timeout.count()));
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, static_cast<long>(x.idle_timeout.count()));
    curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kTransportBodyCap));
    ok = ok && curl_easy_setopt(e, CURLOPT_PROXY, proxy.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_NOPROXY, "") == CURLE_OK;
    if (!x.agent.empty()) {
      ok = ok && curl_easy_setopt(e, CURLOPT_USERAGENT, x.agent.c_str()) == CURLE_OK;
    }
    ok = ok && curl_easy_setopt(e, CURLOPT_HTTPHEADER, header_list.get()) == CURLE_OK;
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &on_body);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &outcome.body);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &on_header);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &outcome.raw_headers);

    if (x.verb == "POST") {
      const std::string_view body = x.data ? std::string_view(*x.data) : std::string_view();
      curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
      curl_easy_setopt(e, CURLOPT_POSTFIELDS, body.empty() ? "" : body.data());
    } else if (x.verb == "HEAD") {
      // Any body given is not sent: libcurl cannot send one with HEAD without then waiting for
      // a response body that never comes, and content in a HEAD request means nothing anyway.
      curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    } else {
      curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    }

    const bool use_store = (x.flags & kFlagNoCookies) == 0;
    CookieLines before;
    if (use_store) {
      ok = ok && curl_easy_setopt(e, CURLOPT_COOKIEFILE, "") == CURLE_OK;  // engine on, no file
      // Only the cookies this host may get: a redirect to another host does not carry that
      // host's stored cookies, only those its own responses set.
      for (const std::string& line : cookies_for_host(load_cookie_store(), x.host)) {
        curl_easy_setopt(e, CURLOPT_COOKIELIST, line.c_str());
      }
      before = engine_cookies(e);
    }
    if (!ok) return false;

    CURLcode result = run_transfer(e);
    if (use_store) save_cookie_store_changes(before, engine_cookies(e));
    if (result != CURLE_OK) {
      outcome.failure = failure_of(e, result, !proxy.empty());
      return false;
    }
    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    outcome.status = static_cast<int>(status);
    return true;
  }
};

}  // namespace

std::unique_ptr<Transport> make_platform_transport() {
  static const CurlBackend backend;
  return make_transport(backend);
}

}  // namespace stdlookup
