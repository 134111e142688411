// A loopback HTTP/1.1 server for tests and benchmarks: serves canned responses per target and
// records every request's exact bytes. Raw sockets rather than an HTTP library, because tests
// need the request bytes as they arrived (order and spelling of header lines included) and
// responses no library would send (header names in odd case, a connection that never answers).
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace stdlookup::test {

struct CannedResponse {
  int status = 200;
  std::string reason = "OK";
  // Sent in this order and spelling; Content-Length is added unless given or close_delimited.
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  bool close_delimited = false;  // no length: the body ends when the server closes
  bool never_answer = false;     // read the request, then send nothing until the client leaves
  // When set, the response goes out one byte per interval: never idle, never done.
  std::chrono::milliseconds trickle{0};
};

struct RecordedRequest {
  std::string raw;   // request line, header lines, blank line and body, as received
  std::string head;  // raw up to and including the blank line
  std::string method;
  std::string target;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // The first header of that name (any letter case); empty when there is none.
  std::string header(std::string_view name) const;
  int header_count(std::string_view name) const;
};

using RequestHandler = std::function<CannedResponse(const RecordedRequest&)>;

class FixtureServer {
 public:
  // Listens on 127.0.0.1 at a free port chosen by the system and serves at once.
  FixtureServer();
  // Stops serving: closes every connection and joins every thread.
  ~FixtureServer();
  FixtureServer(const FixtureServer&) = delete;
  FixtureServer& operator=(const FixtureServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" + target.
  std::string url(std::string_view target) const;

  // Answers requests for `target` (the whole request target, or its path before "?"); other
  // targets get 404.
  void serve(const std::string& target, CannedResponse response);
  void serve(const std::string& target, RequestHandler handler);

  std::vector<RecordedRequest> requests() const;
  std::size_t request_count() const;
  std::size_t connection_count() const { return connections_accepted_.load(); }

 private:
  struct Connection;

  void accept_loop();
  void serve_connection(int fd);
  CannedResponse respond(const RecordedRequest& request);

  int listener_ = -1;
  int wake_[2] = {-1, -1};  // given once on stop; every wait watches it
  int port_ = 0;
  std::atomic<std::size_t> connections_accepted_{0};

  mutable std::mutex mutex_;
  std::vector<std::pair<std::string, RequestHandler>> routes_;
  std::vector<RecordedRequest> requests_;
  std::vector<std::unique_ptr<Connection>> connections_;
  std::thread acceptor_;
};

// A loopback port held but not listening, so connections to it are refused.
class RefusingPort {
 public:
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  int port() const { return port_; }
  std::string url(std::string_view target) const;

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace stdlookup::test
