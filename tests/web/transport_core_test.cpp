// The transport's portable half over a scripted backend.
#include "web/transport_core.h"

#include <gtest/gtest.h>

namespace stdlookup {
namespace {

using namespace std::chrono_literals;

struct ScriptedBackend : TransportBackend {
  ExchangeOutcome answer;
  mutable std::vector<Exchange> seen;
  bool accepts_proxy(std::string_view name) const override { return name != "refused"; }
  ExchangeOutcome exchange(Exchange x) const override {
    seen.push_back(std::move(x));
    return answer;
  }
};

TEST(TransportCore, RefusesWhatNoBackendCanCarryOut) {
  ScriptedBackend backend;
  auto t = make_transport(backend);
  const TransportHandle internet = t->open("a", kOpenTypeDirect, std::nullopt, std::nullopt);
  const TransportHandle connection = t->connect(internet, "h.example", 80, kServiceHttp);
  ASSERT_NE(connection, 0u);
  const std::vector<std::pair<std::string, TransportHandle>> refused = {
      {"access type 2", t->open("a", 2, std::nullopt, std::nullopt)},
      {"refused proxy", t->open("a", kOpenTypeProxy, "refused", "")},
      {"connect on a connection", t->connect(connection, "h", 80, kServiceHttp)},
      {"service 1", t->connect(internet, "h", 80, 1)},
      {"empty host", t->connect(internet, "", 80, kServiceHttp)},
      {"host with CR LF", t->connect(internet, "h\r\nX: y", 80, kServiceHttp)},
      {"port -1", t->connect(internet, "h", -1, kServiceHttp)},
      {"port 65536", t->connect(internet, "h", 65536, kServiceHttp)},
      {"request on an Internet handle", t->open_request(internet, "GET", "/", "HTTP/1.1", 0)},
      {"verb PUT", t->open_request(connection, "PUT", "/", "HTTP/1.1", 0)},
      {"version HTTP/2", t->open_request(connection, "GET", "/", "HTTP/2", 0)},
  };
  for (const auto& [what, handle] : refused) EXPECT_EQ(handle, 0u) << what;
}

TEST(TransportCore, HandsTheBackendACleanedExchange) {
  ScriptedBackend backend;
  auto t = make_transport(backend);
  set_transport_timeouts(5s, 7s, 9s);
  const TransportHandle request =
      t->open_request(t->connect(t->open("agent\r\nX: y", kOpenTypeProxy, "http=p:1", ""),
                                 "h.example", 8080, kServiceHttp),
                      "POST", "a b#c", "HTTP/1.0", kFlagSecure);
  t->send_request(request, "A: 1\nB: 2\r\n\r\nC: 3", "body");
  set_transport_timeouts(60s, 30s);
  ASSERT_EQ(backend.seen.size(), 1u);
  const Exchange& x = backend.seen[0];
  EXPECT_EQ(x.agent, "agent");
  EXPECT_EQ(x.access_type, kOpenTypeProxy);
  EXPECT_EQ(x.proxy_name.value_or("none") + "|" + x.proxy_bypass.value_or("none"), "http=p:1|");
  EXPECT_EQ(x.host + ":" + std::to_string(x.port), "h.example:8080");
  EXPECT_EQ(x.verb + " " + x.path + (x.http_1_0 ? " 1.0" : " 1.1"), "POST /a%20b%23c 1.0");
  EXPECT_EQ(x.flags, kFlagSecure);
  EXPECT_EQ(x.header_lines, (std::vector<std::string>{"A: 1 B: 2", "C: 3"}));
  EXPECT_EQ(x.data, "body");
  EXPECT_EQ(x.connect_timeout, 5s);
  EXPECT_EQ(x.idle_timeout, 7s);
  EXPECT_EQ(x.overall_timeout, 9s);
}

TEST(TransportCore, ReadsBackOnlyWhatASuccessfulExchangeBrought) {
  const std::string raw = "HTTP/1.1 200 OK\r\nA: b\r\n";
  for (const auto& [what, ok, cancelled] : std::vector<std::tuple<std::string, bool, bool>>{
           {"ok", true, false}, {"failed", false, false}, {"cancelled", true, true}}) {
    const bool got = ok && !cancelled;
    ScriptedBackend backend;
    backend.answer = {ok, "0123456789", raw, 200};
    auto t = make_transport(backend);
    const TransportHandle request =
        t->open_request(t->connect(t->open("a", kOpenTypeDirect, std::nullopt, std::nullopt), "h",
                                   80, kServiceHttp),
                        "GET", "/", "HTTP/1.1", 0);
    if (cancelled) cancel_requests();
    EXPECT_EQ(t->send_request(request, "", std::nullopt), got) << what;
    allow_requests();
    EXPECT_FALSE(t->send_request(request, "", std::nullopt)) << what << ": sent twice";
    EXPECT_EQ(backend.seen.size(), cancelled ? 0u : 1u) << what;
    std::string body;
    char buffer[64] = "";
    std::uint32_t n = 0;
    while (t->read(request, buffer, 4, n) && n > 0) body.append(buffer, n);
    EXPECT_EQ(body, got ? "0123456789" : "") << what;
    EXPECT_EQ(t->status_code(request), got ? 200 : 0) << what;
    auto length = static_cast<std::uint32_t>(raw.size());  // no room for the terminating zero
    EXPECT_FALSE(t->query_raw_headers(request, buffer, length)) << what;
    EXPECT_EQ(length, raw.size() + (got ? 1 : 0)) << what;
    length = sizeof buffer;
    EXPECT_EQ(t->query_raw_headers(request, buffer, length), got) << what;
    EXPECT_STREQ(buffer, got ? raw.c_str() : "") << what;
    EXPECT_TRUE(t->close(request)) << what;
    EXPECT_FALSE(t->close(request)) << what;
    EXPECT_EQ(t->status_code(request), 0) << what;
  }
}

}  // namespace
}  // namespace stdlookup
