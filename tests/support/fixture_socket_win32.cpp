#include "support/fixture_server.h"
#include "support/fixture_server_http.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

// Winsock on Windows. Socket handles are kernel handles, whose values fit the int the header
// keeps. The stop signal is a loopback UDP socket that sends itself a datagram.
namespace stdlookup::test {
namespace {

SOCKET as_socket(int fd) {
  return static_cast<SOCKET>(static_cast<unsigned>(fd));
}

void start_winsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) std::abort();
}

int open_socket(int type) {
  start_winsock();
  SOCKET s = ::socket(AF_INET, type, 0);
  return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}

using detail::parse_head;
using detail::same_name;
using detail::serialise;

bool send_all(int fd, std::string_view data) {
  while (!data.empty()) {
    int chunk = static_cast<int>(std::min<std::size_t>(data.size(), 1 << 20));
    int sent = ::send(as_socket(fd), data.data(), chunk, 0);
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
    ::closesocket(as_socket(fd));
  }
};

FixtureServer::FixtureServer() {
  wake_[0] = open_socket(SOCK_DGRAM);
  sockaddr_in wake{};
  wake.sin_family = AF_INET;
  wake.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int wake_length = sizeof wake;
  if (wake_[0] < 0 ||
      ::bind(as_socket(wake_[0]), reinterpret_cast<sockaddr*>(&wake), wake_length) != 0 ||
      ::getsockname(as_socket(wake_[0]), reinterpret_cast<sockaddr*>(&wake), &wake_length) != 0 ||
      ::connect(as_socket(wake_[0]), reinterpret_cast<sockaddr*>(&wake), wake_length) != 0) {
    std::perror("fixture server");
    std::abort();
  }
  listener_ = open_socket(SOCK_STREAM);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  int length = sizeof address;
  if (listener_ < 0 ||
      ::bind(as_socket(listener_), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(as_socket(listener_), 64) != 0 ||
      ::getsockname(as_socket(listener_), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("fixture server");
    std::abort();
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { accept_loop(); });
}

FixtureServer::~FixtureServer() {
  char byte = 1;
  ::send(as_socket(wake_[0]), &byte, 1, 0);
  acceptor_.join();
  {
    // A connection may be blocked sending to a client that stopped reading; this ends that too.
    std::lock_guard lock(mutex_);
    for (const auto& connection : connections_) ::shutdown(as_socket(connection->fd), SD_BOTH);
  }
  connections_.clear();  // joins each connection's thread
  ::closesocket(as_socket(listener_));
  ::closesocket(as_socket(wake_[0]));
}

bool FixtureServer::wait_readable(int fd) const {
  WSAPOLLFD fds[2] = {{as_socket(fd), POLLRDNORM, 0}, {as_socket(wake_[0]), POLLRDNORM, 0}};
  while (true) {
    int ready = ::WSAPoll(fds, 2, -1);
    if (ready < 0 || (fds[1].revents & POLLRDNORM) != 0) return false;  // stopping
    if (fds[0].revents != 0) return true;
  }
}

bool FixtureServer::sleep_unless_stopping(std::chrono::milliseconds interval) const {
  WSAPOLLFD wake = {as_socket(wake_[0]), POLLRDNORM, 0};
  return ::WSAPoll(&wake, 1, static_cast<int>(interval.count())) == 0;
}

void FixtureServer::accept_loop() {
  while (wait_readable(listener_)) {
    SOCKET accepted = ::accept(as_socket(listener_), nullptr, nullptr);
    if (accepted == INVALID_SOCKET) continue;
    int fd = static_cast<int>(accepted);
    BOOL on = TRUE;
    ::setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
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
    int got = ::recv(as_socket(fd), buffer, sizeof buffer, 0);
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
      ::shutdown(as_socket(fd), SD_SEND);
      return;
    }
  }
}

RefusingPort::RefusingPort() {
  fd_ = open_socket(SOCK_STREAM);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (fd_ < 0 || ::bind(as_socket(fd_), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::getsockname(as_socket(fd_), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("refusing port");
    std::abort();
  }
  port_ = ntohs(address.sin_port);
}

RefusingPort::~RefusingPort() {
  ::closesocket(as_socket(fd_));
}

}  // namespace stdlookup::test
