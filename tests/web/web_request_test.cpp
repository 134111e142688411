#include "web/web_request.h"

#include <gtest/gtest.h>

#include "support/gbk_literals.h"
#include "web/recording_transport.h"

namespace stdlookup {
namespace {

using test::RecordingTransport;

constexpr const char* kDefaultAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
constexpr const char* kUrl = "http://std.example/gbquery.htm?SID=GB2760&x=30&y=8";

std::string default_block(const std::string& url) {
  return "Accept: */*\r\nReferer: " + url +
         "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";
}

TEST(WebPageRequest, GetWithDefaultsRunsEveryCallInOrder) {
  RecordingTransport t;
  t.body = "page";
  t.raw_headers = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n";
  Bytes body = web_page_request(t, kUrl);
  EXPECT_EQ(body.data, "page");
  EXPECT_EQ(t.calls, (std::vector<std::string>{"open", "connect", "open_request", "send_request",
                                               "read", "read", "query_raw_headers", "close 3",
                                               "close 2", "close 1"}));
  EXPECT_EQ(t.agent, kDefaultAgent);
  EXPECT_EQ(t.access_type, kOpenTypeDirect);
  EXPECT_FALSE(t.proxy_name.has_value());
  EXPECT_FALSE(t.proxy_bypass.has_value());
  EXPECT_EQ(t.host, "std.example");
  EXPECT_EQ(t.port, 80);
  EXPECT_EQ(t.service, kServiceHttp);
  EXPECT_EQ(t.verb, "GET");
  EXPECT_EQ(t.object_name, "/gbquery.htm?SID=GB2760&x=30&y=8");
  EXPECT_EQ(t.version, "HTTP/1.1");
  EXPECT_EQ(t.sent_headers, default_block(kUrl));
  ASSERT_TRUE(t.sent_data.has_value());  // GET sends the empty text, not null
  EXPECT_EQ(*t.sent_data, "");
}

TEST(WebPageRequest, MethodOutsideZeroToTwoIsGet) {
  const std::vector<std::pair<int, std::string>> cases = {{-1, "GET"}, {0, "GET"}, {1, "POST"},
                                                          {2, "HEAD"}, {3, "GET"}, {1000, "GET"}};
  for (const auto& [method, verb] : cases) {
    RecordingTransport t;
    web_page_request(t, kUrl, method);
    EXPECT_EQ(t.verb, verb) << method;
  }
}

struct FlagCase {
  std::string url;
  bool jar;
  bool no_redirect;
  std::uint32_t flags;
};

TEST(WebPageRequest, RequestFlags) {
  const std::uint32_t base = kFlagReload | kFlagNeedFile;
  const std::vector<FlagCase> cases = {
      {"http://h/", false, false, base | kFlagIgnoreRedirectToHttps},
      {"https://h/", false, false, base | kFlagSecure},
      {"HTTPS://h/", false, false, base | kFlagSecure},
      {"h/", false, false, base | kFlagIgnoreRedirectToHttps},
      {"http://h/", true, false, base | kFlagIgnoreRedirectToHttps | kFlagNoCookies},
      {"http://h/", false, true, base | kFlagIgnoreRedirectToHttps | kFlagNoAutoRedirect},
      {"https://h/", true, true, base | kFlagSecure | kFlagNoCookies | kFlagNoAutoRedirect},
  };
  for (const FlagCase& c : cases) {
    RecordingTransport t;
    Text jar;
    web_page_request(t, c.url, 0, {}, c.jar ? &jar : nullptr, nullptr, nullptr, nullptr,
                     c.no_redirect);
    EXPECT_EQ(t.flags, c.flags) << c.url << " jar " << c.jar << " no_redirect " << c.no_redirect;
  }
}

TEST(WebPageRequest, HttpsUrlConnectsToPort443) {
  RecordingTransport t;
  web_page_request(t, "HTTPS://Std.Example/a");
  EXPECT_EQ(t.host, "std.example");
  EXPECT_EQ(t.port, 443);
  EXPECT_EQ(t.object_name, "/a");
}

TEST(WebPageRequest, UserAgentFromExtraHeaders) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", kDefaultAgent},
      {"Accept: text/html", kDefaultAgent},
      {"User-Agent: X", "X"},
      {"User-Agent:  X \r\nAccept: y", "X"},
      {"Accept: y\r\nUser-Agent: X", "y\r\nUser-Agent: X"},
      // found whatever the case, but the marker search is case-sensitive: the colon fallback
      {"user-agent: Low\r\nAccept: y", "Low\r\nAccept: y"},
      {"User-Agent: \r\nAccept: y", "\r\nAccept: y"},
  };
  for (const auto& [headers, agent] : cases) {
    RecordingTransport t;
    Text h = headers;
    web_page_request(t, kUrl, 0, {}, nullptr, nullptr, &h);
    EXPECT_EQ(t.agent, agent) << headers;
    EXPECT_EQ(h.substr(0, headers.size()), headers) << "the caller's lines stay in the block";
  }
}

