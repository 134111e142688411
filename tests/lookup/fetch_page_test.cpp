// fetch_page against the loopback fixture server: what counts as a failed request.
#include <gtest/gtest.h>

#include "lookup/lookup.h"
#include "support/fixture_server.h"
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

}  // namespace
}  // namespace stdlookup
