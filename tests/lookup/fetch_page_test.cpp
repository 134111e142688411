// fetch_page against the loopback fixture server: what counts as a failed request.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "lookup/lookup.h"
#include "support/fixture_server.h"
#include "support/gbk_literals.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

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