TEST(WebPageRequest, ProxyStrings) {
  struct Case {
    std::string proxy;
    std::string url;
    int access;
    std::optional<std::string> name;
    std::optional<std::string> bypass;
  };
  const std::vector<Case> cases = {
      {"", "http://h/", kOpenTypeDirect, std::nullopt, std::nullopt},
      {"p:8080", "http://h/", kOpenTypeProxy, "http=p:8080", ""},
      {"p:8080", "https://h/", kOpenTypeProxy, "p:8080", ""},
      {"p:8080", "h/", kOpenTypeProxy, "http=p:8080", ""},
  };
  for (const Case& c : cases) {
    RecordingTransport t;
    web_page_request(t, c.url, 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, c.proxy);
    EXPECT_EQ(t.access_type, c.access) << c.proxy << " " << c.url;
    EXPECT_EQ(t.proxy_name, c.name) << c.proxy << " " << c.url;
    EXPECT_EQ(t.proxy_bypass, c.bypass) << c.proxy << " " << c.url;
  }
}

TEST(WebPageRequest, HeaderBlockIsCompletedInTheCallersVariable) {
  const std::string url = "http://h/p";
  const std::string rest =
      "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";
  struct Case {
    std::string given;
    std::optional<std::string> jar;
    std::string block;
  };
  const std::vector<Case> cases = {
      {"", std::nullopt, default_block(url)},
      {"Accept: text/html", std::nullopt, "Accept: text/html\r\nReferer: " + url + rest},
      {"accept: text/html", std::nullopt,
       "accept: text/html\r\nAccept: */*\r\nReferer: " + url + rest},
      {"Referer: r\r\nContent-Type: text/plain", std::nullopt,
       "Referer: r\r\nContent-Type: text/plain\r\nAccept: */*\r\nAccept-Language: zh-cn"},
      {"", "k=v", default_block(url) + "\r\nCookie: k=v"},
      {"", "", default_block(url)},  // an empty jar adds no cookie line
      // the cookie line is added even when the block holds one
      {"Cookie: a=1", "k=v",
       "Cookie: a=1\r\nAccept: */*\r\nReferer: " + url + rest + "\r\nCookie: k=v"},
  };
  for (const Case& c : cases) {
    RecordingTransport t;
    Text headers = c.given;
    Text jar = c.jar.value_or("");
    web_page_request(t, url, 0, {}, c.jar ? &jar : nullptr, nullptr, &headers);
    EXPECT_EQ(headers, c.block) << c.given;
    EXPECT_EQ(t.sent_headers, c.block) << c.given;
  }
}

TEST(WebPageRequest, ContentTypeLineAndNoTrailingBreakForEveryMethod) {
  for (int method : {0, 1, 2}) {
    RecordingTransport t;
    Text headers;
    web_page_request(t, kUrl, method, {}, nullptr, nullptr, &headers);
    EXPECT_NE(headers.find("\r\nContent-Type: application/x-www-form-urlencoded"),
              std::string::npos);
    EXPECT_NE(headers.substr(headers.size() - 2), "\r\n");
  }
}

