#include "web/transport_curl.h"

#include <gtest/gtest.h>

#include "support/gbk_literals.h"

namespace stdlookup::curl_detail {
namespace {

TEST(EscapeObjectName, EscapesBlanksControlsAndHashOnly) {
  const std::string gbk = test::g("食品");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/gbquery.htm?SID=GB 2760-2014&x=30&y=8", "/gbquery.htm?SID=GB%202760-2014&x=30&y=8"},
      {"/a#b", "/a%23b"},
      {"/a\r\nHost: evil", "/a%0D%0AHost:%20evil"},
      {std::string("/\x01\x1f\x7f\t", 5), "/%01%1F%7F%09"},
      {"/q?kw=" + gbk, "/q?kw=" + gbk},  // raw GBK bytes go as they are
      {"/already%20escaped%2F", "/already%20escaped%2F"},
      {"/a+b=c&d~e", "/a+b=c&d~e"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(escape_object_name(in), out) << in;
}

TEST(ProxyFor, PicksTheEntryForTheScheme) {
  struct Case {
    std::string list;
    bool secure;
    std::optional<std::string> proxy;
  };
  const std::vector<Case> cases = {
      {"", false, ""},
      {"p:8080", false, "http://p:8080"},
      {"p:8080", true, "http://p:8080"},
      {"http=p:8080", false, "http://p:8080"},
      {"http=p:8080", true, ""},  // only for plain http: https goes direct
      {"http=a:1 https=b:2", true, "http://b:2"},
      {"HTTPS=b:2;http=a:1", false, "http://a:1"},
      {"g:3 https=b:2", true, "http://b:2"},
      {"g:3 https=b:2", false, "http://g:3"},
      {"socks=s:1080", false, "socks4://s:1080"},
      {"http://p:8080", false, "http://p:8080"},
      {"http=", false, std::nullopt},
      {"p\x01:8080", false, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(proxy_for(c.list, c.secure), c.proxy) << c.list;
}

TEST(RequestHeaderLines, BareBreaksCannotEndALine) {
  EXPECT_EQ(request_header_lines("A: 1\r\nB: 2"), (std::vector<std::string>{"A: 1", "B: 2"}));
  EXPECT_EQ(request_header_lines("A: 1\nX: evil\r\nB: 2\rY: z"),
            (std::vector<std::string>{"A: 1 X: evil", "B: 2 Y: z"}));
  EXPECT_EQ(request_header_lines("\r\n\r\nA: 1\r\n"), (std::vector<std::string>{"A: 1"}));
  EXPECT_EQ(request_header_lines(""), (std::vector<std::string>{}));
}

TEST(AgentValue, EndsAtTheFirstControlCharacter) {
  EXPECT_EQ(agent_value("Mozilla/4.0 (x)"), "Mozilla/4.0 (x)");
  EXPECT_EQ(agent_value("y\r\nUser-Agent: X"), "y");
  EXPECT_EQ(agent_value("a\nb"), "a");
  EXPECT_EQ(agent_value("a\tb"), "a");
}

TEST(RedirectProtocols, NeverFromHttpsToHttp) {
  EXPECT_STREQ(redirect_protocols(true), "https");
  EXPECT_STREQ(redirect_protocols(false), "http,https");
}

}  // namespace
}  // namespace stdlookup::curl_detail
