#include "lookup/query_url.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lookup/hosts.h"
#include "runtime/system.h"
#include "support/gbk_literals.h"
#include "support/opener_recorder.h"

namespace stdlookup {
namespace {

using test::OpenerRecorder;

TEST(Hosts, AreTheValuesFixedInTheBuild) {
  EXPECT_EQ(query_host(), EXPECTED_QUERY_HOST);
  EXPECT_EQ(download_host(), EXPECTED_DOWNLOAD_HOST);
  EXPECT_FALSE(query_host().empty());
}

TEST(QueryUrl, PutsTheNumberInUnchanged) {
  const std::string prefix = std::string("http://") + EXPECTED_QUERY_HOST + "/gbquery.htm?SID=";
  struct Case {
    std::string number;
    std::string between;
  };
  const std::vector<Case> cases = {
      {"GB 2760-2014", "GB 2760-2014"},
      {"", ""},
      {"  GB 1886.1 ", "  GB 1886.1 "},
      {"GB/T 1&x=1#a%20", "GB/T 1&x=1#a%20"},
      {test::g("食品 标准"), test::g("食品 标准")},  // GBK bytes, not converted
  };
  for (const Case& c : cases) {
    EXPECT_EQ(query_url(c.number), prefix + c.between + "&x=30&y=8") << c.number;
  }
}

TEST(BrowserLink, OnlyAbsoluteHttpAndHttpsUrlsWithAHostPass) {
  const std::vector<std::string> accepted = {
      "http://example.org",  "https://example.org/path?q=1",
      "HTTP://EXAMPLE.ORG/", "http://127.0.0.1:8731/gbquery.htm?SID=&x=30&y=8",
      "http://user@host/",   "http://[::1]:80/",
      "http://host/a b",
  };
  const std::vector<std::string> refused = {
      "",
      "-",
      "--help",
      "-http://example.org",
      " http://example.org",
      "example.org",
      "/etc/passwd",
      "file:///etc/passwd",
      "ftp://example.org/",
      "javascript:alert(1)",
      "http:/example.org",
      "http://",
      "https://",
      "http:///path",
      "http://:80/",
      "http://user@/",
      "http://[/",
      "http://?q",
      "mailto:a@b",
  };
  for (const auto& url : accepted) EXPECT_TRUE(is_browser_link(url)) << url;
  for (const auto& url : refused) EXPECT_FALSE(is_browser_link(url)) << url;
}

TEST(OpenInBrowser, HandsAcceptedLinksOverExactlyAndRefusesTheRest) {
  OpenerRecorder opener;
  open_in_browser("https://example.org/x?y=1");
  open_in_browser("file:///bin/sh");
  open_in_browser("-e");
  open_in_browser("");
  open_in_browser("relative/page.htm");
  EXPECT_EQ(opener.opened, (std::vector<Text>{"https://example.org/x?y=1"}));
}

}  // namespace
}  // namespace stdlookup
