// The fixture server's HTTP side, shared by the platforms: parsing a request head, writing a
// canned response, routing.
#include "support/fixture_server.h"
#include "support/fixture_server_http.h"

namespace stdlookup::test {
namespace detail {

namespace {

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool parse_head(RecordedRequest& request) {
  std::string_view head = request.head;
  std::size_t end = head.find("\r\n");
  std::string_view line = head.substr(0, end);
  std::size_t a = line.find(' ');
  std::size_t b = line.rfind(' ');
  if (a == std::string_view::npos || a == b) return false;
  request.method = std::string(line.substr(0, a));
  request.target = std::string(line.substr(a + 1, b - a - 1));
  head.remove_prefix(end + 2);
  while (!head.empty()) {
    end = head.find("\r\n");
    line = head.substr(0, end);
    head.remove_prefix(end == std::string_view::npos ? head.size() : end + 2);
    if (line.empty()) break;
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    request.headers.emplace_back(std::string(line.substr(0, colon)),
                                 std::string(trim(line.substr(colon + 1))));
  }
  return true;
}

std::string serialise(const CannedResponse& response, bool head_request) {
  std::string out = "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason + "\r\n";
  bool has_length = false;
  for (const auto& [name, value] : response.headers) {
    out += name + ": " + value + "\r\n";
    has_length = has_length || same_name(name, "Content-Length");
  }
  if (response.close_delimited) {
    out += "Connection: close\r\n";
  } else if (!has_length) {
    out += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
  }
  out += "\r\n";
  if (!head_request) out += response.body;
  return out;
}

}  // namespace detail

using detail::same_name;

std::string RecordedRequest::header(std::string_view name) const {
  for (const auto& [n, value] : headers) {
    if (same_name(n, name)) return value;
  }
  return {};
}

int RecordedRequest::header_count(std::string_view name) const {
  int count = 0;
  for (const auto& header : headers) count += same_name(header.first, name) ? 1 : 0;
  return count;
}

std::string FixtureServer::url(std::string_view target) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(target);
}

void FixtureServer::serve(const std::string& target, CannedResponse response) {
  serve(target, [response](const RecordedRequest&) { return response; });
}

void FixtureServer::serve(const std::string& target, RequestHandler handler) {
  std::lock_guard lock(mutex_);
  routes_.emplace_back(target, std::move(handler));
}

std::vector<RecordedRequest> FixtureServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t FixtureServer::request_count() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

CannedResponse FixtureServer::respond(const RecordedRequest& request) {
  std::string_view path = request.target;
  path = path.substr(0, path.find('?'));
  RequestHandler handler;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [target, h] : routes_) {
      if (target == request.target) handler = h;
    }
    if (!handler) {
      for (const auto& [target, h] : routes_) {
        if (target == path) handler = h;
      }
    }
  }
  if (handler) return handler(request);
  CannedResponse missing;
  missing.status = 404;
  missing.reason = "Not Found";
  missing.body = "not found";
  return missing;
}

std::string RefusingPort::url(std::string_view target) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(target);
}

}  // namespace stdlookup::test
