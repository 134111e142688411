#include "support/fixture_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace stdlookup::test {
namespace {

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Parses the head (request line and header lines); false when it is not an HTTP request.
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

bool send_all(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(sent));
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

}  // namespace

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

struct FixtureServer::Connection {
  int fd;
  std::atomic<bool> done{false};
  std::thread thread;
  ~Connection() {
    if (thread.joinable()) thread.join();
    ::close(fd);
  }
};

FixtureServer::FixtureServer() {
  if (::pipe(wake_) != 0) std::abort();
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 64) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("fixture server");
    std::abort();
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { accept_loop(); });
}

FixtureServer::~FixtureServer() {
  char byte = 1;
  while (::write(wake_[1], &byte, 1) < 0 && errno == EINTR) {
  }
  acceptor_.join();
  {
    // A connection may be blocked sending to a client that stopped reading; this ends that too.
    std::lock_guard lock(mutex_);
    for (const auto& connection : connections_) ::shutdown(connection->fd, SHUT_RDWR);
  }
  connections_.clear();  // joins each connection's thread
  ::close(listener_);
  ::close(wake_[0]);
  ::close(wake_[1]);
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

bool FixtureServer::wait_readable(int fd) const {
  pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
  while (true) {
    int ready = ::poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN) != 0) return false;  // stopping
    if (fds[0].revents != 0) return true;
  }
}

void FixtureServer::accept_loop() {
  while (wait_readable(listener_)) {
    int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
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

void FixtureServer::serve_connection(int fd) {
  std::string pending;
  char buffer[65536];
  auto receive_more = [&]() {
    if (!wait_readable(fd)) return false;
    ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
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
    if (!parse_head(request)) return;
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
    if (!send_all(fd, serialise(response, request.method == "HEAD"))) return;
    if (response.close_delimited || same_name(request.header("Connection"), "close")) {
      ::shutdown(fd, SHUT_WR);
      return;
    }
  }
}

RefusingPort::RefusingPort() {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("refusing port");
    std::abort();
  }
  port_ = ntohs(address.sin_port);
}

RefusingPort::~RefusingPort() {
  ::close(fd_);
}

std::string RefusingPort::url(std::string_view target) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(target);
}

}  // namespace stdlookup::test