TEST(WebPageRequest, ControlCharactersOfTheUrlCannotStartAHeaderLine) {
  RecordingTransport t;
  Text headers;
  web_page_request(t, "http://h/a\r\nX-Injected: 1", 0, {}, nullptr, nullptr, &headers);
  EXPECT_EQ(headers, default_block("http://h/a%0D%0AX-Injected: 1"));
}

TEST(WebPageRequest, PostAndHeadSendTheBodyAndFillPostBytes) {
  struct Case {
    int method;
    std::string post_text;
    std::string post_bytes;
    std::optional<std::string> sent;
    std::string post_bytes_after;
  };
  const std::vector<Case> cases = {
      {1, "a=1", "", "a=1", "a=1"},
      {2, "a=1", "", "a=1", "a=1"},
      {1, "a=1", std::string("b\0c", 3), std::string("b\0c", 3), std::string("b\0c", 3)},
      {1, "", "", std::nullopt, ""},  // nothing to send: null data
      {0, "a=1", "x", "", "x"},       // GET never sends a body nor fills post_bytes
      {0, "a=1", "", "", ""},
  };
  for (const Case& c : cases) {
    RecordingTransport t;
    Bytes post(c.post_bytes);
    web_page_request(t, kUrl, c.method, c.post_text, nullptr, nullptr, nullptr, nullptr, false,
                     &post);
    EXPECT_EQ(t.sent_data, c.sent) << c.method << " " << c.post_text;
    EXPECT_EQ(post.data, c.post_bytes_after) << c.method << " " << c.post_text;
  }
}

TEST(WebPageRequest, BodyIsReadInChunksOf1024AndKeepsZeroBytes) {
  RecordingTransport t;
  std::string page(2500, 'x');
  page[3] = '\0';
  page[2400] = '\0';
  t.body = page;
  Bytes body = web_page_request(t, kUrl);
  EXPECT_EQ(body.data, page);
  EXPECT_EQ(t.read_sizes, (std::vector<std::uint32_t>{1024, 1024, 1024, 1024}));
}

TEST(WebPageRequest, FailedHeaderQueryLeavesFiveThousandSpaces) {
  for (bool too_long : {false, true}) {
    RecordingTransport t;
    if (too_long)
      t.raw_headers = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nX: " + std::string(5000, 'y');
    Text response = "stale";
    Text received = "stale";
    web_page_request(t, kUrl, 0, {}, nullptr, &received, nullptr, &response);
    EXPECT_EQ(response, std::string(5000, ' '));
    EXPECT_EQ(received, "");
    EXPECT_EQ(response_status(response), 0);
  }
}

TEST(WebPageRequest, SetCookieIsNormalisedAndItsItemsExtracted) {
  RecordingTransport t;
  t.raw_headers =
      "HTTP/1.1 200 OK\r\nSET-COOKIE: q=1\r\nset-cookie: a=1; path=/\r\nX-Other: z\r\n"
      "Set-Cookie:  b = 2 ; HttpOnly\r\n";
  Text response;
  Text received = "stale";
  web_page_request(t, kUrl, 0, {}, nullptr, &received, nullptr, &response);
  EXPECT_EQ(response,
            "HTTP/1.1 200 OK\r\nSet-Cookie: q=1\r\nSet-Cookie: a=1; path=/\r\nX-Other: z\r\n"
            "Set-Cookie:  b = 2 ; HttpOnly\r\n");
  EXPECT_EQ(received, "q=1; a=1; b = 2");
}

TEST(WebPageRequest, NoCookiesGiveAnEmptyReceivedText) {
  RecordingTransport t;
  t.raw_headers = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n";
  Text received = "stale";
  web_page_request(t, kUrl, 0, {}, nullptr, &received);
  EXPECT_EQ(received, "");
}

