#include "web/web_request.h"

#include <algorithm>
#include <array>

#include "runtime/conversion.h"
#include "runtime/text.h"
#include "web/cookies.h"
#include "web/text_utils.h"
#include "web/url.h"

namespace stdlookup {
namespace {

constexpr std::string_view kDefaultAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
constexpr std::uint32_t kReadChunk = 1024;
constexpr std::uint32_t kHeaderBuffer = 5000;

// Closes a transport handle when it goes out of scope, so an early return closes exactly what
// was opened, innermost first.
class HandleGuard {
 public:
  HandleGuard(Transport& transport, TransportHandle handle)
      : transport_(transport), handle_(handle) {}
  ~HandleGuard() { close(); }
  HandleGuard(const HandleGuard&) = delete;
  HandleGuard& operator=(const HandleGuard&) = delete;

  TransportHandle get() const { return handle_; }
  void close() {
    if (handle_ != 0) transport_.close(handle_);
    handle_ = 0;
  }

 private:
  Transport& transport_;
  TransportHandle handle_;
};

Text agent_of(const Text& headers) {
  if (find_text(headers, "User-Agent:", 1, true) == -1) return Text(kDefaultAgent);
  Text agent = trim_spaces(text_between(headers, "User-Agent:", "\r\n"));
  if (agent.empty()) agent = text_after_colon(headers);
  return agent;
}

void complete_header_block(Text& headers, std::string_view url, const Text* cookie_jar) {
  if (headers.empty()) {
    headers = "Accept: */*";
  } else if (find_text(headers, "Accept:") == -1) {
    headers += "\r\nAccept: */*";
  }
  if (find_text(headers, "Referer:") == -1) {
    // A control character in the URL would end the Referer line and start one of its choosing.
    headers += "\r\nReferer: " + percent_encode_controls(url);
  }
  if (find_text(headers, "Accept-Language:") == -1) headers += "\r\nAccept-Language: zh-cn";
  if (find_text(headers, "Content-Type:") == -1) {
    headers += "\r\nContent-Type: application/x-www-form-urlencoded";
  }
  if (cookie_jar != nullptr && !cookie_jar->empty()) headers += "\r\nCookie: " + *cookie_jar;
}

Text cookies_of(const Text& response_headers) {
  Text received;
  for (const Text& line : split_text(response_headers, "\r\n")) {
    if (find_text(line, "Set-Cookie") == -1) continue;
    if (find_text(line, ";") != -1) {
      received += trim_spaces(text_between(line, "Set-Cookie:", ";"));
    } else {
      received += trim_spaces(replace_text(line, "Set-Cookie:"));
    }
    received += "; ";
  }
  return left_text(received, text_byte_count(received) - 2);
}

}  // namespace

Bytes web_page_request(Transport& transport, const WebRequest& r) {
  if (r.status_code != nullptr) *r.status_code = 0;
  RequestFailure failure_local;
  RequestFailure& failure = r.failure != nullptr ? *r.failure : failure_local;
  failure = RequestFailure::other;
  const std::string_view url = r.url;
  const std::string_view proxy = r.proxy;
  Text* const cookie_jar = r.cookie_jar;
  // Absent out-parameters are written to locals, so every step runs the same way.
  Text headers_local;
  Text& headers = r.extra_headers != nullptr ? *r.extra_headers : headers_local;

  const int method = r.method < 0 || r.method > 2 ? 0 : r.method;
  static constexpr std::array<std::string_view, 3> kVerbs = {"GET", "POST", "HEAD"};
  const std::string_view verb = kVerbs[static_cast<std::size_t>(method)];
  const bool https = url_is_https(url);
  const Text agent = agent_of(headers);

  const Text http_proxy = "http=" + Text(proxy);
  HandleGuard internet(
      transport, proxy.empty() ? transport.open(agent, kOpenTypeDirect, std::nullopt, std::nullopt)
                               : transport.open(agent, kOpenTypeProxy,
                                                https ? proxy : std::string_view(http_proxy), ""));
  if (internet.get() == 0) return {};

  HandleGuard connection(
      transport, transport.connect(internet.get(), url_host(url), url_port(url), kServiceHttp));
  if (connection.get() == 0) {
    failure = RequestFailure::not_resolved;  // no host name at all
    return {};
  }

  std::uint32_t flags = kFlagReload | kFlagNeedFile;
  if (cookie_jar != nullptr) flags |= kFlagNoCookies;
  if (r.no_redirect) flags |= kFlagNoAutoRedirect;
  flags |= https ? kFlagSecure : kFlagIgnoreRedirectToHttps;
  HandleGuard request(
      transport, transport.open_request(connection.get(), verb, url_path(url), "HTTP/1.1", flags));
  if (request.get() == 0) return {};

  complete_header_block(headers, url, cookie_jar);

  if (method == 0) {
    transport.send_request(request.get(), headers, std::string_view());
  } else {
    Bytes post_local;
    Bytes& body = r.post_bytes != nullptr ? *r.post_bytes : post_local;
    if (body.empty()) body = to_bytes(r.post_text);
    transport.send_request(request.get(), headers,
                           body.empty() ? std::nullopt : std::optional(body.view()));
  }

  Bytes result;
  std::array<char, kReadChunk> buffer;
  for (;;) {
    std::uint32_t bytes_read = 0;
    transport.read(request.get(), buffer.data(), kReadChunk, bytes_read);
    if (bytes_read == 0) break;
    result.data.append(buffer.data(), std::min(bytes_read, kReadChunk));
  }

  Text raw(kHeaderBuffer, ' ');
  std::uint32_t length = kHeaderBuffer;
  transport.query_raw_headers(request.get(), raw.data(), length);
  raw.resize(std::min(raw.find('\0'), raw.size()));
  raw = replace_text(raw, "Set-Cookie", "Set-Cookie");
  // Asked only when wanted: the calls made are WinINet's, no more.
  if (r.status_code != nullptr || r.failure != nullptr) {
    const int status = transport.status_code(request.get());
    if (r.status_code != nullptr) *r.status_code = status;
    failure = status != 0 ? RequestFailure::none : transport.failure(request.get());
  }

  request.close();
  connection.close();
  internet.close();

  Text received = cookies_of(raw);
  if (cookie_jar != nullptr) merge_cookies(*cookie_jar, received);
  if (r.response_headers != nullptr) *r.response_headers = std::move(raw);
  if (r.received_cookies != nullptr) *r.received_cookies = std::move(received);
  return result;
}

Bytes web_page_request(const WebRequest& request) {
  std::unique_ptr<Transport> transport = make_platform_transport();
  return web_page_request(*transport, request);
}

Bytes web_page_request(Transport& transport, std::string_view url, int method,
                       std::string_view post_text, Text* cookie_jar, Text* received_cookies,
                       Text* extra_headers, Text* response_headers, bool no_redirect,
                       Bytes* post_bytes, std::string_view proxy, int* status_code) {
  return web_page_request(transport,
                          {url, method, post_text, cookie_jar, received_cookies, extra_headers,
                           response_headers, no_redirect, post_bytes, proxy, status_code});
}

Bytes web_page_request(std::string_view url, int method, std::string_view post_text,
                       Text* cookie_jar, Text* received_cookies, Text* extra_headers,
                       Text* response_headers, bool no_redirect, Bytes* post_bytes,
                       std::string_view proxy, int* status_code) {
  return web_page_request({url, method, post_text, cookie_jar, received_cookies, extra_headers,
                           response_headers, no_redirect, post_bytes, proxy, status_code});
}

int response_status(std::string_view headers) {
  if (headers.substr(0, 5) != "HTTP/") return 0;
  std::size_t space = headers.find(' ');
  std::size_t line_end = headers.find_first_of("\r\n");
  if (space == std::string_view::npos || space > line_end) return 0;
  std::string_view code = headers.substr(space + 1, 3);
  if (code.size() != 3) return 0;
  int status = 0;
  for (char c : code) {
    if (c < '0' || c > '9') return 0;
    status = status * 10 + (c - '0');
  }
  std::size_t after = space + 4;
  if (after < headers.size() && headers[after] != ' ' && headers[after] != '\r' &&
      headers[after] != '\n') {
    return 0;
  }
  return status;
}

}  // namespace stdlookup
