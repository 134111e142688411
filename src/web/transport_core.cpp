// The transport's portable half, and the process-wide timeouts and cancel switch every backend
// watches.
#include "web/transport_core.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <variant>

#include "web/url.h"

namespace stdlookup {
namespace transport_core {

std::string escape_object_name(std::string_view object_name) {
  return percent_encode_controls(object_name, " #");
}

std::vector<std::string> request_header_lines(std::string_view block) {
  std::vector<std::string> lines;
  while (true) {
    std::size_t end = block.find("\r\n");
    std::string line(block.substr(0, end));
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    if (!line.empty()) lines.push_back(std::move(line));
    if (end == std::string_view::npos) break;
    block.remove_prefix(end + 2);
  }
  return lines;
}

std::string agent_value(std::string_view agent) {
  std::size_t end = 0;
  while (end < agent.size() && !is_control_byte(static_cast<unsigned char>(agent[end]))) ++end;
  return std::string(agent.substr(0, end));
}

bool is_plain_host(std::string_view host) {
  if (host.empty()) return false;
  return std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
  });
}

}  // namespace transport_core

namespace {

using namespace transport_core;

std::atomic<std::int64_t> connect_timeout_ms{60'000};
std::atomic<std::int64_t> idle_timeout_s{30};
std::atomic<std::int64_t> overall_timeout_ms{120'000};

// Lock-free, so storing to it is safe in a signal handler.
std::atomic<bool> cancelled{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Handles are keys into one table of sessions, connections and requests; a request keeps its
// exchange's outcome for the reads that follow the send.
class BufferedTransport final : public Transport {
 public:
  explicit BufferedTransport(const TransportBackend& backend) : backend_(backend) {}

  TransportHandle open(std::string_view agent, int access_type,
                       std::optional<std::string_view> proxy_name,
                       std::optional<std::string_view> proxy_bypass) override {
    if (access_type != kOpenTypeDirect && access_type != kOpenTypeProxy) return 0;
    if (access_type == kOpenTypeProxy && !backend_.accepts_proxy(proxy_name.value_or(""))) {
      return 0;
    }
    Session session;
    session.exchange.agent = agent_value(agent);
    session.exchange.access_type = access_type;
    if (proxy_name) session.exchange.proxy_name = std::string(*proxy_name);
    if (proxy_bypass) session.exchange.proxy_bypass = std::string(*proxy_bypass);
    return add(std::move(session));
  }

  TransportHandle connect(TransportHandle internet, std::string_view host, int port,
                          int service) override {
    const Session* session = find<Session>(internet);
    if (session == nullptr || service != kServiceHttp) return 0;
    if (!is_plain_host(host) || port < 0 || port > 65535) return 0;
    Connection connection{internet, session->exchange};
    connection.exchange.host = host;
    connection.exchange.port = port;
    return add(std::move(connection));
  }

  TransportHandle open_request(TransportHandle connection, std::string_view verb,
                               std::string_view object_name, std::string_view version,
                               std::uint32_t flags) override {
    const Connection* open = find<Connection>(connection);
    if (open == nullptr) return 0;
    if (verb != "GET" && verb != "POST" && verb != "HEAD") return 0;
    if (version != "HTTP/1.1" && version != "HTTP/1.0") return 0;
    Request request{connection, open->exchange};
    Exchange& x = request.exchange;
    x.verb = verb;
    x.path = escape_object_name(object_name);
    if (x.path.empty() || x.path.front() != '/') x.path.insert(0, "/");
    x.http_1_0 = version == "HTTP/1.0";
    x.flags = flags;
    return add(std::move(request));
  }

  bool send_request(TransportHandle handle, std::string_view headers,
                    std::optional<std::string_view> data) override {
    Request* request = find<Request>(handle);
    if (request == nullptr || request->sent) return false;
    request->sent = true;
    // The request's connection and Internet handle must still be open.
    const Connection* connection = find<Connection>(request->connection);
    if (connection == nullptr || find<Session>(connection->internet) == nullptr) return false;
    if (requests_cancelled()) return false;

    Exchange x = std::move(request->exchange);
    x.header_lines = request_header_lines(headers);
    if (data) x.data = std::string(*data);
    x.connect_timeout = std::chrono::milliseconds(connect_timeout_ms.load());
    x.idle_timeout = std::chrono::seconds(idle_timeout_s.load());
    x.overall_timeout = std::chrono::milliseconds(overall_timeout_ms.load());

    request->outcome = backend_.exchange(std::move(x));
    return request->outcome.ok;
  }

  bool read(TransportHandle handle, char* buffer, std::uint32_t size,
            std::uint32_t& bytes_read) override {
    bytes_read = 0;
    Request* request = find<Request>(handle);
    if (request == nullptr || !request->outcome.ok) return false;
    const std::string& body = request->outcome.body;
    std::size_t count = std::min<std::size_t>(size, body.size() - request->read_pos);
    std::memcpy(buffer, body.data() + request->read_pos, count);
    request->read_pos += count;
    bytes_read = static_cast<std::uint32_t>(count);
    return true;
  }

  bool query_raw_headers(TransportHandle handle, char* buffer, std::uint32_t& length) override {
    const Request* request = find<Request>(handle);
    if (request == nullptr || !request->outcome.ok || request->outcome.raw_headers.empty()) {
      return false;
    }
    const std::string& raw = request->outcome.raw_headers;
    if (raw.size() + 1 > length) {
      length = static_cast<std::uint32_t>(raw.size() + 1);
      return false;
    }
    std::memcpy(buffer, raw.data(), raw.size());
    buffer[raw.size()] = '\0';
    length = static_cast<std::uint32_t>(raw.size());
    return true;
  }

  int status_code(TransportHandle handle) override {
    const Request* request = find<Request>(handle);
    return request != nullptr && request->outcome.ok ? request->outcome.status : 0;
  }

  RequestFailure failure(TransportHandle handle) override {
    const Request* request = find<Request>(handle);
    if (request == nullptr) return RequestFailure::other;
    return request->outcome.ok ? RequestFailure::none : request->outcome.failure;
  }

  bool close(TransportHandle handle) override { return objects_.erase(handle) == 1; }

 private:
  // Each handle's object carries the exchange as far as the calls so far have filled it in.
  struct Session {
    Exchange exchange;
  };
  struct Connection {
    TransportHandle internet;
    Exchange exchange;
  };
  struct Request {
    TransportHandle connection;
    Exchange exchange;
    bool sent = false;
    ExchangeOutcome outcome{};
    std::size_t read_pos = 0;
  };
  using Object = std::variant<Session, Connection, Request>;

  template <typename T>
  T* find(TransportHandle handle) {
    auto it = objects_.find(handle);
    return it == objects_.end() ? nullptr : std::get_if<T>(&it->second);
  }

  TransportHandle add(Object object) {
    TransportHandle handle = next_handle_++;
    objects_.emplace(handle, std::move(object));
    return handle;
  }

  const TransportBackend& backend_;
  std::map<TransportHandle, Object> objects_;
  TransportHandle next_handle_ = 1;
};

}  // namespace

std::unique_ptr<Transport> make_transport(const TransportBackend& backend) {
  return std::make_unique<BufferedTransport>(backend);
}

void set_transport_timeouts(std::chrono::milliseconds connect, std::chrono::seconds idle,
                            std::chrono::milliseconds overall) {
  connect_timeout_ms = connect.count();
  idle_timeout_s = idle.count();
  overall_timeout_ms = overall.count();
}

void cancel_requests() noexcept {
  cancelled.store(true);
}

void allow_requests() noexcept {
  cancelled.store(false);
}

bool requests_cancelled() noexcept {
  return cancelled.load();
}

}  // namespace stdlookup
