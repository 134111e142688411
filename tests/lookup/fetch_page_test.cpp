// fetch_page against the loopback fixture server: what counts as a failed request.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "lookup/hosts.h"
#include "lookup/lookup.h"
#include "support/canned_pages.h"
#include "support/fixture_server.h"
#include "support/gbk_literals.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "web/transport_core.h"

namespace stdlookup {
namespace {

TEST(FetchPage, JudgedOnTheRealStatusWhateverTheHeaderBlocksSize) {
  test::TempDir data;
  test::ScopedEnv xdg("XDG_DATA_HOME", data.str());
  test::FixtureServer server;
  struct Case {
    int status;
    std::size_t filler;  // a header over the 5000-byte copy of the header block
    bool failed;
  };
  for (const Case& c :
       {Case{200, 0, false}, Case{200, 6000, false}, Case{404, 0, true}, Case{503, 6000, true}}) {
    test::CannedResponse r;
    r.status = c.status;
    if (c.filler > 0) r.headers = {{"X-Filler", std::string(c.filler, 'f')}};
    r.body = "page";
    const std::string target = "/p" + std::to_string(c.status) + "_" + std::to_string(c.filler);
    server.serve(target, r);
    FetchedPage fetched = fetch_page(server.url(target));
    EXPECT_EQ(fetched.failed, c.failed) << target;
    EXPECT_EQ(fetched.text, c.failed ? "" : "page") << target;
  }
}

TEST(FetchPage, KeepsWhatDecidesARetry) {
  test::TempDir data;
  test::ScopedEnv xdg("XDG_DATA_HOME", data.str());
  test::FixtureServer server;
  test::CannedResponse busy;
  busy.status = 503;
  busy.headers = {{"retry-after", " 5 "}};
  busy.body = "later";
  server.serve("/busy", busy);
  test::CannedResponse sorry = busy;
  sorry.headers = {{"Retry-After", "Wed, 21 Oct 2026 07:28:00 GMT"}};  // a date: not used
  sorry.body = test::g("抱歉");
  server.serve("/sorry", sorry);
  FetchedPage page = fetch_page(server.url("/busy"));
  EXPECT_EQ(page.status, 503);
  EXPECT_EQ(page.retry_after_s, 5);
  EXPECT_TRUE(worth_retrying(page));
  page = fetch_page(server.url("/sorry"));
  EXPECT_EQ(page.retry_after_s, -1);
  EXPECT_TRUE(page.apology);
  EXPECT_FALSE(worth_retrying(page));
}

// Every way a lookup fails, met by the real transport, says which it was.
TEST(LookupStandard, SaysWhyItFailed) {
  test::TempDir data;
  test::ScopedEnv xdg("XDG_DATA_HOME", data.str());
  test::FixtureServer server;
  test::RefusingPort refusing;
  const std::string fixture = "127.0.0.1:" + std::to_string(server.port());
  const std::string closed = "127.0.0.1:" + std::to_string(refusing.port());
  using std::chrono::milliseconds;
  struct Case {
    std::string host, proxy;
    int answer;  // the fixture's status, directly or as the proxy; 0: it never answers
    std::string body;
    FailureReason reason;
    int status;
    milliseconds overall{120'000};
  } cases[] = {
      {closed, "", 200, "", FailureReason::refused, 0},
      {"nowhere.invalid", "", 200, "", FailureReason::not_resolved, 0},
      {"standards.invalid", closed, 200, "", FailureReason::proxy_refused, 0},
      {"standards.invalid", fixture, 200, test::g("<p>现行</p>"), FailureReason::none, 200},
      {fixture, "", 0, "", FailureReason::timed_out, 0, milliseconds{300}},
      {fixture, "", 503, "busy", FailureReason::http_status, 503},
      {fixture, "", 200, test::portal_page(), FailureReason::not_a_standard_page, 200},
      {fixture, "", 200, std::string(kTransportBodyCap + 1, 'x'), FailureReason::too_large, 0},
  };
  for (const Case& c : cases) {
    test::CannedResponse response;
    response.status = c.answer;
    response.body = c.body;
    response.never_answer = c.answer == 0;
    // The proxy is asked for the absolute URL (by WinINet under Wine with the port).
    for (const char* target : {"/gbquery.htm", "http://standards.invalid/gbquery.htm",
                               "http://standards.invalid:80/gbquery.htm"}) {
      server.serve(target, response);
    }
    set_query_host(c.host);
    set_proxy(c.proxy);
    set_transport_timeouts(std::chrono::seconds(60), std::chrono::seconds(30), c.overall);
    const LookupResult result = lookup_standard("GB 1");
    EXPECT_EQ(result.failed, c.reason != FailureReason::none) << c.host;
    EXPECT_EQ(static_cast<int>(result.reason), static_cast<int>(c.reason)) << c.host;
    EXPECT_EQ(result.status, c.status) << c.host;
  }
  set_transport_timeouts(std::chrono::seconds(60), std::chrono::seconds(30));
  use_settings(built_in_settings());
}

TEST(WithRetries, BacksOffHonoursRetryAfterAndGivesUp) {
  const auto answer = [](int status, int retry_after = -1, bool apology = false) {
    FetchedPage page;
    page.failed = status != 200;
    page.text = page.failed ? "" : "ok";
    page.status = status;
    page.retry_after_s = retry_after;
    page.apology = apology;
    return page;
  };
  using std::chrono::seconds;
  struct Case {
    std::string name;
    std::vector<FetchedPage> answers;  // the last one repeats
    int retries;
    std::vector<seconds> waits;
    int tries;
    bool failed;
  } cases[] = {
      {"two 503 then 200",
       {answer(503), answer(503), answer(200)},
       3,
       {seconds{1}, seconds{2}},
       3,
       false},
      {"no response, then 429",
       {answer(0), answer(429), answer(200)},
       5,
       {seconds{1}, seconds{2}},
       3,
       false},
      {"gives up after N", {answer(502)}, 2, {seconds{1}, seconds{2}}, 3, true},
      {"Retry-After, capped at 60 s",
       {answer(503, 7), answer(503, 120), answer(200)},
       2,
       {seconds{7}, seconds{60}},
       3,
       false},
      {"404 is an answer", {answer(404)}, 3, {}, 1, true},
      {"an apology is an answer", {answer(503, -1, true)}, 3, {}, 1, true},
      {"no retries by default", {answer(503)}, 0, {}, 1, true},
  };
  for (const Case& c : cases) {
    std::size_t asked = 0;
    std::vector<seconds> waits;
    PageFetcher fetch = with_retries(
        [&](const Text&) { return c.answers[std::min(asked++, c.answers.size() - 1)]; }, c.retries,
        [&](std::chrono::milliseconds d) {
          waits.push_back(std::chrono::duration_cast<seconds>(d));
        });
    FetchedPage page = fetch("http://x/");
    EXPECT_EQ(waits, c.waits) << c.name;
    EXPECT_EQ(page.tries, c.tries) << c.name;
    EXPECT_EQ(asked, static_cast<std::size_t>(c.tries)) << c.name;
    EXPECT_EQ(page.failed, c.failed) << c.name;
  }
}

}  // namespace
}  // namespace stdlookup
