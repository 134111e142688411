#include "support/fixture_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

// POSIX sockets; the stop signal is a pipe.
namespace stdlookup::test::socket_shim {

int bound_loopback(bool listening, int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      (listening && ::listen(fd, 64) != 0) ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

int accept_connection(int listener) {
  int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return -1;
  int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

long receive(int fd, char* buffer, std::size_t size) {
  return ::recv(fd, buffer, size, 0);
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

void shutdown_send(int fd) {
  ::shutdown(fd, SHUT_WR);
}

void shutdown_both(int fd) {
  ::shutdown(fd, SHUT_RDWR);
}

void close_socket(int fd) {
  ::close(fd);
}

bool open_wake(int (&wake)[2]) {
  return ::pipe(wake) == 0;
}

void give_wake(const int (&wake)[2]) {
  char byte = 1;
  while (::write(wake[1], &byte, 1) < 0 && errno == EINTR) {
  }
}

void close_wake(const int (&wake)[2]) {
  ::close(wake[0]);
  ::close(wake[1]);
}

bool wait_readable(int fd, const int (&wake)[2]) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {wake[0], POLLIN, 0}};
  while (true) {
    int ready = ::poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN) != 0) return false;
    if (fds[0].revents != 0) return true;
  }
}

bool sleep_unless_woken(const int (&wake)[2], std::chrono::milliseconds interval) {
  pollfd fds = {wake[0], POLLIN, 0};
  int ready;
  while ((ready = ::poll(&fds, 1, static_cast<int>(interval.count()))) < 0 && errno == EINTR) {
  }
  return ready == 0;
}

}  // namespace stdlookup::test::socket_shim
