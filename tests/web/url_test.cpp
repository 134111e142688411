#include "web/url.h"

#include <gtest/gtest.h>

namespace stdlookup {
namespace {

struct UrlCase {
  std::string url;
  std::string host;
  int port;
  std::string path;
};

class UrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(UrlTest, SplitsHostPortAndPath) {
  const UrlCase& c = GetParam();
  EXPECT_EQ(url_host(c.url), c.host);
  EXPECT_EQ(url_port(c.url), c.port);
  EXPECT_EQ(url_path(c.url), c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UrlTest,
    ::testing::Values(UrlCase{"HTTP://Ab.CD:8080/Path?q=1", "ab.cd", 8080, "/Path?q=1"},
                      UrlCase{"ab.cd/e/f", "ab.cd", 80, "/e/f"}, UrlCase{"ab.cd", "ab.cd", 80, "/"},
                      UrlCase{"https://ab.cd", "ab.cd", 443, "/"},
                      UrlCase{"HTTPS://ab.cd/x", "ab.cd", 443, "/x"},
                      UrlCase{"http://ab.cd?x=1", "ab.cd?x=1", 80, "/"},
                      UrlCase{"http://ab.cd:/x", "ab.cd", 0, "/x"},
                      // user information is not recognised
                      UrlCase{"http://user:pw@host/x", "user", 0, "/x"},
                      // the host is found earlier in the URL, inside the scheme
                      UrlCase{"http://h/x", "h", 80, "//h/x"},
                      // "http://" further on decides the host
                      UrlCase{"ftp://a/?u=http://b/", "b", 80, "/"},
                      // no "http://" anywhere: taken as a host, cut at its first colon
                      UrlCase{"httpsx://ab/", "httpsx", 0, "//ab/"},
                      UrlCase{"http://127.0.0.1:18080/gbquery.htm?SID=GB 2760-2014&x=30&y=8",
                              "127.0.0.1", 18080, "/gbquery.htm?SID=GB 2760-2014&x=30&y=8"},
                      UrlCase{"", "", 80, "/"}));

TEST(UrlHost, KeepPortKeepsTheSuffix) {
  EXPECT_EQ(url_host("http://Ab.CD:8080/x", true), "ab.cd:8080");
  EXPECT_EQ(url_host("http://ab.cd/x", true), "ab.cd");
}

TEST(UrlIsHttps, FirstFiveBytesOnly) {
  EXPECT_TRUE(url_is_https("HTTPS://x"));
  EXPECT_TRUE(url_is_https("https"));
  EXPECT_FALSE(url_is_https("http://x"));
  EXPECT_FALSE(url_is_https(" https://x"));
}

}  // namespace
}  // namespace stdlookup