TEST(WebPageRequest, CookieJarIsMergedOnlyWhenGiven) {
  const std::string headers = "HTTP/1.1 200 OK\r\nSet-Cookie: b=3; path=/\r\nSet-Cookie: c = 4\r\n";
  {
    RecordingTransport t;
    t.raw_headers = headers;
    Text jar = "a=1; b=2";
    Text received;
    web_page_request(t, kUrl, 0, {}, &jar, &received);
    EXPECT_EQ(jar, "b=3; c=4; a=1");
    EXPECT_EQ(received, "b=3;c=4");  // the merge removes the blanks of the caller's text too
    EXPECT_NE(t.sent_headers.find("\r\nCookie: a=1; b=2"), std::string::npos);
  }
  {
    RecordingTransport t;
    t.raw_headers = headers;
    Text jar;  // given but empty: still merged
    web_page_request(t, kUrl, 0, {}, &jar);
    EXPECT_EQ(jar, "b=3; c=4");
  }
  {
    RecordingTransport t;
    t.raw_headers = headers;
    Text received;
    web_page_request(t, kUrl, 0, {}, nullptr, &received);
    EXPECT_EQ(received, "b=3; c = 4");  // without a jar no merge touches it
  }
}

TEST(WebPageRequest, EarlyFailuresCloseOnlyWhatWasOpenedAndChangeNothing) {
  struct Case {
    const char* step;
    std::vector<std::string> calls;
  };
  const std::vector<Case> cases = {
      {"open", {"open"}},
      {"connect", {"open", "connect", "close 1"}},
      {"open_request", {"open", "connect", "open_request", "close 2", "close 1"}},
  };
  for (const Case& c : cases) {
    RecordingTransport t;
    t.fail_open = std::string(c.step) == "open";
    t.fail_connect = std::string(c.step) == "connect";
    t.fail_open_request = std::string(c.step) == "open_request";
    t.body = "page";
    t.raw_headers = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\n";
    Text jar = "k=v";
    Text received = "r";
    Text headers = "Accept: x";
    Text response = "h";
    Bytes post("p");
    Bytes body =
        web_page_request(t, kUrl, 1, "t", &jar, &received, &headers, &response, false, &post);
    EXPECT_TRUE(body.empty()) << c.step;
    EXPECT_EQ(t.calls, c.calls) << c.step;
    EXPECT_EQ(jar, "k=v") << c.step;
    EXPECT_EQ(received, "r") << c.step;
    EXPECT_EQ(headers, "Accept: x") << c.step;
    EXPECT_EQ(response, "h") << c.step;
    EXPECT_EQ(post.data, "p") << c.step;
  }
}

TEST(WebPageRequest, StatusIsAskedOfTheTransportBeforeClosing) {
  RecordingTransport t;
  t.body = "page";
  t.raw_headers = std::nullopt;  // a header block too long for the copy
  t.status = 200;
  Text response;
  int code = -1;
  web_page_request(t, kUrl, 0, {}, nullptr, nullptr, nullptr, &response, false, nullptr, {}, &code);
  EXPECT_EQ(code, 200);
  EXPECT_EQ(response, std::string(5000, ' '));
  EXPECT_EQ(std::vector<std::string>(t.calls.end() - 5, t.calls.end()),
            (std::vector<std::string>{"query_raw_headers", "status_code", "close 3", "close 2",
                                      "close 1"}));
}

TEST(ResponseStatus, FirstLineStatusCode) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"HTTP/1.1 200 OK\r\nA: b\r\n", 200},
      {"HTTP/1.0 404 Not Found\r\n", 404},
      {"HTTP/1.1 302\r\n", 302},
      {"HTTP/1.1 204", 204},
      {"HTTP/2 500 x\r\n", 500},
      {std::string(5000, ' '), 0},
      {"", 0},
      {"http/1.1 200 OK\r\n", 0},
      {"HTTP/1.1 20 OK\r\n", 0},
      {"HTTP/1.1 2000 OK\r\n", 0},
      {"HTTP/1.1\r\n200 OK", 0},
      {"X: HTTP/1.1 200 OK\r\n", 0},
  };
  for (const auto& [headers, status] : cases)
    EXPECT_EQ(response_status(headers), status) << headers;
}

}  // namespace
}  // namespace stdlookup
