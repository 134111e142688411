// A transport that records every call web_page_request makes and answers from a script.
#pragma once

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "web/transport.h"

namespace stdlookup::test {

class RecordingTransport : public Transport {
 public:
  // The script.
  bool fail_open = false;
  bool fail_connect = false;
  bool fail_open_request = false;
  std::string body;                        // handed out in reads of at most the asked size
  std::optional<std::string> raw_headers;  // nullopt: the query fails and writes nothing
  int status = 0;                          // what status_code answers

  // What was called, in order ("open", "connect", ..., "close 3").
  std::vector<std::string> calls;
  std::string agent;
  int access_type = 0;
  std::optional<std::string> proxy_name;
  std::optional<std::string> proxy_bypass;
  std::string host;
  int port = -1;
  int service = 0;
  std::string verb;
  std::string object_name;
  std::string version;
  std::uint32_t flags = 0;
  std::string sent_headers;
  std::optional<std::string> sent_data;
  std::vector<std::uint32_t> read_sizes;
  std::vector<TransportHandle> closed;

  static constexpr TransportHandle kInternet = 1, kConnection = 2, kRequest = 3;

  TransportHandle open(std::string_view a, int access, std::optional<std::string_view> name,
                       std::optional<std::string_view> bypass) override {
    calls.push_back("open");
    agent = a;
    access_type = access;
    if (name) proxy_name = std::string(*name);
    if (bypass) proxy_bypass = std::string(*bypass);
    return fail_open ? 0 : kInternet;
  }
  TransportHandle connect(TransportHandle internet, std::string_view h, int p, int s) override {
    calls.push_back("connect");
    if (internet != kInternet) return 0;
    host = h;
    port = p;
    service = s;
    return fail_connect ? 0 : kConnection;
  }
  TransportHandle open_request(TransportHandle connection, std::string_view v,
                               std::string_view object, std::string_view ver,
                               std::uint32_t f) override {
    calls.push_back("open_request");
    if (connection != kConnection) return 0;
    verb = v;
    object_name = object;
    version = ver;
    flags = f;
    return fail_open_request ? 0 : kRequest;
  }
  bool send_request(TransportHandle request, std::string_view headers,
                    std::optional<std::string_view> data) override {
    calls.push_back("send_request");
    if (request != kRequest) return false;
    sent_headers = headers;
    if (data) sent_data = std::string(*data);
    return true;
  }
  bool read(TransportHandle request, char* buffer, std::uint32_t size,
            std::uint32_t& bytes_read) override {
    calls.push_back("read");
    read_sizes.push_back(size);
    bytes_read = 0;
    if (request != kRequest) return false;
    std::size_t count = std::min<std::size_t>(size, body.size() - read_pos_);
    std::memcpy(buffer, body.data() + read_pos_, count);
    read_pos_ += count;
    bytes_read = static_cast<std::uint32_t>(count);
    return true;
  }
  bool query_raw_headers(TransportHandle request, char* buffer, std::uint32_t& length) override {
    calls.push_back("query_raw_headers");
    if (request != kRequest || !raw_headers) return false;
    if (raw_headers->size() + 1 > length) {
      length = static_cast<std::uint32_t>(raw_headers->size() + 1);
      return false;
    }
    std::memcpy(buffer, raw_headers->c_str(), raw_headers->size() + 1);
    length = static_cast<std::uint32_t>(raw_headers->size());
    return true;
  }
  int status_code(TransportHandle request) override {
    calls.push_back("status_code");
    return request == kRequest ? status : 0;
  }
  bool close(TransportHandle handle) override {
    calls.push_back("close " + std::to_string(handle));
    closed.push_back(handle);
    return true;
  }

 private:
  std::size_t read_pos_ = 0;
};

}  // namespace stdlookup::test
