// The WinINet transport: where its redirects go and what reaches the wire (unit), and what only
// WinINet needs against the fixture server: the overall limit held around calls WinINet does
// not time out, and cookie clearing that reaches WinINet's own store.
#include "web/transport_wininet.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "runtime/win32_text.h"
#include "support/fixture_server.h"
#include "support/temp_dir.h"
#include "support/windows_registry.h"
#include "web/cookie_store.h"
#include "web/transport.h"
#include "web/web_request.h"

namespace stdlookup {
namespace {

using wininet_detail::redirect_target;
using wininet_detail::Target;

std::string describe(const std::optional<Target>& t) {
  if (!t) return "none";
  return std::string(t->secure ? "https://" : "http://") + t->host + ":" + std::to_string(t->port) +
         t->path;
}

TEST(RedirectTarget, ResolvesLocationsAndNeverDowngrades) {
  const Target http{false, "a.example", 8080, "/dir/page.htm?x=1"};
  const Target https{true, "a.example", 443, "/dir/page.htm"};
  struct Case {
    const Target& from;
    std::string location;
    std::string to;
  };
  for (const Case& c : {
           Case{http, "/new?q=1", "http://a.example:8080/new?q=1"},
           Case{http, "other.htm", "http://a.example:8080/dir/other.htm"},
           Case{http, "http://b.example/x#frag", "http://b.example:80/x"},
           Case{http, "HTTPS://b.example:8443", "https://b.example:8443/"},
           Case{http, "http://b.example?q", "http://b.example:80/?q"},
           Case{https, "https://b.example/y", "https://b.example:443/y"},
           Case{https, "/z", "https://a.example:443/z"},
           Case{https, "http://b.example/y", "none"},  // https never goes to plain http
           Case{http, "ftp://b.example/f", "none"},
           Case{http, "javascript:alert(1)", "none"},
           Case{http, "//b.example/x", "none"},
           Case{http, "http://b.example:0/", "none"},
           Case{http, "http://b.example:99999/", "none"},
           Case{http, "http://bad host/", "none"},
           Case{http, "http://b.example\r\nX: y/", "none"},
       }) {
    EXPECT_EQ(describe(redirect_target(c.from, c.location)), c.to) << c.location;
  }
}

TEST(HeaderBlock, EveryLineEndsWithCrLfAndBareBreaksCannotEndOne) {
  EXPECT_EQ(wininet_detail::header_block("A: 1\r\nB: 2"), "A: 1\r\nB: 2\r\n");
  EXPECT_EQ(wininet_detail::header_block("A: 1\nX: evil\r\nB: 2\rY: z"),
            "A: 1 X: evil\r\nB: 2 Y: z\r\n");
  EXPECT_EQ(wininet_detail::header_block("\r\n\r\nA: 1\r\n"), "A: 1\r\n");
  EXPECT_EQ(wininet_detail::header_block(""), "");
}

TEST(WinInetTransport, OverallLimitHoldsAroundACallWinInetDoesNotTimeOut) {
  test::FixtureServer server;
  server.serve("/slow", [](const test::RecordedRequest&) {
    std::this_thread::sleep_for(std::chrono::seconds(4));  // within the idle limit
    return test::CannedResponse{};
  });
  set_transport_timeouts(std::chrono::seconds(60), std::chrono::seconds(30),
                         std::chrono::seconds(1));
  const auto start = std::chrono::steady_clock::now();
  Text response;
  Bytes body = web_page_request(server.url("/slow"), 0, {}, nullptr, nullptr, nullptr, &response);
  const auto waited = std::chrono::steady_clock::now() - start;
  set_transport_timeouts(std::chrono::seconds(60), std::chrono::seconds(30));
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(response_status(response), 0);
  EXPECT_LT(waited, std::chrono::milliseconds(3500));
}

// The cookie folder named by the registry, with WinINet's store behind it.
class WindowsCookieStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    user_.set(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", L"Cookies",
              REG_EXPAND_SZ, folder_.path().wstring());
  }
  void touch(const std::wstring& name) const { std::ofstream(folder_.path() / name) << "x"; }
  bool exists(const std::wstring& name) const {
    return std::filesystem::exists(folder_.path() / name);
  }

  test::RegistryOverride user_{HKEY_CURRENT_USER};
  test::TempDir folder_;
};

TEST_F(WindowsCookieStoreTest, ClearingDeletesOnlyTheFolderTxtFiles) {
  touch(L"mysite1.txt");
  touch(L"other1.txt");
  touch(L"notes.dat");
  std::filesystem::create_directory(folder_.path() / L"old.txt");
  const Text filter = "site";
  Text folder;
  EXPECT_TRUE(clear_cookie_files(&filter, &folder));
  EXPECT_EQ(folder, win32::wide_to_gbk(folder_.path().wstring()));
  EXPECT_FALSE(exists(L"mysite1.txt"));
  EXPECT_TRUE(exists(L"other1.txt"));
  EXPECT_TRUE(clear_cookie_files());
  EXPECT_FALSE(exists(L"other1.txt"));
  EXPECT_TRUE(exists(L"notes.dat"));
  EXPECT_TRUE(exists(L"old.txt"));
  EXPECT_FALSE(clear_cookie_files());  // nothing left to delete

  user_.remove(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
               L"Cookies");
  touch(L"again.txt");
  EXPECT_FALSE(clear_cookie_files(nullptr, &folder));
  EXPECT_EQ(folder, "");
  EXPECT_TRUE(exists(L"again.txt"));
}

TEST_F(WindowsCookieStoreTest, AfterClearingTheNextRequestCarriesNoCookie) {
  test::FixtureServer server;
  test::CannedResponse set;
  set.headers = {{"Set-Cookie", "sid=session; path=/"},
                 {"Set-Cookie", "keep=1; expires=Fri, 01 Jan 2038 00:00:00 GMT; path=/"}};
  server.serve("/set", set);
  server.serve("/echo", [](const test::RecordedRequest& r) {
    test::CannedResponse echo;
    echo.body = r.header("Cookie");
    return echo;
  });
  web_page_request(server.url("/set"));
  const std::string before = web_page_request(server.url("/echo")).data;
  EXPECT_NE(before.find("sid=session"), std::string::npos) << before;
  EXPECT_NE(before.find("keep=1"), std::string::npos) << before;

  clear_cookie_files();
  EXPECT_EQ(web_page_request(server.url("/echo")).data, "");
  EXPECT_EQ(server.requests().back().header_count("Cookie"), 0);
}

}  // namespace
}  // namespace stdlookup
