#include "support/fixture_server.h"
#include "support/fixture_server_http.h"

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

using detail::parse_head;
using detail::same_name;
using detail::serialise;

bool send_all(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

}  // namespace

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

bool FixtureServer::wait_readable(int fd) const {
  pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
  while (true) {
    int ready = ::poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN) != 0) return false;  // stopping
    if (fds[0].revents != 0) return true;
  }
}

bool FixtureServer::sleep_unless_stopping(std::chrono::milliseconds interval) const {
  pollfd wake = {wake_[0], POLLIN, 0};
  int ready;
  while ((ready = ::poll(&wake, 1, static_cast<int>(interval.count()))) < 0 && errno == EINTR) {
  }
  return ready == 0;
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
    const std::string out = serialise(response, request.method == "HEAD");
    if (response.trickle.count() > 0) {
      for (char c : out) {
        if (!send_all(fd, std::string_view(&c, 1)) || !sleep_unless_stopping(response.trickle)) {
          return;
        }
      }
    } else if (!send_all(fd, out)) {
      return;
    }
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

}  // namespace stdlookup::test
