#include "support/fixture_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstdlib>

// Winsock. The stop signal is a loopback UDP socket that sends itself a datagram.
namespace stdlookup::test::socket_shim {
namespace {

SOCKET as_socket(int fd) {
  return static_cast<SOCKET>(static_cast<unsigned>(fd));
}

int open_socket(int type) {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) std::abort();
  SOCKET s = ::socket(AF_INET, type, 0);
  return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}

// Binds `fd` to a free loopback port and tells which; connects it there too when asked.
bool bind_loopback(int fd, bool listening, bool connect_to_self, int& port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  auto* a = reinterpret_cast<sockaddr*>(&address);
  if (fd < 0 || ::bind(as_socket(fd), a, length) != 0 ||
      (listening && ::listen(as_socket(fd), 64) != 0) ||
      ::getsockname(as_socket(fd), a, &length) != 0 ||
      (connect_to_self && ::connect(as_socket(fd), a, length) != 0)) {
    return false;
  }
  port = ntohs(address.sin_port);
  return true;
}

}  // namespace

int bound_loopback(bool listening, int& port) {
  int fd = open_socket(SOCK_STREAM);
  if (fd >= 0 && !bind_loopback(fd, listening, false, port)) {
    close_socket(fd);
    return -1;
  }
  return fd;
}

int accept_connection(int listener) {
  SOCKET accepted = ::accept(as_socket(listener), nullptr, nullptr);
  if (accepted == INVALID_SOCKET) return -1;
  BOOL on = TRUE;
  ::setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return static_cast<int>(accepted);
}

long receive(int fd, char* buffer, std::size_t size) {
  return ::recv(as_socket(fd), buffer, static_cast<int>(std::min<std::size_t>(size, 1 << 30)), 0);
}

bool send_all(int fd, std::string_view data) {
  while (!data.empty()) {
    int chunk = static_cast<int>(std::min<std::size_t>(data.size(), 1 << 20));
    int sent = ::send(as_socket(fd), data.data(), chunk, 0);
    if (sent <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

void shutdown_send(int fd) {
  ::shutdown(as_socket(fd), SD_SEND);
}

void shutdown_both(int fd) {
  ::shutdown(as_socket(fd), SD_BOTH);
}

void close_socket(int fd) {
  ::closesocket(as_socket(fd));
}

bool open_wake(int (&wake)[2]) {
  int port = 0;
  wake[0] = open_socket(SOCK_DGRAM);
  wake[1] = -1;
  return wake[0] >= 0 && bind_loopback(wake[0], false, true, port);
}

void give_wake(const int (&wake)[2]) {
  char byte = 1;
  ::send(as_socket(wake[0]), &byte, 1, 0);
}

void close_wake(const int (&wake)[2]) {
  close_socket(wake[0]);
}

bool wait_readable(int fd, const int (&wake)[2]) {
  WSAPOLLFD fds[2] = {{as_socket(fd), POLLRDNORM, 0}, {as_socket(wake[0]), POLLRDNORM, 0}};
  while (true) {
    int ready = ::WSAPoll(fds, 2, -1);
    if (ready < 0 || (fds[1].revents & POLLRDNORM) != 0) return false;
    if (fds[0].revents != 0) return true;
  }
}

bool sleep_unless_woken(const int (&wake)[2], std::chrono::milliseconds interval) {
  WSAPOLLFD fds = {as_socket(wake[0]), POLLRDNORM, 0};
  return ::WSAPoll(&fds, 1, static_cast<int>(interval.count())) == 0;
}

}  // namespace stdlookup::test::socket_shim
