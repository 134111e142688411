// The fixture server, the same on every platform over the socket calls of fixture_socket.h:
// connections, parsing a request head, writing a canned response, routing.
#include "support/fixture_server.h"
#include "support/fixture_server_http.h"

#include <cstdio>
#include <cstdlib>

#include "support/fixture_socket.h"

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

namespace sock = socket_shim;

struct FixtureServer::Connection {
  int fd;
  std::atomic<bool> done{false};
  std::thread thread;
  ~Connection() {
    if (thread.joinable()) thread.join();
    sock::close_socket(fd);
  }
};

FixtureServer::FixtureServer() {
  if (!sock::open_wake(wake_) || (listener_ = sock::bound_loopback(true, port_)) < 0) {
    std::perror("fixture server");
    std::abort();
  }
  acceptor_ = std::thread([this] { accept_loop(); });
}

FixtureServer::~FixtureServer() {
  sock::give_wake(wake_);
  acceptor_.join();
  {
    // A connection may be blocked sending to a client that stopped reading; this ends that too.
    std::lock_guard lock(mutex_);
    for (const auto& connection : connections_) sock::shutdown_both(connection->fd);
  }
  connections_.clear();  // joins each connection's thread
  sock::close_socket(listener_);
  sock::close_wake(wake_);
}

void FixtureServer::accept_loop() {
  while (sock::wait_readable(listener_, wake_)) {
    int fd = sock::accept_connection(listener_);
    if (fd < 0) continue;
    ++connections_accepted_;
    std::lock_guard lock(mutex_);
    // Finished connections are joined here, so a long run keeps few threads around.
    std::erase_if(connections_,
                  [](const std::unique_ptr<Connection>& c) { return c->done.load(); });
    auto connection = std::make_unique<Connection>();
    connection->fd = fd;
    Connection* c = connection.get();
    connection->thread = std::thread([this, c] {
      serve_connection(c->fd);
      c->done = true;
    });
    connections_.push_back(std::move(connection));
  }
}

void FixtureServer::serve_connection(int fd) {
  std::string pending;
  char buffer[65536];
  auto receive_more = [&]() {
    if (!sock::wait_readable(fd, wake_)) return false;
    long got = sock::receive(fd, buffer, sizeof buffer);
    if (got <= 0) return false;
    pending.append(buffer, static_cast<std::size_t>(got));
    return true;
  };
  while (true) {
    std::size_t head_end;
    while ((head_end = pending.find("\r\n\r\n")) == std::string::npos) {
      if (!receive_more()) return;
    }
    RecordedRequest request;
    request.head = pending.substr(0, head_end + 4);
    if (!detail::parse_head(request)) return;
    std::size_t body_length = std::strtoull(request.header("Content-Length").c_str(), nullptr, 10);
    while (pending.size() < head_end + 4 + body_length) {
      if (!receive_more()) return;
    }
    request.body = pending.substr(head_end + 4, body_length);
    request.raw = request.head + request.body;
    pending.erase(0, head_end + 4 + body_length);
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }

    CannedResponse response = respond(request);
    if (response.never_answer) {
      while (receive_more()) {
      }
      return;
    }
    const std::string out = detail::serialise(response, request.method == "HEAD");
    if (response.trickle.count() > 0) {
      for (char c : out) {
        if (!sock::send_all(fd, std::string_view(&c, 1)) ||
            !sock::sleep_unless_woken(wake_, response.trickle)) {
          return;
        }
      }
    } else if (!sock::send_all(fd, out)) {
      return;
    }
    if (response.close_delimited || same_name(request.header("Connection"), "close")) {
      sock::shutdown_send(fd);
      return;
    }
  }
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

RefusingPort::RefusingPort() {
  if ((fd_ = sock::bound_loopback(false, port_)) < 0) {
    std::perror("refusing port");
    std::abort();
  }
}

RefusingPort::~RefusingPort() {
  sock::close_socket(fd_);
}

std::string RefusingPort::url(std::string_view target) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(target);
}

}  // namespace stdlookup::test
