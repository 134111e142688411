// The socket calls under the fixture server, one file per platform. A socket is an int: on
// Windows socket handles are kernel handles, whose values fit.
#pragma once

#include <chrono>
#include <cstddef>
#include <string_view>

namespace stdlookup::test::socket_shim {

// A TCP socket bound to a free port on 127.0.0.1, listening when asked; -1 on failure.
int bound_loopback(bool listening, int& port);
// The next connection, with Nagle off; -1 when accepting failed.
int accept_connection(int listener);
// Bytes received into `buffer`; 0 or less once the peer is gone or the call failed.
long receive(int fd, char* buffer, std::size_t size);
bool send_all(int fd, std::string_view data);
void shutdown_send(int fd);
void shutdown_both(int fd);
void close_socket(int fd);

// The stop signal: once given, every wait below that watches it returns at once.
bool open_wake(int (&wake)[2]);
void give_wake(const int (&wake)[2]);
void close_wake(const int (&wake)[2]);
// True when `fd` is readable (or closed); false when the wake signal came first.
bool wait_readable(int fd, const int (&wake)[2]);
// True when `interval` passed; false when the wake signal came first.
bool sleep_unless_woken(const int (&wake)[2], std::chrono::milliseconds interval);

}  // namespace stdlookup::test::socket_shim
